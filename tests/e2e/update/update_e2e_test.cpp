// The release update check in the real engine: it starts only after the
// first 200 through the HTTP proxy, fetches once per run from the host
// UpdateHost names, shows a newer release's message on standard error,
// keeps the file in InstallDir and moves UpdateDate on; everything else
// changes nothing. Engine at 127.0.0.141, web origin at 127.0.0.142,
// release host at 127.0.0.143.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "dialup/update/release_note.h"
#include "tests/dialup/update/release_origin.h"
#include "tests/e2e/support/engine_under_test.h"
#include "tests/support/child_process.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::update::test {
namespace {

using qlm::test::EngineUnderTest;
using qlm::test::WaitUntil;

constexpr const char* kEngineIp = "127.0.0.141";
constexpr const char* kWebIp = "127.0.0.142";
constexpr const char* kReleaseIp = "127.0.0.143";
constexpr const char* kInformation = "Quillmar Information: ";
constexpr const char* kOldDate = "01/01/2000";

class UpdateE2eTest : public ::testing::Test {
 protected:
  // The engine with an HTTP daemon; `store` is further store text.
  void Start(const std::string& store) {
    http_port_ = engine_.AddDaemon("HTTP");
    engine_.SetEnvironment("QUILLMAR_UPDATE_TIMEOUT_MS", "500");
    engine_.AddStoreText(store);
    ASSERT_TRUE(engine_.Start());
  }
  static std::string AppValues(const std::string& host, const std::string& date) {
    std::string text = "[]\n";
    if (!host.empty()) {
      text += "\"UpdateHost\"=\"" + host + "\"\n";
    }
    if (!date.empty()) {
      text += "\"UpdateDate\"=\"" + date + "\"\n";
    }
    return text + "\n";
  }
  // One request through the proxy to the web origin; the status line back.
  std::string Browse() {
    const int fd = qlm::test::ConnectTcp(kEngineIp, http_port_);
    const std::string url = "http://" + std::string(kWebIp) + ":" + std::to_string(web_.Port());
    qlm::test::WriteAll(fd, "GET " + url + "/page HTTP/1.0\r\nHost: " + kWebIp + "\r\n\r\n");
    const std::string answer = qlm::test::ReadAll(fd, 1 << 16, 5000);
    ::close(fd);
    return answer.substr(0, answer.find("\r\n"));
  }
  std::string UpdateDate() {
    const qlm::test::RunResult result = qlm::test::Run(
        {std::string(QLM_BIN_DIR) + "/qlmreg", "get", "", "UpdateDate"}, engine_.Environment());
    return result.code == 0 ? result.out.substr(0, result.out.find('\n')) : std::string();
  }
  std::string LocalCopy() const { return engine_.Folder() + "/release.txt"; }
  // Stops the engine, so that the detached check has finished (or never
  // started) before the test looks.
  void StopEngine() { ASSERT_EQ(engine_.Stop(), std::optional<int>(0)); }

  EngineUnderTest engine_{kEngineIp};
  uint16_t http_port_ = 0;
  CReleaseOrigin web_{kWebIp, "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"};
};

TEST_F(UpdateE2eTest, OneCheckAfterTheFirst200WithTheRequestBytesExactly) {
  CReleaseOrigin missing(kWebIp, "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
  CReleaseOrigin release(kReleaseIp, Ok(ReleaseFile("2.66", 30, "Version 2.66 is out.")));
  Start(AppValues(release.Host(), kOldDate));
  // A 404 through the proxy starts nothing.
  const int fd = qlm::test::ConnectTcp(kEngineIp, http_port_);
  const std::string url = "http://" + std::string(kWebIp) + ":" + std::to_string(missing.Port());
  qlm::test::WriteAll(fd, "GET " + url + "/x HTTP/1.0\r\n\r\n");
  EXPECT_EQ(qlm::test::ReadAll(fd, 1 << 16, 5000).substr(0, 22), "HTTP/1.0 404 Not Found");
  ::close(fd);
  EXPECT_EQ(release.Connections(), 0);
  // The first 200 starts the check; a second one starts no other.
  EXPECT_EQ(Browse(), "HTTP/1.0 200 OK");
  ASSERT_TRUE(WaitUntil([&] { return release.Requests().size() == 1; }));
  EXPECT_EQ(release.Requests()[0],
            "GET /release.txt HTTP/1.0\r\nUser-Agent: Quillmar\r\nConnection: close\r\nHost: " +
                release.Host() + "\r\nAccept-Ranges: bytes\r\n\r\n");
  EXPECT_TRUE(WaitUntil([&] { return UpdateDate() != kOldDate; }));
  EXPECT_EQ(Browse(), "HTTP/1.0 200 OK");
  StopEngine();
  EXPECT_EQ(release.Connections(), 1);
  EXPECT_EQ(UpdateDate(), NextCheckDate(std::time(nullptr), 30));
  EXPECT_NE(engine_.Process().Stderr().find("Quillmar Information: Version 2.66 is out."),
            std::string::npos);
  std::ifstream copy(LocalCopy());
  std::stringstream text;
  text << copy.rdbuf();
  EXPECT_EQ(text.str(), ReleaseFile("2.66", 30, "Version 2.66 is out."));
}

class UpdateVersionE2eTest : public UpdateE2eTest,
                             public ::testing::WithParamInterface<std::pair<const char*, bool>> {};

TEST_P(UpdateVersionE2eTest, OnlyAHigherVersionShowsTheMessage) {
  const auto [version, shown] = GetParam();
  CReleaseOrigin release(kReleaseIp, Ok(ReleaseFile(version, 7, "Notes.")));
  Start(AppValues(release.Host(), kOldDate));
  EXPECT_EQ(Browse(), "HTTP/1.0 200 OK");
  ASSERT_TRUE(WaitUntil([&] { return UpdateDate() != kOldDate; }));
  StopEngine();
  EXPECT_EQ(UpdateDate(), NextCheckDate(std::time(nullptr), 7));
  EXPECT_EQ(engine_.Process().Stderr().find(std::string(kInformation) + "Notes.") !=
                std::string::npos,
            shown)
      << version;
}

INSTANTIATE_TEST_SUITE_P(Versions, UpdateVersionE2eTest,
                         ::testing::Values(std::make_pair("2.64", false),
                                           std::make_pair("2.65", false),
                                           std::make_pair("2.66", true),
                                           std::make_pair("3.0", true)),
                         [](const auto& info) {
                           std::string name = std::string("V") + info.param.first;
                           std::replace(name.begin(), name.end(), '.', '_');
                           return name + (info.param.second ? "Shown" : "Silent");
                         });

TEST_F(UpdateE2eTest, SevenFieldsShowNothingAndLeaveTheDate) {
  CReleaseOrigin release(kReleaseIp, Ok("#Quillmar v3.0 release 30 12/01\nNotes."));
  Start(AppValues(release.Host(), kOldDate));
  EXPECT_EQ(Browse(), "HTTP/1.0 200 OK");
  ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(LocalCopy()); }));
  StopEngine();
  EXPECT_EQ(UpdateDate(), kOldDate);
  EXPECT_EQ(engine_.Process().Stderr().find(kInformation), std::string::npos);
}

