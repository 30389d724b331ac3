// CHttpBlockingSocket: the blocking socket of both HTTP connections, with a
// receive buffer from which text lines are taken one at a time and the
// reading of a whole message head. The field operations on heads are the
// pure functions of header_fields.h.
#pragma once

#include <netinet/in.h>

#include <string>

#include "net/blocking_socket.h"
#include "proxies/http/line_buffer.h"

namespace qlm::http {

class CHttpBlockingSocket : public net::CBlockingSocket {
 public:
  CHttpBlockingSocket();
  ~CHttpBlockingSocket() override;

  // Takes one line (LF included) of at most out_size-1 bytes into *line,
  // receiving as needed; waits at most `timeout`, and ends early when `other`
  // (optional) becomes readable or the engine stops. A LineResult; on any
  // result but LineRead *line is empty and nothing is consumed. LineClosed
  // leaves the socket closed.
  int ReadBufferedLine(std::string* line, size_t out_size, net::CBlockingSocket* other,
                       net::Timeout timeout);

  // Reads a whole head (leading empty lines skipped, up to 65,536 bytes) into
  // *block; *used is its length. A LineResult.
  virtual int ReadHeaderBlock(std::string* block, size_t* used, net::CBlockingSocket* other,
                              net::Timeout timeout);
  // As ReadHeaderBlock, but the lines already in *block are kept.
  int ContinueHeaderBlock(std::string* block, size_t* used, net::Timeout timeout);

  // Bytes received and not yet taken as lines (a body's first bytes).
  CLineBuffer& Buffer() { return buffer_; }
  // Sends what the receive buffer holds to `to` and empties it.
  void SendBuffered(net::CBlockingSocket& to, net::Timeout timeout);

  // While set (a request head is being read), the first byte of the head
  // starts a receive deadline of this length for the whole head.
  void TimeHeadFromFirstByte(net::Timeout budget) { head_budget_ = budget; }
  void StopTimingHead() {
    head_budget_ = net::kWaitForever;
    ClearReceiveDeadline();
  }

  sockaddr_in peer_address_{};
  // 1: the connection closes after the current exchange.
  int close_flag_ = 1;

 private:
  CLineBuffer buffer_;
  net::Timeout head_budget_ = net::kWaitForever;
};

}  // namespace qlm::http
