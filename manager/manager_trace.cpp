// The trace file.
#include "manager/manager_trace.h"

#include <cstdio>
#include <ctime>
#include <mutex>

namespace qlm::manager {

namespace {

// The text is cut to this many characters.
constexpr size_t kTraceTextLimit = 99;

std::mutex g_mutex;
std::FILE* g_file = nullptr;  // Guarded by g_mutex

}  // namespace

CManagerTrace& CManagerTrace::Instance() {
  static CManagerTrace trace;
  return trace;
}

bool CManagerTrace::Open(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_file != nullptr) {
    std::fclose(g_file);
  }
  g_file = std::fopen(path.c_str(), "we");
  return g_file != nullptr;
}

void CManagerTrace::Close() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_file != nullptr) {
    std::fclose(g_file);
    g_file = nullptr;
  }
}

bool CManagerTrace::IsOpen() const {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_file != nullptr;
}

void CManagerTrace::Line(const std::string& text) { Write("     ", text); }
void CManagerTrace::Error(const std::string& text) { Write(" ERR ", text); }

void CManagerTrace::Write(const char* separator, const std::string& text) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_file == nullptr) {
    return;
  }
  char when[128] = {};
  const std::time_t now = std::time(nullptr);
  std::tm local {};
  localtime_r(&now, &local);
  std::strftime(when, sizeof when, "%c", &local);
  const std::string cut = text.substr(0, kTraceTextLimit);
  std::fprintf(g_file, "%s%s%s\n", when, separator, cut.c_str());
  std::fflush(g_file);
}

void Trace(const std::string& text) { CManagerTrace::Instance().Line(text); }
void TraceError(const std::string& text) { CManagerTrace::Instance().Error(text); }

}  // namespace qlm::manager
