// The Email daemon's ContactDomain: the stored value, none stored (the
// proxy then names the host's domain), and its way back into the store.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/config/protocol_settings.h"
#include "net/host_addresses.h"
#include "tests/engine/config/temp_store.h"

namespace qlm::engine {
namespace {

using test::CTempStore;

const EmailSettings* LoadEmail() {
  static std::vector<ProtocolSettings> daemons;
  ExchangeDaemons(daemons, ConfigDirection::kLoad, "127.0.0.9");
  for (const auto& d : daemons) {
    if (d.name == "Email") {
      return d.Email();
    }
  }
  return nullptr;
}

TEST(EmailContactDomainTest, StoredValueIsUsed) {
  CTempStore store;
  auto entry = store.Root().Open("Daemons\\127.0.0.9:110", true);
  entry.SetString("Name", "Email");
  entry.SetString("ContactDomain", "example.net");
  const EmailSettings* email = LoadEmail();
  ASSERT_NE(email, nullptr);
  EXPECT_EQ(email->ContactDomain, "example.net");
}

TEST(EmailContactDomainTest, MissingValueIsEmptySoTheProxyUsesTheHostsDomain) {
  CTempStore store;
  auto entry = store.Root().Open("Daemons\\127.0.0.9:110", true);
  entry.SetString("Name", "Email");
  const EmailSettings* email = LoadEmail();
  ASSERT_NE(email, nullptr);
  EXPECT_EQ(email->ContactDomain, "");
}

TEST(EmailContactDomainTest, ValueIsSavedAndLoadedBack) {
  CTempStore store;
  std::vector<ProtocolSettings> daemons;
  ExchangeDaemons(daemons, ConfigDirection::kLoad, "127.0.0.9");
  for (auto& d : daemons) {
    if (auto* email = std::get_if<EmailSettings>(&d.extra)) {
      email->ContactDomain = "mail.example.org";
    }
  }
  ExchangeDaemons(daemons, ConfigDirection::kSave, "127.0.0.9");
  const EmailSettings* email = LoadEmail();
  ASSERT_NE(email, nullptr);
  EXPECT_EQ(email->ContactDomain, "mail.example.org");
}

TEST(DomainOfNameTest, TextAfterTheFirstDot) {
  EXPECT_EQ(net::DomainOfName("vm.office.example.com"), "office.example.com");
  EXPECT_EQ(net::DomainOfName("vm"), "");
}

}  // namespace
}  // namespace qlm::engine
