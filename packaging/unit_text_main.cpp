// Writes the packaged engine's service unit: qlm_unit_text PROGRAM FILE.
// The build runs it so the installed unit and the one -install writes come
// from the same writer.
#include <cstdio>
#include <fstream>

#include "qlmstd/service_unit.h"

int main(int argc, char** argv) {
  if (argc != 3 || argv[1][0] != '/') {
    std::fprintf(stderr, "usage: qlm_unit_text /ABSOLUTE/PATH/qlmsvr UNITFILE\n");
    return 2;
  }
  std::ofstream out(argv[2], std::ios::trunc);
  out << qlm::qlmstd::PackagedServiceUnitText(argv[1]);
  out.close();
  if (!out) {
    std::fprintf(stderr, "qlm_unit_text: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
