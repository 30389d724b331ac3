// The dispatch tables. Each protocol library built into the engine adds its
// entry here, guarded by the QLM_HAVE_<LIBRARY> definition the build sets
// when that library exists.
#include "engine/service/protocol_table.h"

#include <vector>

#ifdef QLM_HAVE_HTTP
#include "proxies/http/http_client_socket.h"
#include "proxies/http/http_client_thread.h"
#endif
#ifdef QLM_HAVE_SOCKS
#include "proxies/socks/client_socket.h"
#include "proxies/socks/client_thread.h"
#endif

namespace qlm::engine {

namespace {

template <typename Socket>
std::unique_ptr<net::CBlockingSocket> Make() {
  return std::make_unique<Socket>();
}

const std::vector<StreamProtocol>& StreamProtocols() {
  static const std::vector<StreamProtocol> table = {
#ifdef QLM_HAVE_HTTP
      {"HTTP", Make<http::CHttpClientSocket>, http::HttpClientThreadProc},
#endif
#ifdef QLM_HAVE_SOCKS
      {"SOCKS", Make<socks::CClientSocket>, socks::ClientThreadProc},
#endif
  };
  return table;
}

const std::vector<DatagramProtocol>& DatagramProtocols() {
  // DNS and DHCP keep their length rules even before their servers exist.
  static const std::vector<DatagramProtocol> table = {
      {"DNS", 14, nullptr},
      {"DHCP", 0, nullptr},
  };
  return table;
}

}  // namespace

const StreamProtocol* FindStreamProtocol(const std::string& name) {
  for (const StreamProtocol& entry : StreamProtocols()) {
    if (name == entry.name) {
      return &entry;
    }
  }
  return nullptr;
}

const DatagramProtocol* FindDatagramProtocol(const std::string& name) {
  for (const DatagramProtocol& entry : DatagramProtocols()) {
    if (name == entry.name) {
      return &entry;
    }
  }
  return nullptr;
}

PortMapServerProc PortMapServer() { return nullptr; }

}  // namespace qlm::engine
