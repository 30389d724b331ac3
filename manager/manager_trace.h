// The manager's trace file "event.log" in the installation folder, written
// when the program is started with -debug or -trace: one line per event of
// the link and the engine control, so a field problem can be followed.
#pragma once

#include <string>

namespace qlm::manager {

class CManagerTrace {
 public:
  static CManagerTrace& Instance();

  // Creates (truncating) the file; false when it cannot be opened.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const;
  // "%s     %.100s\n": the local time ("%c") and the text cut to 99 characters.
  void Line(const std::string& text);
  // "%s ERR %.100s\n".
  void Error(const std::string& text);

 private:
  CManagerTrace() = default;
  // `separator` sits between the time and the text.
  void Write(const char* separator, const std::string& text);
};

// Shorthands; nothing happens while no trace file is open.
void Trace(const std::string& text);
void TraceError(const std::string& text);

}  // namespace qlm::manager
