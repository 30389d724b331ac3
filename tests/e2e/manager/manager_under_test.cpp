// The manager under test on a virtual X server.
#include "tests/e2e/manager/manager_under_test.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/wait_until.h"

namespace qlm::test {

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

CVirtualDisplay::CVirtualDisplay() {
  // -displayfd: Xvfb takes the first free display number itself and writes
  // it on standard output once it accepts clients.
  xvfb_ = std::make_unique<CChildProcess>(std::vector<std::string>{
      "Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
  std::string number;
  const bool ready = WaitUntil(
      [&] {
        const std::string out = xvfb_->Stdout();
        if (out.find('\n') == std::string::npos) {
          return !xvfb_->Running();
        }
        number = out.substr(0, out.find('\n'));
        return true;
      },
      std::chrono::seconds(20));
  if (!ready || number.empty()) {
    ADD_FAILURE() << "Xvfb did not start: " << xvfb_->Stderr();
    return;
  }
  name_ = ":" + number;
}

CVirtualDisplay::~CVirtualDisplay() {
  if (xvfb_ && xvfb_->Running()) {
    xvfb_->Signal(15);
    xvfb_->Wait(std::chrono::seconds(10));
  }
}

CManagerUnderTest::CManagerUnderTest(const CVirtualDisplay& display,
                                     std::map<std::string, std::string> environment,
                                     const std::string& hook_dir)
    : display_(display), environment_(std::move(environment)), hook_dir_(hook_dir) {
  fs::create_directories(hook_dir_);
  environment_["DISPLAY"] = display_.Name();
  environment_["QT_QPA_PLATFORM"] = "xcb";
  environment_["QUILLMAR_TEST_HOOK_DIR"] = hook_dir_;
  environment_["XDG_RUNTIME_DIR"] = hook_dir_;
  // Never the user's own autostart folder or the system's host table.
  environment_.emplace("XDG_CONFIG_HOME", hook_dir_ + "/config");
  environment_.emplace("QUILLMAR_HOSTS_FILE", hook_dir_ + "/hosts");
}

CManagerUnderTest::~CManagerUnderTest() {
  if (process_ && process_->Running()) {
    Command(32790);  // Exit, as the administrator leaves
    if (!process_->Wait(std::chrono::seconds(10))) {
      ADD_FAILURE() << "quillmar did not exit";
    }
  }
}

bool CManagerUnderTest::Start(std::chrono::milliseconds deadline) {
  fs::permissions(hook_dir_, fs::perms::owner_all, fs::perm_options::replace);
  process_ = std::make_unique<CChildProcess>(
      std::vector<std::string>{std::string(QLM_BIN_DIR) + "/quillmar", "-trace"}, environment_);
  if (!WaitForState("window=", deadline)) {
    ADD_FAILURE() << "quillmar wrote no state; standard error:\n" << process_->Stderr();
    return false;
  }
  return true;
}

std::string CManagerUnderTest::State() const { return ReadFile(hook_dir_ + "/state"); }

bool CManagerUnderTest::WaitForState(const std::string& text,
                                     std::chrono::milliseconds deadline) const {
  return WaitForStateWhere([&](const std::string& s) { return s.find(text) != std::string::npos; },
                           deadline);
}

bool CManagerUnderTest::WaitForStateWhere(const std::function<bool(const std::string&)>& pred,
                                          std::chrono::milliseconds deadline) const {
  return WaitUntil([&] { return pred(State()); }, deadline);
}

std::string CManagerUnderTest::Messages() const { return ReadFile(hook_dir_ + "/messages"); }

void CManagerUnderTest::Script(const std::string& line) const {
  const std::string temp = hook_dir_ + "/command.tmp";
  {
    std::ofstream out(temp, std::ios::trunc);
    out << line << "\n";
  }
  fs::rename(temp, hook_dir_ + "/command");
}

void CManagerUnderTest::Command(int id) const {
  // Written aside and renamed, so the program never reads half a number.
  const std::string temp = hook_dir_ + "/command.tmp";
  {
    std::ofstream out(temp, std::ios::trunc);
    out << id << "\n";
  }
  std::rename(temp.c_str(), (hook_dir_ + "/command").c_str());
}

std::string CManagerUnderTest::Screenshot(const std::string& name) const {
  const std::string path = std::string(QLM_BUILD_DIR) + "/screenshots/" + name + ".png";
  fs::create_directories(fs::path(path).parent_path());
  const RunResult shot =
      Run({"import", "-display", display_.Name(), "-window", "root", path}, {},
          std::nullopt, std::chrono::seconds(30));
  if (shot.code != 0) {
    ADD_FAILURE() << "import: " << shot.err;
    return std::string();
  }
  return path;
}

int ColourCount(const std::string& png_path) {
  const RunResult count = Run({"identify", "-format", "%k", png_path}, {}, std::nullopt,
                              std::chrono::seconds(30));
  return count.code == 0 ? std::atoi(count.out.c_str()) : 0;
}

}  // namespace qlm::test
