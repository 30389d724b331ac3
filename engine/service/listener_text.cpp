// Listener texts and keys.
#include "engine/service/listener_text.h"

#include <algorithm>
#include <cstdlib>

namespace qlm::engine {

namespace {

std::optional<ListenerAddress> Split(const std::string& text, std::optional<int> default_port) {
  const std::string cut = text.substr(0, kListenerTextLimit);
  const size_t colon = cut.find(':');
  if (colon == std::string::npos) {
    if (!default_port) {
      return std::nullopt;
    }
    return ListenerAddress{cut, *default_port};
  }
  return ListenerAddress{cut.substr(0, colon), std::atoi(cut.c_str() + colon + 1)};
}

}  // namespace

ListenerAddress SplitDaemonListener(const std::string& text, int default_port) {
  return *Split(text, default_port);
}

std::optional<ListenerAddress> SplitPortMapListener(const std::string& text) {
  return Split(text, std::nullopt);
}

std::string EffectiveListenIp(const std::string& listed_ip, bool use_default_ip,
                              const std::string& default_ip, const std::string& host_address) {
  if (!use_default_ip) {
    return listed_ip;
  }
  return (default_ip.empty() ? host_address : default_ip).substr(0, kListenerTextLimit);
}

std::string ListenerKey(const std::string& ip, const std::string& name, int port) {
  return ip + ":" + name + ":" + std::to_string(port);
}

bool CListenerKeyList::Contains(const std::string& key) const {
  return std::find(keys_.begin(), keys_.end(), key) != keys_.end();
}

void CListenerKeyList::Add(const std::string& key) { keys_.push_back(key); }

}  // namespace qlm::engine
