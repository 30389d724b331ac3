// The FTP proxy harness of the session tests.
#include "ftp_harness.h"

#include <unistd.h>

#include <memory>

#include "engine/connection_limit.h"
#include "ftp_test_support.h"
#include "net/shutdown_socket.h"
#include "proxies/ftp_mail/ftp_proxy_client.h"
#include "proxies/ftp_mail/ftp_session.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::ftp::test {

CFtpHarness::CFtpHarness() {
  net::CShutdownSocket::Instance().ResetForTest();
  engine::CConnectionLimit::Instance().Reset(engine::CConnectionLimit::kDefaultMaxConnections);
  engine::SetReportSinkForTest(this);
  listener_ = qlm::test::ListenTcp("127.0.0.1", &port_);
}

CFtpHarness::~CFtpHarness() {
  qlm::test::WaitUntil([this] { return AllEnded(); });
  for (std::thread& t : threads_) {
    t.join();
  }
  engine::SetReportSinkForTest(nullptr);
  engine::CConnectionLimit::Instance().Reset(engine::CConnectionLimit::kDefaultMaxConnections);
  ::close(listener_);
}

int CFtpHarness::Connect(const FtpProxyConfig& config) {
  const int fd = qlm::test::ConnectTcp("127.0.0.1", port_);
  const int accepted = AcceptWithin(listener_);
  auto context = std::make_unique<engine::ConnectionContext>();
  auto client = std::make_unique<CFtpProxyClient>(config);
  client->Attach(accepted);
  context->Client = std::move(client);
  ++started_;
  threads_.emplace_back([this, c = std::move(context)]() mutable {
    FtpCmdThreadProc(std::move(c));
    ++ended_;
  });
  return fd;
}

bool CFtpHarness::AllEnded() {
  std::lock_guard lock(mutex_);
  return ended_.load() == started_.load() && ended_rows_ >= started_.load() + data_rows_;
}

bool CFtpHarness::HasLog(const std::string& kind, const std::string& text) {
  std::lock_guard lock(mutex_);
  for (const auto& [k, t] : logs_) {
    if (k == kind && t == text) {
      return true;
    }
  }
  return false;
}

bool CFtpHarness::WaitForLog(const std::string& kind, const std::string& text) {
  return qlm::test::WaitUntil([&] { return HasLog(kind, text); });
}

std::vector<std::string> CFtpHarness::Logs(const std::string& kind) {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  for (const auto& [k, t] : logs_) {
    if (k == kind) {
      out.push_back(t);
    }
  }
  return out;
}

std::vector<std::string> CFtpHarness::ActivityTexts() {
  std::lock_guard lock(mutex_);
  return activities_;
}

void CFtpHarness::Log(engine::ThreadTag, const std::string& kind, const std::string& text) {
  std::lock_guard lock(mutex_);
  logs_.emplace_back(kind, text);
}

void CFtpHarness::Activity(const std::string&, const std::string&,
                           const std::optional<std::string>& text) {
  std::lock_guard lock(mutex_);
  if (!text) {
    ++ended_rows_;
    return;
  }
  activities_.push_back(*text);
  if (text->rfind("Data:", 0) == 0) {
    ++data_rows_;
  }
}

}  // namespace qlm::ftp::test
