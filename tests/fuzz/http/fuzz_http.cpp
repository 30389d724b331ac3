// Fuzzes what a client or server controls in the HTTP proxy: the input is cut
// into receive pieces (first byte = piece size) and read as a head; the head's
// start line goes through request-line, URI and CONNECT-target parsing and
// status-line parsing, and its fields through every field operation. Checks
// the limits hold whatever arrives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "proxies/http/connection_fields.h"
#include "proxies/http/head_reader.h"
#include "proxies/http/header_fields.h"
#include "proxies/http/line_buffer.h"
#include "proxies/http/request_line.h"
#include "proxies/http/response_line.h"

using namespace qlm::http;

namespace {

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

void FuzzFields(std::string block) {
  std::string copy = block;
  const HeaderQuery q = HTTPQueryHeaderInfo(block, "Connection:");
  if (q.result == kFieldFound) {
    Check(q.line_start < block.size());
    Check(RemoveHeaderField(&copy, "Connection:") == kFieldFound);
    Check(copy.size() < block.size());
    RemoveHeaderFields(&copy, q.value);
  }
  GetContentLength(block);
  HasTransferEncoding(block);
  std::string request = block;
  ProcessRequestConnectionField(&request, "HTTP/1.1");
  AddHostField(&request, "h", 80);
  ProcessViaHeader(&request, "HTTP/1.1", "office");
  std::string response = block;
  ProcessResponseConnectionField(&response, "HTTP/1.0", false);
  ParseChunkSizeLine(block);
}

void FuzzStartLine(const std::string& line) {
  HttpRequestInfo request;
  if (ParsingRequestLine(line, &request)) {
    Check(request.method.size() <= kShortTextLimit && request.version.size() <= kShortTextLimit);
    HttpRequestInfo connect = request;
    ParseConnectTarget(request.path, &connect);
    const std::string uri = request.path;
    if (ParseURI(uri, &request) == kUriParsed) {
      Check(request.scheme_code == kSchemeHttp || request.scheme_code == kSchemeFtp);
      BuildServerRequestLine(request);
    }
  }
  if (auto status = ParsingResponseLine(line)) {
    Check(status->status > 0 && status->version.size() <= kShortTextLimit);
    FormatStatusLine(*status);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const size_t piece = data[0] == 0 ? 1 : data[0];
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  CLineBuffer buffer;
  size_t sent = 0;
  auto source = [&](size_t out_size, std::string* line) -> int {
    for (;;) {
      switch (buffer.TakeLine(out_size, line)) {
        case CLineBuffer::Scan::kLine: return LineRead;
        case CLineBuffer::Scan::kTooLong: return LineTooLong;
        case CLineBuffer::Scan::kUnsafe: return LineUnsafe;
        case CLineBuffer::Scan::kNeedMore: break;
      }
      if (sent == bytes.size()) {
        return LineClosed;
      }
      size_t room = 0;
      char* space = buffer.ReceiveSpace(&room);
      if (space == nullptr) {
        return LineBufferLimit;
      }
      const size_t n = std::min({room, piece, bytes.size() - sent});
      std::memcpy(space, bytes.data() + sent, n);
      buffer.Commit(n);
      sent += n;
    }
  };
  std::string block;
  size_t used = 0;
  const int result = ReadHead(&block, &used, kHeadBlockStart, source);
  Check(buffer.Capacity() <= kReceiveBufferLimit);
  if (result == LineRead) {
    Check(used == block.size() && block.size() < kHeadBlockLimit);
    auto first = ReadFirstLine(&block);
    Check(first.has_value());
    FuzzStartLine(*first);
    FuzzFields(block);
  } else {
    // Heads that did not read still exercise the parsers as raw text.
    FuzzStartLine(bytes.substr(0, bytes.find('\n')));
    FuzzFields(bytes.substr(0, 4096));
  }
  return 0;
}
