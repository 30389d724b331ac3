// The product-store functions of CQlmstd and their exact results.
#include <gtest/gtest.h>

#include <cstring>

#include "qlmstd/qlmstd.h"
#include "tests/qlmstd/store_fixture.h"

namespace qlm::qlmstd {
namespace {

using CQlmstdProfileTest = StoreTest;

TEST_F(CQlmstdProfileTest, AMissingRootMakesReadsDefaultAndWritesFail) {
  char buffer[16] = "untouched";
  EXPECT_FALSE(CQlmstd::GetAppKey(kMakerName, kProductName));
  EXPECT_FALSE(CQlmstd::GetAppSectionKey("General"));
  EXPECT_EQ(CQlmstd::GetRegProfileInt("General", "AutoUpdate", 7), 7u);
  EXPECT_FALSE(CQlmstd::GetAppInstallDir(buffer, sizeof buffer));
  EXPECT_FALSE(CQlmstd::WriteRegProfileInt("General", "AutoUpdate", 1));
  EXPECT_FALSE(CQlmstd::WriteRegProfileString("General", "DefaultIP", "x"));
  EXPECT_FALSE(CQlmstd::WriteAppKeyStringValue("UpdateDate", "x"));
  EXPECT_STREQ(buffer, "untouched");
  // The root is never created by the library.
  EXPECT_FALSE(CQlmstd::GetAppKey(kMakerName, kProductName));
}

TEST_F(CQlmstdProfileTest, GetRegProfileStringGivesTheDefaultPointerAndLeavesTheBuffer) {
  MakeRoot();
  char buffer[8] = "keep";
  const char* def = "default";
  EXPECT_EQ(CQlmstd::GetRegProfileString("General", "DefaultIP", def, buffer, sizeof buffer), def);
  EXPECT_STREQ(buffer, "keep");
  EXPECT_EQ(CQlmstd::GetRegProfileString("General", "DefaultIP", nullptr, buffer, sizeof buffer),
            nullptr);
  ASSERT_TRUE(CQlmstd::WriteRegProfileString("General", "DefaultIP", "192.168.100.1"));
  // Present: copied, cut to size-1 characters and terminated.
  EXPECT_EQ(CQlmstd::GetRegProfileString("General", "defaultip", def, buffer, sizeof buffer),
            buffer);
  EXPECT_STREQ(buffer, "192.168");
}

TEST_F(CQlmstdProfileTest, GetRegProfileIntOnAMissingSectionCreatesItAndGivesTheDefault) {
  MakeRoot();
  EXPECT_FALSE(CQlmstd::GetAppKey(kMakerName, kProductName).Open("Activity", false));
  EXPECT_EQ(CQlmstd::GetRegProfileInt("Activity", "MaxConnections", 2000), 2000u);
  EXPECT_TRUE(CQlmstd::GetAppKey(kMakerName, kProductName).Open("Activity", false));
  ASSERT_TRUE(CQlmstd::WriteRegProfileInt("Activity", "MaxConnections", 50));
  EXPECT_EQ(CQlmstd::GetRegProfileInt("Activity", "MaxConnections", 2000), 50u);
  // Four bytes are read whatever the type; a shorter value gives the default.
  ASSERT_TRUE(CQlmstd::WriteRegProfileString("Activity", "Text", "abcd"));
  uint32_t abcd = 0;
  std::memcpy(&abcd, "abcd", 4);
  EXPECT_EQ(CQlmstd::GetRegProfileInt("Activity", "Text", 1), abcd);
  ASSERT_TRUE(CQlmstd::WriteRegProfileString("Activity", "Short", "a"));
  EXPECT_EQ(CQlmstd::GetRegProfileInt("Activity", "Short", 1), 1u);
}

TEST_F(CQlmstdProfileTest, WriteRegProfileStringWithNullsDeletesSubkeyValueOrSection) {
  MakeRoot();
  CStoreKey entry = CQlmstd::GetAppSubSectionKey("Daemons", "127.0.0.1:53");
  ASSERT_TRUE(entry);
  ASSERT_TRUE(CQlmstd::WriteRegProfileString("Daemons", "127.0.0.1:53x", "value"));
  // Null text: the subkey of that name goes, with what is below it...
  CQlmstd::GetAppSubSectionKey("Daemons", "127.0.0.1:53\\server");
  EXPECT_TRUE(CQlmstd::WriteRegProfileString("Daemons", "127.0.0.1:53", nullptr));
  EXPECT_FALSE(CQlmstd::GetAppSectionKey("Daemons").HasSubKey("127.0.0.1:53"));
  // ...else the value of that name.
  EXPECT_TRUE(CQlmstd::WriteRegProfileString("Daemons", "127.0.0.1:53X", nullptr));
  EXPECT_FALSE(CQlmstd::GetAppSectionKey("Daemons").Query("127.0.0.1:53x"));
  EXPECT_FALSE(CQlmstd::WriteRegProfileString("Daemons", "absent", nullptr));
  // Null name: the whole section.
  CQlmstd::GetAppSubSectionKey("Daemons", "a");
  EXPECT_TRUE(CQlmstd::WriteRegProfileString("Daemons", nullptr, nullptr));
  EXPECT_FALSE(CQlmstd::GetAppKey(kMakerName, kProductName).HasSubKey("Daemons"));
}

TEST_F(CQlmstdProfileTest, KeyReadsOnNullKeysAndMissingValues) {
  MakeRoot();
  char buffer[4] = "abc";
  uint32_t size = 99;
  EXPECT_EQ(CQlmstd::GetRegInt(CStoreKey(), "x"), 0u);
  EXPECT_FALSE(CQlmstd::GetRegString(CStoreKey(), "x", buffer, sizeof buffer));
  EXPECT_EQ(CQlmstd::GetRegBinary(CStoreKey(), "x", size), nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_FALSE(CQlmstd::WriteRegBinary(CStoreKey(), "x", nullptr, 0));
  CStoreKey key = CQlmstd::GetAppSubSectionKey("PortMap", "10.0.0.1:25");
  EXPECT_EQ(CQlmstd::GetRegInt(key, "RemotePort"), 0u);
  key.SetString("Name", "mail");
  size = 99;
  EXPECT_EQ(CQlmstd::GetRegBinary(key, "Name", size), nullptr);  // not binary
  EXPECT_EQ(size, 0u);
  const uint8_t flag = 1;
  ASSERT_TRUE(CQlmstd::WriteRegBinary(key, "Enable", &flag, 1));
  auto bytes = CQlmstd::GetRegBinary(key, "enable", size);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(size, 1u);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_TRUE(CQlmstd::GetRegString(key, "Name", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "mai");
}

TEST_F(CQlmstdProfileTest, RootValuesAndTheInstallFolder) {
  MakeRoot();
  char buffer[256];
  ASSERT_TRUE(CQlmstd::GetAppInstallDir(buffer, sizeof buffer));
  EXPECT_EQ(std::string(buffer), dir_);
  EXPECT_TRUE(CQlmstd::WriteAppKeyStringValue("UpdateDate", "12/08/2026"));
  ASSERT_TRUE(CQlmstd::GetAppKeyValue("UPDATEDATE", buffer, 6));
  EXPECT_STREQ(buffer, "12/08");
  EXPECT_FALSE(CQlmstd::GetAppKeyValue("Missing", buffer, sizeof buffer));
}

TEST_F(CQlmstdProfileTest, DeleteSubKeyEmptiesTheKeyThenDeletesItByName) {
  MakeRoot();
  CStoreKey section = CQlmstd::GetAppSectionKey("DHCP");
  for (const char* lease : {"a\\x", "b", "c\\y\\z"}) {
    section.Open(lease, true);
  }
  CStoreKey parent = CQlmstd::GetAppKey(kMakerName, kProductName);
  EXPECT_EQ(CQlmstd::DeleteSubKey(parent, CQlmstd::GetAppSectionKey("DHCP"), "DHCP"),
            kStatusSuccess);
  EXPECT_FALSE(parent.HasSubKey("DHCP"));
  EXPECT_EQ(CQlmstd::DeleteSubKey(parent, CStoreKey(), "DHCP"), kStatusFileNotFound);
  EXPECT_EQ(CQlmstd::DeleteSubKey(CStoreKey(), CStoreKey(), "DHCP"), kStatusInvalidHandle);
}

}  // namespace
}  // namespace qlm::qlmstd
