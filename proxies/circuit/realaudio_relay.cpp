// The relay of one RealAudio connection: the control stream both ways, the
// server's datagrams to the player and the player's resend requests to the
// server, in one wait with the stop wake-up, until either side closes, the
// whole connection idles out or the engine stops.
#include <poll.h>

#include <cstdio>

#include "net/wait_set.h"
#include "net/winsock_errors.h"
#include "proxies/circuit/realaudio_session.h"

namespace qlm::circuit {

using net::CBlockingSocketException;
using net::CWaitSet;

namespace {

constexpr size_t kNotWaited = static_cast<size_t>(-1);

size_t AddIfOpen(CWaitSet& set, const net::CBlockingSocket& socket) {
  return socket.IsOpen() ? set.Add(socket.Handle(), POLLIN) : kNotWaited;
}

bool Flagged(const CWaitSet& set, size_t index) {
  return index != kNotWaited && set.Ready(index, POLLIN);
}

bool IsReset(int error) { return error == net::WSAENETRESET || error == net::WSAECONNRESET; }

}  // namespace

void CRealAudioSession::Relay() {
  char buffer[kRelayBufferSize];
  for (;;) {
    CWaitSet set;
    set.AddShutdown();
    const size_t client = set.Add(client_.Handle(), POLLIN);
    const size_t server = set.Add(server_.Handle(), POLLIN);
    const size_t data = AddIfOpen(set, channels_.from_server);
    const size_t resend = AddIfOpen(set, channels_.from_player);
    switch (set.Wait(timeouts_.relay_idle)) {
      case CWaitSet::Result::kTimedOut:
        throw CBlockingSocketException(kTextTimedOut);
      case CWaitSet::Result::kError:
        if (set.Error() == net::WSAEINTR || set.Error() == net::WSAENOTSOCK) {
          return;
        }
        throw CBlockingSocketException(kTextSelectError, set.Error());
      case CWaitSet::Result::kShutdown:
        return;
      case CWaitSet::Result::kReady:
        break;
    }
    if (Flagged(set, server) && !ServerReadable(buffer)) {
      return;
    }
    if (Flagged(set, client) && !PlayerReadable(buffer)) {
      return;
    }
    if (Flagged(set, data)) {
      DataDatagram(buffer);
    }
    if (Flagged(set, resend)) {
      ResendDatagram(buffer);
    }
  }
}

bool CRealAudioSession::ServerReadable(char* buffer) {
  if (!server_seen_) {
    server_seen_ = true;
    if (channels_.resend_wanted && UdpResendSetup(client_, server_, sides_, &channels_)) {
      ReportResend();
    }
  }
  int error = 0;
  const int got = server_.ReceiveNow(buffer, kRelayBufferSize, &error);
  if (got == 0) {
    return false;
  }
  if (got < 0) {
    if (error == net::WSAEWOULDBLOCK) {
      return true;  // the opening took all there was
    }
    if (IsReset(error)) {
      return false;
    }
    char text[256];
    std::snprintf(text, sizeof(text), kFormatServerErrors, error,
                  net::WinsockErrorText(error));
    throw CBlockingSocketException(text);
  }
  client_.SendAll(buffer, got, timeouts_.handshake);
  return true;
}

bool CRealAudioSession::PlayerReadable(char* buffer) {
  int error = 0;
  const int got = client_.ReceiveNow(buffer, kRelayBufferSize, &error);
  if (got == 0) {
    return false;
  }
  if (got < 0) {
    if (error == net::WSAEWOULDBLOCK) {
      return true;
    }
    if (IsReset(error)) {
      return false;
    }
    throw CBlockingSocketException(kTextClientErrors, error);
  }
  server_.SendAll(buffer, got, timeouts_.handshake);
  return true;
}

namespace {

// One datagram that is waiting now; 0 when it vanished.
int TakeDatagram(net::CBlockingSocket& socket, char* buffer, sockaddr_in* from) {
  int got = 0;
  try {
    got = socket.ReceiveDatagram(buffer, kRelayBufferSize, from, net::Timeout{0});
  } catch (const CBlockingSocketException& e) {
    throw CBlockingSocketException(kTextUdpReadErrors, e.ErrorCode());
  }
  if (got < 0) {
    throw CBlockingSocketException(kTextUdpReadErrors, net::WSAENOTSOCK);
  }
  return got;
}

}  // namespace

void CRealAudioSession::DataDatagram(char* buffer) {
  sockaddr_in from{};
  const int got = TakeDatagram(channels_.from_server, buffer, &from);
  if (got == 0) {
    return;
  }
  if (from.sin_addr.s_addr != sides_.server.sin_addr.s_addr) {
    engine::WriteLog(thread_, engine::kKindError, kFormatUnknownDataSender, IpText(from).c_str());
    return;
  }
  if (channels_.to_player.IsOpen()) {
    channels_.to_player.SendDatagram(buffer, got, channels_.player_data, timeouts_.datagram_send);
  }
}

void CRealAudioSession::ResendDatagram(char* buffer) {
  sockaddr_in from{};
  const int got = TakeDatagram(channels_.from_player, buffer, &from);
  if (got == 0) {
    return;
  }
  const sockaddr_in& expected = channels_.player_resend;
  if (from.sin_family != expected.sin_family || from.sin_port != expected.sin_port ||
      from.sin_addr.s_addr != expected.sin_addr.s_addr) {
    engine::WriteLog(thread_, engine::kKindError, kFormatUnknownResendSender,
                     IpText(from).c_str());
    return;
  }
  if (channels_.to_server.IsOpen()) {
    channels_.to_server.SendDatagram(buffer, got, channels_.server_resend,
                                     timeouts_.datagram_send);
  }
}

}  // namespace qlm::circuit
