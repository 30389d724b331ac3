// Listener texts, the service address and the key list.
#include "engine/service/listener_text.h"

#include <gtest/gtest.h>

namespace qlm::engine {
namespace {

TEST(ListenerTextTest, DaemonTextSplitsAtTheFirstColon) {
  const ListenerAddress a = SplitDaemonListener("10.0.0.1:8080", 80);
  EXPECT_EQ(a.ip, "10.0.0.1");
  EXPECT_EQ(a.port, 8080);
  const ListenerAddress b = SplitDaemonListener("10.0.0.1", 1080);
  EXPECT_EQ(b.ip, "10.0.0.1");
  EXPECT_EQ(b.port, 1080);  // bare IP: the daemon's default port
  const ListenerAddress c = SplitDaemonListener("10.0.0.1:", 21);
  EXPECT_EQ(c.port, 0);     // a colon with nothing after it is port 0, not the default
  const ListenerAddress d = SplitDaemonListener("1.2.3.4:25:99", 0);
  EXPECT_EQ(d.ip, "1.2.3.4");
  EXPECT_EQ(d.port, 25);
  EXPECT_EQ(SplitDaemonListener("1.2.3.4:80x", 0).port, 80);
}

TEST(ListenerTextTest, TextsAreCutAt31Characters) {
  // 27 characters of address, then ":12345": the cut leaves ":123".
  const std::string ip(27, '1');
  const ListenerAddress a = SplitDaemonListener(ip + ":12345", 0);
  EXPECT_EQ(a.ip, ip);
  EXPECT_EQ(a.port, 123);
  // The colon beyond the 31st character is never seen: default port.
  const ListenerAddress b = SplitDaemonListener(std::string(31, '2') + ":80", 7);
  EXPECT_EQ(b.ip, std::string(31, '2'));
  EXPECT_EQ(b.port, 7);
}

TEST(ListenerTextTest, PortMapTextWithoutColonIsNoListener) {
  EXPECT_FALSE(SplitPortMapListener("10.0.0.1").has_value());
  const auto a = SplitPortMapListener("10.0.0.1:5000");
  ASSERT_TRUE(a.has_value());
  EXPECT_EQ(a->ip, "10.0.0.1");
  EXPECT_EQ(a->port, 5000);
}

TEST(ListenerTextTest, UseDefaultIpBindsTheServiceAddress) {
  EXPECT_EQ(EffectiveListenIp("10.0.0.1", false, "192.168.1.1", "172.16.0.1"), "10.0.0.1");
  EXPECT_EQ(EffectiveListenIp("10.0.0.1", true, "192.168.1.1", "172.16.0.1"), "192.168.1.1");
  EXPECT_EQ(EffectiveListenIp("10.0.0.1", true, "", "172.16.0.1"), "172.16.0.1");
  EXPECT_EQ(EffectiveListenIp("x", true, std::string(40, '9'), ""), std::string(31, '9'));
}

TEST(ListenerTextTest, KeysAndTheKeyList) {
  EXPECT_EQ(ListenerKey("127.0.0.1", "HTTP", 80), "127.0.0.1:HTTP:80");
  CListenerKeyList keys;
  EXPECT_FALSE(keys.Contains("127.0.0.1:HTTP:80"));
  keys.Add("127.0.0.1:HTTP:80");
  EXPECT_TRUE(keys.Contains("127.0.0.1:HTTP:80"));
  EXPECT_FALSE(keys.Contains("127.0.0.1:SOCKS:80"));  // same address and port, other name
  EXPECT_FALSE(keys.Contains("127.0.0.1:http:80"));   // names compare exactly
}

}  // namespace
}  // namespace qlm::engine
