// The manager program's start-up.
#include "manager/manager_app.h"

#include <QApplication>
#include <QPointer>
#include <csignal>
#include <vector>

#include "manager/instance_lock.h"
#include "manager/main_frame.h"
#include "manager/manager_command_line.h"
#include "manager/manager_settings.h"
#include "manager/manager_texts.h"
#include "manager/manager_trace.h"
#include "manager/message_boxes.h"
#include "manager/splash_window.h"
#include "manager/test_hooks.h"
#include "qlmstd/qlmstd.h"

namespace qlm::manager {

namespace {

void OpenTraceFile(const ManagerCommandLine& command_line) {
  if (!command_line.TraceWanted()) {
    return;
  }
  const std::string folder = ReadInstallDir();
  const std::string path = folder.empty() ? kTraceFileName : folder + "/" + kTraceFileName;
  CManagerTrace::Instance().Open(path);
  Trace(command_line.debug ? "Quillmar Manager started (debug)" : "Quillmar Manager started");
}

// Writing to an engine that has gone must fail the write, not end the program.
bool InitialiseSockets() { return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR; }

}  // namespace

int RunManager(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(kApplicationTitle);
  QApplication::setOrganizationName(qlmstd::kMakerName);
  std::vector<std::string> args(argv + 1, argv + argc);
  const ManagerCommandLine command_line = ParseManagerCommandLine(args);
  OpenTraceFile(command_line);
  CTestHooks::CreateFromEnvironment();
  CMessageBoxes boxes;
  CInstanceLock instance;
  if (!AcquireManagerInstance(&instance, ManagerRunDir(), [&](const std::string& text) {
        TraceError(text);
        boxes.Error(text, kApplicationTitle);
      })) {
    return 1;
  }
  if (!InitialiseSockets()) {
    boxes.Error(kSocketsInitFailedText, kApplicationTitle);
    return 1;
  }
  CMainFrame frame;
  frame.ShowAtStart();
  QPointer<CSplashWindow> splash = new CSplashWindow(&frame);
  splash->show();
  if (CTestHooks* hooks = CTestHooks::Instance()) {
    hooks->Start(
        [&frame, &splash] {
          return frame.StateText() + "splash=" + (splash.isNull() ? "0" : "1") + "\n";
        },
        [&frame](int id) {
          if (id >= 1 && id <= 5) {
            frame.ShowPage(id - 1);
          } else {
            frame.RunCommand(id);
          }
        },
        [&frame](const std::string& line) { frame.RunScript(line); });
  }
  frame.StartHeartbeat();
  const int code = app.exec();
  frame.CloseDocument();
  Trace("Quillmar Manager ended");
  CManagerTrace::Instance().Close();
  return code;
}

}  // namespace qlm::manager
