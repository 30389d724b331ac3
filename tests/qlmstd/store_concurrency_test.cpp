// Many writers at once (threads of one process, and two processes) all land,
// and a writer killed inside its transaction leaves the store as it was.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "qlmstd/qlmstd.h"
#include "qlmstd/store_transaction.h"
#include "tests/qlmstd/store_fixture.h"

namespace qlm::qlmstd {
namespace {

using StoreConcurrencyTest = StoreTest;

constexpr int kWrites = 40;

void WriteMany(const std::string& prefix, bool* all_ok) {
  for (int i = 0; i < kWrites; ++i) {
    std::string name = prefix + std::to_string(i);
    *all_ok = CQlmstd::WriteRegProfileInt("Activity", name.c_str(), static_cast<uint32_t>(i)) &&
              *all_ok;
  }
}

int CountValues(const CStoreKey& key) {
  int count = 0;
  while (key.EnumValue(static_cast<uint32_t>(count))) {
    ++count;
  }
  return count;
}

TEST_F(StoreConcurrencyTest, WritersOnManyThreadsAllLand) {
  MakeRoot();
  constexpr int kThreads = 6;
  bool ok[kThreads] = {true, true, true, true, true, true};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back(WriteMany, "t" + std::to_string(t) + "_", &ok[t]);
  }
  for (auto& t : threads) {
    t.join();
  }
  for (bool b : ok) {
    EXPECT_TRUE(b);
  }
  EXPECT_EQ(CountValues(CQlmstd::GetAppSectionKey("Activity")), kThreads * kWrites);
}

TEST_F(StoreConcurrencyTest, WritersInTwoProcessesAllLand) {
  MakeRoot();
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    bool ok = true;
    WriteMany("child_", &ok);
    _exit(ok ? 0 : 1);
  }
  bool ok = true;
  WriteMany("parent_", &ok);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(ok);
  EXPECT_EQ(CountValues(CQlmstd::GetAppSectionKey("Activity")), 2 * kWrites);
}

// Writes the "Daemons" section as a save does: the section deleted, then
// every entry written again.
void RewriteDaemons(const std::vector<std::string>& entries) {
  CQlmstd::WriteRegProfileString("Daemons", nullptr, nullptr);
  for (const std::string& e : entries) {
    CStoreKey key = CQlmstd::GetAppSubSectionKey("Daemons", e.c_str());
    key.SetString("Name", "HTTP");
  }
}

std::vector<std::string> DaemonEntries() {
  std::vector<std::string> names;
  CStoreKey key = CQlmstd::GetAppKey(kMakerName, kProductName).Open("Daemons", false);
  for (uint32_t i = 0; auto name = key.EnumKey(i); ++i) {
    names.push_back(*name);
  }
  return names;
}

// Runs a child that saves `after` in one transaction and stops inside it
// (before or after the commit), then kills it with SIGKILL.
void KillWriterInsideSave(const std::vector<std::string>& after, bool commit_first) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    CStoreTransaction transaction;
    RewriteDaemons({after[0]});
    if (commit_first) {
      RewriteDaemons(after);
      transaction.Commit();
    }
    char byte = 1;
    (void)!write(ready[1], &byte, 1);
    pause();  // killed here
    _exit(0);
  }
  close(ready[1]);
  char byte = 0;
  EXPECT_EQ(read(ready[0], &byte, 1), 1);  // EOF instead when the child died early
  close(ready[0]);
  kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));
}

TEST_F(StoreConcurrencyTest, AWriterKilledInsideItsSaveLeavesTheSectionAsBefore) {
  MakeRoot();
  RewriteDaemons({"127.0.0.1:80", "127.0.0.1:81"});
  KillWriterInsideSave({"127.0.0.1:90", "127.0.0.1:91"}, false);
  EXPECT_EQ(DaemonEntries(), (std::vector<std::string>{"127.0.0.1:80", "127.0.0.1:81"}));
  // The store is usable at once: the dead writer's lock is gone.
  EXPECT_TRUE(CQlmstd::WriteRegProfileInt("Activity", "Enable", 1));
}

TEST_F(StoreConcurrencyTest, AWriterKilledAfterItsCommitLeavesTheWholeNewSection) {
  MakeRoot();
  RewriteDaemons({"127.0.0.1:80"});
  KillWriterInsideSave({"127.0.0.1:90", "127.0.0.1:91"}, true);
  EXPECT_EQ(DaemonEntries(), (std::vector<std::string>{"127.0.0.1:90", "127.0.0.1:91"}));
}

// Read, add one, write back, in one transaction: transactions that did not
// exclude each other would lose increments.
bool IncrementCounter(int times) {
  bool ok = true;
  for (int i = 0; i < times; ++i) {
    CStoreTransaction transaction;
    uint32_t value = CQlmstd::GetRegProfileInt("Activity", "Counter", 0);
    ok = transaction.Active() && CQlmstd::WriteRegProfileInt("Activity", "Counter", value + 1) &&
         transaction.Commit() && ok;
  }
  return ok;
}

TEST_F(StoreConcurrencyTest, TransactionsOfThreadsAndProcessesNeverLoseAnUpdate) {
  MakeRoot();
  constexpr int kTimes = 25;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    _exit(IncrementCounter(kTimes) ? 0 : 1);
  }
  bool ok[4] = {false, false, false, false};
  std::vector<std::thread> threads;
  for (bool& b : ok) {
    threads.emplace_back([&b] { b = IncrementCounter(kTimes); });
  }
  for (auto& t : threads) {
    t.join();
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (bool b : ok) {
    EXPECT_TRUE(b);
  }
  EXPECT_EQ(CQlmstd::GetRegProfileInt("Activity", "Counter", 0), 5u * kTimes);
}

TEST_F(StoreConcurrencyTest, ReadersGoOnWhileAWriterHoldsItsTransaction) {
  MakeRoot();
  CQlmstd::WriteRegProfileInt("Log", "MaxLines", 7);
  CStoreTransaction transaction;
  CQlmstd::WriteRegProfileInt("Log", "MaxLines", 9);
  uint32_t seen = 0;
  std::thread reader([&seen] { seen = CQlmstd::GetRegProfileInt("Log", "MaxLines", 0); });
  reader.join();
  EXPECT_EQ(seen, 7u);  // the reader sees the last committed state
  EXPECT_TRUE(transaction.Commit());
  EXPECT_EQ(CQlmstd::GetRegProfileInt("Log", "MaxLines", 0), 9u);
}

}  // namespace
}  // namespace qlm::qlmstd
