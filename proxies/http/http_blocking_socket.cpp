// Line and head reading over the socket: the waits and receives around the
// pure line buffer.
#include "proxies/http/http_blocking_socket.h"

#include "net/wait_set.h"
#include "net/winsock_errors.h"
#include "proxies/http/head_reader.h"

namespace qlm::http {

CHttpBlockingSocket::CHttpBlockingSocket() { peer_address_.sin_family = AF_INET; }

CHttpBlockingSocket::~CHttpBlockingSocket() = default;

int CHttpBlockingSocket::ReadBufferedLine(std::string* line, size_t out_size,
                                          net::CBlockingSocket* other, net::Timeout timeout) {
  for (;;) {
    switch (buffer_.TakeLine(out_size, line)) {
      case CLineBuffer::Scan::kLine: return LineRead;
      case CLineBuffer::Scan::kTooLong: line->clear(); return LineTooLong;
      case CLineBuffer::Scan::kUnsafe: line->clear(); return LineUnsafe;
      case CLineBuffer::Scan::kNeedMore: break;
    }
    line->clear();
    if (!IsOpen()) {
      return LineClosed;
    }
    if (head_budget_.count() >= 0 && !HasReceiveDeadline() && buffer_.Count() > 0) {
      SetReceiveDeadline(head_budget_);  // a kept-alive client's next head, already begun
    }
    size_t room = 0;
    char* space = buffer_.ReceiveSpace(&room);
    if (space == nullptr) {
      return LineBufferLimit;
    }
    net::CWaitSet waits;
    const size_t self = waits.Add(handle_, POLLIN);
    waits.AddShutdown();
    size_t other_index = 0;
    if (other != nullptr && other->IsOpen()) {
      other_index = waits.Add(other->Handle(), POLLIN);
    }
    switch (waits.Wait(WithinReceiveDeadline(timeout))) {
      case net::CWaitSet::Result::kTimedOut: return LineTimedOut;
      case net::CWaitSet::Result::kError:
      case net::CWaitSet::Result::kShutdown: Close(); return LineClosed;
      case net::CWaitSet::Result::kReady: break;
    }
    if (other_index != 0 && waits.Ready(other_index, POLLIN)) {
      return LineOtherSocketReady;
    }
    if (!waits.Ready(self, POLLIN)) {
      continue;
    }
    int received = 0;
    try {
      received = Receive(space, static_cast<int>(room), timeout);
    } catch (const net::CBlockingSocketException& e) {
      if (e.ErrorCode() == net::WSAECONNRESET || e.ErrorCode() == net::WSAENETRESET) {
        Close();
        return LineClosed;
      }
      return LineNetworkError;
    }
    if (received <= 0) {
      Close();
      return LineClosed;
    }
    buffer_.Commit(static_cast<size_t>(received));
    if (head_budget_.count() >= 0 && !HasReceiveDeadline()) {
      SetReceiveDeadline(head_budget_);
    }
  }
}

int CHttpBlockingSocket::ReadHeaderBlock(std::string* block, size_t* used,
                                         net::CBlockingSocket* other, net::Timeout timeout) {
  return ReadHead(block, used, kHeadBlockStart, [&](size_t out_size, std::string* line) {
    return ReadBufferedLine(line, out_size, other, timeout);
  });
}

int CHttpBlockingSocket::ContinueHeaderBlock(std::string* block, size_t* used,
                                             net::Timeout timeout) {
  return ReadHead(
      block, used, kHeadBlockStart,
      [&](size_t out_size, std::string* line) {
        return ReadBufferedLine(line, out_size, nullptr, timeout);
      },
      true);
}

void CHttpBlockingSocket::SendBuffered(net::CBlockingSocket& to, net::Timeout timeout) {
  if (buffer_.Count() > 0) {
    to.SendAll(buffer_.Data(), static_cast<int>(buffer_.Count()), timeout);
    buffer_.Clear();
  }
}

}  // namespace qlm::http
