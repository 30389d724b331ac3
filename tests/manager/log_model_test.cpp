// The log viewer: lines cut into columns, row icons, newest first, whole
// logs and new lines taken on the heartbeat or by "Refresh".
#include "manager/log_model.h"

#include <gtest/gtest.h>

#include "manager/log_store.h"

namespace qlm::manager {
namespace {

LogColumns Columns(std::initializer_list<const char*> texts) {
  LogColumns columns;
  columns.fill(" ");
  size_t i = 0;
  for (const char* t : texts) {
    columns[i++] = t;
  }
  return columns;
}

TEST(LogModelTest, ColumnsAreTheNamedOnesWithTheirWidths) {
  const char* titles[] = {"Date", "Time", "ID", "Operation", "S_IP",
                          "S_Name", "D_IP", "D_NAME", "D_Port", "Message"};
  const int widths[] = {90, 60, 50, 70, 100, 100, 100, 140, 50, 800};
  for (size_t c = 0; c < kLogColumnCount; ++c) {
    EXPECT_STREQ(kLogColumns[c].title, titles[c]);
    EXPECT_EQ(kLogColumns[c].width, widths[c]);
  }
}

TEST(LogModelTest, AnActivityLineFillsEveryColumn) {
  const std::string line =
      "12/08/2026 10:11:12 0x1a2b SOCKS     127.0.0.1        client.lan       "
      "93.184.216.34    example.com               80     CONNECT done";
  EXPECT_EQ(SplitLogLine(line),
            Columns({"12/08/2026", "10:11:12", "0x1a2b", "SOCKS", "127.0.0.1", "client.lan",
                     "93.184.216.34", "example.com", "80", "    CONNECT done"}));
}

TEST(LogModelTest, AnErrorLineKeepsTheBlanksOfItsMessage) {
  const std::string line = "12/08/2026 10:11:12 0x1a2b ERR   CBlockingSocket::Connect  error #10061";
  const LogColumns columns = SplitLogLine(line);
  EXPECT_EQ(columns[3], "ERR");
  EXPECT_EQ(columns[9], "  CBlockingSocket::Connect  error #10061");
  EXPECT_EQ(columns[4], " ");
}

TEST(LogModelTest, AShortLineFillsOnlyTheLeadingColumns) {
  EXPECT_EQ(SplitLogLine("12/08/2026 10:11:12"), Columns({"12/08/2026", "10:11:12"}));
  EXPECT_EQ(SplitLogLine(""), Columns({}));
  EXPECT_EQ(SplitLogLine("a b c HTTP d"), Columns({"a", "b", "c", "HTTP", "d"}));
}

TEST(LogModelTest, IconsFollowTheOperation) {
  EXPECT_EQ(LogIconIndex("ERR"), 1);
  EXPECT_EQ(LogIconIndex("HTTP"), 2);
  EXPECT_EQ(LogIconIndex("DIAL-ON"), 3);
  EXPECT_EQ(LogIconIndex("DIAL"), 3);
  EXPECT_EQ(LogIconIndex("DIAL-OFF"), 4);
  EXPECT_EQ(LogIconIndex("INFO"), 5);
  EXPECT_EQ(LogIconIndex("HTTPS"), 6);
  EXPECT_EQ(LogIconIndex("POP3"), 7);
  EXPECT_EQ(LogIconIndex("SMTP"), 7);
  EXPECT_EQ(LogIconIndex("SOCKS"), 0);
  EXPECT_EQ(LogIconIndex(" "), 0);
}

TEST(LogModelTest, NothingIsShownUntilTheWholeLogArrives) {
  CLogStore store;
  CLogModel model(&store);
  EXPECT_EQ(model.RefreshLog(), CLogModel::Change::kNone);
  EXPECT_EQ(model.RowCount(), 0u);
}

TEST(LogModelTest, TheWholeLogThenNewLinesNewestFirst) {
  CLogStore store;
  CLogModel model(&store);
  store.SetLogContent({"one", "two"});
  EXPECT_EQ(model.RefreshLog(), CLogModel::Change::kReloaded);
  ASSERT_EQ(model.RowCount(), 2u);
  EXPECT_EQ(model.RowLine(0), "two");
  store.AppendLogLine("three");
  store.AppendLogLine("four");
  EXPECT_EQ(model.RefreshLog(), CLogModel::Change::kAppended);
  ASSERT_EQ(model.RowCount(), 4u);
  EXPECT_EQ(model.RowLine(0), "four");
  EXPECT_EQ(model.RowLine(3), "one");
}

TEST(LogModelTest, AReconnectionReplacesTheRows) {
  CLogStore store;
  CLogModel model(&store);
  store.SetLogContent({"old1", "old2"});
  model.RefreshLog();
  store.AppendLogLine("lost with the old connection");
  store.SetLogContent({"new"});
  store.AppendLogLine("newer");
  EXPECT_EQ(model.RefreshLog(), CLogModel::Change::kReloaded);
  ASSERT_EQ(model.RowCount(), 2u);
  EXPECT_EQ(model.RowLine(0), "newer");
  EXPECT_EQ(model.RowLine(1), "new");
}

TEST(LogModelTest, RefreshMovesTheWaitingLinesIn) {
  CLogStore store;
  CLogModel model(&store);
  store.SetLogContent({"a"});
  model.ReloadLog();
  store.AppendLogLine("b");
  model.ReloadLog();
  ASSERT_EQ(model.RowCount(), 2u);
  EXPECT_EQ(model.RowLine(0), "b");
}

TEST(LogModelTest, EveryReceivedLineIsKept) {
  CLogStore store;
  CLogModel model(&store);
  store.SetLogContent({});
  model.RefreshLog();
  for (int i = 0; i < 20000; ++i) {
    store.AppendLogLine("line " + std::to_string(i));
  }
  model.RefreshLog();
  EXPECT_EQ(model.RowCount(), 20000u);
  EXPECT_EQ(model.RowLine(0), "line 19999");
}

}  // namespace
}  // namespace qlm::manager
