// Message serialisation: the byte examples both programs must agree on, every
// payload shape, unknown types, and streams cut into segments at every offset.
#include "link/msg.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/link/memory_file.h"

namespace qlm::link {
namespace {

using test::Bytes;
using test::CMemoryFile;

std::string Wire(const CMsg& msg) {
  CMemoryFile file;
  CArchive archive(&file, CArchive::store);
  msg.Store(archive);
  archive.Flush();
  return file.written;
}

CMsg ActivityMsg(const std::string& key, const std::string& connection, const std::string& text) {
  CMsg msg(MSG_ACTIVITY);
  msg.activity = {key, connection, text};
  return msg;
}

TEST(CMsgTest, WireExamples) {
  EXPECT_EQ(Wire(CMsg(MSG_GET_DAEMON_LIST)), Bytes({0x03, 0x00, 0x00, 0x00}));

  CMsg line(MSG_LOG_LINE);
  line.text = "abc";
  EXPECT_EQ(Wire(line), Bytes({0x07, 0x00, 0x00, 0x00, 0x03, 0x61, 0x62, 0x63}));

  EXPECT_EQ(Wire(ActivityMsg("10.0.0.1:HTTP:80", "0x1f0", "")),
            Bytes({0x04, 0, 0, 0, 16}) + "10.0.0.1:HTTP:80" + Bytes({5}) + "0x1f0" + Bytes({0x00}));

  CMsg list(MSG_DAEMON_LIST);
  EXPECT_EQ(Wire(list), Bytes({0x02, 0, 0, 0, 0x00, 0x00}));
  list.lines = {"a:b:1"};
  EXPECT_EQ(Wire(list), Bytes({0x02, 0, 0, 0, 0x01, 0x00, 0x05}) + "a:b:1");
}

TEST(CMsgTest, OnlyTheTypesPayloadIsWritten) {
  // Fields that do not belong to the type stay off the wire.
  CMsg msg(MSG_IDLE_HANGUP_WARNING);
  msg.text = "not sent";
  msg.lines = {"nor this"};
  msg.activity.key = "nor this";
  EXPECT_EQ(Wire(msg), Bytes({0x08, 0, 0, 0}));
  msg.type = 42;
  EXPECT_EQ(Wire(msg), Bytes({42, 0, 0, 0}));
  msg.type = MSG_LOG_CONTENT;
  EXPECT_EQ(Wire(msg), Bytes({0x06, 0, 0, 0, 0x01, 0x00, 0x08}) + "nor this");
}

TEST(CMsgTest, NewAndClearedMessages) {
  CMsg msg;
  EXPECT_EQ(msg.type, 0u);
  msg.type = MSG_LOG_LINE;
  msg.text = "x";
  msg.lines = {"y"};
  msg.Clear();
  EXPECT_EQ(msg.type, 0u);
  EXPECT_TRUE(msg.text.empty());
  EXPECT_TRUE(msg.lines.empty());
}

// A stream of every payload shape, including an unknown type in the middle.
std::vector<CMsg> Sample() {
  std::vector<CMsg> out;
  CMsg list(MSG_DAEMON_LIST);
  list.lines = {"127.0.0.1:SOCKS:1080", "127.0.0.1:HTTP:8080", std::string(300, 'k')};
  out.push_back(list);
  out.push_back(ActivityMsg("127.0.0.1:HTTP:8080", "0x4d20", "GET http://example.test/ HTTP/1.0"));
  out.push_back(CMsg(77));
  CMsg line(MSG_LOG_LINE);
  line.text = "12/08/2026 01:02:03 0x4d20       HTTP";
  out.push_back(line);
  out.push_back(ActivityMsg("k", "1", ""));
  CMsg content(MSG_LOG_CONTENT);
  out.push_back(content);
  out.push_back(CMsg(MSG_GET_LOG));
  return out;
}

void ExpectSame(const CMsg& got, const CMsg& want) {
  EXPECT_EQ(got.type, want.type);
  switch (PayloadOf(want.type)) {
    case MsgPayload::kString:
      EXPECT_EQ(got.text, want.text);
      break;
    case MsgPayload::kActivity:
      EXPECT_EQ(got.activity, want.activity);
      break;
    case MsgPayload::kStringList:
      EXPECT_EQ(got.lines, want.lines);
      break;
    case MsgPayload::kNone:
      break;
  }
}

// Reads the whole stream the way the channel threads do: one message, then
// more while the buffer still holds bytes; returns how many waits it took.
int ReadAll(CArchive& archive, const std::vector<CMsg>& want, size_t& index) {
  int waits = 0;
  while (index < want.size()) {
    ++waits;
    CMsg msg;
    do {
      msg.Clear();
      msg.Serialize(archive);
      ExpectSame(msg, want[index]);
      ++index;
    } while (!archive.IsBufferEmpty() && index < want.size());
  }
  return waits;
}

TEST(CMsgTest, StreamSplitAtEveryOffsetReadsTheSame) {
  const std::vector<CMsg> sample = Sample();
  std::string wire;
  for (const CMsg& msg : sample) {
    wire += Wire(msg);
  }
  for (size_t cut = 1; cut < wire.size(); ++cut) {
    CMemoryFile file(wire, {cut});
    CArchive archive(&file, CArchive::load);
    size_t index = 0;
    ReadAll(archive, sample, index);
    EXPECT_EQ(index, sample.size()) << "cut at " << cut;
    EXPECT_TRUE(archive.IsBufferEmpty());
  }
}

TEST(CMsgTest, OneByteSegmentsReadTheSame) {
  const std::vector<CMsg> sample = Sample();
  std::string wire;
  for (const CMsg& msg : sample) {
    wire += Wire(msg);
  }
  CMemoryFile file(wire, std::deque<size_t>(wire.size(), 1));
  CArchive archive(&file, CArchive::load);
  size_t index = 0;
  ReadAll(archive, sample, index);
  EXPECT_EQ(index, sample.size());
}

TEST(CMsgTest, TwoMessagesInOneReadAreBothTakenBeforeTheNextWait) {
  CMsg first(MSG_GET_DAEMON_LIST);
  CMsg second(MSG_GET_LOG);
  CMemoryFile file(Wire(first) + Wire(second));
  CArchive archive(&file, CArchive::load);
  const std::vector<CMsg> want{first, second};
  size_t index = 0;
  EXPECT_EQ(ReadAll(archive, want, index), 1);
  EXPECT_EQ(file.reads, 1);
}

TEST(CMsgTest, UnknownTypeCarriesNoPayload) {
  CMemoryFile file(Bytes({0x2A, 0, 0, 0, 0x07, 0, 0, 0, 0x02, 'o', 'k'}));
  CArchive archive(&file, CArchive::load);
  CMsg msg;
  msg.Serialize(archive);
  EXPECT_EQ(msg.type, 42u);
  msg.Clear();
  msg.Serialize(archive);
  EXPECT_EQ(msg.type, MSG_LOG_LINE);
  EXPECT_EQ(msg.text, "ok");
}

TEST(CMsgTest, TruncatedMessageThrowsAtEndOfStream) {
  const std::string wire = Wire(ActivityMsg("key", "0x10", "text"));
  for (size_t keep = 0; keep < wire.size(); ++keep) {
    CMemoryFile file(wire.substr(0, keep));
    CArchive archive(&file, CArchive::load);
    CMsg msg;
    EXPECT_THROW(msg.Serialize(archive), CArchiveException) << keep;
  }
}

}  // namespace
}  // namespace qlm::link
