// The one failure type of the socket layer and of every proxy built on it:
// a fixed message text, the Winsock error number and an informational second code.
#pragma once

#include <cstddef>
#include <exception>
#include <string>

#include "net/variant.h"

QLM_NET_BEGIN

// Second codes given by throwers.
inline constexpr int kOtherTimeout = -10;        // Send/Receive time-out
inline constexpr int kOtherExactFailed = -11;    // ReceiveExact, "time out or closed"

class CBlockingSocketException : public std::exception {
 public:
  // `error` is a Winsock number (0 when none), `other` a thrower's code.
  explicit CBlockingSocketException(std::string message, int error = 0, int other = 0);

  // Builds the exception with the calling thread's last socket error (errno),
  // mapped to its Winsock number.
  static CBlockingSocketException FromLastError(std::string message, int other = 0);

  int ErrorCode() const { return error_; }
  int OtherErrorCode() const { return other_; }
  const std::string& Message() const { return message_; }

  // The formatted text, cut to size-1 characters (the framework's message call).
  // Engine: "%s error (#%d): %s and other error (#%d)", "%s error (#%d): %s" or "%s error".
  // Manager: "%s error #%d and/or other error #%d" or "%s error".
  std::string GetErrorMessage(size_t size = 1024) const;
  // As GetErrorMessage, but with error code 0 the bare message.
  std::string GetErrorText() const;

  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::string message_;
  int error_;
  int other_;
  std::string what_;
};

QLM_NET_END
