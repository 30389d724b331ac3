// What the release file says, read without any I/O: the marker line's eight
// fields and the message after that line; the version comparison; and the
// dates of the check ("%m/%d/%Y", local time).
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace qlm::update {

struct ReleaseNote {
  unsigned major = 0;
  unsigned minor = 0;
  char letter = 0;
  std::string word;
  int days = 0;  // until the next check
  int month = 0;
  int day = 0;
  int year = 0;
  std::string message;  // the text after the marker line
};

// The first "#Quillmar v" and the eight fields right after it, up to the next
// line feed; nullopt when the marker is missing or fewer fields parse. The
// message is everything after that line feed (the whole file without one).
std::optional<ReleaseNote> FindReleaseNote(std::string_view body);

// Higher than the engine's own 2.65.
bool IsNewerRelease(unsigned major, unsigned minor);

// A stored "%d/%d/%d" as midnight local time; fields that do not parse keep
// 4/28/1999.
std::time_t CheckDateFromText(const std::string& text);
// "%m/%d/%Y" of `now` plus `days` days.
std::string NextCheckDate(std::time_t now, int days);

}  // namespace qlm::update
