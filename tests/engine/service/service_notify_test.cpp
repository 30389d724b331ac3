// The readiness words reach the socket NOTIFY_SOCKET names, and nothing is
// sent (or fails) without one.
#include "engine/service/service_notify.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace qlm::engine {
namespace {

// The next datagram on `fd`, or "" when none is waiting.
std::string Waiting(int fd) {
  pollfd wait{fd, POLLIN, 0};
  if (::poll(&wait, 1, 0) != 1) {
    return {};
  }
  char text[128];
  const ssize_t got = ::recv(fd, text, sizeof text, 0);
  return got > 0 ? std::string(text, static_cast<size_t>(got)) : std::string();
}

TEST(ServiceNotifyTest, ReadyAndStoppingGoToTheNotifySocket) {
  char pattern[] = "/tmp/qlm-notify-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string path = std::string(pattern) + "/notify";
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  ::unsetenv("NOTIFY_SOCKET");
  NotifyServiceReady();  // no socket: nothing
  EXPECT_EQ(Waiting(fd), "");
  ::setenv("NOTIFY_SOCKET", path.c_str(), 1);
  NotifyServiceReady();
  EXPECT_EQ(Waiting(fd), "READY=1");
  NotifyServiceStopping();
  EXPECT_EQ(Waiting(fd), "STOPPING=1");
  EXPECT_STREQ(::getenv("NOTIFY_SOCKET"), path.c_str());  // kept for the stop
  ::unsetenv("NOTIFY_SOCKET");
  ::close(fd);
  std::filesystem::remove_all(pattern);
}

}  // namespace
}  // namespace qlm::engine
