// FetchUrl and the check against an in-process release host on loopback:
// the request bytes, the status rule, silence and refusal, the dates and the
// local copy.
#include "dialup/update/update_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "dialup/update/fetch_url.h"
#include "dialup/update/release_note.h"
#include "tests/dialup/update/release_origin.h"
#include "tests/support/loopback.h"
#include "tests/support/temp_dir.h"

namespace qlm::update::test {
namespace {

constexpr const char* kIp = "127.0.0.141";

UpdateTimeouts Short() {
  UpdateTimeouts t;
  t.connect = t.send = t.receive = std::chrono::milliseconds(300);
  return t;
}

UpdateCheckInput Input(const std::string& host, const std::string& dir = "") {
  UpdateCheckInput input;
  input.host = host;
  input.update_date = "";
  input.install_dir = dir;
  input.now = std::time(nullptr);
  input.timeouts = Short();
  return input;
}

TEST(FetchUrlTest, RequestBytesExactlyAndTheBodyOf200) {
  CReleaseOrigin origin(kIp, Ok("the body"));
  EXPECT_EQ(FetchUrl(UpdateRequest(origin.Host()), origin.Host(), Short()), "the body");
  ASSERT_EQ(origin.Requests().size(), 1u);
  EXPECT_EQ(origin.Requests()[0],
            "GET /release.txt HTTP/1.0\r\nUser-Agent: Quillmar\r\nConnection: close\r\nHost: " +
                origin.Host() + "\r\nAccept-Ranges: bytes\r\n\r\n");
}

TEST(FetchUrlTest, LongBodyReadUntilClose) {
  const std::string body(100000, 'r');
  CReleaseOrigin origin(kIp, Ok(body));
  EXPECT_EQ(FetchUrl(UpdateRequest(origin.Host()), origin.Host(), Short()), body);
}

TEST(FetchUrlTest, Non200IsEmpty) {
  CReleaseOrigin origin(kIp, "HTTP/1.0 404 Not Found\r\n\r\nno such file");
  EXPECT_EQ(FetchUrl(UpdateRequest(origin.Host()), origin.Host(), Short()), "");
}

TEST(FetchUrlTest, SilentServerIsEmptyAfterTheTimeOut) {
  CReleaseOrigin origin(kIp, "", true);
  EXPECT_EQ(FetchUrl(UpdateRequest(origin.Host()), origin.Host(), Short()), "");
}

TEST(FetchUrlTest, RefusedOrUnresolvableOrBadPortIsEmpty) {
  const uint16_t closed = qlm::test::FreeTcpPort(kIp);
  const std::string host = std::string(kIp) + ":" + std::to_string(closed);
  EXPECT_EQ(FetchUrl(UpdateRequest(host), host, Short()), "");
  EXPECT_EQ(FetchUrl(UpdateRequest("x"), "no-such-host.invalid:8080", Short()), "");
  EXPECT_EQ(FetchUrl(UpdateRequest("x"), std::string(kIp) + ":99999", Short()), "");
}

TEST(UpdateCheckTest, NewerReleaseGivesTheMessageTheNextDateAndTheLocalCopy) {
  qlm::test::CTempDir dir;
  const std::string file = ReleaseFile("2.66", 30, "Please update.\n");
  CReleaseOrigin origin(kIp, Ok(file));
  const UpdateCheckInput input = Input(origin.Host(), dir.Path());
  const UpdateCheckOutcome outcome = RunUpdateCheck(input);
  EXPECT_TRUE(outcome.fetched);
  EXPECT_EQ(outcome.message, "Please update.\n");
  EXPECT_EQ(outcome.next_date, NextCheckDate(input.now, 30));
  std::ifstream copy(dir.Path() + "/release.txt");
  std::stringstream text;
  text << copy.rdbuf();
  EXPECT_EQ(text.str(), file);
}

TEST(UpdateCheckTest, SameOrOlderReleaseShowsNothingButSetsTheDate) {
  for (const char* version : {"2.64", "2.65"}) {
    CReleaseOrigin origin(kIp, Ok(ReleaseFile(version, 5, "old")));
    const UpdateCheckOutcome outcome = RunUpdateCheck(Input(origin.Host()));
    EXPECT_EQ(outcome.message, "") << version;
    EXPECT_FALSE(outcome.next_date.empty()) << version;
  }
}

TEST(UpdateCheckTest, UnparsableLineLeavesTheDate) {
  CReleaseOrigin origin(kIp, Ok("#Quillmar v2.70 release 30 12/01\nnew"));
  const UpdateCheckOutcome outcome = RunUpdateCheck(Input(origin.Host()));
  EXPECT_TRUE(outcome.fetched);
  EXPECT_EQ(outcome.message, "");
  EXPECT_EQ(outcome.next_date, "");
}

TEST(UpdateCheckTest, FutureDateOrEmptyHostFetchesNothing) {
  CReleaseOrigin origin(kIp, Ok(ReleaseFile("3.0", 5, "x")));
  UpdateCheckInput future = Input(origin.Host());
  future.update_date = NextCheckDate(future.now, 2);
  EXPECT_FALSE(RunUpdateCheck(future).fetched);
  EXPECT_FALSE(RunUpdateCheck(Input("")).fetched);
  EXPECT_EQ(origin.Connections(), 0);
}

TEST(UpdateCheckTest, TodayIsNotTooEarly) {
  CReleaseOrigin origin(kIp, Ok(ReleaseFile("3.0", 5, "x")));
  UpdateCheckInput today = Input(origin.Host());
  today.update_date = NextCheckDate(today.now, 0);
  EXPECT_TRUE(RunUpdateCheck(today).fetched);
}

}  // namespace
}  // namespace qlm::update::test
