// The manager slot's rules without sockets: a write that fails takes the
// connection out of the slot at once (half a message may have gone out, so
// nothing may follow it), a newer connection ends the older one, and an
// older connection's answers never reach the newer manager.
#include "engine/manager_slot.h"

#include <gtest/gtest.h>
#include <poll.h>

namespace qlm::engine {
namespace {

class CScriptedFile : public net::CFile {
 public:
  size_t Read(void*, size_t) override { return 0; }
  void Write(const void* data, size_t count) override {
    if (fail) {
      throw net::CFileException(32, "broken pipe");
    }
    written.append(static_cast<const char*>(data), count);
  }
  void Close() override {}
  bool fail = false;
  std::string written;
};

struct TestConnection {
  TestConnection() : connection(std::make_shared<ManagerConnection>(
                         std::make_unique<net::CBlockingSocket>())) {
    connection->store = std::make_unique<link::CArchive>(&file, link::CArchive::store);
  }
  bool Ended() const {
    pollfd p{connection->ended.Fd(), POLLIN, 0};
    return poll(&p, 1, 0) == 1;
  }
  CScriptedFile file;
  std::shared_ptr<ManagerConnection> connection;
};

TEST(CManagerSlotTest, ProxyMessagesWaitForTheFirstAnswer) {
  CManagerSlot& slot = CManagerSlot::Instance();
  TestConnection manager;
  slot.Take(manager.connection);
  EXPECT_FALSE(slot.Connected());
  EXPECT_FALSE(slot.Send(link::CMsg(link::MSG_IDLE_HANGUP_WARNING)));
  slot.Answer(*manager.connection, link::CMsg(link::MSG_DAEMON_LIST));
  EXPECT_TRUE(slot.Connected());
  EXPECT_TRUE(slot.Send(link::CMsg(link::MSG_IDLE_HANGUP_WARNING)));
  EXPECT_EQ(manager.file.written, std::string("\x02\0\0\0\0\0\x08\0\0\0", 10));
  slot.Release(manager.connection);
  EXPECT_FALSE(slot.Connected());
}

TEST(CManagerSlotTest, FailedWriteEmptiesTheSlotAndEndsTheConnection) {
  CManagerSlot& slot = CManagerSlot::Instance();
  TestConnection manager;
  slot.Take(manager.connection);
  slot.Answer(*manager.connection, link::CMsg(link::MSG_DAEMON_LIST));
  ASSERT_TRUE(slot.Connected());
  EXPECT_TRUE(slot.Send(link::CMsg(link::MSG_IDLE_HANGUP_WARNING)));
  EXPECT_EQ(manager.file.written.size(), 10u);

  manager.file.fail = true;
  EXPECT_TRUE(slot.Send(link::CMsg(link::MSG_IDLE_HANGUP_WARNING)));
  EXPECT_FALSE(slot.Connected());
  EXPECT_TRUE(manager.Ended());
  EXPECT_FALSE(slot.Send(link::CMsg(link::MSG_IDLE_HANGUP_WARNING)));
  slot.Release(manager.connection);
}

TEST(CManagerSlotTest, FailedAnswerEmptiesTheSlotAndIsThrown) {
  CManagerSlot& slot = CManagerSlot::Instance();
  TestConnection manager;
  slot.Take(manager.connection);
  manager.file.fail = true;
  EXPECT_THROW(slot.Answer(*manager.connection, link::CMsg(link::MSG_DAEMON_LIST)),
               net::CFileException);
  EXPECT_FALSE(slot.Connected());
  slot.Release(manager.connection);
}

TEST(CManagerSlotTest, NewerConnectionEndsTheOlderAndTakesItsPlace) {
  CManagerSlot& slot = CManagerSlot::Instance();
  TestConnection older;
  TestConnection newer;
  slot.Take(older.connection);
  slot.Take(newer.connection);
  EXPECT_TRUE(older.Ended());
  EXPECT_FALSE(newer.Ended());

  // The older thread still answering: dropped, not sent to the newer manager.
  slot.Answer(*older.connection, link::CMsg(link::MSG_DAEMON_LIST));
  EXPECT_TRUE(older.file.written.empty());
  EXPECT_TRUE(newer.file.written.empty());
  slot.Answer(*newer.connection, link::CMsg(link::MSG_DAEMON_LIST));
  EXPECT_EQ(newer.file.written.size(), 6u);

  // The older one leaving does not empty the slot of the newer one.
  slot.Release(older.connection);
  EXPECT_TRUE(slot.Connected());
  EXPECT_EQ(older.connection->store, nullptr);
  slot.Release(newer.connection);
  EXPECT_FALSE(slot.Connected());
}

}  // namespace
}  // namespace qlm::engine
