// The log file: opening and counting, appending, and cutting the file back to
// its newest half through a temporary copy whose name ends in "$".
#include "engine/log_file.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "engine/engine_error_report.h"

namespace qlm::engine {

namespace {

// Read and append, created when missing; new lines always land at the end.
constexpr const char* kOpenMode = "a+e";
constexpr const char* kTimeFormat = "%m/%d/%Y %H:%M:%S";

std::string Formatted(const char* format, const std::string& name, int error) {
  char text[kLogLineLimit + 1];
  std::snprintf(text, sizeof text, format, name.c_str(), error);
  return text;
}

// The temporary name: the full path with its last character replaced by "$".
std::string TemporaryName(const std::string& name) {
  std::error_code ec;
  std::string path = std::filesystem::absolute(name, ec).string();
  if (ec || path.empty()) {
    path = name;
  }
  path.back() = '$';
  return path;
}

// Reads one line without its "\n" into `line`; false at the end.
bool ReadLine(FILE* file, std::string& line) {
  line.clear();
  int c;
  while ((c = std::fgetc(file)) != EOF) {
    if (c == '\n') {
      return true;
    }
    line.push_back(static_cast<char>(c));
  }
  return !line.empty();
}

}  // namespace

CLogFile::CLogFile()
    : CLogFile([](const char* name, const char* mode) { return std::fopen(name, mode); }) {}
CLogFile::CLogFile(Opener opener) : opener_(std::move(opener)) {}

CLogFile::~CLogFile() { Close(); }

FILE* CLogFile::OpenFile(const std::string& name) {
  errno = 0;
  FILE* file = opener_(name.c_str(), kOpenMode);
  if (file == nullptr && errno == 0) {
    errno = EIO;
  }
  return file;
}

bool CLogFile::Open(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (file_ != nullptr) {
    return false;
  }
  FILE* file = OpenFile(name);
  if (file == nullptr) {
    const int error = errno;
    const std::string message = Formatted(kLogOpenFailedFormat, name, error);
    ReportEngineError(message, true, error);
    ShowEngineMessage(message, kErrorBoxTitle);
    return false;
  }
  file_ = file;
  name_ = name;
  trim_failed_ = false;
  CountLines();
  open_.store(true, std::memory_order_release);
  return true;
}

// Counts the lines already there. A last line without its "\n" (a run that
// ended mid-write) counts as a line and gets its "\n" now, so the next line
// does not run on from it.
void CLogFile::CountLines() {
  lines_ = 0;
  std::rewind(file_);
  char chunk[4096];
  size_t got;
  char last = '\n';
  while ((got = std::fread(chunk, 1, sizeof chunk, file_)) > 0) {
    for (size_t i = 0; i < got; ++i) {
      lines_ += chunk[i] == '\n';
    }
    last = chunk[got - 1];
  }
  std::clearerr(file_);
  std::fseek(file_, 0, SEEK_END);
  if (last != '\n') {
    ++lines_;
    std::fputc('\n', file_);
    std::fflush(file_);
  }
}

void CLogFile::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  open_.store(false, std::memory_order_release);
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
}

void CLogFile::SetMaxLines(uint32_t max_lines) {
  std::lock_guard<std::mutex> lock(mutex_);
  max_lines_ = max_lines;
}

uint32_t CLogFile::LineCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

void CLogFile::WriteLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fputc('\n', file_);
  std::fflush(file_);
  ++lines_;
}

std::vector<std::string> CLogFile::Append(const std::string& line) {
  std::vector<std::string> written;
  std::lock_guard<std::mutex> lock(mutex_);
  if (file_ == nullptr) {
    return written;
  }
  WriteLine(line);
  written.push_back(line);
  if (lines_ > max_lines_) {
    Trim(written);
  }
  return written;
}

// Keeps the lines numbered above skip = count - MaxLines/2; returns 0 or the
// error of a failed write. *kept is the number of lines copied.
int CLogFile::CopyNewestLines(FILE* from, FILE* to, uint32_t* kept) {
  const uint32_t skip = lines_ - max_lines_ / 2;
  std::rewind(from);
  std::string line;
  uint32_t number = 0;
  *kept = 0;
  while (ReadLine(from, line)) {
    if (++number > skip) {
      std::fwrite(line.data(), 1, line.size(), to);
      std::fputc('\n', to);
      ++*kept;
    }
  }
  errno = 0;
  if (std::fflush(to) != 0 || std::ferror(to)) {
    return errno != 0 ? errno : EIO;
  }
  return 0;
}

// Cut back to the newest MaxLines/2 lines. Whatever fails, the lines stay in
// a file under the log's own name and logging goes on in it: the old file is
// renamed back, and one ERR line says the cut failed.
void CLogFile::Trim(std::vector<std::string>& written) {
  const std::string temporary = TemporaryName(name_);
  int error = 0;
  if (name_.back() == '$') {
    // The name already ends in "$": the copy would overwrite its own source.
    error = EINVAL;
  } else if (std::rename(name_.c_str(), temporary.c_str()) != 0) {
    error = errno;
  } else if (FILE* fresh = OpenFile(name_); fresh == nullptr) {
    error = errno;
    std::rename(temporary.c_str(), name_.c_str());
  } else {
    uint32_t kept = 0;
    error = CopyNewestLines(file_, fresh, &kept);
    if (error == 0) {
      std::fclose(file_);
      std::remove(temporary.c_str());
      file_ = fresh;
      lines_ = kept;
      trim_failed_ = false;
      return;
    }
    std::fclose(fresh);
    std::remove(name_.c_str());
    std::rename(temporary.c_str(), name_.c_str());
  }
  std::clearerr(file_);
  std::fseek(file_, 0, SEEK_END);
  if (!trim_failed_) {
    trim_failed_ = true;
    const std::string line = FormatLogLine(std::time(nullptr), ThisThread(), kKindError,
                                           Formatted(kLogTrimFailedFormat, name_, error));
    WriteLine(line);
    written.push_back(line);
  }
}

std::optional<std::vector<std::string>> CLogFile::ReadLines() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (file_ == nullptr) {
    return std::nullopt;
  }
  std::vector<std::string> lines;
  std::fflush(file_);
  std::rewind(file_);
  std::string line;
  while (ReadLine(file_, line)) {
    lines.push_back(line);
  }
  std::clearerr(file_);
  std::fseek(file_, 0, SEEK_END);
  return lines;
}

CLogFile& EngineLog() {
  // Never destroyed: detached connection threads may still log while the
  // process exits. Every line is flushed as it is written, so nothing waits
  // for a destructor.
  static CLogFile& log = *std::make_unique<CLogFile>().release();
  return log;
}

bool OpenLog(const std::string& name) { return EngineLog().Open(name); }
void CloseLog() { EngineLog().Close(); }
void SetLogMaxLines(uint32_t max_lines) { EngineLog().SetMaxLines(max_lines); }

std::string FormatLogLine(std::time_t when, ThreadTag thread, const char* kind,
                          const std::string& text) {
  std::tm local{};
  localtime_r(&when, &local);
  char time_text[32];
  std::strftime(time_text, sizeof time_text, kTimeFormat, &local);
  char line[kLogLineLimit + 1];
  if (thread) {
    std::snprintf(line, sizeof line, "%s %#lx %-5s %.200s", time_text,
                  static_cast<unsigned long>(*thread), kind, text.c_str());
  } else {
    std::snprintf(line, sizeof line, "%s -   %-5s %.200s", time_text, kind, text.c_str());
  }
  return line;
}

}  // namespace qlm::engine
