// Loading the configuration records: defaults, enumeration rules, basic daemons.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "engine/config/activity_settings.h"
#include "engine/config/general_settings.h"
#include "engine/config/log_settings.h"
#include "engine/config/port_map_settings.h"
#include "engine/config/protocol_settings.h"
#include "qlmstd/qlmstd.h"
#include "tests/engine/config/temp_store.h"

namespace qlm::engine {
namespace {

using test::CTempStore;

constexpr const char* kHost = "127.0.0.9";

const ProtocolSettings* Find(const std::vector<ProtocolSettings>& daemons, const char* name) {
  for (const auto& d : daemons) {
    if (d.name == name) {
      return &d;
    }
  }
  return nullptr;
}

qlmstd::CStoreKey DaemonEntry(const CTempStore& store, const std::string& listener) {
  return store.Root().Open(std::string("Daemons\\") + listener, true);
}

TEST(ConfigurationModelTest, EmptyStoreGivesTheSevenBasicDaemons) {
  CTempStore store;
  std::vector<ProtocolSettings> daemons;
  ExchangeDaemons(daemons, ConfigDirection::kLoad, kHost);

  ASSERT_EQ(daemons.size(), 7u);
  const char* names[] = {"DNS", "HTTP", "SOCKS", "FTP", "Telnet", "RealAudio", "Email"};
  const uint32_t ports[] = {53, 80, 1080, 21, 23, 1090, 110};
  const uint32_t enabled[] = {1, 1, 1, 0, 0, 0, 0};
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(daemons[i].name, names[i]);
    EXPECT_EQ(daemons[i].default_port, ports[i]);
    EXPECT_EQ(daemons[i].enable, enabled[i]) << names[i];
    EXPECT_EQ(daemons[i].security, 0u);
    EXPECT_EQ(daemons[i].listeners.front(), std::string(kHost) + ":" + std::to_string(ports[i]));
  }
  EXPECT_EQ(*Find(daemons, "DNS")->Dns(), DnsSettings{});
  EXPECT_EQ(Find(daemons, "Email")->listeners,
            (std::vector<std::string>{"127.0.0.9:110", "127.0.0.9:25"}));
  EXPECT_EQ(*Find(daemons, "Email")->Email(), EmailSettings{});
  EXPECT_EQ(Find(daemons, "DHCP"), nullptr);

  std::vector<PortMapSettings> maps;
  ExchangePortMaps(maps, ConfigDirection::kLoad);
  EXPECT_TRUE(maps.empty());
}

TEST(ConfigurationModelTest, MissingRootStillGivesDefaults) {
  CTempStore store(/*with_root=*/false);
  std::vector<ProtocolSettings> daemons;
  ExchangeDaemons(daemons, ConfigDirection::kLoad, kHost);
  EXPECT_EQ(daemons.size(), 7u);
  GeneralSettings general;
  general.DefaultIP = "stale";
  ExchangeGeneral(general, ConfigDirection::kLoad);
  EXPECT_EQ(general, GeneralSettings{});
}

TEST(ConfigurationModelTest, TwoSubkeysOfOneNameFormOneRecordWithTheFirstValues) {
  CTempStore store;
  auto first = DaemonEntry(store, "127.0.0.9:8080");
  first.SetString("Name", "HTTP");
  first.SetDword("DefaultPort", 8080);
  const uint8_t on = 1, off = 0;
  first.SetBinary("Enable", &on, 1);
  auto second = DaemonEntry(store, "127.0.0.9:8081");
  second.SetString("Name", "HTTP");
  second.SetDword("DefaultPort", 9999);
  second.SetBinary("Enable", &off, 1);

  std::vector<ProtocolSettings> daemons;
  ExchangeDaemons(daemons, ConfigDirection::kLoad, kHost);
  const ProtocolSettings* http = Find(daemons, "HTTP");
  ASSERT_NE(http, nullptr);
  EXPECT_EQ(daemons.front().name, "HTTP");  // stored daemons come first
  EXPECT_EQ(http->listeners, (std::vector<std::string>{"127.0.0.9:8080", "127.0.0.9:8081"}));
  EXPECT_EQ(http->default_port, 8080u);
  EXPECT_EQ(http->enable, 1u);
  EXPECT_EQ(daemons.size(), 7u);  // HTTP is not added again
}

TEST(ConfigurationModelTest, EntryWithoutNameJoinsThePreviousOne) {
  CTempStore store;
  DaemonEntry(store, "127.0.0.9:1").SetString("Name", "SOCKS");
  DaemonEntry(store, "127.0.0.9:2");  // no Name
  std::vector<ProtocolSettings> daemons;
  ExchangeDaemons(daemons, ConfigDirection::kLoad, kHost);
  EXPECT_EQ(Find(daemons, "SOCKS")->listeners,
            (std::vector<std::string>{"127.0.0.9:1", "127.0.0.9:2"}));
}

TEST(ConfigurationModelTest, StoredEmailWithoutPop3PortHasPort0) {
  CTempStore store;
  auto entry = DaemonEntry(store, "127.0.0.9:110");
  entry.SetString("Name", "Email");
  entry.SetString("Pop3Delimiter", "");
  std::vector<ProtocolSettings> daemons;
  ExchangeDaemons(daemons, ConfigDirection::kLoad, kHost);
  const EmailSettings* email = Find(daemons, "Email")->Email();
  ASSERT_NE(email, nullptr);
  EXPECT_EQ(email->Pop3Port, 0u);
  EXPECT_EQ(email->SmtpPort, 0u);
  EXPECT_EQ(email->Pop3Delimiter, '#');
}

TEST(ConfigurationModelTest, StoredDnsAndDhcpEntries) {
  CTempStore store;
  auto dns = DaemonEntry(store, "127.0.0.9:53");
  dns.SetString("Name", "DNS");
  dns.Open("10.1.1.1", true);
  dns.Open("10.1.1.2", true);
  auto dhcp = DaemonEntry(store, "127.0.0.9:67");
  dhcp.SetString("Name", "DHCP");
  dhcp.SetDword("LeasingTime", 0);
  std::vector<ProtocolSettings> daemons;
  ExchangeDaemons(daemons, ConfigDirection::kLoad, kHost);

  const DnsSettings* d = Find(daemons, "DNS")->Dns();
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->Servers, (std::vector<std::string>{"10.1.1.1", "10.1.1.2"}));
  EXPECT_EQ(d->TTL, 0u);        // a missing integer of a stored entry is 0
  EXPECT_EQ(d->Broadcast, 1u);  // a missing flag keeps its default
  const ProtocolSettings* dhcp_record = Find(daemons, "DHCP");
  ASSERT_NE(dhcp_record, nullptr);  // stored DHCP entries are loaded
  EXPECT_EQ(dhcp_record->Dhcp()->LeasingTime, -1);
  EXPECT_EQ(dhcp_record->Dhcp()->VerifyIP, 1u);
}

