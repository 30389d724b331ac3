// The manager's test hooks, on only when $QUILLMAR_TEST_HOOK_DIR names a
// folder. They let an end-to-end test see and drive the real program from
// outside:
//   <dir>/state     rewritten (atomically) whenever what the window shows
//                   changes: link state, window state, tray, every command's
//                   enabled flag, the activity tree as text and the log rows;
//   <dir>/command   a command number written here (the menu ids: 32783
//                   Start Engine, 32784 Stop Engine, 32790 Exit, ...) is run
//                   as if chosen from the menu, then the file is removed;
//                   1 to 5 bring that property sheet page to the front;
//                   a line of words instead runs a settings script step
//                   (CMainFrame::RunScript: fill a dialog, open one for a
//                   picture, close it, OK / Apply / Cancel);
//   <dir>/messages  every message box text, one per line.
// Nothing of this exists unless the variable is set.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

namespace qlm::manager {

inline constexpr char kTestHookDirVariable[] = "QUILLMAR_TEST_HOOK_DIR";

class CTestHooks : public QObject {
  Q_OBJECT

 public:
  // Made once at start-up when the variable is set; null otherwise.
  static CTestHooks* Instance();
  static void CreateFromEnvironment();

  // `state` is asked every poll; `command` runs a command number.
  void Start(std::function<std::string()> state, std::function<void(int)> command,
             std::function<void(const std::string&)> script = nullptr);
  void AppendMessage(const std::string& text);

 private:
  explicit CTestHooks(std::string dir);
  void Poll();

  std::string dir_;
  std::string last_state_;
  std::function<std::string()> state_;
  std::function<void(int)> command_;
  std::function<void(const std::string&)> script_;
  QTimer timer_;
};

}  // namespace qlm::manager
