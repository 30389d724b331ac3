// How a listener text ("ip:port", or a bare "ip") becomes the address and port
// a listener binds, and the list of "%s:%s:%d" keys that keeps one address,
// name and port from being opened twice. Pure: no sockets.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qlm::engine {

// A listener text longer than this is cut before it is read.
inline constexpr size_t kListenerTextLimit = 31;

struct ListenerAddress {
  std::string ip;
  int port = 0;
};

// Daemons: the text is cut to 31 characters and split at the first ":"; the
// port is the decimal number after it (as atoi reads it), or `default_port`
// when there is no ":".
ListenerAddress SplitDaemonListener(const std::string& text, int default_port);
// Port mappings: as above, but a text without ":" is not a listener (nullopt).
std::optional<ListenerAddress> SplitPortMapListener(const std::string& text);

// With "UseDefaultIP" set, every listener binds the service address: DefaultIP,
// or the host address when DefaultIP is empty (cut to 31 characters).
std::string EffectiveListenIp(const std::string& listed_ip, bool use_default_ip,
                              const std::string& default_ip, const std::string& host_address);

// "%s:%s:%d": listen IP, daemon or mapping name, port.
std::string ListenerKey(const std::string& ip, const std::string& name, int port);

class CListenerKeyList {
 public:
  bool Contains(const std::string& key) const;
  void Add(const std::string& key);
  const std::vector<std::string>& Keys() const { return keys_; }

 private:
  std::vector<std::string> keys_;
};

}  // namespace qlm::engine
