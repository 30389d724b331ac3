// The relay between a proxy's client and the remote host once both are
// connected: moves bytes both ways on the connection's own thread until both
// directions have ended, the relay has been idle for the given time, or the
// engine stops. SOCKS, the mail and FTP proxies, port mapping and the HTTP
// CONNECT tunnel all relay through it and then report its byte counters.
#pragma once

#include <cstdint>
#include <memory>

#include "net/blocking_socket.h"
#include "net/relay_pipe.h"
#include "net/timeout.h"

namespace qlm::engine {

class CSocksPump {
 public:
  // Each relayed chunk must be written within this time (a slow receiver
  // throttles the sender up to here).
  static constexpr net::Timeout kDefaultWriteTimeout{30000};

  // By convention `in` is the client's socket and `out` the remote one.
  // Neither is owned; the pump never opens or closes them, it only shuts
  // directions down.
  CSocksPump(net::CBlockingSocket* in, net::CBlockingSocket* out,
             net::Timeout write_timeout = kDefaultWriteTimeout);
  virtual ~CSocksPump() = default;
  CSocksPump(const CSocksPump&) = delete;
  CSocksPump& operator=(const CSocksPump&) = delete;

  // Relays until both directions have ended (returns) or nothing moved for
  // `idle` (shuts every open direction down, returns). Throws
  // CBlockingSocketException "CSocksPump::Pump:select:socket closed" when the
  // wait fails or the engine stops, "CSocksPump::Pump:recv:m_in" /
  // "CSocksPump::Pump:recv:m_out" on a receive error other than a reset, and
  // whatever a write throws other than a reset.
  void Pump(net::Timeout idle);

  // Bytes received from `in` (and written to `out`). 64 bits: a long
  // download passes 4 GiB.
  uint64_t BytesIn() const { return bytes_in_; }
  // Bytes received from `out` (and written to `in`).
  uint64_t BytesOut() const { return bytes_out_; }

 private:
  // Moves one chunk from `from` to `to`; false once that direction has ended.
  // Through the direction's pipe while the kernel can splice, else through
  // the copy buffer.
  bool RelayChunk(net::CBlockingSocket& from, net::CBlockingSocket& to, uint64_t& counter,
                  const char* receive_failure, net::CRelayPipe& pipe);
  // One receive into the pipe or the copy buffer: >0 bytes, 0 end, -1 *error.
  int ReceiveChunk(net::CBlockingSocket& from, net::CRelayPipe& pipe, int* error);

  net::CBlockingSocket* in_;
  net::CBlockingSocket* out_;
  net::Timeout write_timeout_;
  uint64_t bytes_in_ = 0;
  uint64_t bytes_out_ = 0;
  // One pipe per direction, opened at its first byte; splicing stops for
  // good once the kernel refuses it for these sockets.
  net::CRelayPipe in_pipe_;
  net::CRelayPipe out_pipe_;
  bool splice_ = true;
  // The copy buffer, made at the first chunk the kernel would not splice.
  std::unique_ptr<char[]> buffer_;
};

}  // namespace qlm::engine
