// Dial on demand for a name look-up: with the engine managing a dial-up line
// that is down and NoDNSAutoConnect off, a request asks for a dial, logs the
// DIAL line, waits (shortened here) for the line and is served either way;
// with NoDNSAutoConnect on it never dials.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "dialup/dial_up_manager.h"
#include "dialup/scripted_backend.h"
#include "dns_test_support.h"
#include "tests/support/wait_until.h"

namespace qlm::dns::test {
namespace {

class DnsDialTest : public ::testing::Test {
 protected:
  void Configure(bool no_dns_auto_connect) {
    dialup::DialUpSettings settings;
    settings.UseDialUp = true;
    settings.DialUpManaged = true;
    settings.AutoConnect = true;
    settings.NoDNSAutoConnect = no_dns_auto_connect;
    dialup::DialUpHooks hooks;
    hooks.signal_dial = [this] { dials_.fetch_add(1); };
    dialup::DialUpTimeouts timeouts;
    timeouts.connection_round = std::chrono::milliseconds(10);
    timeouts.connection_rounds = 3;
    dialup::DialUpManager::Instance().Configure(settings, std::move(hooks),
                                                std::make_unique<dialup::CScriptedBackend>(),
                                                timeouts);
    DnsConfig config = ShortConfig();
    config.dial_up = true;
    SetDnsConfiguration(config);
  }
  void TearDown() override { dialup::DialUpManager::Instance().ResetForTest(); }

  std::atomic<int> dials_{0};
};

TEST_F(DnsDialTest, LookupWithTheLineDownDialsAndLogsDial) {
  CDnsHarness h("127.53.20.1", "127.53.20.2",
                engine::DnsSettings{.Broadcast = 0, .Forward = 0, .TTL = 600, .Servers = {}});
  Configure(false);
  h.Send(Query(1, "far.office"));
  EXPECT_FALSE(h.Receive().empty());  // served although the line stayed down
  EXPECT_EQ(dials_.load(), 1);
  const std::string line =
      "DIAL      127.53.20.2      127.53.20.2      -                far.office                "
      "0      Domain name lookup";
  EXPECT_TRUE(h.Log().HasLine(" ", line)) << h.Log().All();
}

TEST_F(DnsDialTest, NoDnsAutoConnectNeverDials) {
  CDnsHarness h("127.53.21.1", "127.53.21.2",
                engine::DnsSettings{.Broadcast = 0, .Forward = 0, .TTL = 600, .Servers = {}});
  Configure(true);
  h.Send(Query(1, "far.office"));
  EXPECT_FALSE(h.Receive().empty());
  EXPECT_EQ(dials_.load(), 0);
  EXPECT_FALSE(h.Log().HasLineContaining(" ", "DIAL"));
}

}  // namespace
}  // namespace qlm::dns::test
