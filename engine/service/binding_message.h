// The message an administrator gets when a listener cannot be opened.
#pragma once

#include <string>

#include "net/blocking_socket_exception.h"

namespace qlm::engine {

enum class ListenerKind { kDaemon, kPortMap };

// Address in use and address not valid get their own texts (naming the
// listener); any other failure gives the exception's text.
std::string BindingMessage(ListenerKind kind, const std::string& name, const std::string& ip,
                           int port, const net::CBlockingSocketException& failure);

}  // namespace qlm::engine
