// Starting, following and ending one pppd process.
#include "dialup/pppd_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <system_error>

#include "dialup/ppp_interface_lines.h"
#include "dialup/pppd_options_pipe.h"
#include "dialup/pppd_log.h"
#include "net/wait_set.h"

extern char** environ;

namespace qlm::dialup {
namespace {

// How often the reader looks at the process when its log is quiet.
constexpr net::Timeout kReaderPoll{250};
// pppd's exit code for "terminated by a signal", used for a killed process.
constexpr int kExitBySignal = 5;

// Starts `program` with standard input from /dev/null, standard output and
// error on `output` and the options pipe `options` on kPppdOptionsFd. 0 or
// the spawn's error number.
int Spawn(const CPppdSession::Start& start, int output, int options, pid_t* pid) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(start.program.c_str()));
  for (const std::string& argument : start.arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  // pppd starts with no signal blocked and the default handling of the signals
  // it lives by: the engine blocks its stop signals for its own use and
  // ignores SIGPIPE, and both would otherwise be inherited, leaving a pppd
  // that a hang-up cannot stop.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int signal_number : {SIGHUP, SIGINT, SIGTERM, SIGPIPE, SIGCHLD, SIGUSR1, SIGUSR2}) {
    sigaddset(&defaults, signal_number);
  }
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, output, 1);
  posix_spawn_file_actions_adddup2(&actions, output, 2);
  posix_spawn_file_actions_adddup2(&actions, options, kPppdOptionsFd);
  int result =
      posix_spawn(pid, start.program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return result;
}

}  // namespace

CPppdSession::CPppdSession(Start start) : start_(std::move(start)) {}

CPppdSession::~CPppdSession() {
  if (reader_.joinable()) {
    if (reader_.get_id() == std::this_thread::get_id()) {
      reader_.detach();
    } else {
      reader_.join();
    }
  }
  if (output_fd_ >= 0) {
    ::close(output_fd_);
  }
}

std::shared_ptr<CPppdSession> CPppdSession::Launch(Start start) {
  std::shared_ptr<CPppdSession> session(new CPppdSession(std::move(start)));
  std::string& options_text = session->start_.options_text;
  const int options = OpenOptionsPipe(options_text);
  ::explicit_bzero(options_text.data(), options_text.size());
  options_text.clear();
  int pipe_fds[2];
  if (options < 0 || ::pipe2(pipe_fds, O_CLOEXEC) != 0) {
    if (options >= 0) {
      ::close(options);
    }
    return nullptr;
  }
  int result = Spawn(session->start_, pipe_fds[1], options, &session->pid_);
  ::close(pipe_fds[1]);
  ::close(options);  // pppd has its own; the text dies with the last reader
  if (result != 0) {
    ::close(pipe_fds[0]);
    return nullptr;
  }
  session->output_fd_ = pipe_fds[0];
  ::fcntl(session->output_fd_, F_SETFL, O_NONBLOCK);
  try {
    session->reader_ = std::thread([session] { session->ReaderThreadProc(); });
  } catch (const std::system_error&) {
    // Without a reader nobody would follow or reap the process.
    ::kill(session->pid_, SIGKILL);
    ::waitpid(session->pid_, nullptr, 0);
    return nullptr;
  }
  return session;
}

void CPppdSession::ReaderThreadProc() {
  Notify(kRasOpenPort, 0);
  char buffer[4096];
  bool output_open = true;
  bool killed = false;
  int status = 0;
  for (;;) {
    net::CWaitSet waits;
    if (output_open) {
      waits.Add(output_fd_, POLLIN);
    }
    waits.AddShutdown();
    net::CWaitSet::Result result = waits.Wait(kReaderPoll);
    if (result == net::CWaitSet::Result::kShutdown) {
      return;  // the engine stops; the process outlives it, as the line does
    }
    if (result == net::CWaitSet::Result::kReady && output_open) {
      ssize_t got = ::read(output_fd_, buffer, sizeof(buffer));
      if (got > 0) {
        TakeOutput(buffer, static_cast<size_t>(got));
      } else if (got == 0) {
        output_open = false;
      }
    }
    pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_ || done < 0) {
      break;  // ended (a failed wait: someone else reaped it)
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (hang_up_asked_ && !killed &&
        std::chrono::steady_clock::now() - hang_up_time_ > start_.kill_grace) {
      ::kill(pid_, SIGKILL);
      killed = true;
    }
  }
  for (ssize_t got; output_open && (got = ::read(output_fd_, buffer, sizeof(buffer))) > 0;) {
    TakeOutput(buffer, static_cast<size_t>(got));
  }
  if (!pending_.empty()) {
    TakeOutput("\n", 1);
  }
  Finish(status);
}

void CPppdSession::TakeOutput(const char* data, size_t size) {
  pending_.append(data, size);
  size_t end;
  while ((end = pending_.find('\n')) != std::string::npos) {
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    PppdLogEvent event = ParsePppdLogLine(line);
    if (event.interface_name) {
      std::lock_guard<std::mutex> lock(mutex_);
      interface_ = *event.interface_name;
    }
    if (event.state) {
      Apply(*event.state, event.error);
    }
  }
}

void CPppdSession::Apply(int state, int error) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = state;
    error_ = error;
  }
  // The notifier follows the dial: every state until the line is up or the dial
  // failed; afterwards only a failure.
  if (notified_error_ || (connected_once_ && error == 0)) {
    return;
  }
  connected_once_ = connected_once_ || state == kRasConnected;
  notified_error_ = error != 0;
  Notify(state, error);
}

void CPppdSession::Finish(int exit_status) {
  int code = WIFEXITED(exit_status) ? WEXITSTATUS(exit_status) : kExitBySignal;
  int error = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!hang_up_asked_ && code != 0) {
      error = kPppdExitBase + code;
    }
    state_ = kRasDisconnected;
    error_ = error;
    ended_ = true;
  }
  if (!notified_error_ && (error != 0 || !connected_once_)) {
    notified_error_ = error != 0;
    Notify(kRasDisconnected, error);
  }
}

void CPppdSession::Notify(int state, int error) {
  if (!start_.notifier || !start_.gate) {
    return;
  }
  std::lock_guard<std::mutex> lock(start_.gate->mutex);
  if (start_.gate->open) {
    start_.notifier(0, state, error);
  }
}

std::string CPppdSession::InterfaceName() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return interface_;
}

std::optional<ConnectionStatus> CPppdSession::Status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ended_) {
    return std::nullopt;
  }
  ConnectionStatus status;
  status.state = hang_up_asked_ ? kRasDisconnected : state_;
  status.error = error_;
  status.device_type = "PPP";
  status.device_name = interface_;
  // The interface going down (or away) is the line going down.
  if (status.state == kRasConnected && !interface_.empty() &&
      !InterfaceUp(start_.interfaces_folder, interface_).value_or(false)) {
    status.state = kRasDisconnected;
  }
  return status;
}

bool CPppdSession::Ended() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ended_;
}

void CPppdSession::HangUp() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) {
      return;
    }
    if (!hang_up_asked_) {
      hang_up_asked_ = true;
      hang_up_time_ = std::chrono::steady_clock::now();
    }
  }
  ::kill(pid_, SIGTERM);
}

void CPppdSession::Release() {
  if (!reader_.joinable()) {
    return;
  }
  if (Ended()) {
    reader_.join();
  } else {
    reader_.detach();
  }
}

}  // namespace qlm::dialup
