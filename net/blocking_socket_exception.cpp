// The socket layer's failure type and its log formats. The engine shows the
// Winsock text of the error; the manager program has no such table.
#include "net/blocking_socket_exception.h"

#include <cstdio>
#include <utility>

#include "net/winsock_errors.h"

QLM_NET_BEGIN
namespace {

std::string Format(const char* format, const std::string& message, int error,
                   [[maybe_unused]] int other) {
  char text[2048];
#ifdef QLM_MANAGER_VARIANT
  std::snprintf(text, sizeof(text), format, message.c_str(), error, other);
#else
  std::snprintf(text, sizeof(text), format, message.c_str(), error, WinsockErrorText(error),
                other);
#endif
  return text;
}

#ifdef QLM_MANAGER_VARIANT
constexpr char kFormatWithCodes[] = "%s error #%d and/or other error #%d";
constexpr char kFormatTextWithCode[] = "%s error #%d";
#else
constexpr char kFormatWithBoth[] = "%s error (#%d): %s and other error (#%d)";
constexpr char kFormatWithError[] = "%s error (#%d): %s";
#endif
constexpr char kFormatBare[] = "%s error";

std::string FullMessage(const std::string& message, int error, int other) {
  if (error == 0) {
    return Format(kFormatBare, message, error, other);
  }
#ifdef QLM_MANAGER_VARIANT
  return Format(kFormatWithCodes, message, error, other);
#else
  return Format(other != 0 ? kFormatWithBoth : kFormatWithError, message, error, other);
#endif
}

}  // namespace

CBlockingSocketException::CBlockingSocketException(std::string message, int error, int other)
    : message_(std::move(message)), error_(error), other_(other) {
  what_ = FullMessage(message_, error_, other_);
}

CBlockingSocketException CBlockingSocketException::FromLastError(std::string message,
                                                                 int other) {
  return CBlockingSocketException(std::move(message), WSAGetLastError(), other);
}

std::string CBlockingSocketException::GetErrorMessage(size_t size) const {
  if (size == 0) {
    return std::string();
  }
  std::string text = what_;
  if (text.size() > size - 1) {
    text.resize(size - 1);
  }
  return text;
}

std::string CBlockingSocketException::GetErrorText() const {
  if (error_ == 0) {
    return message_;
  }
#ifdef QLM_MANAGER_VARIANT
  return Format(kFormatTextWithCode, message_, error_, other_);
#else
  return what_;
#endif
}

QLM_NET_END
