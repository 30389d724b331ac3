// Message bodies: by length and by chunks (with trailer), both directions.
#include <algorithm>

#include "net/blocking_socket_exception.h"
#include "net/relay_pipe.h"
#include "proxies/http/head_reader.h"
#include "proxies/http/header_fields.h"
#include "proxies/http/http_pump.h"
#include "proxies/http/http_texts.h"
#include "proxies/http/response_line.h"

namespace qlm::http {
namespace {

// Reads one line, sending what is queued first when the line is not yet
// buffered whole (the read may wait).
int ReadLine(CHttpBlockingSocket& from, CPendingOutput& to, std::string* line, size_t size,
             net::Timeout timeout) {
  const CLineBuffer& buffer = from.Buffer();
  if (std::char_traits<char>::find(buffer.Data(), buffer.Count(), '\n') == nullptr) {
    to.FlushBeforeWaitingOn(from);
  }
  return from.ReadBufferedLine(line, size, nullptr, timeout);
}

// Chunk-size lines, chunk data and trailer from `from` to `to`. Lines are
// read with `read_timeout`, data received with `read_timeout` too. Returns
// with the trailer's last line still queued in `to`.
uint64_t RelayChunks(CHttpBlockingSocket& from, CPendingOutput& to, net::Timeout read_timeout,
                     const ChunkTexts& texts) {
  uint64_t total = 0;
  std::string line;
  for (;;) {
    const int result = ReadLine(from, to, &line, kChunkLineLimit, read_timeout);
    if (result == LineTooLong) {
      throw net::CBlockingSocketException(texts.too_long_line);
    }
    if (result != LineRead) {
      throw net::CBlockingSocketException(texts.line_errors);
    }
    // A line without a usable size would leave both sides reading different
    // bodies: refused rather than relayed.
    const ChunkSizeLine chunk = ParseChunkSizeLine(line);
    if (chunk.kind == ChunkSizeLine::Kind::kInvalid) {
      throw net::CBlockingSocketException(texts.line_errors);
    }
    to.Add(line);
    if (chunk.kind == ChunkSizeLine::Kind::kLast) {
      break;
    }
    total += chunk.size;
    RelayLength(from, to, static_cast<int64_t>(chunk.size) + 2, read_timeout, texts.length_failed);
  }
  size_t capacity = kChunkLineLimit;
  for (;;) {
    const int result = ReadLine(from, to, &line, capacity, read_timeout);
    if (result == LineTooLong) {
      capacity += kChunkLineLimit;
      if (capacity > kTrailerLimit) {
        throw net::CBlockingSocketException(texts.too_long_footer);
      }
      continue;
    }
    if (result != LineRead) {
      throw net::CBlockingSocketException(texts.footer_errors);
    }
    to.Add(line);
    if (IsEmptyLine(line)) {
      return total;
    }
  }
}

// The rest of a long body through a pipe (what is queued goes first). False,
// with nothing moved, where the kernel cannot splice these sockets.
bool SpliceLength(CHttpBlockingSocket& from, CPendingOutput& to, int64_t& length,
                  net::Timeout receive_timeout, const char* failure) {
  net::CRelayPipe pipe;
  if (!pipe.Open()) {
    return false;
  }
  to.Flush();
  while (length > 0) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(length, kSplicePiece));
    int received = 0;
    try {
      received = from.ReceiveIntoPipe(pipe, want, receive_timeout);
    } catch (const net::CBlockingSocketException& e) {
      if (e.OtherErrorCode() != net::kOtherTimeout) {
        throw;
      }
    }
    if (received < 0) {
      return false;
    }
    if (received == 0) {
      throw net::CBlockingSocketException(failure, 0, net::kOtherExactFailed);
    }
    length -= received;
    to.Socket().SendAllFromPipe(pipe, to.SendTimeout());
  }
  return true;
}

}  // namespace

void RelayLength(CHttpBlockingSocket& from, CPendingOutput& to, int64_t length,
                 net::Timeout receive_timeout, const char* failure) {
  if (length < 1) {
    return;
  }
  CLineBuffer& buffer = from.Buffer();
  const size_t buffered = std::min<uint64_t>(buffer.Count(), static_cast<uint64_t>(length));
  if (buffered > 0) {
    to.Add(std::string_view(buffer.Data(), buffered));
    buffer.Consume(buffered);
    length -= static_cast<int64_t>(buffered);
  }
  if (length >= kSpliceFrom && SpliceLength(from, to, length, receive_timeout, failure)) {
    return;
  }
  char piece[kPumpPiece];
  while (length > 0) {
    const int want = static_cast<int>(std::min<int64_t>(length, kPumpPiece));
    to.FlushBeforeWaitingOn(from);
    int received = 0;
    try {
      received = from.Receive(piece, want, receive_timeout);
    } catch (const net::CBlockingSocketException& e) {
      if (e.OtherErrorCode() != net::kOtherTimeout) {
        throw;
      }
    }
    if (received < 1) {
      throw net::CBlockingSocketException(failure, 0, net::kOtherExactFailed);
    }
    to.Add(std::string_view(piece, static_cast<size_t>(received)));
    length -= received;
  }
}

int64_t CHttpPump::PumpRequest(const std::string& head, net::Timeout timeout) {
  if (HasTransferEncoding(head)) {
    return static_cast<int64_t>(PumpRequestForEncoding(timeout));
  }
  const int64_t length = GetContentLength(head);
  PumpRequestForLength(length, timeout);
  return length;
}

void CHttpPump::PumpRequestForLength(int64_t length, net::Timeout timeout) {
  CPendingOutput out(server_, timeout);
  RelayLength(client_, out, length, config_.timeouts.request_body_receive, kTextRequestLengthFailed);
  out.Flush();
}

void CHttpPump::PumpResponseForLength(int64_t length, net::Timeout timeout) {
  CPendingOutput out(client_, config_.timeouts.client_send);
  RelayLength(server_, out, length, timeout, kTextResponseLengthFailed);
  out.Flush();
}

uint64_t CHttpPump::PumpRequestForEncoding(net::Timeout timeout) {
  CPendingOutput out(server_, timeout);
  const uint64_t total =
      RelayChunks(client_, out, config_.timeouts.request_body_receive, kRequestChunks);
  out.Flush();
  return total;
}

uint64_t CHttpPump::PumpResponseForTransferEncoding(net::Timeout timeout) {
  CPendingOutput out(client_, config_.timeouts.client_send);
  const uint64_t total = RelayChunks(server_, out, timeout, kResponseChunks);
  out.Flush();
  return total;
}

void CHttpPump::RelayResponseBody(CPendingOutput* out, int64_t length, bool chunked,
                                  net::Timeout timeout) {
  if (chunked) {
    RelayChunks(server_, *out, timeout, kResponseChunks);
  } else if (length > 0) {
    RelayLength(server_, *out, length, timeout, kTextResponseLengthFailed);
  }
}

}  // namespace qlm::http
