// The release update check's fixed values: the engine's own version, the
// request it sends, the marker it looks for in the release file, the store
// values it reads and writes, and its time-outs.
#pragma once

#include <chrono>

#include "net/timeout.h"

namespace qlm::update {

// The engine's own version.
inline constexpr unsigned kVersionMajor = 2;
inline constexpr unsigned kVersionMinor = 65;

// Application-key values: the earliest date of the next check ("%m/%d/%Y"),
// and the maker's web host ("name" or "name:port"; empty: no check at all).
inline constexpr const char* kUpdateDateValue = "UpdateDate";
inline constexpr const char* kUpdateHostValue = "UpdateHost";
inline constexpr const char* kDateFormat = "%m/%d/%Y";
inline constexpr int kDefaultMonth = 4;
inline constexpr int kDefaultDay = 28;
inline constexpr int kDefaultYear = 1999;

// The request, sent in one piece: head + host + tail.
inline constexpr const char* kRequestHead =
    "GET /release.txt HTTP/1.0\r\nUser-Agent: Quillmar\r\nConnection: close\r\nHost: ";
inline constexpr const char* kRequestTail = "\r\nAccept-Ranges: bytes\r\n\r\n";
inline constexpr unsigned short kHttpPort = 80;
inline constexpr int kStatusOk = 200;
inline constexpr int kBodyBlock = 1023;

// The release file and its local copy in the installation folder.
inline constexpr const char* kMarker = "#Quillmar v";
inline constexpr const char* kReleaseLineFormat = "%u.%u%c %255s %d %d/%d/%d";
inline constexpr int kReleaseFields = 8;
inline constexpr const char* kLocalCopyName = "release.txt";

// Time-outs of the fetch. QUILLMAR_UPDATE_TIMEOUT_MS (read once when the
// check starts) replaces all three, so tests need not wait out 30 seconds.
inline constexpr const char* kTimeoutEnvironment = "QUILLMAR_UPDATE_TIMEOUT_MS";
struct UpdateTimeouts {
  net::Timeout connect{std::chrono::seconds(30)};
  net::Timeout send{std::chrono::seconds(30)};
  net::Timeout receive{std::chrono::seconds(30)};
};

}  // namespace qlm::update
