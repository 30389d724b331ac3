// The keep-alive query byte for byte, as a listener on loopback receives it,
// and proof that sending it is not counted as traffic.
#include "dialup/keep_alive_probe.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "dialup/dial_up_manager.h"
#include "dialup/scripted_backend.h"
#include "net/traffic_idle_flag.h"

namespace qlm::dialup {
namespace {

const std::vector<uint8_t> kExpectedQuery = {
    0x00, 0x01,                                               // identifier 1
    0x00, 0x00,                                               // flags 0
    0x00, 0x01,                                               // one question
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00,                       // no other records
    0x03, 'w', 'w', 'w',                                      // "www"
    0x09, 'm', 'i', 'c', 'r', 'o', 's', 'o', 'f', 't',        // "microsoft"
    0x03, 'c', 'o', 'm',                                      // "com"
    0x00,                                                     // root
    0x00, 0x01,                                               // type A
    0x00, 0x01,                                               // class IN
};

// A UDP socket on 127.0.0.1 with a free port; the probe's only destination.
class LoopbackListener {
 public:
  LoopbackListener() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    address_.sin_family = AF_INET;
    address_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address_), sizeof(address_));
    socklen_t size = sizeof(address_);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address_), &size);
  }
  ~LoopbackListener() { ::close(fd_); }
  const sockaddr_in& Address() const { return address_; }
  // One datagram, or empty after a bounded wait.
  std::vector<uint8_t> Receive() {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 5000) != 1) {
      return {};
    }
    std::vector<uint8_t> data(512);
    ssize_t got = ::recv(fd_, data.data(), data.size(), 0);
    data.resize(got > 0 ? got : 0);
    return data;
  }

 private:
  int fd_ = -1;
  sockaddr_in address_{};
};

TEST(KeepAliveProbeTest, QueryIsThirtyFiveBytesForTheFixedHost) {
  std::vector<uint8_t> query = KeepAliveQuery();
  EXPECT_EQ(query.size(), kKeepAliveQuerySize);
  EXPECT_EQ(query, kExpectedQuery);
}

TEST(KeepAliveProbeTest, SentDatagramArrivesWholeAndIsNoTraffic) {
  LoopbackListener listener;
  net::TrafficIdleFlag() = 1;
  SendKeepAlive(KeepAliveQuery(), listener.Address());
  EXPECT_EQ(listener.Receive(), kExpectedQuery);
  EXPECT_EQ(net::TrafficIdleFlag().load(), 1u);
}

TEST(KeepAliveProbeTest, DefaultDestinationIsTheBroadcastDnsPort) {
  sockaddr_in to = KeepAliveBroadcast();
  EXPECT_EQ(to.sin_family, AF_INET);
  EXPECT_EQ(ntohs(to.sin_port), 53);
  EXPECT_EQ(to.sin_addr.s_addr, htonl(INADDR_BROADCAST));
}

TEST(KeepAliveProbeTest, IdleMonitorSendsTheProbeToItsDestination) {
  LoopbackListener listener;
  DialUpSettings settings;
  settings.UseDialUp = true;
  settings.DialUpManaged = true;
  settings.KeepAliveIdle = true;
  settings.KeepAliveIdleTime = 0;  // a probe on every idle tick
  auto backend = std::make_unique<CScriptedBackend>();
  backend->AddConnection(kRasConnected);
  DialUpHooks hooks;
  hooks.keep_alive_to = listener.Address();
  DialUpManager manager;
  manager.Configure(settings, std::move(hooks), std::move(backend));
  net::TrafficIdleFlag() = 1;
  manager.PollStatus();
  EXPECT_EQ(listener.Receive(), kExpectedQuery);
  EXPECT_EQ(net::TrafficIdleFlag().load(), 1u);
  manager.PollStatus();
  EXPECT_EQ(listener.Receive(), kExpectedQuery);
}

}  // namespace
}  // namespace qlm::dialup
