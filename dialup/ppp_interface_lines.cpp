// Finding, watching and stopping ppp lines started outside the engine.
#include "dialup/ppp_interface_lines.h"

#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace qlm::dialup {
namespace {

constexpr unsigned long kInterfaceUp = 0x1;  // IFF_UP

}  // namespace

std::optional<bool> InterfaceUp(const std::string& interfaces_folder, const std::string& name) {
  std::ifstream flags_file(interfaces_folder + "/" + name + "/flags");
  std::string text;
  if (!(flags_file >> text)) {
    return std::nullopt;
  }
  return (std::strtoul(text.c_str(), nullptr, 0) & kInterfaceUp) != 0;
}

CPppInterfaceLines::CPppInterfaceLines(std::string interfaces_folder, std::string pid_folder)
    : interfaces_folder_(std::move(interfaces_folder)), pid_folder_(std::move(pid_folder)) {}

long CPppInterfaceLines::PidOf(const std::string& name) const {
  std::ifstream pid_file(pid_folder_ + "/" + name + ".pid");
  long pid = 0;
  return pid_file >> pid ? pid : 0;
}

std::vector<ConnectionHandle> CPppInterfaceLines::Enumerate(
    const std::set<std::string>& own_interfaces, const std::set<long>& own_pids,
    ConnectionHandle& next_handle) {
  std::set<std::string> present;
  std::error_code error;
  for (const auto& item : std::filesystem::directory_iterator(interfaces_folder_, error)) {
    std::string name = item.path().filename().string();
    if (name.rfind("ppp", 0) == 0 && own_interfaces.count(name) == 0 &&
        own_pids.count(PidOf(name)) == 0) {
      present.insert(name);
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = handles_.begin(); it != handles_.end();) {
    it = present.count(it->first) ? std::next(it) : handles_.erase(it);
  }
  std::vector<ConnectionHandle> handles;
  for (const std::string& name : present) {
    auto [entry, added] = handles_.emplace(name, next_handle);
    if (added) {
      ++next_handle;
    }
    handles.push_back(entry->second);
  }
  return handles;
}

std::optional<std::string> CPppInterfaceLines::NameOf(ConnectionHandle handle) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& [name, known] : handles_) {
    if (known == handle) {
      return name;
    }
  }
  return std::nullopt;
}

bool CPppInterfaceLines::Knows(ConnectionHandle handle) const {
  return NameOf(handle).has_value();
}

std::optional<ConnectionStatus> CPppInterfaceLines::Status(ConnectionHandle handle) const {
  std::optional<std::string> name = NameOf(handle);
  if (!name) {
    return std::nullopt;
  }
  std::optional<bool> up = InterfaceUp(interfaces_folder_, *name);
  if (!up) {
    return std::nullopt;
  }
  return ConnectionStatus{*up ? kRasConnected : kRasDisconnected, 0, "PPP", *name};
}

void CPppInterfaceLines::HangUp(ConnectionHandle handle) {
  std::optional<std::string> name = NameOf(handle);
  if (!name) {
    return;
  }
  long pid = PidOf(*name);
  // Never a process group or every process: only a plain process id.
  if (pid > 1) {
    ::kill(static_cast<pid_t>(pid), SIGTERM);
  }
}

}  // namespace qlm::dialup
