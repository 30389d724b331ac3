// The FTP gateway through the HTTP proxy's connection thread, against a
// small FTP server of the test's own on loopback (passive mode): the folder
// page, a text file, the redirect for a folder named without its "/", the
// log-on failure page and the URL's user and password.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <string>

#include "http_test_support.h"
#include "proxies/http/http_proxy_config.h"
#include "tests/proxies/ftp_mail/ftp_test_support.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::http {
namespace {

using ftp::test::ReadLine;
using ftp::test::SendText;

struct FakeFtp {
  std::map<std::string, std::string> files;  // name in the folder -> contents
  std::string listing;
  std::string folder = "pub/";                // the only CWD that succeeds
  std::string greeting = "220 ready\r\n";
  std::vector<std::string> seen;              // every command received
};

// One passive data connection: accept and send `bytes`.
void SendData(int listener, const std::string& bytes) {
  const int data = ftp::test::AcceptWithin(listener);
  if (data >= 0) {
    SendText(data, bytes);
    ::close(data);
  }
}

std::string Reply(FakeFtp& ftp, const std::string& command, int* data_listener) {
  if (command.rfind("USER", 0) == 0) {
    return "331 password\r\n";
  }
  if (command.rfind("PASS", 0) == 0) {
    return "230 in\r\n";
  }
  if (command.rfind("TYPE", 0) == 0) {
    return "200 ok\r\n";
  }
  if (command.rfind("PASV", 0) == 0) {
    uint16_t port = 0;
    *data_listener = qlm::test::ListenTcp("127.0.0.1", &port);
    return "227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," +
           std::to_string(port % 256) + ")\r\n";
  }
  if (command.rfind("CWD ", 0) == 0) {
    return command.substr(4) == ftp.folder ? "250 ok\r\n" : "550 no\r\n";
  }
  return "502 no\r\n";
}

// The server side of one gateway request, until QUIT or the client closes.
void ServeFtp(int fd, FakeFtp* ftp) {
  SendText(fd, ftp->greeting);
  int data_listener = -1;
  for (int i = 0; i < 50; ++i) {
    std::string line = ReadLine(fd);
    if (line.size() < 2) {
      break;
    }
    line.resize(line.size() - 2);
    ftp->seen.push_back(line);
    if (line == "QUIT") {
      SendText(fd, "221 bye\r\n");
      break;
    }
    if (line == "LIST" || line.rfind("RETR ", 0) == 0) {
      const auto file = ftp->files.find(line.substr(line.find(' ') + 1));
      if (line != "LIST" && file == ftp->files.end()) {
        SendText(fd, "550 no such file\r\n");
        continue;
      }
      SendText(fd, "150 opening\r\n");
      SendData(data_listener, line == "LIST" ? ftp->listing : file->second);
      SendText(fd, "226 done\r\n");
      continue;
    }
    SendText(fd, Reply(*ftp, line, &data_listener));
  }
  if (data_listener >= 0) {
    ::close(data_listener);
  }
}

class FtpGatewayTest : public ::testing::Test {
 protected:
  void SetUp() override { ConfigureHttpProxy(test::ShortConfig()); }
  void TearDown() override { ConfigureHttpProxy({}); }
  // Sends `request` to the proxy and reads everything until it closes.
  std::string Fetch(const std::string& url) {
    test::CProxyUnderTest proxy;
    const int fd = qlm::test::ConnectTcp("127.0.0.1", proxy.Port());
    SendText(fd, "GET " + url + " HTTP/1.0\r\n\r\n");
    const std::string answer = qlm::test::ReadAll(fd);
    ::close(fd);
    proxy.WaitIdle();
    return answer;
  }

