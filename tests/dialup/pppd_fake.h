// The pppd backend's test bench: a fake pppd, a shell script the test writes
// into a temporary folder at the head of PATH. The script records its command
// line and what it read from its options file (outside the temporary folder
// the engine is given), prints pppd's log lines and exits as each case needs.
// TMPDIR points into the test's folder, so a secret written to "the
// temporary folder" would land where the test can look for it.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "dialup/pppd_backend.h"

namespace qlm::dialup {

// Log lines of a dial that comes up.
inline constexpr const char* kComesUp =
    "echo 'Serial connection established.'\n"
    "echo 'Using interface ppp0'\n"
    "echo 'Connect: ppp0 <--> /dev/ttyS0'\n"
    "echo 'PAP authentication succeeded'\n"
    "echo 'local  IP address 10.64.64.64'\n"
    "echo 'remote IP address 10.64.64.1'\n";
// Stays up until SIGTERM (then exits 5, as pppd does), at most 20 seconds.
inline constexpr const char* kStaysUp =
    "trap 'echo \"Connection terminated.\"; exit 5' TERM\n"
    "i=0; while [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done\n";

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
}

// The dial notifier's calls, as (state, error).
class Notes {
 public:
  DialNotifier Notifier() {
    return [this](unsigned, int state, int error) {
      std::lock_guard<std::mutex> lock(mutex_);
      events_.emplace_back(state, error);
    };
  }
  std::vector<std::pair<int, int>> Events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  bool Has(int state, int error = 0) {
    for (const auto& event : Events()) {
      if (event == std::make_pair(state, error)) {
        return true;
      }
    }
    return false;
  }

 private:
  std::mutex mutex_;
  std::vector<std::pair<int, int>> events_;
};

class PppdBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/qlm-dialup-test-XXXXXX";
    root_ = ::mkdtemp(pattern);
    for (const char* folder : {"/bin", "/peers/sub", "/net", "/run", "/tmp"}) {
      fs::create_directories(root_ + folder);
    }
    WriteFile(root_ + "/peers/provider", "ttyS0\n");
    WriteFile(root_ + "/peers/work", "ttyS1\n");
    WriteFile(root_ + "/peers/.hidden", "\n");
    Save("PATH", (root_ + "/bin:" + Saved("PATH")).c_str());
    Save("TMPDIR", (root_ + "/tmp").c_str());
    paths_.peers_folder = root_ + "/peers";
    paths_.interfaces_folder = root_ + "/net";
    paths_.pid_folder = root_ + "/run";
  }
  void TearDown() override {
    backend_.reset();
    for (const auto& [name, value] : saved_) {
      if (value.first) {
        ::setenv(name.c_str(), value.second.c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
    std::filesystem::remove_all(root_);
  }

  // The fake pppd: records its arguments and what its options file held and
  // was, then runs `body`.
  void FakePppd(const std::string& body) {
    std::string script =
        "#!/bin/sh\n"
        "dir='" + root_ + "'\n"
        "echo \"$@\" > \"$dir/args\"\n"
        "prev=; for a in \"$@\"; do\n"
        "  if [ \"$prev\" = file ]; then stat -L -c '%a %F' \"$a\" > \"$dir/options.kind\";\n"
        "    cat \"$a\" > \"$dir/options.seen\"; fi; prev=$a; done\n" +
        body;
    std::string program = root_ + "/bin/pppd";
    WriteFile(program, script);
    ::chmod(program.c_str(), 0755);
  }

  IDialUpBackend& Backend() {
    backend_ = MakePppdBackend(paths_);
    return *backend_;
  }

  ConnectionHandle DialProvider(IDialUpBackend& backend, Notes& notes,
                                const std::string& password = "se\"cr\\et pass\t") {
    DialParams params;
    params.entry = "provider";
    params.user = "alice";
    params.password = password;
    ConnectionHandle handle = kNoConnection;
    EXPECT_EQ(backend.Dial(params, notes.Notifier(), &handle), 0);
    EXPECT_NE(handle, kNoConnection);
    return handle;
  }

  std::string root_;
  PppdPaths paths_;
  // Before the backend, so that it outlives every notifier call.
  Notes notes_;
  DialUpBackendPtr backend_;

 private:
  static std::string Saved(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
  }
  void Save(const char* name, const char* value) {
    const char* old = std::getenv(name);
    saved_.emplace_back(name, std::make_pair(old != nullptr, old ? old : ""));
    ::setenv(name, value, 1);
  }

  std::vector<std::pair<std::string, std::pair<bool, std::string>>> saved_;
};

}  // namespace qlm::dialup
