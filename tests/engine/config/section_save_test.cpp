// Saving the configuration records: round trips, name cuts, and a writer
// killed in the middle of a save.
#include <gtest/gtest.h>

#include <algorithm>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/config/activity_settings.h"
#include "engine/config/general_settings.h"
#include "engine/config/log_settings.h"
#include "engine/config/port_map_settings.h"
#include "engine/config/protocol_settings.h"
#include "qlmstd/store_transaction.h"
#include "tests/engine/config/temp_store.h"
#include "tests/support/wait_until.h"

namespace qlm::engine {
namespace {

using test::CTempStore;

constexpr const char* kHost = "127.0.0.9";

std::vector<ProtocolSettings> SampleDaemons(const std::string& http_ip) {
  std::vector<ProtocolSettings> daemons;
  ExchangeDaemons(daemons, ConfigDirection::kLoad, kHost);  // the basic seven (or a saved set)
  std::erase_if(daemons, [](const ProtocolSettings& d) { return d.name == "DHCP"; });
  for (auto& d : daemons) {
    d.enable = 1;
    d.security = 1;
    if (d.name == "HTTP") {
      d.listeners = {http_ip + ":8080", http_ip + ":8081"};
    }
  }
  ProtocolSettings dhcp;
  dhcp.name = "DHCP";
  dhcp.default_port = 67;
  dhcp.listeners = {"127.0.0.9:67"};
  dhcp.extra = DhcpSettings{"10.0.0.10", "10.0.0.20", "255.255.255.0", "10.0.0.1", "10.0.0.2",
                            3600, 0, 1, 0};
  daemons.push_back(dhcp);
  for (auto& d : daemons) {
    if (auto* dns = std::get_if<DnsSettings>(&d.extra)) {
      dns->Servers = {"10.9.9.9"};
      dns->TTL = 600;
    } else if (auto* email = std::get_if<EmailSettings>(&d.extra)) {
      email->Pop3Delimiter = '%';
    }
  }
  return daemons;
}

// Loading puts stored daemons in the store's name order; compare by name.
void ExpectSameDaemons(std::vector<ProtocolSettings> a, std::vector<ProtocolSettings> b) {
  auto by_name = [](const ProtocolSettings& x, const ProtocolSettings& y) { return x.name < y.name; };
  std::sort(a.begin(), a.end(), by_name);
  std::sort(b.begin(), b.end(), by_name);
  EXPECT_EQ(a, b);
}

TEST(SectionSaveTest, EveryRecordRoundTrips) {
  CTempStore store;
  GeneralSettings general;
  general.DefaultIP = "127.0.0.9";
  general.DialUpPasswd = "p\"w\\d";
  general.KeepAliveIdle = 1;
  general.UseDefaultIP = 0;
  ExchangeGeneral(general, ConfigDirection::kSave);
  GeneralSettings general_back;
  ExchangeGeneral(general_back, ConfigDirection::kLoad);
  EXPECT_EQ(general_back, general);

  auto daemons = SampleDaemons("127.0.0.9");
  ExchangeDaemons(daemons, ConfigDirection::kSave);
  std::vector<ProtocolSettings> daemons_back;
  ExchangeDaemons(daemons_back, ConfigDirection::kLoad, kHost);
  ExpectSameDaemons(daemons_back, daemons);

  PortMapSettings map;
  map.name = "games";
  map.rule = "allow";
  map.bi_udp = 1;
  map.listeners = {"127.0.0.9:5000", "127.0.0.9:5001"};
  map.remote_server = "10.2.2.2";
  map.remote_port = 6000;
  map.out_port = 7000;
  map.protocol = "udp";
  map.client_port = 8000;
  map.enable = 1;
  std::vector<PortMapSettings> maps = {map};
  ExchangePortMaps(maps, ConfigDirection::kSave);
  std::vector<PortMapSettings> maps_back;
  ExchangePortMaps(maps_back, ConfigDirection::kLoad);
  EXPECT_EQ(maps_back, maps);

  ActivitySettings activity{1, 17};
  ExchangeActivity(activity, ConfigDirection::kSave);
  ActivitySettings activity_back;
  ExchangeActivity(activity_back, ConfigDirection::kLoad);
  EXPECT_EQ(activity_back, activity);

  LogSettings log{"/tmp/x.log", 1, 10};
  ExchangeLog(log, ConfigDirection::kSave);
  LogSettings log_back;
  ExchangeLog(log_back, ConfigDirection::kLoad);
  EXPECT_EQ(log_back, log);
}

TEST(SectionSaveTest, SavingReplacesTheWholeSectionAndCutsNames) {
  CTempStore store;
  store.Root().Open("Daemons\\127.0.0.9:9999", true).SetString("Name", "Stale");
  std::vector<ProtocolSettings> daemons(1);
  daemons[0].name = "SOCKS";
  daemons[0].listeners = {std::string(40, '1') + ":1080"};
  ExchangeDaemons(daemons, ConfigDirection::kSave);
  auto section = store.Root().Open("Daemons", false);
  EXPECT_EQ(section.EnumKey(0), std::string(31, '1'));
  EXPECT_FALSE(section.EnumKey(1).has_value());

  std::vector<PortMapSettings> maps(1);
  maps[0].name = "m";
  maps[0].listeners = {std::string(70, '2')};
  ExchangePortMaps(maps, ConfigDirection::kSave);
  EXPECT_EQ(store.Root().Open("PortMap", false).EnumKey(0), std::string(59, '2') + "/tcp");
}

// A child that saves the Daemons section and is killed with SIGKILL while
// its transaction is open: the store must hold the save before it whole.
TEST(SectionSaveTest, WriterKilledInsideTheSaveLeavesTheOldSection) {
  CTempStore store;
  auto before = SampleDaemons("127.0.0.9");
  ExchangeDaemons(before, ConfigDirection::kSave);

  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  if (child == 0) {
    qlmstd::CStoreTransaction outer;  // the save joins it and cannot commit
    auto after = SampleDaemons("127.0.0.8");
    ExchangeDaemons(after, ConfigDirection::kSave);
    (void)!write(ready[1], "x", 1);
    pause();
    _exit(0);
  }
  char byte;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(ready[0]);
  close(ready[1]);

  std::vector<ProtocolSettings> loaded;
  ExchangeDaemons(loaded, ConfigDirection::kLoad, kHost);
  ExpectSameDaemons(loaded, before);
}

// A child saving two configurations in turn, killed at an arbitrary moment:
// whatever the moment, the section is one of the two, never a mixture.
TEST(SectionSaveTest, WriterKilledAnywhereLeavesOneWholeSave) {
  CTempStore store;
  const auto first = SampleDaemons("127.0.0.7");
  const auto second = SampleDaemons("127.0.0.6");
  auto initial = first;
  ExchangeDaemons(initial, ConfigDirection::kSave);

  for (int round = 0; round < 3; ++round) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
      for (int i = 0;; ++i) {
        auto copy = (i % 2) ? first : second;
        ExchangeDaemons(copy, ConfigDirection::kSave);
        if (i == 2) {
          (void)!write(ready[1], "x", 1);
        }
      }
    }
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);  // it is saving in a loop now
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);

    std::vector<ProtocolSettings> loaded;
    ExchangeDaemons(loaded, ConfigDirection::kLoad, kHost);
    auto by_name = [](const ProtocolSettings& x, const ProtocolSettings& y) {
      return x.name < y.name;
    };
    std::sort(loaded.begin(), loaded.end(), by_name);
    auto a = first, b = second;
    std::sort(a.begin(), a.end(), by_name);
    std::sort(b.begin(), b.end(), by_name);
    EXPECT_TRUE(loaded == a || loaded == b) << "round " << round;
  }
}

}  // namespace
}  // namespace qlm::engine
