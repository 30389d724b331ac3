// The manager's start-up and end: command line, single instance, trace file,
// main window, splash, heartbeat; at the end the document closes.
#pragma once

namespace qlm::manager {

// The whole program; its exit code.
int RunManager(int argc, char** argv);

}  // namespace qlm::manager