TEST_F(UpdateE2eTest, FutureDateSkipsTheCheck) {
  CReleaseOrigin release(kReleaseIp, Ok(ReleaseFile("3.0", 7, "Notes.")));
  const std::string future = NextCheckDate(std::time(nullptr), 3);
  Start(AppValues(release.Host(), future));
  EXPECT_EQ(Browse(), "HTTP/1.0 200 OK");
  StopEngine();
  EXPECT_EQ(release.Connections(), 0);
  EXPECT_EQ(UpdateDate(), future);
}

TEST_F(UpdateE2eTest, AutoUpdateOffNeverFetches) {
  CReleaseOrigin release(kReleaseIp, Ok(ReleaseFile("3.0", 7, "Notes.")));
  Start("[General]\n\"AutoUpdate\"=dword:00000000\n\n" + AppValues(release.Host(), kOldDate));
  EXPECT_EQ(Browse(), "HTTP/1.0 200 OK");
  EXPECT_EQ(Browse(), "HTTP/1.0 200 OK");
  StopEngine();
  EXPECT_EQ(release.Connections(), 0);
  EXPECT_EQ(UpdateDate(), kOldDate);
}

TEST_F(UpdateE2eTest, EmptyUpdateHostNeverConnects) {
  CReleaseOrigin release(kReleaseIp, Ok(ReleaseFile("3.0", 7, "Notes.")));
  Start(AppValues("", kOldDate));
  EXPECT_EQ(Browse(), "HTTP/1.0 200 OK");
  StopEngine();
  EXPECT_EQ(release.Connections(), 0);
  EXPECT_EQ(UpdateDate(), kOldDate);
  EXPECT_FALSE(std::filesystem::exists(LocalCopy()));
}

TEST_F(UpdateE2eTest, Non200ChangesNothing) {
  CReleaseOrigin release(kReleaseIp, "HTTP/1.0 500 Server Error\r\n\r\n#Quillmar v3.0 r 7 1/1/2027\n");
  Start(AppValues(release.Host(), kOldDate));
  EXPECT_EQ(Browse(), "HTTP/1.0 200 OK");
  ASSERT_TRUE(WaitUntil([&] { return release.Requests().size() == 1; }));
  StopEngine();
  EXPECT_EQ(UpdateDate(), kOldDate);
  EXPECT_FALSE(std::filesystem::exists(LocalCopy()));
  EXPECT_EQ(engine_.Process().Stderr().find(kInformation), std::string::npos);
}

TEST_F(UpdateE2eTest, SilentServerChangesNothing) {
  CReleaseOrigin release(kReleaseIp, "", true);
  Start(AppValues(release.Host(), kOldDate));
  EXPECT_EQ(Browse(), "HTTP/1.0 200 OK");
  ASSERT_TRUE(WaitUntil([&] { return release.Requests().size() == 1; }));
  StopEngine();
  EXPECT_EQ(UpdateDate(), kOldDate);
  EXPECT_FALSE(std::filesystem::exists(LocalCopy()));
}

}  // namespace
}  // namespace qlm::update::test
