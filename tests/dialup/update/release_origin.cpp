// The in-process release host.
#include "tests/dialup/update/release_origin.h"

#include <poll.h>
#include <sys/socket.h>

#include <chrono>

#include "tests/support/loopback.h"

namespace qlm::update::test {

CReleaseOrigin::CReleaseOrigin(const char* ip, std::string response, bool silent)
    : ip_(ip), response_(std::move(response)), silent_(silent) {
  server_ = std::make_unique<qlm::test::CTcpServer>([this](int fd) { Serve(fd); }, ip);
}

CReleaseOrigin::~CReleaseOrigin() {
  stop_ = true;
  server_.reset();
}

std::string CReleaseOrigin::Host() const { return ip_ + ":" + std::to_string(server_->Port()); }

std::vector<std::string> CReleaseOrigin::Requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

void CReleaseOrigin::Serve(int fd) {
  std::string request;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (request.find("\r\n\r\n") == std::string::npos && !stop_ &&
         std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) != 1) {
      continue;
    }
    char buffer[1024];
    const ssize_t got = ::recv(fd, buffer, sizeof(buffer), 0);
    if (got <= 0) {
      break;
    }
    request.append(buffer, static_cast<size_t>(got));
  }
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
  }
  if (silent_) {
    // Holds the connection without a word until the test ends.
    while (!stop_ && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      ::poll(&p, 1, 50);
    }
    return;
  }
  qlm::test::WriteAll(fd, response_);
}

std::string Ok(const std::string& body) {
  return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + body;
}

std::string ReleaseFile(const std::string& version, int days, const std::string& message) {
  return "Quillmar release notes\n#Quillmar v" + version + " release " + std::to_string(days) +
         " 12/01/2026\n" + message;
}

}  // namespace qlm::update::test
