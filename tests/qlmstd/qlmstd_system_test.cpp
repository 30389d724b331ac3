// Service control against a stand-in systemctl, the start entries, the
// Internet dial-up flags and the two free functions.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "qlmstd/qlmstd.h"
#include "qlmstd/service_control.h"
#include "tests/qlmstd/store_fixture.h"

namespace qlm::qlmstd {
namespace {

class CQlmstdSystemTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    saved_ = GetServiceControlPaths();
    std::filesystem::create_directories(dir_ + "/systemd");
    std::filesystem::create_directories(dir_ + "/units");
    // Reports the state kept in a file, as "systemctl show --value" does.
    std::ofstream script(dir_ + "/systemctl");
    script << "#!/bin/sh\necho \"$@\" >> " << dir_ << "/calls\n"
           << "case \"$1\" in show) cat " << dir_ << "/state ;; esac\nexit 0\n";
    script.close();
    chmod((dir_ + "/systemctl").c_str(), 0755);
    SetState("inactive");
    SetServiceControlPaths({dir_ + "/systemd", dir_ + "/units", dir_ + "/systemctl"});
  }
  void TearDown() override {
    SetServiceControlPaths(saved_);
    StoreTest::TearDown();
  }
  void SetState(const char* state) { std::ofstream(dir_ + "/state") << state << "\n"; }
  // An engine program in InstallDir (the temporary folder), which the unit
  // may then name.
  void PlaceEngine() {
    std::ofstream(dir_ + "/qlmsvr") << "#!/bin/sh\n";
    chmod((dir_ + "/qlmsvr").c_str(), 0755);
  }
  CStoreKey InternetSettings() {
    return CStoreKey::OpenTop(CStoreKey::Top::kCurrentUser, kInternetSettingsKey, true);
  }

  ServiceControlPaths saved_;
};

TEST_F(CQlmstdSystemTest, ServiceStatesFollowTheServiceManager) {
  SetServiceControlPaths({dir_ + "/no-systemd", dir_ + "/units", dir_ + "/systemctl"});
  EXPECT_EQ(CQlmstd::IsServiceRunning(), -2);
  EXPECT_FALSE(CQlmstd::ServiceStart());
  SetServiceControlPaths({dir_ + "/systemd", dir_ + "/units", dir_ + "/systemctl"});
  EXPECT_EQ(CQlmstd::IsServiceRunning(), -1);  // not installed
  EXPECT_FALSE(CQlmstd::ServiceInstall());      // no install folder to name the program
  MakeRoot();
  EXPECT_FALSE(CQlmstd::ServiceInstall());  // no engine program there
  PlaceEngine();
  ASSERT_TRUE(CQlmstd::ServiceInstall());
  std::ifstream unit(dir_ + "/units/QuillmarService.service");
  std::string text((std::istreambuf_iterator<char>(unit)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("ExecStart=" + dir_ + "/qlmsvr\n"), std::string::npos);
  EXPECT_FALSE(CQlmstd::ServiceInstall());  // exists already
  EXPECT_EQ(CQlmstd::IsServiceRunning(), 0);  // installed and stopped
  EXPECT_FALSE(CQlmstd::ServiceStop());       // a stopped service accepts no stop
  EXPECT_TRUE(CQlmstd::ServiceStart());
  SetState("active");
  EXPECT_EQ(CQlmstd::IsServiceRunning(), 1);
  EXPECT_TRUE(CQlmstd::ServiceStop());
  EXPECT_TRUE(CQlmstd::ServiceAutoRunConfig(kServiceAutoStart));
  EXPECT_TRUE(CQlmstd::ServiceRemove());
  EXPECT_EQ(CQlmstd::IsServiceRunning(), -1);
  EXPECT_FALSE(CQlmstd::ServiceRemove());
  std::ifstream calls(dir_ + "/calls");
  std::string log((std::istreambuf_iterator<char>(calls)), std::istreambuf_iterator<char>());
  EXPECT_NE(log.find("enable QuillmarService.service"), std::string::npos);
  EXPECT_NE(log.find("stop QuillmarService.service"), std::string::npos);
}

// This machine's own service manager, through the default paths (the store
// is still the test's own).
using ServiceControlTest = StoreTest;

TEST_F(ServiceControlTest, WithoutSystemdTheServiceManagerIsUnreachable) {
  struct stat st {};
  if (stat(ServiceControlPaths{}.systemd_marker.c_str(), &st) == 0) {
    GTEST_SKIP() << "systemd runs here";
  }
  MakeRoot();
  EXPECT_EQ(CQlmstd::IsServiceRunning(), -2);
  EXPECT_FALSE(CQlmstd::ServiceStart());
  EXPECT_FALSE(CQlmstd::ServiceStop());
  EXPECT_FALSE(CQlmstd::ServiceRemove());
  EXPECT_FALSE(CQlmstd::ServiceInstall());
  EXPECT_FALSE(CQlmstd::ServiceAutoRunConfig(kServiceDemandStart));
}

// A systemctl that fails: the query counts as failed, start and stop as refused.
TEST_F(CQlmstdSystemTest, AFailingSystemctlIsAFailure) {
  MakeRoot();
  PlaceEngine();
  ASSERT_TRUE(CQlmstd::ServiceInstall());
  std::ofstream(dir_ + "/fails") << "#!/bin/sh\nexit 1\n";
  chmod((dir_ + "/fails").c_str(), 0755);
  SetServiceControlPaths({dir_ + "/systemd", dir_ + "/units", dir_ + "/fails"});
  EXPECT_EQ(CQlmstd::IsServiceRunning(), -1);
  EXPECT_FALSE(CQlmstd::ServiceStart());
  EXPECT_FALSE(CQlmstd::ServiceStop());
  EXPECT_FALSE(CQlmstd::ServiceAutoRunConfig(kServiceAutoStart));
  SetServiceControlPaths({dir_ + "/systemd", dir_ + "/units", dir_ + "/no-such-program"});
  EXPECT_EQ(CQlmstd::IsServiceRunning(), -1);
  EXPECT_FALSE(CQlmstd::ServiceStart());
}

TEST_F(CQlmstdSystemTest, StartEntriesAreWrittenAndDeletedOnlyWhenTheyDiffer) {
  EXPECT_FALSE(CQlmstd::InstallWin32Service(true));  // no install folder
  MakeRoot();
  CStoreKey run_services =
      CStoreKey::OpenTop(CStoreKey::Top::kLocalMachine, kRunServicesKey, true);
  EXPECT_TRUE(CQlmstd::InstallWin32Service(true));
  auto entry = run_services.Query("qlmsvr");
  ASSERT_TRUE(entry);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry->data.data())),
            dir_ + "/qlmsvr -win32");
  EXPECT_TRUE(CQlmstd::InstallWin32Service(true));
  EXPECT_TRUE(CQlmstd::InstallWin32Service(false));
  EXPECT_FALSE(run_services.Query("qlmsvr"));
  CQlmstd::EnableAutoLoad(true);
  CStoreKey run = CStoreKey::OpenTop(CStoreKey::Top::kLocalMachine, kRunKey, false);
  ASSERT_TRUE(run.Query("quillmar"));
  CQlmstd::EnableAutoLoad(false);
  EXPECT_FALSE(run.Query("quillmar"));
}

