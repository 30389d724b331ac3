// The manager's start-up and end: command line, single instance, trace file,
// main window, splash, heartbeat; at the end the document closes.
#pragma once

#include <functional>
#include <string>

namespace qlm::manager {

class CInstanceLock;

// The single-instance rule: takes QuillmarInstance in `run_dir`. When another
// manager holds it, `error` gets "You have Quillmar Manager started already"
// and the result is false (the program ends).
bool AcquireManagerInstance(CInstanceLock* lock, const std::string& run_dir,
                            const std::function<void(const std::string&)>& error);

// The whole program; its exit code.
int RunManager(int argc, char** argv);

}  // namespace qlm::manager
