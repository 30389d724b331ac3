// Listener binding messages.
#include "engine/service/binding_message.h"

#include <cstdio>

#include "engine/service/service_texts.h"
#include "net/winsock_errors.h"

namespace qlm::engine {

std::string BindingMessage(ListenerKind kind, const std::string& name, const std::string& ip,
                           int port, const net::CBlockingSocketException& failure) {
  const bool daemon = kind == ListenerKind::kDaemon;
  const char* format = nullptr;
  if (failure.ErrorCode() == net::WSAEADDRINUSE) {
    format = daemon ? kDaemonInUseFormat : kPortMapInUseFormat;
  } else if (failure.ErrorCode() == net::WSAEADDRNOTAVAIL) {
    format = daemon ? kDaemonInvalidFormat : kPortMapInvalidFormat;
  } else {
    return failure.GetErrorText();
  }
  char text[512];
  std::snprintf(text, sizeof text, format, name.c_str(), ip.c_str(), port);
  return text;
}

}  // namespace qlm::engine
