// The dial password outlives its use nowhere: pppd gets it through a pipe,
// no file in the temporary folder ever holds it, and files older engines left
// there are swept.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "dialup/pppd_backend.h"
#include "dialup/pppd_leftovers.h"
#include "dialup/pppd_log.h"
#include "dialup/pppd_options_pipe.h"
#include "tests/dialup/pppd_fake.h"
#include "tests/support/wait_until.h"

namespace qlm::dialup {
namespace {

namespace fs = std::filesystem;

// Regular files below `folder` (all levels, or only the top one) that hold
// `secret`; only files of this user and of a modest size are read.
std::vector<std::string> FilesHolding(const std::string& folder, const std::string& secret,
                                      bool recursive) {
  std::vector<std::string> found;
  std::error_code error;
  auto check = [&](const fs::directory_entry& entry) {
    struct stat info {};
    if (::lstat(entry.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_uid != ::getuid() || info.st_size > 65536) {
      return;
    }
    if (ReadFile(entry.path().string()).find(secret) != std::string::npos) {
      found.push_back(entry.path().string());
    }
  };
  if (recursive) {
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
      check(entry);
    }
  } else {
    for (const auto& entry : fs::directory_iterator(folder, error)) {
      check(entry);
    }
  }
  return found;
}

std::string UniquePassword() {
  std::random_device random;
  return "pw-" + std::to_string(::getpid()) + "-" + std::to_string(random());
}

TEST_F(PppdBackendTest, NoFileHoldsThePasswordWhileTheLineIsUpOrAfter) {
  FakePppd(std::string(kComesUp) + kStaysUp);
  IDialUpBackend& backend = Backend();
  ASSERT_TRUE(backend.Load());
  const std::string password = UniquePassword();
  ConnectionHandle line = DialProvider(backend, notes_, password);
  ASSERT_TRUE(test::WaitUntil([&] { return notes_.Has(kRasConnected); }));
  // pppd did get it, from the options file it was named.
  EXPECT_NE(ReadFile(root_ + "/options.seen").find("password \"" + password + "\""),
            std::string::npos);
  EXPECT_EQ(FilesHolding(root_ + "/tmp", password, true), std::vector<std::string>{});
  EXPECT_EQ(FilesHolding("/tmp", password, false), std::vector<std::string>{});
  backend.HangUp(line);
  ASSERT_TRUE(test::WaitUntil([&] { return !backend.GetConnectStatus(line); }));
  EXPECT_EQ(FilesHolding(root_ + "/tmp", password, true), std::vector<std::string>{});
  EXPECT_TRUE(fs::is_empty(root_ + "/tmp"));
}

// Nobody reads the pipe before pppd starts: a text beyond its buffer fails
// the dial at once instead of blocking it.
TEST_F(PppdBackendTest, CredentialsBeyondThePipeBufferFailTheDial) {
  FakePppd("exit 0\n");
  IDialUpBackend& backend = Backend();
  ASSERT_TRUE(backend.Load());
  DialParams params;
  params.entry = "provider";
  params.user = "alice";
  params.password = std::string(4 * 1024 * 1024, 'x');
  ConnectionHandle handle = 7;
  EXPECT_EQ(backend.Dial(params, nullptr, &handle), kPppdCannotStart);
  EXPECT_EQ(handle, kNoConnection);
  EXPECT_FALSE(fs::exists(root_ + "/args"));  // pppd never started
}

TEST(PppdOptionsPipeTest, HoldsTheTextClosedForWritingAndOffTheOptionsDescriptor) {
  const int fd = OpenOptionsPipe("user \"a\"\npassword \"b\"\n");
  ASSERT_GE(fd, 0);
  EXPECT_NE(fd, kPppdOptionsFd);
  EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
  std::string text;
  char chunk[64];
  for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;) {
    text.append(chunk, static_cast<size_t>(n));
  }
  EXPECT_EQ(text, "user \"a\"\npassword \"b\"\n");  // then the end: no writer is left
  ::close(fd);
}

TEST(PppdOptionsPipeTest, NeverLandsOnTheOptionsDescriptorItself) {
  // With 3 the lowest free descriptor, a plain pipe would take it.
  const bool three_free = ::fcntl(kPppdOptionsFd, F_GETFD) < 0;
  int moved = -1;
  if (!three_free) {
    moved = ::fcntl(kPppdOptionsFd, F_DUPFD_CLOEXEC, 100);
    ::close(kPppdOptionsFd);
  }
  const int fd = OpenOptionsPipe("x");
  EXPECT_GE(fd, 0);
  EXPECT_NE(fd, kPppdOptionsFd);
  ::close(fd);
  if (moved >= 0) {
    ::dup3(moved, kPppdOptionsFd, O_CLOEXEC);
    ::close(moved);
  }
}

class PppdLeftoversTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qlm-leftovers-XXXXXX";
    folder_ = ::mkdtemp(pattern);
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string folder_;
};

TEST_F(PppdLeftoversTest, OwnOptionsFilesAndFoldersAreSwept) {
  WriteFile(folder_ + "/qlm-pppd-Ab12Cd", "user \"a\"\npassword \"secret\"\n");
  fs::create_directories(folder_ + "/qlm-pppd-Ef34Gh/inner");
  WriteFile(folder_ + "/qlm-pppd-Ef34Gh/inner/options", "password \"secret\"\n");
  WriteFile(folder_ + "/other-qlm-pppd-1", "kept\n");
  WriteFile(folder_ + "/qlm-ppp-1", "kept\n");
  WriteFile(folder_ + "/target", "kept\n");
  fs::create_symlink(folder_ + "/target", folder_ + "/qlm-pppd-link");
  EXPECT_EQ(SweepPppdLeftovers(folder_), 3u);
  EXPECT_FALSE(fs::exists(folder_ + "/qlm-pppd-Ab12Cd"));
  EXPECT_FALSE(fs::exists(folder_ + "/qlm-pppd-Ef34Gh"));
  EXPECT_FALSE(fs::is_symlink(folder_ + "/qlm-pppd-link"));
  EXPECT_TRUE(fs::exists(folder_ + "/target"));  // a link's target is not the link
  EXPECT_TRUE(fs::exists(folder_ + "/other-qlm-pppd-1"));
  EXPECT_TRUE(fs::exists(folder_ + "/qlm-ppp-1"));
  EXPECT_EQ(SweepPppdLeftovers(folder_ + "/missing"), 0u);
}

TEST_F(PppdLeftoversTest, AnotherUsersFilesStay) {
  WriteFile(folder_ + "/qlm-pppd-Ab12Cd", "password \"theirs\"\n");
  EXPECT_EQ(SweepPppdLeftovers(folder_, ::getuid() + 1), 0u);
  EXPECT_TRUE(fs::exists(folder_ + "/qlm-pppd-Ab12Cd"));
}

TEST(PppdTempFolderTest, IsTmpdirElseTmp) {
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", "/var/tmp/elsewhere", 1);
  EXPECT_EQ(PppdTempFolder(), "/var/tmp/elsewhere");
  ::setenv("TMPDIR", "", 1);
  EXPECT_EQ(PppdTempFolder(), "/tmp");
  ::unsetenv("TMPDIR");
  EXPECT_EQ(PppdTempFolder(), "/tmp");
  if (old) {
    ::setenv("TMPDIR", saved.c_str(), 1);
  }
}

}  // namespace
}  // namespace qlm::dialup
