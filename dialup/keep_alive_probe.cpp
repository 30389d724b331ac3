// Building and sending the keep-alive query.
#include "dialup/keep_alive_probe.h"

#include <string>

#include "net/blocking_socket.h"

namespace qlm::dialup {
namespace {

// The probe is sent from the main loop: a socket that cannot take it at once
// does not hold the loop up for long.
constexpr net::Timeout kKeepAliveSendWait{1000};

}  // namespace

std::vector<uint8_t> KeepAliveQuery() {
  std::vector<uint8_t> query = {
      0x00, 0x01,  // identifier 1
      0x00, 0x00,  // flags 0
      0x00, 0x01,  // one question
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // no other records
  };
  std::string host = kKeepAliveHost;
  size_t start = 0;
  while (start <= host.size()) {
    size_t dot = host.find('.', start);
    if (dot == std::string::npos) {
      dot = host.size();
    }
    query.push_back(static_cast<uint8_t>(dot - start));
    query.insert(query.end(), host.begin() + start, host.begin() + dot);
    start = dot + 1;
  }
  query.push_back(0x00);  // root label
  const uint8_t tail[] = {0x00, 0x01, 0x00, 0x01};  // type A, class IN
  query.insert(query.end(), std::begin(tail), std::end(tail));
  return query;
}

void SendKeepAlive(const std::vector<uint8_t>& datagram, const sockaddr_in& to) {
  try {
    net::CBlockingSocket socket;
    socket.Create(net::kDatagram);
    socket.SetBroadcastOn();  // before the connect: a broadcast peer needs it
    // Connected, so that the socket file's send can carry it: SendDatagram
    // would clear the traffic flag, and the probe must not count as traffic.
    socket.Connect(to);
    socket.SendForFile(reinterpret_cast<const char*>(datagram.data()),
                       static_cast<int>(datagram.size()), kKeepAliveSendWait);
  } catch (const net::CBlockingSocketException&) {
    // A probe that cannot go out is simply not sent.
  }
}

}  // namespace qlm::dialup
