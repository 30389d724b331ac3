// The "&Open HOSTS file" command: the system's host table (/etc/hosts),
// created from a template when it is missing, opened in the desktop's text
// editor ($VISUAL or $EDITOR when set, else xdg-open).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qlm::manager {

struct HostsFileSeams {
  // The host table (default /etc/hosts).
  std::string path;
  // Starts a program with its arguments without waiting; false when it
  // could not be started.
  std::function<bool(const std::vector<std::string>& argv)> launch;
  std::function<void(const std::string& text)> error;
};

// The template written when the file is missing.
std::string HostsTemplate();
// The editor's command line for `file`: $VISUAL, else $EDITOR (each split at
// blanks), else xdg-open.
std::vector<std::string> EditorCommand(const std::string& file);

// Runs the command; false when a message was shown.
bool OpenHostsFile(const HostsFileSeams& seams);

}  // namespace qlm::manager
