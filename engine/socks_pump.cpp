// The two-way relay: one poll over both sockets and the stop wake-up, one
// non-waiting receive per ready socket, each chunk written completely before
// the next wait. Chunks go socket -> pipe -> socket (splice) so the bytes are
// never copied through the process; where the kernel cannot splice, through
// a buffer of the process, allocated only then: an idle relay holds no buffer
// and keeps its thread's stack shallow.
#include "engine/socks_pump.h"

#include <poll.h>

#include <memory>

#include "engine/stack_trim.h"
#include "net/blocking_socket_exception.h"
#include "net/wait_set.h"
#include "net/winsock_errors.h"

namespace qlm::engine {
namespace {

constexpr char kSelectClosed[] = "CSocksPump::Pump:select:socket closed";
constexpr char kReceiveIn[] = "CSocksPump::Pump:recv:m_in";
constexpr char kReceiveOut[] = "CSocksPump::Pump:recv:m_out";
constexpr int kChunkSize = 4096;
// A spliced chunk: one pipe's worth, moved without copying.
constexpr size_t kSpliceChunkSize = 65536;

// Ends one direction: no more reading from its source, and the half-close is
// passed on to the destination's peer.
void EndDirection(net::CBlockingSocket& from, net::CBlockingSocket& to) {
  from.ShutdownReceive();
  to.ShutdownSend();
}

bool IsReset(int error) { return error == net::WSAENETRESET || error == net::WSAECONNRESET; }

}  // namespace

CSocksPump::CSocksPump(net::CBlockingSocket* in, net::CBlockingSocket* out,
                       net::Timeout write_timeout)
    : in_(in), out_(out), write_timeout_(write_timeout) {}

void CSocksPump::Pump(net::Timeout idle) {
  bool in_open = true;
  bool out_open = true;
  // A relay may then wait for hours: the first quiet spell longer than the
  // settle time gives the stack pages of the set-up back (the idle time is
  // counted across the split).
  const net::Timeout settle{kStackSettleTime};
  bool settled = idle <= settle;
  bool split = false;
  while (in_open || out_open) {
    net::CWaitSet set;
    set.AddShutdown();
    const size_t in_index = in_open ? set.Add(in_->Handle(), POLLIN) : 0;
    const size_t out_index = out_open ? set.Add(out_->Handle(), POLLIN) : 0;
    const net::CWaitSet::Result result =
        set.Wait(!settled ? settle : split ? idle - settle : idle);
    split = false;
    if (result == net::CWaitSet::Result::kTimedOut && !settled) {
      ReleaseIdleStack();
      settled = true;
      split = true;
      continue;
    }
    switch (result) {
      case net::CWaitSet::Result::kTimedOut:
        if (in_open) {
          EndDirection(*in_, *out_);
        }
        if (out_open) {
          EndDirection(*out_, *in_);
        }
        return;
      case net::CWaitSet::Result::kError:
      case net::CWaitSet::Result::kShutdown:
        throw net::CBlockingSocketException(kSelectClosed, set.Error());
      case net::CWaitSet::Result::kReady:
        break;
    }
    if (in_open && set.Ready(in_index, POLLIN)) {
      in_open = RelayChunk(*in_, *out_, bytes_in_, kReceiveIn, in_pipe_);
    }
    if (out_open && set.Ready(out_index, POLLIN)) {
      out_open = RelayChunk(*out_, *in_, bytes_out_, kReceiveOut, out_pipe_);
    }
  }
}

int CSocksPump::ReceiveChunk(net::CBlockingSocket& from, net::CRelayPipe& pipe, int* error) {
  if (splice_ && pipe.Open()) {
    const int got = from.ReceiveIntoPipe(pipe, kSpliceChunkSize, error);
    if (got >= 0 || *error != net::WSAEINVAL) {
      return got;
    }
    splice_ = false;  // not a socket the kernel splices: copy from now on
  }
  if (!buffer_) {
    buffer_ = std::make_unique<char[]>(kChunkSize);
  }
  return from.ReceiveNow(buffer_.get(), kChunkSize, error);
}

bool CSocksPump::RelayChunk(net::CBlockingSocket& from, net::CBlockingSocket& to,
                            uint64_t& counter, const char* receive_failure,
                            net::CRelayPipe& pipe) {
  int error = 0;
  const int got = ReceiveChunk(from, pipe, &error);
  if (got < 0) {
    if (error == net::WSAEWOULDBLOCK || error == net::WSAEINTR) {
      return true;  // nothing there after all; wait again
    }
    if (!IsReset(error)) {
      throw net::CBlockingSocketException(receive_failure, error);
    }
    EndDirection(from, to);
    return false;
  }
  if (got == 0) {
    EndDirection(from, to);
    return false;
  }
  counter += static_cast<uint64_t>(got);
  try {
    if (pipe.Pending() > 0) {
      to.SendAllFromPipe(pipe, write_timeout_);
    } else {
      to.SendAll(buffer_.get(), got, write_timeout_);
    }
  } catch (const net::CBlockingSocketException& e) {
    if (e.ErrorCode() != net::WSAECONNRESET) {
      throw;
    }
    EndDirection(from, to);
    return false;
  }
  return true;
}

}  // namespace qlm::engine
