// One HTTP/1.0 GET of the release check: connect, send the request in one
// piece, read the head, and on status 200 read the body until the server
// closes.
#pragma once

#include <string>

#include "dialup/update/update_texts.h"

namespace qlm::update {

// `host` is "name" (port 80) or "name:port". Returns the body when the
// status is 200, else an empty string; every failure (no address, refused,
// a wait that times out, the engine stopping) also gives an empty string.
// Each wait takes the stop wake-up and its time-out from `timeouts`.
std::string FetchUrl(const std::string& request, const std::string& host,
                     const UpdateTimeouts& timeouts = UpdateTimeouts{});

}  // namespace qlm::update