  FakeFtp ftp_;
};

TEST_F(FtpGatewayTest, FolderBecomesAnHtmlPageWithOneLinkPerEntry) {
  ftp_.listing =
      "total 2\r\n"
      "drwxr-xr-x 2 ftp ftp 4096 Jan 01 00:00 sub\r\n"
      "-rw-r--r-- 1 ftp ftp 5 Jan 01 00:00 a&b.txt\r\n";
  ftp::test::CScriptedServer server([this](int fd) { ServeFtp(fd, &ftp_); });
  const std::string answer =
      Fetch("ftp://127.0.0.1:" + std::to_string(server.port()) + "/pub/");
  EXPECT_EQ(answer,
            "HTTP/1.0 200 Connection established\r\n"
            "Proxy-agent: Quillmar Proxy Server\r\n"
            "Proxy-Connection: close\r\n"
            "Connection: close\r\n"
            "Content-Type: text/html\r\n"
            "Content-Encoding: 8bit\r\n"
            "\r\n"
            "<html><head><title>Directory</title></head><body><pre>"
            "<a href=\"../\">Up to Parent Directory</a>\n\n"
            "total 2\r\n"
            "drwxr-xr-x 2 ftp ftp 4096 Jan 01 00:00 <A HREF=\"sub/\">sub/</A>\n"
            "-rw-r--r-- 1 ftp ftp 5 Jan 01 00:00 <A HREF=\"a%26b.txt\">a&amp;b.txt</A>\n"
            "</pre></body></html>");
  ASSERT_TRUE(qlm::test::WaitUntil([&] { return server.Done(); }));
  EXPECT_EQ(ftp_.seen, (std::vector<std::string>{"USER anonymous", "PASS visit@", "TYPE I",
                                                 "PASV", "CWD pub/", "LIST", "QUIT"}));
}

TEST_F(FtpGatewayTest, TextFileIsSentAsTextPlain) {
  ftp_.files["readme.txt"] = "plain text\n";
  ftp::test::CScriptedServer server([this](int fd) { ServeFtp(fd, &ftp_); });
  const std::string answer =
      Fetch("ftp://bob:pw@127.0.0.1:" + std::to_string(server.port()) + "/pub/readme.txt");
  EXPECT_EQ(answer,
            "HTTP/1.0 200 Connection established\r\n"
            "Proxy-agent: Quillmar Proxy Server\r\n"
            "Proxy-Connection: close\r\n"
            "Connection: close\r\n"
            "Content-Type: text/plain\r\n"
            "Content-Encoding: 7bit\r\n"
            "\r\n"
            "plain text\n");
  ASSERT_TRUE(qlm::test::WaitUntil([&] { return server.Done(); }));
  ASSERT_GE(ftp_.seen.size(), 2u);
  EXPECT_EQ(ftp_.seen[0], "USER bob");
  EXPECT_EQ(ftp_.seen[1], "PASS pw");
}

TEST_F(FtpGatewayTest, EmptyFileGetsAHeadWithLengthZero) {
  ftp_.files["empty"] = "";
  ftp::test::CScriptedServer server([this](int fd) { ServeFtp(fd, &ftp_); });
  const std::string answer =
      Fetch("ftp://127.0.0.1:" + std::to_string(server.port()) + "/pub/empty");
  EXPECT_NE(answer.find("Content-Length: 0\r\n\r\n"), std::string::npos) << answer;
  EXPECT_EQ(answer.rfind("HTTP/1.0 200 ", 0), 0u);
}

TEST_F(FtpGatewayTest, RefusedFileRedirectsToTheFolderForm) {
  ftp::test::CScriptedServer server([this](int fd) { ServeFtp(fd, &ftp_); });
  const std::string answer = Fetch("ftp://127.0.0.1:" + std::to_string(server.port()) + "/pub");
  EXPECT_EQ(answer,
            "HTTP/1.0 302 Found different location\r\n"
            "Proxy-agent: Quillmar Proxy Server\r\n"
            "Proxy-Connection: close\r\n"
            "Location: /pub/\r\n\r\n");
}

TEST_F(FtpGatewayTest, LogOnFailureGetsThe400PageWithTheServersLine) {
  ftp_.greeting = "421 <too> busy\r\n";
  test::CLogCapture log;
  ftp::test::CScriptedServer server([this](int fd) { ServeFtp(fd, &ftp_); });
  const std::string answer = Fetch("ftp://127.0.0.1:" + std::to_string(server.port()) + "/");
  EXPECT_EQ(answer.rfind("HTTP/1.0 400 Bad Request\r\n", 0), 0u) << answer;
  const std::string body =
      "<html><head><title>Request Error</title></head><body>400 Server receives a bad URI "
      "request or anonymous logon fails.<br>421 &lt;too&gt; busy\r\n</body></html>";
  EXPECT_EQ(answer.substr(answer.size() - body.size()), body);
  EXPECT_TRUE(log.HasLineContaining("ERR", "HttpClientThreadProc:Logon to remote FTP server <127.0.0.1> failed"));
}

}  // namespace
}  // namespace qlm::http
