// The e-mail proxy in the engine with python's own mail clients: a POP3
// log-on naming the server after the delimiter and a whole session through
// it, the default server, a refusing server greeting, no default server,
// and a 200 KB message sent through the SMTP port.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/e2e/mail/mail_servers.h"
#include "tests/e2e/support/engine_under_test.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace qlm::ftp::mail::test {
namespace {

using qlm::test::EngineUnderTest;

constexpr const char* kPython = "/usr/bin/python3";
const std::string kClients = std::string(QLM_SOURCE_DIR) + "/tests/e2e/mail/mail_clients.py";
const std::string kProxyWelcome =
    "WELCOME +OK Quillmar POP3 proxy server ready (Comments to: mail.e2e.test)\n";

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

struct EmailSetup {
  std::string pop3_server{};
  uint16_t pop3_port = 110;
  std::string smtp_server{};
  uint16_t smtp_port = 25;
};

// An Email daemon with a POP3 listener and an SMTP listener, both entries
// holding the same values. Returns the POP3 port; *smtp gets the SMTP one.
uint16_t AddEmail(EngineUnderTest& engine, const EmailSetup& setup, uint16_t* smtp) {
  *smtp = engine.FreeTcpPort();
  const std::string values =
      "\"Pop3S_ip\"=\"" + setup.pop3_server + "\"\n\"Pop3Port\"=dword:" + Hex(setup.pop3_port) +
      "\n\"Pop3Delimiter\"=\"#\"\n\"SmtpProxyPort\"=dword:" + Hex(*smtp) + "\n\"SmtpS_ip\"=\"" +
      setup.smtp_server + "\"\n\"SmtpPort\"=dword:" + Hex(setup.smtp_port) +
      "\n\"ContactDomain\"=\"mail.e2e.test\"";
  const uint16_t pop3 = engine.AddDaemon("Email", true, false, values);
  engine.AddDaemonListener("Email", engine.Ip() + ":" + std::to_string(*smtp), true, values);
  return pop3;
}

qlm::test::RunResult Pop3Session(const EngineUnderTest& engine, uint16_t port,
                                 const std::string& user) {
  return qlm::test::Run({kPython, kClients, "pop3", engine.Ip(), std::to_string(port), user});
}

std::string ExpectedSession() {
  const std::string size = std::to_string(std::string(kMessage).size());
  return kProxyWelcome + "STAT 1 " + size + "\nLIST 1 " + size +
         "\nRETR\nSubject: through the proxy\n\nline one\n.hidden dot line\nlast line\nEND\n"
         "QUIT +OK bye\n";
}

TEST(MailE2eTest, Pop3UserNamesTheServerAfterTheDelimiter) {
  CPop3ServerFake server("127.0.0.171");
  EngineUnderTest engine("127.0.0.161");
  uint16_t smtp = 0;
  const uint16_t pop3 = AddEmail(engine, {.pop3_port = server.Port()}, &smtp);
  ASSERT_TRUE(engine.Start());
  const auto result = Pop3Session(engine, pop3, "alice#127.0.0.171");
  EXPECT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(result.out, ExpectedSession());
  EXPECT_EQ(server.UserLine(), "USER alice\r\n");
  EXPECT_TRUE(engine.WaitForLog("POP3      127.0.0.171      127.0.0.171      127.0.0.1"));
  EXPECT_EQ(engine.CountLog("ERR   "), 0u);
}

TEST(MailE2eTest, Pop3UserWithoutDelimiterGoesToTheDefaultServer) {
  CPop3ServerFake server("127.0.0.172");
  EngineUnderTest engine("127.0.0.162");
  uint16_t smtp = 0;
  const uint16_t pop3 =
      AddEmail(engine, {.pop3_server = "127.0.0.172", .pop3_port = server.Port()}, &smtp);
  ASSERT_TRUE(engine.Start());
  const auto result = Pop3Session(engine, pop3, "bob");
  EXPECT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(result.out, ExpectedSession());
  EXPECT_EQ(server.UserLine(), "USER bob\r\n");
}

TEST(MailE2eTest, Pop3ServerGreetingWithoutOkClosesTheClient) {
  CPop3ServerFake server("127.0.0.173", "-ERR not today\r\n");
  EngineUnderTest engine("127.0.0.163");
  uint16_t smtp = 0;
  const uint16_t pop3 =
      AddEmail(engine, {.pop3_server = "127.0.0.173", .pop3_port = server.Port()}, &smtp);
  ASSERT_TRUE(engine.Start());
  const auto result = Pop3Session(engine, pop3, "bob");
  EXPECT_NE(result.code, 0);
  EXPECT_EQ(result.out, kProxyWelcome);
  EXPECT_TRUE(engine.WaitForLog(
      "ERR   EmailThreadProc:Receive a bad greeting message from the remote POP3 server"))
      << result.err;
  EXPECT_EQ(server.UserLine(), "");
}

TEST(MailE2eTest, EmptyDefaultServerIsUnspecified) {
  EngineUnderTest engine("127.0.0.164");
  uint16_t smtp = 0;
  const uint16_t pop3 = AddEmail(engine, {}, &smtp);
  ASSERT_TRUE(engine.Start());
  const auto result = Pop3Session(engine, pop3, "bob");
  EXPECT_NE(result.code, 0);
  EXPECT_EQ(result.out, kProxyWelcome);
  EXPECT_TRUE(engine.WaitForLog(
      "ERR   EmailThreadProc:ResovlHostByName:Remote email server name is unspecified"));
}

// About 200 KB of text lines, some starting with a dot.
std::string LargeMessage() {
  std::string message = "Subject: large\r\n\r\n";
  for (int line = 0; message.size() < 200 * 1024; ++line) {
    message += (line % 7 == 0 ? "." : "") + std::string("line ") + std::to_string(line) + " " +
               std::string(60 + line % 30, static_cast<char>('a' + line % 26)) + "\r\n";
  }
  return message;
}

TEST(MailE2eTest, SmtpPortRelaysALargeMessageAndTheServersGreeting) {
  CSmtpServerFake server("127.0.0.175");
  EngineUnderTest engine("127.0.0.165");
  uint16_t smtp = 0;
  AddEmail(engine, {.smtp_server = "127.0.0.175", .smtp_port = server.Port()}, &smtp);
  ASSERT_TRUE(engine.Start());
  qlm::test::CTempDir folder;
  const std::string path = folder.Path() + "/message.eml";
  const std::string message = LargeMessage();
  std::ofstream(path, std::ios::binary) << message;
  const auto result = qlm::test::Run(
      {kPython, kClients, "smtp", engine.Ip(), std::to_string(smtp), path});
  EXPECT_EQ(result.code, 0) << result.err;
  // The first line the client sees is the server's: the proxy says nothing.
  EXPECT_EQ(result.out, "GREETING 220 smtp.server.test ESMTP fake\nSENT\n");
  ASSERT_TRUE(qlm::test::WaitUntil([&] { return server.Done(); }));
  EXPECT_EQ(server.Data().size(), message.size());
  EXPECT_TRUE(server.Data() == message);
  EXPECT_TRUE(engine.WaitForLog("SMTP      127.0.0.1        "));
}

}  // namespace
}  // namespace qlm::ftp::mail::test
