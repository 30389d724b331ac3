// qlmsvr: the Quillmar engine.
#include "engine/service/process_entry.h"

int main(int argc, char** argv) { return qlm::engine::EngineMain(argc, argv); }
