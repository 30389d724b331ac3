// The test hooks' files.
#include "manager/test_hooks.h"

#include <cctype>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

namespace qlm::manager {

namespace {

constexpr int kPollMs = 100;
std::unique_ptr<CTestHooks> g_hooks;

}  // namespace

CTestHooks* CTestHooks::Instance() { return g_hooks.get(); }

void CTestHooks::CreateFromEnvironment() {
  const char* dir = std::getenv(kTestHookDirVariable);
  if (dir != nullptr && *dir != '\0' && !g_hooks) {
    g_hooks.reset(new CTestHooks(dir));
  }
}

CTestHooks::CTestHooks(std::string dir) : dir_(std::move(dir)) {
  connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
}

void CTestHooks::Start(std::function<std::string()> state, std::function<void(int)> command,
                       std::function<void(const std::string&)> script) {
  state_ = std::move(state);
  command_ = std::move(command);
  script_ = std::move(script);
  timer_.start(kPollMs);
  Poll();
}

void CTestHooks::AppendMessage(const std::string& text) {
  std::ofstream out(dir_ + "/messages", std::ios::app);
  out << text << "\n";
}

void CTestHooks::Poll() {
  if (state_) {
    const std::string state = state_();
    if (state != last_state_) {
      const std::string temp = dir_ + "/state.tmp";
      {
        std::ofstream out(temp, std::ios::trunc);
        out << state;
      }
      std::rename(temp.c_str(), (dir_ + "/state").c_str());
      last_state_ = state;
    }
  }
  const std::string command_path = dir_ + "/command";
  std::ifstream in(command_path);
  if (!in) {
    return;
  }
  std::string line;
  std::getline(in, line);
  in.close();
  std::remove(command_path.c_str());
  if (!line.empty() && !std::isdigit(static_cast<unsigned char>(line[0]))) {
    // A step that may open a dialog runs after this poll has returned.
    if (script_) {
      QTimer::singleShot(0, this, [this, line] { script_(line); });
    }
    return;
  }
  const int id = std::atoi(line.c_str());
  if (id != 0 && command_) {
    command_(id);
  }
}

}  // namespace qlm::manager
