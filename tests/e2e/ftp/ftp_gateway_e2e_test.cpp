// The HTTP proxy's FTP gateway in the real engine: curl and wget fetch ftp
// URLs through the proxy from a pyftpdlib server and get the HTML listing,
// the folder redirect and a 1 MiB file intact.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "tests/e2e/ftp/ftp_e2e_support.h"
#include "tests/e2e/support/engine_under_test.h"
#include "tests/support/child_process.h"

namespace qlm::ftp::test {
namespace {

class FtpGatewayE2eTest : public ::testing::Test {
 protected:
  // Every case has an FTP server address of its own: the server listens on
  // port 21, and ctest runs cases side by side.
  void Start(const std::string& server_address) {
    port_ = engine_.AddDaemon("HTTP");
    ASSERT_TRUE(engine_.Start());
    server_ = std::make_unique<CFtpServerProcess>(server_address);
    ASSERT_TRUE(server_->Start());
  }
  std::string Proxy() const { return "http://" + engine_.Ip() + ":" + std::to_string(port_); }
  std::string Url(const std::string& path) const {
    return std::string("ftp://") + kUser + ":" + kPassword + "@" + server_->Address() + path;
  }
  qlm::test::RunResult Curl(const std::string& url, bool head = false) {
    std::vector<std::string> argv = {"curl", "-sS", "--max-time", "30", "-x", Proxy()};
    if (head) {
      argv.push_back("-i");
    }
    argv.push_back(url);
    return qlm::test::Run(argv, {}, std::nullopt, std::chrono::seconds(60));
  }

  qlm::test::EngineUnderTest engine_{"127.0.0.119"};
  std::unique_ptr<CFtpServerProcess> server_;
  uint16_t port_ = 0;
};

TEST_F(FtpGatewayE2eTest, CurlGetsTheListingPage) {
  ASSERT_NO_FATAL_FAILURE(Start("127.0.0.120"));
  WriteFile(server_->Root() + "/a&b.txt", "x");
  std::filesystem::create_directory(server_->Root() + "/sub");
  const auto result = Curl(Url("/"));
  ASSERT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(result.out.rfind("<html><head><title>Directory</title></head><body><pre>"
                             "<a href=\"../\">Up to Parent Directory</a>\n\n",
                             0),
            0u)
      << result.out;
  EXPECT_NE(result.out.find(" <A HREF=\"sub/\">sub/</A>\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find(" <A HREF=\"a%26b.txt\">a&amp;b.txt</A>\n"), std::string::npos);
  EXPECT_TRUE(result.out.ends_with("</pre></body></html>"));
  EXPECT_TRUE(engine_.WaitForLog("CERN-FTP  127.0.0.1"));
}

TEST_F(FtpGatewayE2eTest, FolderWithoutSlashIsRedirected) {
  ASSERT_NO_FATAL_FAILURE(Start("127.0.0.121"));
  std::filesystem::create_directory(server_->Root() + "/sub");
  const auto result = Curl(Url("/sub"), true);
  ASSERT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(result.out,
            "HTTP/1.0 302 Found different location\r\n"
            "Proxy-agent: Quillmar Proxy Server\r\n"
            "Proxy-Connection: close\r\n"
            "Location: /sub/\r\n\r\n");
}

TEST_F(FtpGatewayE2eTest, CurlAndWgetDownloadAFileIntact) {
  ASSERT_NO_FATAL_FAILURE(Start("127.0.0.122"));
  const std::string bytes = RandomBytes(1 << 20);
  std::filesystem::create_directory(server_->Root() + "/pub");
  WriteFile(server_->Root() + "/pub/file.bin", bytes);
  const auto curl = Curl(Url("/pub/file.bin"));
  ASSERT_EQ(curl.code, 0) << curl.err;
  EXPECT_TRUE(curl.out == bytes) << "curl got " << curl.out.size() << " bytes";

  const std::string target = engine_.Folder() + "/wget.bin";
  const auto wget = qlm::test::Run(
      {"wget", "-q", "-T", "30", "-t", "1", "-O", target, Url("/pub/file.bin")},
      {{"ftp_proxy", Proxy()}, {"no_proxy", ""}}, std::nullopt, std::chrono::seconds(60));
  ASSERT_EQ(wget.code, 0) << wget.err;
  EXPECT_TRUE(ReadFile(target) == bytes) << "wget file differs";
}

TEST_F(FtpGatewayE2eTest, WrongPasswordGetsTheLogOnFailurePage) {
  ASSERT_NO_FATAL_FAILURE(Start("127.0.0.123"));
  const auto result = Curl(std::string("ftp://") + kUser + ":wrong@" + server_->Address() + "/",
                           true);
  ASSERT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(result.out.rfind("HTTP/1.0 400 Bad Request\r\n", 0), 0u) << result.out;
  EXPECT_NE(result.out.find("400 Server receives a bad URI request or anonymous logon fails."
                            "<br>530 "),
            std::string::npos)
      << result.out;
  EXPECT_TRUE(engine_.WaitForLog(
      "ERR   HttpClientThreadProc:Logon to remote FTP server <127.0.0.123> failed"));
}

}  // namespace
}  // namespace qlm::ftp::test
