// Fuzzes the manager channel's reading side: the input (after its first
// byte, which chooses the receive piece size) is a stream of messages read
// one after another through the archive, as either program reads its peer.
// Reading must end (at the stream's end, with the archive's own exception),
// never read outside the input or grow memory beyond what arrived, and every
// message read must store and load back to itself.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "link/archive.h"
#include "link/msg.h"
#include "net/file.h"

namespace {

using qlm::link::CArchive;
using qlm::link::CArchiveException;
using qlm::link::CMsg;

// Hands out the input in pieces of a fixed size, like a socket; collects
// what is written.
class CPieceFile : public qlm::net::CFile {
 public:
  CPieceFile(const uint8_t* data, size_t size, size_t piece)
      : data_(data), size_(size), piece_(piece) {}
  size_t Read(void* buffer, size_t count) override {
    const size_t n = std::min({count, piece_, size_ - offset_});
    std::memcpy(buffer, data_ + offset_, n);
    offset_ += n;
    return n;
  }
  void Write(const void* buffer, size_t count) override {
    written.append(static_cast<const char*>(buffer), count);
  }
  void Close() override {}

  std::string written;

 private:
  const uint8_t* data_;
  size_t size_;
  size_t piece_;
  size_t offset_ = 0;
};

void RoundTrip(const CMsg& msg) {
  CPieceFile sink(nullptr, 0, 1);
  {
    CArchive out(&sink, CArchive::store);
    msg.Store(out);
    out.Flush();
  }
  CPieceFile source(reinterpret_cast<const uint8_t*>(sink.written.data()), sink.written.size(),
                    sink.written.size() + 1);
  CArchive in(&source, CArchive::load);
  CMsg back;
  back.Load(in);
  bool same = back.type == msg.type && in.IsBufferEmpty();
  // Only what the type carries travels.
  switch (qlm::link::PayloadOf(msg.type)) {
    case qlm::link::MsgPayload::kString: same = same && back.text == msg.text; break;
    case qlm::link::MsgPayload::kActivity: same = same && back.activity == msg.activity; break;
    case qlm::link::MsgPayload::kStringList: same = same && back.lines == msg.lines; break;
    case qlm::link::MsgPayload::kNone: break;
  }
  if (!same) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const size_t piece = static_cast<size_t>(data[0] % 64) + 1;
  CPieceFile file(data + 1, size - 1, piece);
  CArchive archive(&file, CArchive::load, 64 + data[0]);
  size_t text_bytes = 0;
  // Each message takes at least its 4 type bytes, so this bounds the loop.
  for (size_t i = 0; i <= size / 4; ++i) {
    CMsg msg;
    try {
      msg.Load(archive);
    } catch (const CArchiveException&) {
      break;  // the stream ended inside a message: the reader stops there
    }
    text_bytes += msg.text.size() + msg.activity.key.size() + msg.activity.connection.size() +
                  msg.activity.text.size();
    for (const std::string& line : msg.lines) {
      text_bytes += line.size();
    }
    // A string never holds more characters than bytes arrived for it.
    if (text_bytes > size) {
      std::abort();
    }
    RoundTrip(msg);
  }
  return 0;
}
