// The dial-up manager's fixed texts: the status texts it compares against,
// the three messages of a dial that cannot start, and the log-line pieces of
// a failed dial.
#pragma once

#include <cstddef>

namespace qlm::dialup {

inline constexpr const char* kTextConnected = "Connected";
inline constexpr const char* kTextDisconnected = "Disconnected";

// A status carrying an error the service has no text for.
inline constexpr const char* kUndefinedDialUpError = "Undefined Dial-Up Error.";
// A dial failing after its start, with no text from the service.
inline constexpr const char* kWrongUserIdOrPassword =
    "Wrong user id or password or other dial-up errors.";
// "Dial-Up: %s" (state text), then ": %s" (error text) when the dial failed.
inline constexpr const char* kDialUpLineFormat = "Dial-Up: %s";

// The three messages of a dial that cannot start (reported and shown).
inline constexpr const char* kCheckDialUpSettings =
    "Please check Dial-Up Settings in the General Tab!  Pay attention to the Dial-Up entry "
    "selection.";
inline constexpr const char* kNoUserIdOrPassword =
    "There is no user id or password specified in the Dial Settings in General Tab!";
inline constexpr const char* kDialingFailedFormat = "Dialing failed because of error: #%d";
inline constexpr const char* kServiceErrorTitle = "Quillmar Service Error Message";

// Longest entry name a dial passes on.
inline constexpr size_t kMaxEntryName = 256;
// Longest error text taken from the dial-up service (a 128-byte buffer).
inline constexpr size_t kMaxErrorText = 127;

}  // namespace qlm::dialup
