// The release update check: once per engine run, after the first successful
// HTTP response through the proxy, the engine fetches the maker's release
// file, keeps a copy in its installation folder, tells the administrator
// about a newer release, and stores the date of the next check.
#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "dialup/update/update_texts.h"

namespace qlm::update {

// What one check works with; UpdateCheckThreadProc reads it from the store
// and the environment, tests build their own.
struct UpdateCheckInput {
  std::string host;         // UpdateHost; empty: no check
  std::string update_date;  // UpdateDate as stored (empty when missing)
  std::string install_dir;  // empty: no local copy
  std::time_t now = 0;
  UpdateTimeouts timeouts;
};

// What the check decided; the thread procedure carries it out.
struct UpdateCheckOutcome {
  bool fetched = false;         // a request was sent
  std::string message;          // shown to the administrator when not empty
  std::string next_date;        // written to UpdateDate when not empty
};

// The whole check without the store: date test, fetch, local copy, parse.
UpdateCheckOutcome RunUpdateCheck(const UpdateCheckInput& input);

// The request for `host`, byte for byte.
std::string UpdateRequest(const std::string& host);

// Reads the store (UpdateHost, UpdateDate, InstallDir) and the time-out
// variable, runs the check, shows the message (title "Quillmar Information")
// and writes the next date. Returns 0.
int UpdateCheckThreadProc();

// Starts UpdateCheckThreadProc on a detached thread of its own.
void StartUpdateCheck();

}  // namespace qlm::update
