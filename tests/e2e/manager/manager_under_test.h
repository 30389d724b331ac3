// The manager under test: a virtual X server (Xvfb on a display number it
// picks itself), the real quillmar started on it with the test hooks on
// (QUILLMAR_TEST_HOOK_DIR, see manager/test_hooks.h), and screenshots of
// the virtual screen. Every wait is bounded.
//
//   CVirtualDisplay display;            // Xvfb, stopped by the destructor
//   CManagerUnderTest manager(display, engine.Environment());
//   manager.Start();
//   manager.WaitForState("connected=1");
//   manager.Screenshot("manager/connects");   // build/screenshots/manager/connects.png
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "tests/support/child_process.h"

namespace qlm::test {

class CVirtualDisplay {
 public:
  CVirtualDisplay();
  ~CVirtualDisplay();
  // ":N", empty when Xvfb did not start.
  const std::string& Name() const { return name_; }

 private:
  std::unique_ptr<CChildProcess> xvfb_;
  std::string name_;
};

class CManagerUnderTest {
 public:
  // `environment`: the engine's (store, run folder, manager port).
  CManagerUnderTest(const CVirtualDisplay& display, std::map<std::string, std::string> environment,
                    const std::string& hook_dir);
  ~CManagerUnderTest();

  // Starts quillmar and waits until its first state is written.
  bool Start(std::chrono::milliseconds deadline = std::chrono::seconds(20));
  // The hooks' state file now.
  std::string State() const;
  // Waits until the state file contains `text`.
  bool WaitForState(const std::string& text,
                    std::chrono::milliseconds deadline = std::chrono::seconds(20)) const;
  // Waits until `pred(state)` holds.
  bool WaitForStateWhere(const std::function<bool(const std::string&)>& pred,
                         std::chrono::milliseconds deadline = std::chrono::seconds(20)) const;
  // The message box texts shown so far.
  std::string Messages() const;
  // Runs a menu command (or 1..5: shows that page), as the hooks take it.
  void Command(int id) const;
  // Runs a settings step (a line of words, see CMainFrame::RunScript).
  void Script(const std::string& line) const;
  CChildProcess& Process() { return *process_; }

  // Saves the virtual screen as build/screenshots/<name>.png; the path, empty
  // on failure.
  std::string Screenshot(const std::string& name) const;

 private:
  const CVirtualDisplay& display_;
  std::map<std::string, std::string> environment_;
  std::string hook_dir_;
  std::unique_ptr<CChildProcess> process_;
};

// The number of distinct colours in a picture (0 when it cannot be read).
int ColourCount(const std::string& png_path);

}  // namespace qlm::test
