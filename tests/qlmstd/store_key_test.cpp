// The store's registry model: names without case, enumeration order, typed
// values, subtrees deleted whole, transactions seen whole or not at all.
#include <gtest/gtest.h>

#include <stdexcept>

#include "qlmstd/store_transaction.h"
#include "tests/qlmstd/store_fixture.h"

namespace qlm::qlmstd {
namespace {

using CStoreKeyTest = StoreTest;

TEST_F(CStoreKeyTest, KeyAndValueNamesIgnoreCaseAndKeepTheFirstSpelling) {
  CStoreKey key = Root(true).Open("Daemons\\127.0.0.1:1080", true);
  ASSERT_TRUE(key);
  EXPECT_TRUE(key.SetString("Name", "SOCKS"));
  EXPECT_TRUE(key.SetString("NAME", "HTTP"));  // same value, not a second one
  CStoreKey again = Root().Open("DAEMONS\\127.0.0.1:1080", false);
  ASSERT_TRUE(again);
  auto value = again.Query("name");
  ASSERT_TRUE(value);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(value->data.data())), "HTTP");
  auto first = again.EnumValue(0);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->first, "Name");
  EXPECT_FALSE(again.EnumValue(1));
  EXPECT_EQ(Root().EnumKey(0), "Daemons");
}

TEST_F(CStoreKeyTest, SubkeysEnumerateByIndexInCaseInsensitiveOrder) {
  CStoreKey section = Root(true).Open("PortMap", true);
  for (const char* name : {"b", "C", "a", "B2"}) {
    ASSERT_TRUE(section.Open(name, true));
  }
  std::vector<std::string> names;
  for (uint32_t i = 0; auto name = section.EnumKey(i); ++i) {
    names.push_back(*name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "B2", "C"}));
  EXPECT_FALSE(section.EnumKey(4));
}

TEST_F(CStoreKeyTest, ValuesKeepTheirTypeAndBytes) {
  CStoreKey key = Root(true);
  const uint8_t bytes[] = {0, 1, 0xff};
  ASSERT_TRUE(key.SetDword("D", 0x01020304));
  ASSERT_TRUE(key.SetBinary("B", bytes, 3));
  ASSERT_TRUE(key.SetString("S", "text"));
  EXPECT_EQ(key.Query("D")->type, ValueType::kDword);
  EXPECT_EQ(key.Query("D")->data, (std::vector<uint8_t>{4, 3, 2, 1}));
  EXPECT_EQ(key.Query("B")->data, (std::vector<uint8_t>{0, 1, 0xff}));
  EXPECT_EQ(key.Query("S")->data, (std::vector<uint8_t>{'t', 'e', 'x', 't', 0}));
  EXPECT_TRUE(key.DeleteValue("s"));
  EXPECT_FALSE(key.DeleteValue("s"));
  EXPECT_FALSE(key.Query("S"));
}

TEST_F(CStoreKeyTest, DeletingAKeyRemovesEverythingBelowIt) {
  CStoreKey root = Root(true);
  CStoreKey deep = root.Open("Daemons\\e\\server\\x", true);
  ASSERT_TRUE(deep.SetString("v", "1"));
  EXPECT_EQ(root.DeleteTree("DAEMONS"), kStatusSuccess);
  EXPECT_FALSE(root.Open("Daemons", false));
  EXPECT_EQ(root.DeleteTree("Daemons"), kStatusFileNotFound);
  // A key handle held across the deletion writes nothing into the void.
  EXPECT_FALSE(deep.SetString("v", "2"));
}

TEST_F(CStoreKeyTest, MissingLevelsAreOnlyCreatedWhenAsked) {
  EXPECT_FALSE(Root());
  EXPECT_FALSE(CStoreKey().Open("x", true));
  EXPECT_FALSE(CStoreKey().EnumKey(0));
  EXPECT_FALSE(CStoreKey().SetDword("x", 1));
  ASSERT_TRUE(Root(true));
  EXPECT_EQ(Root().Path(), "SOFTWARE\\Kestrela\\Quillmar\\2.6");
}

TEST_F(CStoreKeyTest, ATransactionIsSeenWholeAfterCommitAndNotAtAllAfterRollback) {
  MakeRoot();
  {
    CStoreTransaction transaction;
    ASSERT_TRUE(transaction.Active());
    Root().Open("General", true).SetDword("A", 1);
    Root().Open("General", true).SetDword("B", 2);
    // Not committed: dropped when the transaction ends.
  }
  EXPECT_FALSE(Root().Open("General", false));
  {
    CStoreTransaction transaction;
    Root().Open("General", true).SetDword("A", 1);
    {
      CStoreTransaction inner;  // joins the outer one
      Root().Open("General", true).SetDword("B", 2);
      EXPECT_TRUE(inner.Commit());
    }
    EXPECT_TRUE(transaction.Commit());
  }
  EXPECT_TRUE(Root().Open("General", false).Query("A"));
  EXPECT_TRUE(Root().Open("General", false).Query("B"));
}

// A key opened before its thread begins a transaction writes inside it (on
// its own connection it would wait for the lock its own thread holds), and
// an exception ending the transaction rolls those writes back.
TEST_F(CStoreKeyTest, KeysOpenedBeforeATransactionJoinItAndAThrowRollsItBack) {
  MakeRoot();
  CStoreKey general = Root().Open("General", true);
  ASSERT_TRUE(general);
  try {
    CStoreTransaction transaction;
    ASSERT_TRUE(transaction.Active());
    EXPECT_TRUE(general.SetDword("A", 1));
    EXPECT_TRUE(general.Open("Sub", true));
    EXPECT_TRUE(general.Query("A"));
    throw std::runtime_error("save failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_FALSE(general.Query("A"));
  EXPECT_FALSE(general.HasSubKey("Sub"));
  EXPECT_TRUE(general.SetDword("B", 2));
  EXPECT_TRUE(Root().Open("General", false).Query("B"));
}

TEST_F(CStoreKeyTest, AnUnopenableStoreGivesNullKeys) {
  setenv("QUILLMAR_STORE", (dir_ + "/no/such/folder/x.db").c_str(), 1);
  EXPECT_FALSE(CStoreKey::OpenTop(CStoreKey::Top::kLocalMachine, "SOFTWARE", true));
  CStoreTransaction transaction;
  EXPECT_FALSE(transaction.Active());
  EXPECT_FALSE(transaction.Commit());
}

}  // namespace
}  // namespace qlm::qlmstd
