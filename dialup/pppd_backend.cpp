// The pppd backend: phone-book entries from the peers folder, one pppd
// process per dialled line.
#include "dialup/pppd_backend.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>

#include "dialup/ppp_interface_lines.h"
#include "dialup/pppd_log.h"
#include "dialup/pppd_options_pipe.h"
#include "dialup/pppd_session.h"

namespace qlm::dialup {
namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

// `program` itself when it names a path, else the first match on PATH; empty
// when there is none.
std::string ResolveProgram(const std::string& program) {
  if (program.find('/') != std::string::npos) {
    return IsExecutableFile(program) ? program : std::string();
  }
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "/usr/sbin:/usr/bin:/sbin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) {
      end = folders.size();
    }
    std::string folder = folders.substr(start, end - start);
    std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
    if (IsExecutableFile(candidate)) {
      return candidate;
    }
    start = end + 1;
  }
  return {};
}

// A word for a pppd options file: quoted, with backslash, quote and control
// characters escaped (octal), so that any user name or password stays one word.
std::string OptionWord(const std::string& text) {
  std::string word = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      word += '\\';
      word += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7f) {
      char octal[8];
      std::snprintf(octal, sizeof(octal), "\\%03o", c);
      word += octal;
    } else {
      word += static_cast<char>(c);
    }
  }
  return word + "\"";
}

// The per-dial options pppd reads from its options pipe.
std::string OptionsText(const DialParams& params) {
  return "user " + OptionWord(params.user) + "\npassword " + OptionWord(params.password) + "\n";
}

class CPppdBackend : public IDialUpBackend {
 public:
  explicit CPppdBackend(PppdPaths paths)
      : paths_(std::move(paths)),
        gate_(std::make_shared<NotifyGate>()),
        other_lines_(paths_.interfaces_folder, paths_.pid_folder) {}

  ~CPppdBackend() override {
    {
      std::lock_guard<std::mutex> lock(gate_->mutex);
      gate_->open = false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [handle, session] : sessions_) {
      session->Release();
    }
  }

  // IDialUpBackend
  bool Load() override {
    program_ = ResolveProgram(paths_.program);
    return !program_.empty();
  }

  std::vector<std::string> EnumEntries() override {
    std::vector<std::string> entries;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(paths_.peers_folder, error)) {
      std::string name = item.path().filename().string();
      if (item.is_regular_file(error) && !name.empty() && name[0] != '.') {
        entries.push_back(name);
      }
    }
    std::sort(entries.begin(), entries.end());
    return entries;
  }

  // Lines started elsewhere first (they are up already), then the engine's own.
  std::vector<ConnectionHandle> EnumConnections() override {
    std::vector<ConnectionHandle> own;
    std::set<std::string> own_interfaces;
    std::set<long> own_pids;
    std::vector<std::shared_ptr<CPppdSession>> ended;
    std::vector<ConnectionHandle> handles;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (auto it = sessions_.begin(); it != sessions_.end();) {
        if (it->second->Ended()) {
          ended.push_back(it->second);
          it = sessions_.erase(it);
        } else {
          own.push_back(it->first);
          own_interfaces.insert(it->second->InterfaceName());
          own_pids.insert(it->second->Pid());
          ++it;
        }
      }
      handles = other_lines_.Enumerate(own_interfaces, own_pids, next_handle_);
    }
    handles.insert(handles.end(), own.begin(), own.end());
    for (auto& session : ended) {
      session->Release();
    }
    return handles;
  }

  std::optional<ConnectionStatus> GetConnectStatus(ConnectionHandle handle) override {
    if (std::shared_ptr<CPppdSession> session = Find(handle)) {
      return session->Status();
    }
    return other_lines_.Status(handle);
  }

  int HangUp(ConnectionHandle handle) override {
    if (std::shared_ptr<CPppdSession> session = Find(handle)) {
      session->HangUp();
    } else {
      other_lines_.HangUp(handle);
    }
    return 0;
  }

  int Dial(const DialParams& params, DialNotifier notifier, ConnectionHandle* handle) override {
    *handle = kNoConnection;
    const std::string& entry = params.entry;
    if (entry.empty() || entry[0] == '.' || entry.find('/') != std::string::npos ||
        !std::filesystem::is_regular_file(paths_.peers_folder + "/" + entry)) {
      return kPppdEntryNotFound;
    }
    CPppdSession::Start start;
    start.program = program_;
    start.arguments = {"call", entry, "nodetach", "logfd", "1", "file", kPppdOptionsPath};
    start.options_text = OptionsText(params);
    start.interfaces_folder = paths_.interfaces_folder;
    start.notifier = std::move(notifier);
    start.gate = gate_;
    start.kill_grace = paths_.kill_grace;
    std::shared_ptr<CPppdSession> session = CPppdSession::Launch(std::move(start));
    if (!session) {
      return kPppdCannotStart;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    *handle = next_handle_++;
    sessions_[*handle] = std::move(session);
    return 0;
  }

  std::optional<std::string> ErrorString(int error) override { return PppdErrorText(error); }

 private:
  std::shared_ptr<CPppdSession> Find(ConnectionHandle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = sessions_.find(handle);
    return found == sessions_.end() ? nullptr : found->second;
  }

  const PppdPaths paths_;
  std::string program_;  // set by Load, before any other call
  std::shared_ptr<NotifyGate> gate_;
  std::mutex mutex_;
  std::map<ConnectionHandle, std::shared_ptr<CPppdSession>> sessions_;  // Guarded by mutex_
  ConnectionHandle next_handle_ = 1;                                     // Guarded by mutex_
  CPppInterfaceLines other_lines_;  // enumerated under mutex_
};

}  // namespace

DialUpBackendPtr MakePppdBackend(const PppdPaths& paths) {
  return std::make_unique<CPppdBackend>(paths);
}

DialUpBackendPtr MakePlatformBackend() { return MakePppdBackend(PppdPaths{}); }

}  // namespace qlm::dialup
