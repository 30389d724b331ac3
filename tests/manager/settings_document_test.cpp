// Loading and saving the settings pages' records through the engine's
// configuration model: defaults on an empty store, a save read back by the
// engine's own loader, the log-on start file, the dial-up loading rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "engine/config/general_settings.h"
#include "manager/settings_document.h"
#include "qlmstd/qlmstd.h"
#include "tests/engine/config/temp_store.h"
#include "tests/support/temp_dir.h"

namespace qlm::manager {
namespace {

constexpr char kHost[] = "127.0.0.221";

// The store enumerates entries by name, so records come back in that order.
template <class T>
std::vector<T> ByName(std::vector<T> records) {
  std::sort(records.begin(), records.end(),
            [](const T& a, const T& b) { return a.name < b.name; });
  return records;
}

SettingsDocumentOptions Options(const test::CTempDir& dir, bool dial_up = true) {
  SettingsDocumentOptions o;
  o.dial_up_available = [dial_up] { return dial_up; };
  o.host_address = [] { return std::string(kHost); };
  o.autostart_file = dir.File("autostart/quillmar.desktop");
  o.manager_program = "/opt/quillmar/quillmar";
  return o;
}

TEST(SettingsDocumentTest, AnEmptyStoreGivesTheDefaults) {
  test::CTempStore store;
  test::CTempDir dir;
  CSettingsDocument doc(Options(dir));
  doc.Load();
  engine::GeneralSettings expected;
  expected.DefaultIP = kHost;  // an empty service address is the host's first
  EXPECT_EQ(doc.general, expected);
  EXPECT_EQ(doc.activity, engine::ActivitySettings{});
  EXPECT_EQ(doc.activity.MaxConnections, 2000u);
  EXPECT_EQ(doc.log.Enable, 0u);
  EXPECT_EQ(doc.log.MaxLines, 2000u);
  ASSERT_EQ(doc.daemons.size(), 7u);
  EXPECT_EQ(doc.daemons[2].name, "SOCKS");
  EXPECT_EQ(doc.daemons[2].listeners, std::vector<std::string>{"127.0.0.221:1080"});
  EXPECT_TRUE(doc.port_maps.empty());
}

TEST(SettingsDocumentTest, ASaveIsWhatTheEngineLoads) {
  test::CTempStore store;
  test::CTempDir dir;
  CSettingsDocument doc(Options(dir));
  doc.Load();
  doc.general.UseDefaultIP = 0;
  doc.general.DialUpProfile = "provider";
  doc.general.DialUpPasswd = "pw";
  doc.activity.Enable = 1;
  doc.activity.MaxConnections = 77;
  doc.log.Enable = 1;
  doc.log.MaxLines = 50000;
  doc.log.FileName = dir.File("x.log");
  doc.daemons[2].listeners.push_back("127.0.0.222:1081");
  engine::ProtocolSettings dhcp;
  dhcp.name = "DHCP";
  dhcp.default_port = 67;
  dhcp.listeners = {"127.0.0.221:67"};
  engine::DhcpSettings d;
  d.FromAddr = "10.0.0.10";
  d.ToAddr = "10.0.0.20";
  d.Netmask = "255.255.255.0";
  d.Gateway = "10.0.0.1";
  d.LeasingTime = 3600;
  dhcp.extra = d;
  doc.daemons.push_back(dhcp);
  engine::PortMapSettings map;
  map.name = "echo";
  map.remote_server = "127.0.0.1";
  map.remote_port = 7;
  map.listeners = {"127.0.0.221:7007"};
  map.rule = "general";
  map.enable = 1;
  doc.port_maps.push_back(map);
  ASSERT_TRUE(doc.Save());

  engine::GeneralSettings general;
  engine::ExchangeGeneral(general, engine::ConfigDirection::kLoad);
  EXPECT_EQ(general, doc.general);
  std::vector<engine::ProtocolSettings> daemons;
  engine::ExchangeDaemons(daemons, engine::ConfigDirection::kLoad, kHost);
  EXPECT_EQ(ByName(daemons), ByName(doc.daemons));
  std::vector<engine::PortMapSettings> maps;
  engine::ExchangePortMaps(maps, engine::ConfigDirection::kLoad);
  EXPECT_EQ(maps, doc.port_maps);
  engine::ActivitySettings activity;
  engine::ExchangeActivity(activity, engine::ConfigDirection::kLoad);
  EXPECT_EQ(activity, doc.activity);
  engine::LogSettings log;
  engine::ExchangeLog(log, engine::ConfigDirection::kLoad);
  EXPECT_EQ(log, doc.log);

  CSettingsDocument again(Options(dir));
  again.Load();
  EXPECT_EQ(ByName(again.daemons), ByName(doc.daemons));
  EXPECT_EQ(again.port_maps, doc.port_maps);
  EXPECT_EQ(again.general, doc.general);
}

TEST(SettingsDocumentTest, StartAtLogOnWritesAndRemovesTheAutostartFile) {
  test::CTempStore store;
  test::CTempDir dir;
  CSettingsDocument doc(Options(dir));
  doc.Load();
  doc.general.AutoLoad = 1;
  ASSERT_TRUE(doc.SaveGeneral());
  std::ifstream in(doc.AutostartFile());
  ASSERT_TRUE(in.good());
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("[Desktop Entry]"), std::string::npos);
  EXPECT_NE(text.find("Exec=\"/opt/quillmar/quillmar\""), std::string::npos);
  doc.general.AutoLoad = 0;
  ASSERT_TRUE(doc.SaveGeneral());
  EXPECT_FALSE(std::filesystem::exists(doc.AutostartFile()));
}

TEST(SettingsDocumentTest, WithoutADialUpBackendUseDialUpReadsOff) {
  test::CTempStore store;
  test::CTempDir dir;
  qlmstd::CQlmstd::WriteRegProfileInt("General", "UseDialUp", 1);
  CSettingsDocument without(Options(dir, false));
  without.Load();
  EXPECT_EQ(without.general.UseDialUp, 0u);
  CSettingsDocument with(Options(dir, true));
  with.Load();
  EXPECT_EQ(with.general.UseDialUp, 1u);
}

TEST(SettingsDocumentTest, LeftToTheSystemUseDialUpFollowsItsAutodialFlag) {
  test::CTempStore store;
  test::CTempDir dir;
  qlmstd::CStoreKey internet = qlmstd::CStoreKey::OpenTop(
      qlmstd::CStoreKey::Top::kCurrentUser, qlmstd::kInternetSettingsKey, true);
  ASSERT_TRUE(internet);
  const uint8_t on = 1;
  internet.SetBinary("EnableAutodial", &on, 1);
  CSettingsDocument doc(Options(dir));
  doc.Load();
  EXPECT_EQ(doc.general.UseDialUp, 1u);
  // and written back at once
  EXPECT_EQ(qlmstd::CQlmstd::GetRegProfileInt("General", "UseDialUp", 0), 1u);
}

TEST(SettingsDocumentTest, IdleHangUpDefaultsFollowTheSystem) {
  test::CTempStore store;
  test::CTempDir dir;
  CSettingsDocument doc(Options(dir));
  doc.Load();
  EXPECT_EQ(doc.general.DisconnectIdle, 0u);
  EXPECT_EQ(doc.general.DisconnectIdleTime, 20u);
  EXPECT_EQ(doc.general.KeepAliveIdleTime, 20u);
  EXPECT_EQ(doc.general.DialOnControl, 1u);
  EXPECT_EQ(doc.general.AutoConnect, 0u);
  EXPECT_EQ(doc.general.NoDNSAutoConnect, 1u);
  EXPECT_EQ(doc.general.Disconnect, 1u);
}

}  // namespace
}  // namespace qlm::manager
