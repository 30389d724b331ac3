// Archive format: integer byte order, every string length form (including the
// 16-bit form only readers meet), string lists, buffering, and hostile lengths.
#include "link/archive.h"

#include <gtest/gtest.h>

#include "tests/link/memory_file.h"

namespace qlm::link {
namespace {

using test::Bytes;
using test::CMemoryFile;

std::string Stored(const std::function<void(CArchive&)>& write) {
  CMemoryFile file;
  CArchive archive(&file, CArchive::store);
  write(archive);
  archive.Flush();
  return file.written;
}

std::string LoadString(const std::string& wire) {
  CMemoryFile file(wire);
  CArchive archive(&file, CArchive::load);
  std::string value;
  archive >> value;
  EXPECT_TRUE(archive.IsBufferEmpty());
  return value;
}

TEST(CArchiveTest, IntegersAreLittleEndian) {
  const std::string wire = Stored([](CArchive& ar) {
    ar << uint8_t{0x12} << uint16_t{0x3456} << uint32_t{0x789ABCDE};
  });
  EXPECT_EQ(wire, Bytes({0x12, 0x56, 0x34, 0xDE, 0xBC, 0x9A, 0x78}));

  CMemoryFile file(wire);
  CArchive archive(&file, CArchive::load);
  uint8_t b = 0;
  uint16_t w = 0;
  uint32_t d = 0;
  archive >> b >> w >> d;
  EXPECT_EQ(b, 0x12);
  EXPECT_EQ(w, 0x3456);
  EXPECT_EQ(d, 0x789ABCDEu);
}

TEST(CArchiveTest, StringLengthFormsAtTheirBoundaries) {
  struct Case {
    size_t length;
    std::string prefix;
  };
  const Case cases[] = {
      {0, Bytes({0x00})},
      {3, Bytes({0x03})},
      {254, Bytes({0xFE})},
      {255, Bytes({0xFF, 0xFF, 0x00})},
      {300, Bytes({0xFF, 0x2C, 0x01})},  // the 300-character example
      {0xFFFD, Bytes({0xFF, 0xFD, 0xFF})},
      {0xFFFE, Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
      {70000, Bytes({0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00})},
  };
  for (const Case& c : cases) {
    const std::string text(c.length, 'x');
    const std::string wire = Stored([&](CArchive& ar) { ar << text; });
    EXPECT_EQ(wire, c.prefix + text) << c.length;
    EXPECT_EQ(LoadString(wire), text) << c.length;
  }
}

TEST(CArchiveTest, SixteenBitStringsBecomeEightBitText) {
  // 0xFF 0xFE 0xFF, then the length in the byte form, then UTF-16LE units.
  EXPECT_EQ(LoadString(Bytes({0xFF, 0xFE, 0xFF, 0x03, 'a', 0, 'b', 0, 0x41, 0x01})), "ab?");
  EXPECT_EQ(LoadString(Bytes({0xFF, 0xFE, 0xFF, 0x00})), "");
  EXPECT_EQ(LoadString(Bytes({0xFF, 0xFE, 0xFF, 0x01, 0xE9, 0x00})), "\xE9");

  // Word length 300 after the mark.
  std::string wire = Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01});
  for (int i = 0; i < 300; ++i) {
    wire += Bytes({'z', 0});
  }
  EXPECT_EQ(LoadString(wire), std::string(300, 'z'));

  // After the mark, 0xFFFE is an ordinary length; 0xFFFF leads to 4 bytes.
  wire = Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00, 'o', 0, 'k', 0});
  EXPECT_EQ(LoadString(wire), "ok");
  wire = Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF});
  for (int i = 0; i < 0xFFFE; ++i) {
    wire += Bytes({'w', 0});
  }
  EXPECT_EQ(LoadString(wire), std::string(0xFFFE, 'w'));
}

TEST(CArchiveTest, StringListsCountInTwoOrSixBytes) {
  EXPECT_EQ(Stored([](CArchive& ar) { ar.WriteStringList({}); }), Bytes({0x00, 0x00}));
  EXPECT_EQ(Stored([](CArchive& ar) { ar.WriteStringList({"a", ""}); }),
            Bytes({0x02, 0x00, 0x01, 'a', 0x00}));

  const CStringList big(0xFFFF, "k");
  const std::string wire = Stored([&](CArchive& ar) { ar.WriteStringList(big); });
  EXPECT_EQ(wire.substr(0, 6), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}));
  EXPECT_EQ(wire.size(), 6u + 2u * 0xFFFF);

  CMemoryFile file(wire);
  CArchive archive(&file, CArchive::load);
  CStringList back{"stale"};
  archive.ReadStringList(back);
  EXPECT_EQ(back, big);
}

