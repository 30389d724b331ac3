// The extra values of an "Email" daemon entry.
#pragma once

#include <cstdint>
#include <string>

namespace qlm::engine {

struct EmailSettings {
  std::string pop3s_ip;               // "Pop3S_ip"
  std::string smtps_ip;               // "SmtpS_ip"
  uint32_t pop3_port = 110;           // "Pop3Port"
  uint32_t smtp_port = 25;            // "SmtpPort"
  uint32_t smtp_proxy_port = 25;      // "SmtpProxyPort"
  char pop3_delimiter = '#';          // "Pop3Delimiter", first character

  bool operator==(const EmailSettings&) const = default;
};

}  // namespace qlm::engine
