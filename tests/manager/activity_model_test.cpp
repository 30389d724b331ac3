// The activity tree's rules: daemons by address, name and port, connection
// lines added, changed and removed, rebuilds, the root's status label.
#include "manager/activity_model.h"

#include <gtest/gtest.h>

namespace qlm::manager {
namespace {

link::CActivityMsg Line(const std::string& key, const std::string& connection,
                        const std::string& text) {
  return {key, connection, text};
}

class ActivityModelTest : public ::testing::Test {
 protected:
  void Daemons(const std::vector<std::string>& keys) {
    model_.SetDaemonKeys(keys);
    model_.Rebuild();
  }
  CActivityModel model_;
};

TEST_F(ActivityModelTest, StartsWithTheRootAlone) {
  EXPECT_EQ(model_.Dump(), "Proxy Connections\n");
}

TEST_F(ActivityModelTest, TwoDaemonsOnOneAddressShareTheAddressNode) {
  Daemons({"10.0.0.1:HTTP:80", "10.0.0.1:SOCKS:1080"});
  EXPECT_EQ(model_.Dump(),
            "Proxy Connections\n"
            "  10.0.0.1\n"
            "    HTTP\n"
            "      Port 80\n"
            "    SOCKS\n"
            "      Port 1080\n");
  EXPECT_TRUE(model_.Get(model_.Root()).expanded);
  const auto address = model_.Get(model_.Root()).children.at(0);
  EXPECT_TRUE(model_.Get(address).expanded);
  EXPECT_NE(model_.Lookup("10.0.0.1:HTTP:80"), 0u);
  EXPECT_NE(model_.Lookup("10.0.0.1:HTTP"), 0u);
  EXPECT_NE(model_.Lookup("10.0.0.1"), 0u);
}

TEST_F(ActivityModelTest, KeysBeforeARebuildHaveNoItem) {
  model_.SetDaemonKeys({"10.0.0.1:HTTP:80"});
  bool known = false;
  EXPECT_EQ(model_.Lookup("10.0.0.1:HTTP:80", &known), 0u);
  EXPECT_TRUE(known);
  // Activity before the rebuild is dropped: the daemon has no node yet.
  model_.AddActivity(Line("10.0.0.1:HTTP:80", "0x1a0", "GET /"));
  model_.Rebuild();
  EXPECT_EQ(model_.Dump(), "Proxy Connections\n  10.0.0.1\n    HTTP\n      Port 80\n");
}

TEST_F(ActivityModelTest, ALineIsAddedUnderItsPortAndExpandsIt) {
  Daemons({"10.0.0.1:HTTP:80"});
  model_.AddActivity(Line("10.0.0.1:HTTP:80", "0x1a00", "GET http://a/"));
  EXPECT_EQ(model_.Dump(),
            "Proxy Connections\n  10.0.0.1\n    HTTP\n      Port 80\n        GET http://a/\n");
  // The port node and everything above it open, so the new line is seen.
  EXPECT_TRUE(model_.Get(model_.Lookup("10.0.0.1:HTTP:80")).expanded);
  EXPECT_TRUE(model_.Get(model_.Lookup("10.0.0.1:HTTP")).expanded);
  EXPECT_NE(model_.Lookup("10.0.0.1:HTTP:80:0x1a00"), 0u);
}

TEST_F(ActivityModelTest, ARebuildOpensOnlyTheRootAndTheAddresses) {
  Daemons({"10.0.0.1:HTTP:80"});
  EXPECT_FALSE(model_.Get(model_.Lookup("10.0.0.1:HTTP")).expanded);
  EXPECT_FALSE(model_.Get(model_.Lookup("10.0.0.1:HTTP:80")).expanded);
}

TEST_F(ActivityModelTest, WhatTheAdministratorClosesStaysClosed) {
  Daemons({"10.0.0.1:HTTP:80"});
  const auto address = model_.Lookup("10.0.0.1");
  const uint64_t before = model_.Revision();
  model_.SetExpanded(address, false);
  EXPECT_FALSE(model_.Get(address).expanded);
  EXPECT_GT(model_.Revision(), before);
}

TEST_F(ActivityModelTest, TwoMessagesOfOneConnectionUpdateOneLine) {
  Daemons({"10.0.0.1:HTTP:80"});
  model_.AddActivity(Line("10.0.0.1:HTTP:80", "0x1a00", "first"));
  model_.AddActivity(Line("10.0.0.1:HTTP:80", "0x1a00", "second"));
  EXPECT_EQ(model_.Dump(), "Proxy Connections\n  10.0.0.1\n    HTTP\n      Port 80\n        second\n");
}

TEST_F(ActivityModelTest, FurtherLinesOfOneConnectionAreLinesOfTheirOwn) {
  Daemons({"10.0.0.1:HTTP:80"});
  model_.AddActivity(Line("10.0.0.1:HTTP:80", "0x1a00", "main"));
  model_.AddActivity(Line("10.0.0.1:HTTP:80", "0x1a01", "data"));
  EXPECT_EQ(model_.Get(model_.Lookup("10.0.0.1:HTTP:80")).children.size(), 2u);
}

TEST_F(ActivityModelTest, AnEmptyTextRemovesTheLine) {
  Daemons({"10.0.0.1:HTTP:80"});
  model_.AddActivity(Line("10.0.0.1:HTTP:80", "0x1a00", "GET"));
  model_.AddActivity(Line("10.0.0.1:HTTP:80", "0x1a00", ""));
  EXPECT_EQ(model_.Dump(), "Proxy Connections\n  10.0.0.1\n    HTTP\n      Port 80\n");
  bool known = true;
  model_.Lookup("10.0.0.1:HTTP:80:0x1a00", &known);
  EXPECT_FALSE(known);
}

TEST_F(ActivityModelTest, AnEmptyTextForAnUnknownLineChangesNothing) {
  Daemons({"10.0.0.1:HTTP:80"});
  const std::string before = model_.Dump();
  const size_t keys = model_.KeyCount();
  model_.AddActivity(Line("10.0.0.1:HTTP:80", "0x99", ""));
  EXPECT_EQ(model_.Dump(), before);
  EXPECT_EQ(model_.KeyCount(), keys);
}

TEST_F(ActivityModelTest, ActivityOfAnUnknownDaemonIsDropped) {
  Daemons({"10.0.0.1:HTTP:80"});
  model_.AddActivity(Line("10.0.0.2:SOCKS:1080", "0x1", "CONNECT"));
  EXPECT_EQ(model_.Dump(), "Proxy Connections\n  10.0.0.1\n    HTTP\n      Port 80\n");
}

TEST_F(ActivityModelTest, ARebuildDropsConnectionLinesUntilTheirNextMessage) {
  Daemons({"10.0.0.1:HTTP:80"});
  model_.AddActivity(Line("10.0.0.1:HTTP:80", "0x1", "GET"));
  model_.Rebuild();
  EXPECT_EQ(model_.Dump(), "Proxy Connections\n  10.0.0.1\n    HTTP\n      Port 80\n");
  model_.AddActivity(Line("10.0.0.1:HTTP:80", "0x1", "GET again"));
  EXPECT_EQ(model_.Dump(),
            "Proxy Connections\n  10.0.0.1\n    HTTP\n      Port 80\n        GET again\n");
}

TEST_F(ActivityModelTest, ANewDaemonListReplacesTheOldTree) {
  Daemons({"10.0.0.1:HTTP:80"});
  model_.AddActivity(Line("10.0.0.1:HTTP:80", "0x1", "GET"));
  Daemons({"10.0.0.2:POP3:110"});
  EXPECT_EQ(model_.Dump(), "Proxy Connections\n  10.0.0.2\n    POP3\n      Port 110\n");
}

TEST_F(ActivityModelTest, ClearedKeysRebuildToTheRootAlone) {
  Daemons({"10.0.0.1:HTTP:80"});
  model_.ClearKeys();
  model_.Rebuild();
  EXPECT_EQ(model_.Dump(), "Proxy Connections\n");
  EXPECT_FALSE(model_.Get(model_.Root()).expanded);
}

TEST_F(ActivityModelTest, PortMappingsAppearLikeDaemons) {
  Daemons({"10.0.0.1:mail-map:2525"});
  EXPECT_EQ(model_.Dump(), "Proxy Connections\n  10.0.0.1\n    mail-map\n      Port 2525\n");
}

TEST_F(ActivityModelTest, RootStatusIsCutTo255Characters) {
  model_.SetRootStatus("Dial-Up: Connected");
  EXPECT_EQ(model_.Get(model_.Root()).text, "Proxy Connections: Dial-Up: Connected");
  model_.SetRootStatus(std::string(300, 'a'));
  const std::string label = model_.Get(model_.Root()).text;
  EXPECT_EQ(label.size(), 255u);
  EXPECT_EQ(label, "Proxy Connections: " + std::string(255 - 19, 'a'));
  model_.SetRootStatus("");
  EXPECT_EQ(model_.Get(model_.Root()).text, "Proxy Connections: ");
}

}  // namespace
}  // namespace qlm::manager
