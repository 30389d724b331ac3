// Starting the engine without systemd: `qlmsvr -win32` from the folder of the
// installed programs, as a new process that goes on in the background.
#pragma once

#include <string>

namespace qlm::manager {

inline constexpr char kEngineProgramName[] = "qlmsvr";
inline constexpr char kEngineBackgroundOption[] = "-win32";

// Starts `<install_dir>/qlmsvr -win32` with the manager's environment and
// none of its descriptors beyond the standard three; the starter exits at
// once (the engine detaches) and is reaped on a thread of its own.
// 0, or the errno of the failure (ENOENT for an empty install_dir).
int StartEngineProcess(const std::string& install_dir);

}  // namespace qlm::manager
