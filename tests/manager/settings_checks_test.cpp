// The settings pages' checks, each message triggered by its bad input.
#include <gtest/gtest.h>

#include "manager/settings_checks.h"

namespace qlm::manager {
namespace {

engine::PortMapSettings GoodMap() {
  engine::PortMapSettings map;
  map.name = "news";
  map.remote_server = "127.0.0.1";
  map.remote_port = 119;
  map.listeners = {"127.0.0.1:1119"};
  return map;
}

TEST(SettingsChecksTest, IntegerFieldsOutOfRangeAreRefusedWithTheirRange) {
  long value = -1;
  EXPECT_EQ(CheckIntegerField("2001", 0, 2000, &value),
            "Please enter an integer between 0 and 2000.");
  EXPECT_EQ(CheckIntegerField("-1", 0, 65535, &value),
            "Please enter an integer between 0 and 65535.");
  EXPECT_EQ(CheckIntegerField("65536", 0, 65535, &value),
            "Please enter an integer between 0 and 65535.");
  EXPECT_EQ(CheckIntegerField("12x", 0, 50000, &value),
            "Please enter an integer between 0 and 50000.");
  EXPECT_EQ(CheckIntegerField("", 0, 50000, &value),
            "Please enter an integer between 0 and 50000.");
  EXPECT_EQ(value, -1);
  EXPECT_EQ(CheckIntegerField("65535", 0, 65535, &value), std::nullopt);
  EXPECT_EQ(value, 65535);
}

TEST(SettingsChecksTest, TooLongTextsAreRefusedWithTheLimit) {
  EXPECT_EQ(CheckTextLength(std::string(33, 'a'), 32), "Please enter no more than 32 characters.");
  EXPECT_EQ(CheckTextLength("ab", 1), "Please enter no more than 1 characters.");
  EXPECT_EQ(CheckTextLength(std::string(16, '1'), 16), std::nullopt);
}

TEST(SettingsChecksTest, AddressListsFollowTheDottedRules) {
  EXPECT_TRUE(IsValidAddressList("192.168.0.1,192.168.0.2"));
  EXPECT_TRUE(IsValidAddressList("10.0.0.1,"));  // a trailing comma is ignored
  EXPECT_FALSE(IsValidAddressList("192.168.0.256"));
  EXPECT_FALSE(IsValidAddressList("192.168.1"));
  EXPECT_FALSE(IsValidAddressList(",10.0.0.1"));
  EXPECT_FALSE(IsValidAddressList("10.0.0.1,,10.0.0.2"));
  EXPECT_FALSE(IsValidAddressList("10.0.0.1,bad"));
  EXPECT_FALSE(IsValidAddressList("10..0.1"));
  EXPECT_FALSE(IsValidAddressList("255.255.255.255"));
  EXPECT_FALSE(IsValidAddressList(""));
  EXPECT_FALSE(IsValidAddressList(","));
}

TEST(SettingsChecksTest, PasswordsMustMatchAndNotBeEmpty) {
  EXPECT_EQ(CheckPasswords("a", "b"),
            "You enter a different password in the Repeat Password field!");
  EXPECT_EQ(CheckPasswords("", "b"),
            "You enter a different password in the Repeat Password field!");
  EXPECT_EQ(CheckPasswords("", ""), "You forgot to enter a password in the Password field!");
  EXPECT_EQ(CheckPasswords("s3cret", "s3cret"), std::nullopt);
}

TEST(SettingsChecksTest, EnablingDhcpOrEmailNeedsTheirSettings) {
  engine::ProtocolSettings dhcp;
  dhcp.name = "DHCP";
  dhcp.extra = engine::DhcpSettings{};
  EXPECT_EQ(CheckDaemonEnable(dhcp),
            "You forgot to setup DHCP daemon! \nYou must specify the range of IP addresses and "
            "Subnet Mask by clicking the Advanced button.");
  std::get<engine::DhcpSettings>(dhcp.extra).FromAddr = "10.0.0.10";
  std::get<engine::DhcpSettings>(dhcp.extra).ToAddr = "10.0.0.20";
  EXPECT_NE(CheckDaemonEnable(dhcp), std::nullopt);
  std::get<engine::DhcpSettings>(dhcp.extra).Netmask = "255.255.255.0";
  EXPECT_EQ(CheckDaemonEnable(dhcp), std::nullopt);

  engine::ProtocolSettings email;
  email.name = "Email";
  email.extra = engine::EmailSettings{};
  std::get<engine::EmailSettings>(email.extra).Pop3S_ip = "pop.example.test";
  EXPECT_EQ(CheckDaemonEnable(email),
            "You forgot to setup Email daemon! \nYou must specify the default remote POP3 / SMTP "
            "server ip \nor name by clicking the Advanced button.");
  std::get<engine::EmailSettings>(email.extra).SmtpS_ip = "smtp.example.test";
  EXPECT_EQ(CheckDaemonEnable(email), std::nullopt);

  engine::ProtocolSettings socks;
  socks.name = "SOCKS";
  EXPECT_EQ(CheckDaemonEnable(socks), std::nullopt);
}

TEST(SettingsChecksTest, DaemonAddressListsAreChecked) {
  EXPECT_EQ(CheckDaemonListeners("SOCKS", {}), "You forget to enter Proxy IP:Port!");
  EXPECT_EQ(CheckDaemonListeners("Email", {"127.0.0.1:110"}),
            "The Proxy IP Address:Proxy Port list must have two entries for Email daemon!");
  EXPECT_EQ(CheckDaemonListeners("Email", {"127.0.0.1:110", "127.0.0.1:25"}), std::nullopt);
  EXPECT_EQ(CheckDaemonListeners("SOCKS", {"127.0.0.1:1080"}), std::nullopt);
  EXPECT_EQ(CheckEmailAdvancedOpen({"127.0.0.1:110"}),
            "The Proxy IP Address:Proxy Port list must have two entries!");
  EXPECT_EQ(CheckEmailAdvancedOpen({"127.0.0.1:110", "127.0.0.1:25"}), std::nullopt);
}

TEST(SettingsChecksTest, SmtpProxyPortCannotBeEmptyOrThePop3Port) {
  EXPECT_EQ(CheckSmtpProxyPort("110"),
            "Please make sure SMTP proxy port is correct!\nIt can not be 110.");
  EXPECT_EQ(CheckSmtpProxyPort(""),
            "Please make sure SMTP proxy port is correct!\nIt can not be 110.");
  EXPECT_EQ(CheckSmtpProxyPort("25"), std::nullopt);
}

TEST(SettingsChecksTest, DhcpChecksComeInTheirOrder) {
  DhcpFields f;
  EXPECT_EQ(CheckDhcp(f), "DHCP From Address is invalid!");
  f.from = "10.0.0.10";
  EXPECT_EQ(CheckDhcp(f), "DHCP To Address is invalid!");
  f.to = "10.0.0.20";
  EXPECT_EQ(CheckDhcp(f), "DHCP Subnet Mask is invalid!");
  f.netmask = "255.255.255.0";
  EXPECT_EQ(CheckDhcp(f), std::nullopt);
  f.gateway = "10.0.0.1,10.0.0.300";
  EXPECT_EQ(CheckDhcp(f), "DHCP Default Gateway is invalid!");
  f.gateway = "10.0.0.1,10.0.0.2";
  f.dns = "10.0.0.1,x";
  EXPECT_EQ(CheckDhcp(f), "DHCP DNS Server is invalid!");
  f.dns = "10.0.0.1";
  EXPECT_EQ(CheckDhcp(f), std::nullopt);
}

TEST(SettingsChecksTest, PortMappingChecksComeInTheirOrder) {
  engine::PortMapSettings map = GoodMap();
  EXPECT_EQ(CheckPortMap(map), std::nullopt);
  map.remote_server.clear();
  map.name.clear();
  EXPECT_EQ(CheckPortMap(map), "You forget to enter Destination Server Name or IP!");
  map.remote_server = "127.0.0.1";
  EXPECT_EQ(CheckPortMap(map),
            "You forget to enter an unique Port Mapping Name for Activity View!");
  map.name = "news";
  map.remote_port = 0;
  EXPECT_EQ(CheckPortMap(map), "You forget to set the Destination Port!");
  map.remote_port = 119;
  map.listeners.clear();
  EXPECT_EQ(CheckPortMap(map), "You forget to enter proxy IP:PORT in the list!");
  map.listeners = {"127.0.0.1:1119"};
  map.name = ":news";
  EXPECT_EQ(CheckPortMap(map), "Port Mapping Name can only use alpha-numeric letters!");
  map.name = "ne:ws";
  EXPECT_EQ(CheckPortMap(map), "Port Mapping Name can only use alpha-numeric letters!");
}

TEST(SettingsChecksTest, ListenerTextsJoinAndSplit) {
  EXPECT_EQ(ListenerText("127.0.0.1", 1080), "127.0.0.1:1080");
  EXPECT_EQ(ListenerPort("127.0.0.1:1080", 0), 1080);
  EXPECT_EQ(ListenerPort("127.0.0.1", 21), 21);
  EXPECT_TRUE(ResolvesHostName("127.0.0.1"));
}

}  // namespace
}  // namespace qlm::manager

