// fork/exec with pipes for the tests' child programs.
#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>

namespace qlm::test {

CChildProcess::CChildProcess(std::vector<std::string> argv, std::map<std::string, std::string> env,
                             std::optional<std::string> stdin_data) {
  int out[2], err[2], in[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0 || pipe2(in, O_CLOEXEC) != 0) {
    return;
  }
  // A child that exits without reading its input must not take the test down
  // with SIGPIPE when the input is written.
  signal(SIGPIPE, SIG_IGN);
  pid_ = fork();
  if (pid_ == 0) {
    signal(SIGPIPE, SIG_DFL);
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (const auto& [k, v] : env) {
      setenv(k.c_str(), v.c_str(), 1);
    }
    std::vector<char*> args;
    for (auto& a : argv) {
      args.push_back(a.data());
    }
    args.push_back(nullptr);
    execvp(args[0], args.data());
    dprintf(2, "exec %s: %s\n", args[0], strerror(errno));
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  close(in[0]);
  out_fd_ = out[0];
  err_fd_ = err[0];
  fcntl(out_fd_, F_SETFL, O_NONBLOCK);
  fcntl(err_fd_, F_SETFL, O_NONBLOCK);
  if (stdin_data) {
    // Written from a helper thread so a child that reads slowly cannot block us.
    std::string data = *stdin_data;
    int fd = in[1];
    std::thread([fd, data] {
      size_t done = 0;
      while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n <= 0) {
          break;
        }
        done += static_cast<size_t>(n);
      }
      close(fd);
    }).detach();
  } else {
    close(in[1]);
  }
}

CChildProcess::~CChildProcess() {
  if (pid_ > 0 && !status_) {
    kill(pid_, SIGKILL);
    Wait(std::chrono::seconds(5));
  }
  if (out_fd_ >= 0) close(out_fd_);
  if (err_fd_ >= 0) close(err_fd_);
}

void CChildProcess::Drain(int timeout_ms) {
  pollfd p[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
  if (poll(p, 2, timeout_ms) <= 0) {
    return;
  }
  char buf[65536];
  for (int i = 0; i < 2; ++i) {
    while (p[i].fd >= 0) {
      ssize_t n = read(p[i].fd, buf, sizeof buf);
      if (n <= 0) {
        break;
      }
      (i == 0 ? out_ : err_).append(buf, static_cast<size_t>(n));
    }
  }
}

bool CChildProcess::Running() {
  if (pid_ <= 0 || status_) {
    return false;
  }
  int st = 0;
  if (waitpid(pid_, &st, WNOHANG) == pid_) {
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return false;
  }
  return true;
}

void CChildProcess::Signal(int sig) {
  if (Running()) {
    kill(pid_, sig);
  }
}

std::optional<int> CChildProcess::Wait(std::chrono::milliseconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (Running()) {
    if (std::chrono::steady_clock::now() >= end) {
      return std::nullopt;
    }
    Drain(10);
  }
  Drain(0);
  return status_;
}

std::string CChildProcess::Stdout() {
  Drain(0);
  return out_;
}

std::string CChildProcess::Stderr() {
  Drain(0);
  return err_;
}

RunResult Run(std::vector<std::string> argv, std::map<std::string, std::string> env,
              std::optional<std::string> stdin_data, std::chrono::milliseconds deadline) {
  CChildProcess child(std::move(argv), std::move(env), std::move(stdin_data));
  RunResult r;
  auto code = child.Wait(deadline);
  r.code = code ? *code : -1;
  // Output may still sit in the pipes after the exit.
  for (int i = 0; i < 3; ++i) {
    r.out = child.Stdout();
    r.err = child.Stderr();
  }
  return r;
}

}  // namespace qlm::test