TEST(CArchiveTest, StoringBuffersUntilFullOrFlushed) {
  CMemoryFile file;
  CArchive archive(&file, CArchive::store);
  archive << std::string(100, 'a');
  EXPECT_EQ(file.writes, 0);
  archive.Flush();
  EXPECT_EQ(file.writes, 1);
  archive.Flush();  // nothing pending: no empty write
  EXPECT_EQ(file.writes, 1);

  archive.Write(std::string(5000, 'b').data(), 5000);
  EXPECT_EQ(file.writes, 2);  // one full 4096-byte buffer went out
  EXPECT_EQ(file.written.size(), 101u + 4096u);
  archive.Flush();
  EXPECT_EQ(file.written.size(), 101u + 5000u);
}

TEST(CArchiveTest, LoadingReadsThroughA4096ByteBuffer) {
  // A string longer than the buffer arrives through several file reads.
  const std::string text(10000, 'q');
  const std::string wire = Stored([&](CArchive& ar) { ar << text << uint8_t{7}; });
  CMemoryFile file(wire);
  CArchive archive(&file, CArchive::load);
  std::string back;
  uint8_t tail = 0;
  archive >> back >> tail;
  EXPECT_EQ(back, text);
  EXPECT_EQ(tail, 7);
  EXPECT_GE(file.reads, 3);
  EXPECT_TRUE(archive.IsBufferEmpty());
}

TEST(CArchiveTest, EndOfStreamInsideAValueThrows) {
  for (const std::string& wire : {Bytes({}), Bytes({0x02, 0x00}), Bytes({0x05, 'a', 'b'}),
                                  Bytes({0xFF, 0x2C}), Bytes({0xFF, 0xFE, 0xFF, 0x02, 'a'})}) {
    CMemoryFile file(wire);
    CArchive archive(&file, CArchive::load);
    std::string value;
    try {
      archive >> value;
      ADD_FAILURE() << "no exception";
    } catch (const CArchiveException& e) {
      EXPECT_EQ(e.GetCause(), CArchiveException::kEndOfFile);
    }
  }
}

// A hostile peer announces 4 GB of characters or 4 billion strings and sends
// a few bytes: the reader must fail at the end of the stream, having held
// only what arrived, never the announced size.
TEST(CArchiveTest, HostileLengthsCostOnlyWhatArrives) {
  CMemoryFile file(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b'}));
  CArchive archive(&file, CArchive::load);
  std::string value;
  EXPECT_THROW(archive >> value, CArchiveException);
  EXPECT_LT(value.capacity(), 1024u);

  CMemoryFile list_file(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 'x', 0x00}));
  CArchive list_archive(&list_file, CArchive::load);
  CStringList list;
  EXPECT_THROW(list_archive.ReadStringList(list), CArchiveException);
  EXPECT_LE(list.capacity(), 1024u);
  EXPECT_LE(list.size(), 3u);

  // 16-bit form with a 4-byte length.
  CMemoryFile wide_file(
      Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 0}));
  CArchive wide_archive(&wide_file, CArchive::load);
  EXPECT_THROW(wide_archive >> value, CArchiveException);
}

TEST(CArchiveTest, DirectionIsEnforced) {
  CMemoryFile file;
  CArchive loading(&file, CArchive::load);
  EXPECT_THROW(loading << uint8_t{1}, CArchiveException);
  EXPECT_THROW(loading.Flush(), CArchiveException);
  CArchive storing(&file, CArchive::store);
  uint8_t b = 0;
  EXPECT_THROW(storing >> b, CArchiveException);
}

TEST(CArchiveTest, AFailedFlushDoesNotRepeatTheBytes) {
  class CFailingFile : public CMemoryFile {
   public:
    void Write(const void* data, size_t count) override {
      if (fail) {
        throw net::CFileException(32, "broken");
      }
      CMemoryFile::Write(data, count);
    }
    bool fail = true;
  } file;
  CArchive archive(&file, CArchive::store);
  archive << std::string("half");
  EXPECT_THROW(archive.Flush(), net::CFileException);
  file.fail = false;
  archive << uint8_t{9};
  archive.Flush();
  EXPECT_EQ(file.written, Bytes({9}));
}

}  // namespace
}  // namespace qlm::link
