// The release file's marker line and the check's dates.
#include "dialup/update/release_note.h"

#include <cstdio>

#include "dialup/update/update_texts.h"

namespace qlm::update {

std::optional<ReleaseNote> FindReleaseNote(std::string_view body) {
  const size_t marker = body.find(kMarker);
  if (marker == std::string_view::npos) {
    return std::nullopt;
  }
  const size_t start = marker + std::string_view(kMarker).size();
  const size_t line_end = body.find('\n', start);
  const std::string line(body.substr(start, line_end == std::string_view::npos
                                                ? std::string_view::npos
                                                : line_end - start));
  ReleaseNote note;
  char word[256] = {};
  const int fields = std::sscanf(line.c_str(), kReleaseLineFormat, &note.major, &note.minor,
                                 &note.letter, word, &note.days, &note.month, &note.day,
                                 &note.year);
  if (fields != kReleaseFields) {
    return std::nullopt;
  }
  note.word = word;
  note.message = std::string(line_end == std::string_view::npos ? body
                                                                : body.substr(line_end + 1));
  return note;
}

bool IsNewerRelease(unsigned major, unsigned minor) {
  return major > kVersionMajor || (major == kVersionMajor && minor > kVersionMinor);
}

std::time_t CheckDateFromText(const std::string& text) {
  int month = kDefaultMonth;
  int day = kDefaultDay;
  int year = kDefaultYear;
  std::sscanf(text.c_str(), "%d/%d/%d", &month, &day, &year);
  std::tm date{};
  date.tm_year = year - 1900;
  date.tm_mon = month - 1;
  date.tm_mday = day;
  date.tm_isdst = -1;
  return std::mktime(&date);
}

std::string NextCheckDate(std::time_t now, int days) {
  std::tm date{};
  localtime_r(&now, &date);
  date.tm_mday += days;
  date.tm_hour = 12;  // noon: a daylight-saving change never moves the day
  date.tm_isdst = -1;
  const std::time_t next = std::mktime(&date);
  std::tm normal{};
  localtime_r(&next, &normal);
  char text[32];
  std::strftime(text, sizeof(text), kDateFormat, &normal);
  return text;
}

}  // namespace qlm::update