TEST_F(CQlmstdSystemTest, DialUpFlagsChangeOnlyExistingValues) {
  EXPECT_EQ(CQlmstd::GetAutodial(), 0);
  CQlmstd::EnableAutodial(true);  // no value: nothing changes, nothing is created
  EXPECT_FALSE(InternetSettings().Query("EnableAutodial"));
  const uint8_t four[] = {0, 7, 7, 7};
  InternetSettings().SetBinary("EnableAutodial", four, 4);
  CQlmstd::EnableAutodial(true);
  EXPECT_EQ(CQlmstd::GetAutodial(), 1);
  EXPECT_EQ(InternetSettings().Query("EnableAutodial")->data,
            (std::vector<uint8_t>{1, 7, 7, 7}));  // length and the rest kept
  InternetSettings().SetBinary("AutoConnect", four, 1);
  CQlmstd::EnableAutoConnect(true);
  EXPECT_EQ(CQlmstd::GetAutoConnect(), 1);

  uint8_t minutes = 99;
  EXPECT_EQ(CQlmstd::GetDisconnectIdleTime(&minutes), 0);
  EXPECT_EQ(minutes, 99);  // no value: the out argument is left alone
  CQlmstd::SetAutoIdleDisconnect(true, 20);
  EXPECT_FALSE(InternetSettings().Query("DisconnectIdleTime"));
  InternetSettings().SetBinary("EnableAutodisconnect", four, 1);
  InternetSettings().SetBinary("DisconnectIdleTime", four, 2);
  CQlmstd::SetAutoIdleDisconnect(true, 20);
  EXPECT_EQ(CQlmstd::GetDisconnectIdleTime(&minutes), 1);
  EXPECT_EQ(minutes, 20);
  EXPECT_EQ(CQlmstd::GetDisconnectIdleTime(nullptr), 1);
}

TEST(StrfindTest, FindsTheFirstCharacterOfTheSet) {
  int position = -1;
  EXPECT_EQ(strfind("10.0.0.1/udp", "/", &position, 0), 1);
  EXPECT_EQ(position, 8);
  EXPECT_EQ(strfind("10.0.0.1:80", "/", &position, 0), 0);
  EXPECT_EQ(position, 11);
  EXPECT_EQ(strfind("a:b/c", "/:", &position, 0), 1);
  EXPECT_EQ(position, 1);
  EXPECT_EQ(strfind("", "/", &position, 0), 0);
  EXPECT_EQ(position, 0);
}

TEST(GetLastErrorTextTest, TextAndCodeCutToTheBuffer) {
  char buffer[128];
  errno = ECONNREFUSED;
  GetLastErrorText(buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "Connection refused (0x6f)");
  char small[20];
  errno = ECONNREFUSED;
  GetLastErrorText(small, sizeof small);
  EXPECT_STREQ(small, "Connec (0x6f)");  // text cut at size-14
  EXPECT_EQ(errno, ECONNREFUSED);
}

}  // namespace
}  // namespace qlm::qlmstd
