// qlmreg: reads and writes the configuration store from the command line.
//   qlmreg init [INSTALLDIR]      (default: the folder holding qlmreg)
//   qlmreg get KEY NAME
//   qlmreg set KEY NAME (sz|dword|binary) VALUE
//   qlmreg delete KEY [NAME]
//   qlmreg export [KEY]
//   qlmreg import FILE|-
// Exit code 0 on success, 1 when the store refused, 2 on a usage error.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "qlmstd/qlmreg/reg_commands.h"
#include "qlmstd/store_connection.h"

namespace {

constexpr const char* kUsage =
    "usage: qlmreg init [INSTALLDIR]\n"
    "       qlmreg get KEY NAME\n"
    "       qlmreg set KEY NAME (sz|dword|binary) VALUE\n"
    "       qlmreg delete KEY [NAME]\n"
    "       qlmreg export [KEY]\n"
    "       qlmreg import FILE|-\n"
    "KEY is a path below the product root (Daemons\\127.0.0.1:1080); \"\" is the\n"
    "root itself, written [] in the exported text.\n";

// InstallDir is the folder holding the installed programs (qlmsvr, quillmar,
// qlmreg); when init is not told, that is the folder of this very program,
// wherever it is run from.
std::string OwnFolder() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec && self.has_parent_path()) {
    return self.parent_path().string();
  }
  const auto here = std::filesystem::current_path(ec);
  return ec ? std::string(".") : here.string();
}

// A given folder is stored absolute and without a trailing "/": the service
// unit and the default log file name are built from it, whatever folder the
// engine later runs in.
std::string AbsoluteFolder(const std::string& folder) {
  std::error_code ec;
  std::string absolute = std::filesystem::absolute(folder, ec).lexically_normal().string();
  if (ec) {
    return folder;
  }
  while (absolute.size() > 1 && absolute.back() == '/') {
    absolute.pop_back();
  }
  return absolute;
}

bool ReadInput(const std::string& file, std::string& text, std::string& error) {
  std::stringstream buffer;
  if (file == "-") {
    buffer << std::cin.rdbuf();
  } else {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
      error = "cannot read " + file;
      return false;
    }
    buffer << in.rdbuf();
  }
  text = buffer.str();
  return true;
}

int Run(const std::vector<std::string>& a, std::string& error) {
  using namespace qlm::qlmstd;
  const std::string& command = a[0];
  std::string text;
  bool ok = false;
  if (command == "init" && a.size() <= 2) {
    // The store's folder is the installer's to make, like the root key.
    std::error_code ec;
    std::filesystem::create_directories(
        std::filesystem::path(CStoreConnection::StorePath()).parent_path(), ec);
    ok = RegInit(a.size() == 2 ? AbsoluteFolder(a[1]) : std::string(), OwnFolder(), error);
  } else if (command == "get" && a.size() == 3) {
    ok = RegGet(a[1], a[2], text, error);
    text += "\n";
  } else if (command == "set" && a.size() == 5) {
    ok = RegSet(a[1], a[2], a[3], a[4], error);
  } else if (command == "delete" && (a.size() == 2 || a.size() == 3)) {
    ok = RegDelete(a[1], a.size() == 3 ? &a[2] : nullptr, error);
  } else if (command == "export" && a.size() <= 2) {
    ok = RegExport(a.size() == 2 ? a[1] : std::string(), text, error);
  } else if (command == "import" && a.size() == 2) {
    std::string input;
    ok = ReadInput(a[1], input, error) && RegImport(input, error);
  } else {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (!ok) {
    return 1;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string error;
  int code = Run(args, error);
  if (code == 1) {
    std::fprintf(stderr, "qlmreg: %s\n", error.c_str());
  }
  return code;
}
