// The HOSTS editor.
#include "manager/hosts_file.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "manager/settings_texts.h"

namespace qlm::manager {

namespace {

constexpr char kHostsTemplate[] =
    "# This is the host table of this computer, kept for the Quillmar proxy's network.\n"
    "#\n"
    "# It maps host names to IP addresses, for this computer and for every\n"
    "# program on it, before any name server is asked.\n"
    "#\n"
    "# Each entry is kept on a line of its own. The IP address is placed in\n"
    "# the first column, followed by the host name. The IP address and the\n"
    "# host name are separated by at least one space or tab.\n"
    "#\n"
    "# Comments (such as these) may be inserted on individual lines or\n"
    "# following the machine name, and begin with a '#' symbol.\n"
    "#\n"
    "# Please enter every computer of your local network here, one line\n"
    "# for each, so that the proxy and its clients can find them by name\n"
    "# without asking the Internet.\n"
    "#\n"
    "# When you are done, save the file with Save, not with Save As:\n"
    "# Save As may add an ending such as \".txt\" to the name, and the\n"
    "# system would then not read the file.\n"
    "#\n"
    "# For example:\n"
    "#\n"
    "#      192.168.0.1     host1      # this computer, the proxy\n"
    "#      192.168.0.2     host2      # a client\n"
    "#      192.168.0.3     host3      # a client\n"
    "#      192.168.0.4     host4      # a client\n"
    "#\n"
    "# Lines beginning with '#' are not read; remove the '#' of an example\n"
    "# line and change its address and name to use it.\n"
    "#\n"
    "# The entry below is needed by this computer itself; keep it.\n"
    "#\n"
    "\n"
    "127.0.0.1       localhost\n"
    "\n";

std::vector<std::string> SplitWords(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) {
    words.push_back(word);
  }
  return words;
}

}  // namespace

std::string HostsTemplate() { return kHostsTemplate; }

std::vector<std::string> EditorCommand(const std::string& file) {
  for (const char* variable : {"VISUAL", "EDITOR"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr) {
      std::vector<std::string> argv = SplitWords(value);
      if (!argv.empty()) {
        argv.push_back(file);
        return argv;
      }
    }
  }
  return {"xdg-open", file};
}

bool OpenHostsFile(const HostsFileSeams& seams) {
  const std::filesystem::path file(seams.path.empty() ? "/etc/hosts" : seams.path);
  std::error_code error;
  if (!std::filesystem::is_directory(file.parent_path(), error)) {
    seams.error(kOpenHostsFailedText);
    return false;
  }
  if (!std::ifstream(file)) {
    std::ofstream out(file);
    out << kHostsTemplate;
    out.flush();
    if (!out) {
      seams.error(kCreateHostsFailedText);
      return false;
    }
  }
  seams.launch(EditorCommand(file.string()));
  return true;
}

}  // namespace qlm::manager
