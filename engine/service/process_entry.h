// The engine's process entry: the single-instance rule, then the mode the
// command line names.
#pragma once

namespace qlm::engine {

// The exit code of the process. `argv[0]` is the program.
int EngineMain(int argc, char** argv);

}  // namespace qlm::engine
