// The engine lifts its soft descriptor limit to the hard one. Tried in a
// child process, so the test's own limit is left alone.
#include "engine/service/descriptor_limit.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qlm::engine {
namespace {

// Runs `body` in a forked child; its exit code (-1 when it did not exit).
template <typename Body>
int InChild(Body body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::_exit(body());
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
    return -1;
  }
  return WEXITSTATUS(status);
}

TEST(DescriptorLimitTest, LowSoftLimitIsRaisedToTheHardLimit) {
  rlimit mine{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &mine), 0);
  ASSERT_GT(mine.rlim_max, 64u) << "the hard limit leaves nothing to raise";
  const int code = InChild([] {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = 64;
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) {
      return 10;
    }
    if (!RaiseDescriptorLimit()) {
      return 11;
    }
    rlimit after{};
    ::getrlimit(RLIMIT_NOFILE, &after);
    return after.rlim_cur == after.rlim_max && after.rlim_max == limit.rlim_max ? 0 : 12;
  });
  EXPECT_EQ(code, 0);
}

TEST(DescriptorLimitTest, SoftLimitAtTheHardLimitStays) {
  const int code = InChild([] {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_max = 512;  // a hard limit lowered by the administrator
    limit.rlim_cur = 512;
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) {
      return 10;
    }
    if (!RaiseDescriptorLimit()) {
      return 11;
    }
    rlimit after{};
    ::getrlimit(RLIMIT_NOFILE, &after);
    return after.rlim_cur == 512 && after.rlim_max == 512 ? 0 : 12;
  });
  EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace qlm::engine
