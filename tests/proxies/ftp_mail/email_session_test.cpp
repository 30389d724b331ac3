// The e-mail proxy over loopback: the POP3 log-on with and without the
// delimiter, the server greeting check, the SMTP relay, and every ERR text.
#include "proxies/ftp_mail/email_session.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "dialup/dial_up_manager.h"
#include "dialup/scripted_backend.h"
#include "engine/connection_limit.h"
#include "net/host_addresses.h"
#include "tests/proxies/ftp_mail/mail_test_support.h"
#include "tests/support/fake_servers.h"
#include "tests/support/log_capture.h"
#include "tests/support/loopback.h"
#include "tests/support/scoped_fd.h"
#include "tests/support/wait_until.h"

namespace qlm::ftp::mail::test {
namespace {

using qlm::test::CLogCapture;
using qlm::test::CScopedFd;
using qlm::test::CTcpServer;
using qlm::test::WaitUntil;
using qlm::test::WriteAll;

constexpr uint16_t kPop3ListenPort = 110;
constexpr uint16_t kSmtpListenPort = 25;
const std::string kGreeting = "+OK Quillmar POP3 proxy server ready (Comments to: mail.test)\r\n";

// A POP3 server that greets with `greeting`, keeps the first line it gets,
// answers it with "+OK hello" and then echoes until the proxy closes.
class CPop3Server {
 public:
  explicit CPop3Server(std::string greeting = "+OK pop ready\r\n")
      : greeting_(std::move(greeting)),
        server_([this](int fd) { Serve(fd); }) {}

  uint16_t Port() const { return server_.Port(); }
  std::string FirstLine() {
    std::lock_guard lock(mutex_);
    return first_line_;
  }
  bool GotLine() const { return got_line_.load(); }

 private:
  void Serve(int fd) {
    WriteAll(fd, greeting_);
    const std::string line = ReadUntil(fd, "\r\n");
    {
      std::lock_guard lock(mutex_);
      first_line_ = line;
    }
    got_line_ = true;
    WriteAll(fd, "+OK hello\r\n");
    std::string echo = ReadUntil(fd, "\r\n");
    WriteAll(fd, echo);
    ClosesSoon(fd);
  }

