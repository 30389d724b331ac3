// A burst of clients connecting at once: every one is accepted without a
// SYN being dropped (a dropped SYN costs the client a 1 s retransmission).
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <vector>

#include "tests/e2e/support/engine_under_test.h"
#include "tests/support/scoped_fd.h"

namespace qlm::test {
namespace {

using Clock = std::chrono::steady_clock;

TEST(EngineBurstE2eTest, FiveHundredClientsAtOnceAreAllAcceptedWithinHalfASecond) {
  EngineUnderTest engine("127.0.0.73");
  const uint16_t port = engine.AddDaemon("SOCKS");
  ASSERT_TRUE(engine.Start());
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  inet_pton(AF_INET, engine.Ip().c_str(), &target.sin_addr);

  constexpr size_t kClients = 500;
  std::vector<CScopedFd> clients;
  std::vector<Clock::time_point> started;
  std::vector<Clock::duration> took(kClients, Clock::duration::max());
  for (size_t i = 0; i < kClients; ++i) {
    clients.emplace_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
    ASSERT_TRUE(clients.back().Valid());
    started.push_back(Clock::now());
    const int result = ::connect(clients.back().Get(), reinterpret_cast<sockaddr*>(&target),
                                 sizeof target);
    ASSERT_TRUE(result == 0 || errno == EINPROGRESS);
  }
  size_t done = 0;
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
  while (done < kClients && Clock::now() < deadline) {
    std::vector<pollfd> waits;
    std::vector<size_t> which;
    for (size_t i = 0; i < kClients; ++i) {
      if (took[i] == Clock::duration::max()) {
        waits.push_back({clients[i].Get(), POLLOUT, 0});
        which.push_back(i);
      }
    }
    if (::poll(waits.data(), waits.size(), 100) <= 0) {
      continue;
    }
    const Clock::time_point now = Clock::now();
    for (size_t k = 0; k < waits.size(); ++k) {
      if (waits[k].revents != 0) {
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(waits[k].fd, SOL_SOCKET, SO_ERROR, &error, &length);
        EXPECT_EQ(error, 0);
        took[which[k]] = now - started[which[k]];
        ++done;
      }
    }
  }
  ASSERT_EQ(done, kClients);
  Clock::duration slowest{};
  for (const Clock::duration d : took) {
    slowest = std::max(slowest, d);
  }
  EXPECT_LT(slowest, std::chrono::milliseconds(500));
}

}  // namespace
}  // namespace qlm::test