namespace qlm::manager {
namespace {

TEST(SettingsChecksTest, DuplicateDaemonListenersAreRefused) {
  std::vector<engine::ProtocolSettings> daemons(2);
  daemons[0].name = "HTTP";
  daemons[0].listeners = {"127.0.0.1:80"};
  daemons[1].name = "SOCKS";
  daemons[1].listeners = {"127.0.0.1:1080"};
  EXPECT_EQ(CheckDaemonListenerConflicts(daemons, 1, {"127.0.0.1:1080", "127.0.0.1:80"}),
            "The Proxy IP:Port 127.0.0.1:80 is used by the HTTP daemon already!");
  EXPECT_EQ(CheckDaemonListenerConflicts(daemons, 1, {"127.0.0.1:1080", "127.0.0.1:81"}),
            std::nullopt);
}

TEST(SettingsChecksTest, DuplicateMappingNamesAndListenersAreRefused) {
  std::vector<engine::PortMapSettings> maps(1);
  maps[0].name = "News";
  maps[0].listeners = {"127.0.0.1:119"};
  engine::PortMapSettings map;
  map.name = "news";
  map.listeners = {"127.0.0.1:120"};
  EXPECT_EQ(CheckPortMapConflicts(maps, maps.size(), map),
            "This Port Mapping Name is used by another port mapping already!");
  EXPECT_EQ(CheckPortMapConflicts(maps, 0, map), std::nullopt);  // editing itself
  map.name = "other";
  map.listeners = {"127.0.0.1:119"};
  EXPECT_EQ(CheckPortMapConflicts(maps, maps.size(), map),
            "The proxy IP:PORT 127.0.0.1:119 is used by the port mapping News already!");
  map.protocol = "udp";
  EXPECT_EQ(CheckPortMapConflicts(maps, maps.size(), map), std::nullopt);
}

}  // namespace
}  // namespace qlm::manager
