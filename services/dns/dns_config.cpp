// The DNS relay's configuration snapshot.
#include "services/dns/dns_config.h"

#include <cstdlib>
#include <mutex>
#include <string>

namespace qlm::dns {

namespace {

std::mutex config_mutex;
DnsConfig config_snapshot;  // Guarded by config_mutex

}  // namespace

DnsConfig DnsConfiguration() {
  std::lock_guard lock(config_mutex);
  return config_snapshot;
}

void SetDnsConfiguration(const DnsConfig& config) {
  std::lock_guard lock(config_mutex);
  config_snapshot = config;
}

DnsConfig DnsConfigFrom(const engine::ProtocolSetup& setup) {
  DnsConfig config;
  config.dial_up = setup.general.UseDialUp != 0 && setup.general.DialUpManaged != 0;
  if (const char* wait = std::getenv(kUpstreamWaitVariable); wait != nullptr) {
    char* end = nullptr;
    const long ms = std::strtol(wait, &end, 10);
    if (end != wait && *end == '\0' && ms > 0) {
      config.timeouts.upstream_reply = net::Timeout(ms);
      config.timeouts.learning = net::Timeout(ms);
    }
  }
  return config;
}

}  // namespace qlm::dns