  std::string greeting_;
  std::mutex mutex_;
  std::string first_line_;  // Guarded by mutex_
  std::atomic<bool> got_line_{false};
  CTcpServer server_;
};

engine::EmailSettings Settings(const std::string& pop3, uint16_t pop3_port) {
  engine::EmailSettings s;
  s.Pop3S_ip = pop3;
  s.Pop3Port = pop3_port;
  s.SmtpProxyPort = kSmtpListenPort;
  s.ContactDomain = "mail.test";
  return s;
}

TEST(CEmailSessionTest, DelimiterNamesTheServerAndTheUserLineIsRewritten) {
  CLogCapture log;
  CPop3Server server;
  CEmailHarness harness;
  CScopedFd client(harness.Connect(Settings("", server.Port()), kPop3ListenPort));
  EXPECT_EQ(ReadUntil(client.Get(), "\r\n"), kGreeting);
  WriteAll(client.Get(), "USER alice#127.0.0.1\r\n");
  EXPECT_EQ(ReadUntil(client.Get(), "\r\n"), "+OK hello\r\n");
  EXPECT_EQ(server.FirstLine(), "USER alice\r\n");
  WriteAll(client.Get(), "PASS secret\r\n");
  EXPECT_EQ(ReadUntil(client.Get(), "\r\n"), "PASS secret\r\n");
  ::shutdown(client.Get(), SHUT_WR);
  EXPECT_TRUE(ClosesSoon(client.Get()));
  harness.JoinAll();
  EXPECT_TRUE(log.HasLineStartingWith(
      " ", "POP3      127.0.0.1        127.0.0.1        127.0.0.1        "))
      << log.All();
  bool user_row = false;
  bool receive_row = false;
  for (const auto& activity : log.Activities()) {
    const std::string text = activity.text.value_or("");
    user_row = user_row || (text.rfind("Local 127.0.0.1:", 0) == 0 &&
                            text.ends_with(") USER alice#127.0.0.1\r\n"));
    receive_row = receive_row || text.rfind("Receive: 127.0.0.1:" + std::to_string(server.Port()) +
                                                " (127.0.0.1) -> Proxy 127.0.0.1:",
                                            0) == 0;
  }
  EXPECT_TRUE(user_row);
  EXPECT_TRUE(receive_row);
}

TEST(CEmailSessionTest, WithoutDelimiterTheDefaultServerGetsTheLineUnchanged) {
  CLogCapture log;
  CPop3Server server;
  CEmailHarness harness;
  CScopedFd client(harness.Connect(Settings("127.0.0.1", server.Port()), kPop3ListenPort));
  EXPECT_EQ(ReadUntil(client.Get(), "\r\n"), kGreeting);
  WriteAll(client.Get(), "USER bob\r\n");
  EXPECT_EQ(ReadUntil(client.Get(), "\r\n"), "+OK hello\r\n");
  EXPECT_EQ(server.FirstLine(), "USER bob\r\n");
  ::shutdown(client.Get(), SHUT_WR);
  EXPECT_TRUE(ClosesSoon(client.Get()));
  harness.JoinAll();
  EXPECT_FALSE(log.HasLineStartingWith("ERR", "")) << log.All();
}

TEST(CEmailSessionTest, GreetingWithoutPlusOkClosesTheClient) {
  CLogCapture log;
  CPop3Server server("-ERR go away\r\n");
  CEmailHarness harness;
  CScopedFd client(harness.Connect(Settings("127.0.0.1", server.Port()), kPop3ListenPort));
  EXPECT_EQ(ReadUntil(client.Get(), "\r\n"), kGreeting);
  WriteAll(client.Get(), "USER bob\r\n");
  EXPECT_TRUE(ClosesSoon(client.Get()));
  harness.JoinAll();
  EXPECT_TRUE(log.HasLine(
      "ERR", "EmailThreadProc:Receive a bad greeting message from the remote POP3 server"))
      << log.All();
  EXPECT_FALSE(server.GotLine() && server.FirstLine() == "USER bob\r\n");
}

TEST(CEmailSessionTest, EmptyDefaultServerIsUnspecified) {
  CLogCapture log;
  CEmailHarness harness;
  CScopedFd client(harness.Connect(Settings("", 110), kPop3ListenPort));
  EXPECT_EQ(ReadUntil(client.Get(), "\r\n"), kGreeting);
  WriteAll(client.Get(), "USER bob\r\n");
  EXPECT_TRUE(ClosesSoon(client.Get()));
  harness.JoinAll();
  EXPECT_TRUE(log.HasLine(
      "ERR", "EmailThreadProc:ResovlHostByName:Remote email server name is unspecified"))
      << log.All();
}

TEST(CEmailSessionTest, UnresolvableServerIsNamed) {
  CLogCapture log;
  CEmailHarness harness;
  CScopedFd client(harness.Connect(Settings("", 110), kPop3ListenPort));
  ReadUntil(client.Get(), "\r\n");
  WriteAll(client.Get(), "USER bob#no-such-host.invalid\r\n");
  EXPECT_TRUE(ClosesSoon(client.Get()));
  harness.JoinAll();
  EXPECT_TRUE(log.HasLine("ERR",
                          "EmailThreadProc:ResovlHostByName:Remote email server "
                          "(no-such-host.invalid) is unresolved"))
      << log.All();
}

TEST(CEmailSessionTest, ClientClosingBeforeUserIsABadUserCommand) {
  CLogCapture log;
  CEmailHarness harness;
  CScopedFd client(harness.Connect(Settings("127.0.0.1", 110), kPop3ListenPort));
  EXPECT_EQ(ReadUntil(client.Get(), "\r\n"), kGreeting);
  ::shutdown(client.Get(), SHUT_WR);
  EXPECT_TRUE(ClosesSoon(client.Get()));
  harness.JoinAll();
  EXPECT_TRUE(log.HasLine("ERR", "EmailThreadProc:Receive bad POP3 USER command")) << log.All();
}

TEST(CEmailSessionTest, SmtpPortRelaysTheServersGreetingAndNoneOfTheProxy) {
  CLogCapture log;
  CTcpServer smtp([](int fd) {
    WriteAll(fd, "220 smtp.test ESMTP\r\n");
    const std::string line = ReadUntil(fd, "\r\n");
    WriteAll(fd, "250 got " + line);
    ClosesSoon(fd);
  });
  CEmailHarness harness;
  engine::EmailSettings settings = Settings("", 110);
  settings.SmtpS_ip = "127.0.0.1";
  settings.SmtpPort = smtp.Port();
  CScopedFd client(harness.Connect(settings, kSmtpListenPort));
  EXPECT_EQ(ReadUntil(client.Get(), "\r\n"), "220 smtp.test ESMTP\r\n");
  WriteAll(client.Get(), "HELO me\r\n");
  EXPECT_EQ(ReadUntil(client.Get(), "\r\n"), "250 got HELO me\r\n");
  ::shutdown(client.Get(), SHUT_WR);
  EXPECT_TRUE(ClosesSoon(client.Get()));
  harness.JoinAll();
  EXPECT_TRUE(log.HasLineStartingWith(" ", "SMTP      127.0.0.1        ")) << log.All();
  EXPECT_FALSE(log.HasLineStartingWith("ERR", "")) << log.All();
}

TEST(CEmailSessionTest, NoContactDomainStoredNamesTheHostsDomain) {
  CLogCapture log;
  CEmailHarness harness;
  engine::EmailSettings settings = Settings("", 110);
  settings.ContactDomain.clear();
  CScopedFd client(harness.Connect(settings, kPop3ListenPort));
  const std::string own = net::HostDomainName();
  EXPECT_EQ(ReadUntil(client.Get(), "\r\n"),
            "+OK Quillmar POP3 proxy server ready (Comments to: " +
                (own.empty() ? std::string("localhost") : own) + ")\r\n");
  ::shutdown(client.Get(), SHUT_WR);
  EXPECT_TRUE(ClosesSoon(client.Get()));
  harness.JoinAll();
}

TEST(CEmailSessionTest, LineDownDialsOnDemandAndLogsTheDial) {
  CLogCapture log;
  auto& dialup = dialup::DialUpManager::Instance();
  std::atomic<int> dials{0};
  dialup::DialUpHooks hooks;
  hooks.signal_dial = [&dials] { ++dials; };
  dialup::DialUpSettings line;
  line.UseDialUp = true;
  line.DialUpManaged = true;
  line.AutoConnect = true;
  dialup::DialUpTimeouts waits;
  waits.connection_round = std::chrono::milliseconds(5);
  waits.connection_rounds = 2;
  dialup.Configure(line, std::move(hooks), std::make_unique<dialup::CScriptedBackend>(), waits);
  CTcpServer smtp([](int fd) {
    WriteAll(fd, "220 smtp.test\r\n");
    ClosesSoon(fd);
  });
  CEmailHarness harness;
  engine::EmailSettings settings = Settings("", 110);
  settings.SmtpS_ip = "127.0.0.1";
  settings.SmtpPort = smtp.Port();
  CScopedFd client(harness.Connect(settings, kSmtpListenPort));
  EXPECT_EQ(ReadUntil(client.Get(), "\r\n"), "220 smtp.test\r\n");
  ::shutdown(client.Get(), SHUT_WR);
  EXPECT_TRUE(ClosesSoon(client.Get()));
  harness.JoinAll();
  dialup.ResetForTest();
  EXPECT_EQ(dials.load(), 1);
  bool dial_line = false;
  const std::string tail = " -                -                         0      Email requests";
  for (const auto& call : log.Logs()) {
    dial_line = dial_line || (call.kind == " " && call.text.starts_with("DIAL      127.0.0.1 ") &&
                              call.text.ends_with(tail));
  }
  EXPECT_TRUE(dial_line) << log.All();
}

TEST(CEmailSessionTest, NoFreeSlotSendsNothing) {
  CLogCapture log;
  CEmailHarness harness;
  engine::CConnectionLimit::Instance().Reset(0);
  CScopedFd client(harness.Connect(Settings("127.0.0.1", 110), kPop3ListenPort));
  EXPECT_EQ(ReadUntil(client.Get(), "\r\n"), "");
  harness.JoinAll();
  EXPECT_TRUE(log.HasLine("ERR", "EmailThreadProc:Limited by maximum connections.")) << log.All();
}

}  // namespace
}  // namespace qlm::ftp::mail::test
