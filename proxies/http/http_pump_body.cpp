// Message bodies: by length and by chunks (with trailer), both directions.
#include <algorithm>

#include "net/blocking_socket_exception.h"
#include "proxies/http/head_reader.h"
#include "proxies/http/header_fields.h"
#include "proxies/http/http_pump.h"
#include "proxies/http/response_line.h"

namespace qlm::http {
namespace {

constexpr const char* kRequestLengthFailed = "CHttpPump::PumpRequestForLength time out or closed";
constexpr const char* kResponseLengthFailed = "CHttpPump::PumpResponseForLength time out or closed";

// The messages of one direction of chunked relay.
struct ChunkTexts {
  const char* too_long_line;
  const char* line_errors;
  const char* too_long_footer;
  const char* footer_errors;
  const char* length_failed;
};

constexpr ChunkTexts kRequestChunks = {
    "CHttpPump::PumpRequestForEncoding:Transfer-Encoding too long chunk-size line",
    "CHttpPump::PumpRequestForEncoding:Transfer-Encoding has errors and socket is closed",
    "CHttpPump::PumpRequestForEncoding:Transfer-Encoding too long footer header line",
    "CHttpPump::PumpRequestForEncoding:Transfer-Encoding has errors while reading the footer "
    "header line",
    kRequestLengthFailed};
constexpr ChunkTexts kResponseChunks = {
    "CHttpPump::PumpResponseForTransferEncoding:Transfer-Encoding too long chunk-size line",
    "CHttpPump::PumpResponseForTransferEncoding:Transfer-Encoding has errors and socket is closed",
    "CHttpPump::PumpResponseForTransferEncoding:Transfer-Encoding too long footer header line",
    "CHttpPump::PumpResponseForTransferEncoding:Transfer-Encoding has errors while reading the "
    "footer header line",
    kResponseLengthFailed};

void Send(net::CBlockingSocket& to, const std::string& bytes, net::Timeout timeout) {
  to.SendAll(bytes.data(), static_cast<int>(bytes.size()), timeout);
}

// Chunk-size lines, chunk data and trailer from `from` to `to`. Lines are
// read with `read_timeout`, data received with `read_timeout` too, sends
// take `send_timeout`.
uint64_t RelayChunks(CHttpBlockingSocket& from, net::CBlockingSocket& to,
                     net::Timeout read_timeout, net::Timeout send_timeout, const ChunkTexts& texts) {
  uint64_t total = 0;
  std::string line;
  for (;;) {
    const int result = from.ReadBufferedLine(&line, kChunkLineLimit, nullptr, read_timeout);
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
    Send(to, line, send_timeout);
    if (chunk.kind == ChunkSizeLine::Kind::kLast) {
      break;
    }
    total += chunk.size;
    RelayLength(from, to, static_cast<int64_t>(chunk.size) + 2, read_timeout, send_timeout,
                texts.length_failed);
  }
  size_t capacity = kChunkLineLimit;
  for (;;) {
    const int result = from.ReadBufferedLine(&line, capacity, nullptr, read_timeout);
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
    Send(to, line, send_timeout);
    if (IsEmptyLine(line)) {
      return total;
    }
  }
}

}  // namespace

void RelayLength(CHttpBlockingSocket& from, net::CBlockingSocket& to, int64_t length,
                 net::Timeout receive_timeout, net::Timeout send_timeout, const char* failure) {
  if (length < 1) {
    return;
  }
  CLineBuffer& buffer = from.Buffer();
  const size_t buffered = std::min<uint64_t>(buffer.Count(), static_cast<uint64_t>(length));
  if (buffered > 0) {
    to.SendAll(buffer.Data(), static_cast<int>(buffered), send_timeout);
    buffer.Consume(buffered);
    length -= static_cast<int64_t>(buffered);
  }
  char piece[kPumpPiece];
  while (length > 0) {
    const int want = static_cast<int>(std::min<int64_t>(length, kPumpPiece));
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
    to.SendAll(piece, received, send_timeout);
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
  RelayLength(client_, server_, length, config_.timeouts.request_body_receive, timeout,
              kRequestLengthFailed);
}

void CHttpPump::PumpResponseForLength(int64_t length, net::Timeout timeout) {
  RelayLength(server_, client_, length, timeout, config_.timeouts.client_send,
              kResponseLengthFailed);
}

uint64_t CHttpPump::PumpRequestForEncoding(net::Timeout timeout) {
  return RelayChunks(client_, server_, config_.timeouts.request_body_receive, timeout,
                     kRequestChunks);
}

uint64_t CHttpPump::PumpResponseForTransferEncoding(net::Timeout timeout) {
  return RelayChunks(server_, client_, timeout, config_.timeouts.client_send, kResponseChunks);
}

}  // namespace qlm::http