TEST(ConfigurationModelTest, PortMapNamesSplitAtTheSlash) {
  CTempStore store;
  auto udp = store.Root().Open("PortMap\\127.0.0.9:5000/udp", true);
  udp.SetString("Name", "games");
  udp.SetDword("RemotePort", 6000);
  auto plain = store.Root().Open("PortMap\\127.0.0.9:2525", true);
  plain.SetString("Name", "mail");
  std::vector<PortMapSettings> maps;
  ExchangePortMaps(maps, ConfigDirection::kLoad);
  ASSERT_EQ(maps.size(), 2u);  // in the store's name order
  EXPECT_EQ(maps[0].name, "mail");
  EXPECT_EQ(maps[0].protocol, "tcp");
  EXPECT_EQ(maps[1].name, "games");
  EXPECT_EQ(maps[1].listeners, std::vector<std::string>{"127.0.0.9:5000"});
  EXPECT_EQ(maps[1].protocol, "udp");
  EXPECT_EQ(maps[1].remote_port, 6000u);
}

TEST(ConfigurationModelTest, MissingLogSectionGivesTheDatedFileInTheInstallFolder) {
  CTempStore store;
  std::tm day{};
  day.tm_year = 2026 - 1900;
  day.tm_mon = 11;
  day.tm_mday = 8;
  day.tm_hour = 12;
  const std::time_t start = std::mktime(&day);
  LogSettings log;
  ExchangeLog(log, ConfigDirection::kLoad, start);
  const std::string dir = std::filesystem::path(store.Path()).parent_path();
  EXPECT_EQ(log.FileName, dir + "/12082026.log");
  EXPECT_EQ(log.Enable, 0u);
  EXPECT_EQ(log.MaxLines, 2000u);

  CTempStore no_root(/*with_root=*/false);
  ExchangeLog(log, ConfigDirection::kLoad, start);
  EXPECT_EQ(log.FileName, "12082026.log");
}

TEST(ConfigurationModelTest, ActivityDefaultsAndFlagsStoredAsIntegers) {
  CTempStore store;
  ActivitySettings activity;
  ExchangeActivity(activity, ConfigDirection::kLoad);
  EXPECT_EQ(activity, ActivitySettings{});
  // A hand-edited store may hold a flag as an integer; it still counts.
  auto entry = DaemonEntry(store, "127.0.0.9:21");
  entry.SetString("Name", "FTP");
  entry.SetDword("Enable", 1);
  std::vector<ProtocolSettings> daemons;
  ExchangeDaemons(daemons, ConfigDirection::kLoad, kHost);
  EXPECT_EQ(Find(daemons, "FTP")->enable, 1u);
}

}  // namespace
}  // namespace qlm::engine
