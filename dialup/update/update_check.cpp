// The release update check's thread.
#include "dialup/update/update_check.h"

#include <cstdlib>
#include <fstream>
#include <system_error>
#include <thread>

#include "dialup/update/fetch_url.h"
#include "dialup/update/release_note.h"
#include "engine/engine_error_report.h"
#include "qlmstd/qlmstd.h"

namespace qlm::update {

using qlmstd::CQlmstd;

namespace {

std::string AppValue(const char* name) {
  char buffer[256] = {};
  return CQlmstd::GetAppKeyValue(name, buffer, sizeof(buffer)) ? std::string(buffer)
                                                                 : std::string();
}

UpdateTimeouts TimeoutsFromEnvironment() {
  UpdateTimeouts timeouts;
  const char* text = std::getenv(kTimeoutEnvironment);
  if (text != nullptr) {
    char* end = nullptr;
    const long ms = std::strtol(text, &end, 10);
    if (end != text && *end == '\0' && ms > 0) {
      timeouts.connect = timeouts.send = timeouts.receive = net::Timeout(ms);
    }
  }
  return timeouts;
}

void WriteLocalCopy(const std::string& install_dir, const std::string& body) {
  if (install_dir.empty()) {
    return;
  }
  std::ofstream copy(install_dir + "/" + kLocalCopyName, std::ios::trunc);
  copy << body;  // a copy that cannot be written is skipped
}

}  // namespace

std::string UpdateRequest(const std::string& host) {
  return std::string(kRequestHead) + host + kRequestTail;
}

UpdateCheckOutcome RunUpdateCheck(const UpdateCheckInput& input) {
  UpdateCheckOutcome outcome;
  if (input.host.empty() || input.now < CheckDateFromText(input.update_date)) {
    return outcome;
  }
  outcome.fetched = true;
  const std::string body = FetchUrl(UpdateRequest(input.host), input.host, input.timeouts);
  if (body.empty()) {
    return outcome;  // the next run tries again
  }
  WriteLocalCopy(input.install_dir, body);
  const std::optional<ReleaseNote> note = FindReleaseNote(body);
  if (!note) {
    return outcome;  // nothing says when to look again: the stored date stays
  }
  if (IsNewerRelease(note->major, note->minor)) {
    outcome.message = note->message;
  }
  outcome.next_date = NextCheckDate(input.now, note->days);
  return outcome;
}

int UpdateCheckThreadProc() {
  UpdateCheckInput input;
  input.host = AppValue(kUpdateHostValue);
  if (input.host.empty()) {
    return 0;  // no maker's host: no check at all
  }
  input.update_date = AppValue(kUpdateDateValue);
  input.install_dir = AppValue(qlmstd::kInstallDirValue);
  input.now = std::time(nullptr);
  input.timeouts = TimeoutsFromEnvironment();
  const UpdateCheckOutcome outcome = RunUpdateCheck(input);
  if (!outcome.message.empty()) {
    engine::ShowEngineMessage(outcome.message, engine::kInformationBoxTitle);
  }
  if (!outcome.next_date.empty()) {
    CQlmstd::WriteAppKeyStringValue(kUpdateDateValue, outcome.next_date.c_str());
  }
  return 0;
}

void StartUpdateCheck() {
  try {
    std::thread(UpdateCheckThreadProc).detach();
  } catch (const std::system_error&) {
    // No thread: no check in this run; nothing is logged, as for every
    // other failure of the check.
  }
}

}  // namespace qlm::update
