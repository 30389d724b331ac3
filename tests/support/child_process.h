// A program run by a test: started with its own environment, its output kept,
// stopped by signal, and always reaped, so no test leaves a process behind.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qlm::test {

class CChildProcess {
 public:
  // argv[0] is the program (a path, or a name found on PATH). `env` entries are
  // added to (or replace) the test's own environment. `stdin_data`, when set,
  // is written to the child's standard input, which is then closed.
  CChildProcess(std::vector<std::string> argv, std::map<std::string, std::string> env = {},
                std::optional<std::string> stdin_data = std::nullopt);
  ~CChildProcess();  // SIGKILL and reap if still running
  CChildProcess(const CChildProcess&) = delete;
  CChildProcess& operator=(const CChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  bool Running();
  void Signal(int sig);
  // Waits for the exit up to `deadline`; the exit code (128+signal when killed),
  // or nullopt on time-out.
  std::optional<int> Wait(std::chrono::milliseconds deadline = std::chrono::seconds(10));
  // Standard output and error collected so far (safe to call while running).
  std::string Stdout();
  std::string Stderr();

 private:
  void Drain(int timeout_ms);

  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  std::optional<int> status_;
  std::string out_;
  std::string err_;
};

// Runs a program to its end (bounded by `deadline`) and returns its exit code and output.
struct RunResult {
  int code = -1;
  std::string out;
  std::string err;
};
RunResult Run(std::vector<std::string> argv, std::map<std::string, std::string> env = {},
              std::optional<std::string> stdin_data = std::nullopt,
              std::chrono::milliseconds deadline = std::chrono::seconds(30));

}  // namespace qlm::test
