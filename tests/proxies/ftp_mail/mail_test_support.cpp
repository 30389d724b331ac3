// Loopback harness of the e-mail proxy's tests.
#include "tests/proxies/ftp_mail/mail_test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>

#include "engine/connection_context.h"
#include "engine/connection_limit.h"
#include "engine/listener_record.h"
#include "engine/log_echo.h"
#include "proxies/ftp_mail/email_client.h"
#include "proxies/ftp_mail/email_session.h"
#include "tests/support/loopback.h"

namespace qlm::ftp::mail::test {
namespace {

int AcceptWithin(int listener) {
  pollfd entry{listener, POLLIN, 0};
  if (::poll(&entry, 1, 5000) != 1) {
    return -1;
  }
  return ::accept(listener, nullptr, nullptr);
}

// One byte within the rest of the deadline; false at close or time-out.
bool ReadByte(int fd, std::chrono::steady_clock::time_point deadline, char* byte) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  pollfd entry{fd, POLLIN, 0};
  if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) != 1) {
    return false;
  }
  return ::recv(fd, byte, 1, 0) == 1;
}

}  // namespace

EmailTimeouts ShortTimeouts() {
  EmailTimeouts t;
  t.send = std::chrono::milliseconds(2000);
  t.receive = std::chrono::milliseconds(2000);
  t.line = std::chrono::milliseconds(2000);
  t.connect = std::chrono::milliseconds(2000);
  t.relay_idle = std::chrono::milliseconds(5000);
  return t;
}

CEmailHarness::CEmailHarness() {
  engine::CConnectionLimit::Instance().Reset(engine::CConnectionLimit::kDefaultMaxConnections);
  null_fd_ = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  engine::SetLogEcho(null_fd_);
  listener_ = qlm::test::ListenTcp("127.0.0.1", &listen_port_);
}

CEmailHarness::~CEmailHarness() {
  JoinAll();
  engine::SetLogEcho(-1);
  ::close(null_fd_);
  ::close(listener_);
  engine::CConnectionLimit::Instance().Reset(engine::CConnectionLimit::kDefaultMaxConnections);
}

int CEmailHarness::Connect(const engine::EmailSettings& settings, uint16_t port,
                           const EmailTimeouts& timeouts) {
  const int fd = qlm::test::ConnectTcp("127.0.0.1", listen_port_);
  const int accepted = AcceptWithin(listener_);
  auto record = std::make_shared<engine::DaemonRecord>();
  record->name = "Email";
  record->address = "127.0.0.1";
  record->port = port;
  record->email = std::make_unique<engine::EmailSettings>(settings);
  auto context = std::make_unique<engine::ConnectionContext>();
  auto client = std::make_unique<CEmailClient>(timeouts);
  client->Attach(accepted);
  context->Client = std::move(client);
  context->Daemon = record.get();
  threads_.emplace_back([record, c = std::move(context)]() mutable {
    EmailThreadProc(std::move(c));
  });
  return fd;
}

void CEmailHarness::JoinAll() {
  for (std::thread& t : threads_) {
    t.join();
  }
  threads_.clear();
}

std::string ReadUntil(int fd, const std::string& end) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  std::string got;
  char byte = 0;
  while (got.size() < (1u << 20) && ReadByte(fd, deadline, &byte)) {
    got.push_back(byte);
    if (got.size() >= end.size() && got.compare(got.size() - end.size(), end.size(), end) == 0) {
      break;
    }
  }
  return got;
}

bool ClosesSoon(int fd) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  pollfd entry{fd, POLLIN, 0};
  char buffer[512];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) != 1) {
      return false;
    }
    const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
    if (count <= 0) {
      return true;
    }
  }
}

}  // namespace qlm::ftp::mail::test
