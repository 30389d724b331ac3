// The settings checks.
#include "manager/settings_checks.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <QString>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "manager/settings_texts.h"

namespace qlm::manager {

namespace {

// At most this many characters of one list item are looked at.
constexpr size_t kAddressItemMax = 15;
constexpr long kDottedPartMax = 255;
constexpr char kPop3PortText[] = "110";

std::string Arg(const char* format, long a, long b) {
  return QString::fromLatin1(format).arg(a).arg(b).toStdString();
}

std::string Format2(const char* format, const std::string& a, const std::string& b) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, a.c_str(), b.c_str());
  return buffer;
}

}  // namespace

CheckResult CheckIntegerField(const std::string& text, long min, long max, long* value) {
  const std::string message = Arg(kIntegerRangeFormat, min, max);
  size_t start = text.find_first_not_of(' ');
  if (start == std::string::npos) {
    return message;
  }
  const std::string trimmed = text.substr(start, text.find_last_not_of(' ') - start + 1);
  char* end = nullptr;
  errno = 0;
  const long number = std::strtol(trimmed.c_str(), &end, 10);
  if (end == trimmed.c_str() || *end != '\0' || errno == ERANGE || number < min || number > max) {
    return message;
  }
  if (value != nullptr) {
    *value = number;
  }
  return std::nullopt;
}

CheckResult CheckTextLength(const std::string& text, size_t max) {
  if (text.size() > max) {
    return QString::fromLatin1(kTextLengthFormat).arg(static_cast<qulonglong>(max)).toStdString();
  }
  return std::nullopt;
}

bool IsDottedAddress(const std::string& whole) {
  const std::string item = whole.substr(0, kAddressItemMax);
  int dots = 0;
  long part = 0;
  size_t part_length = 0;
  for (char c : item) {
    if (c == '.') {
      if (part_length == 0) {
        return false;
      }
      ++dots;
      part = 0;
      part_length = 0;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      part = part * 10 + (c - '0');
      ++part_length;
      if (part > kDottedPartMax) {
        return false;
      }
    } else {
      return false;
    }
  }
  if (dots != 3 || part_length == 0) {
    return false;
  }
  // The broadcast address is how the old parser said "no address".
  return ::inet_addr(item.c_str()) != INADDR_NONE;
}

bool IsValidAddressList(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start < text.size()) {
    const size_t comma = text.find(',', start);
    const size_t end = comma == std::string::npos ? text.size() : comma;
    items.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (items.empty()) {
    return false;
  }
  for (const std::string& item : items) {
    if (!IsDottedAddress(item)) {
      return false;
    }
  }
  return true;
}

CheckResult CheckPasswords(const std::string& password, const std::string& repeat) {
  if (password != repeat) {
    return std::string(kPasswordMismatchText);
  }
  if (password.empty()) {
    return std::string(kPasswordMissingText);
  }
  return std::nullopt;
}

CheckResult CheckDaemonEnable(const engine::ProtocolSettings& daemon) {
  if (daemon.name == "DHCP") {
    const engine::DhcpSettings* dhcp = daemon.Dhcp();
    if (dhcp == nullptr || dhcp->FromAddr.empty() || dhcp->ToAddr.empty() ||
        dhcp->Netmask.empty()) {
      return std::string(kDhcpNotSetUpText);
    }
  } else if (daemon.name == "Email") {
    const engine::EmailSettings* email = daemon.Email();
    if (email == nullptr || email->Pop3S_ip.empty() || email->SmtpS_ip.empty()) {
      return std::string(kEmailNotSetUpText);
    }
  }
  return std::nullopt;
}

CheckResult CheckDaemonListeners(const std::string& name,
                                 const std::vector<std::string>& listeners) {
  if (listeners.empty()) {
    return std::string(kNoListenerText);
  }
  if (name == "Email" && listeners.size() < 2) {
    return std::string(kEmailTwoEntriesText);
  }
  return std::nullopt;
}

CheckResult CheckEmailAdvancedOpen(const std::vector<std::string>& listeners) {
  if (listeners.size() < 2) {
    return std::string(kEmailAdvancedTwoEntriesText);
  }
  return std::nullopt;
}

CheckResult CheckSmtpProxyPort(const std::string& text) {
  if (text.empty() || text == kPop3PortText) {
    return std::string(kSmtpProxyPortText);
  }
  return std::nullopt;
}

CheckResult CheckDhcp(const DhcpFields& f) {
  if (f.from.empty()) {
    return std::string(kDhcpFromInvalidText);
  }
  if (f.to.empty()) {
    return std::string(kDhcpToInvalidText);
  }
  if (f.netmask.empty()) {
    return std::string(kDhcpMaskInvalidText);
  }
  if (!f.gateway.empty() && !IsValidAddressList(f.gateway)) {
    return std::string(kDhcpGatewayInvalidText);
  }
  if (!f.dns.empty() && !IsValidAddressList(f.dns)) {
    return std::string(kDhcpDnsInvalidText);
  }
  return std::nullopt;
}

CheckResult CheckPortMap(const engine::PortMapSettings& map) {
  if (map.remote_server.empty()) {
    return std::string(kNoDestinationText);
  }
  if (map.name.empty()) {
    return std::string(kNoMappingNameText);
  }
  if (map.remote_port == 0) {
    return std::string(kNoDestinationPortText);
  }
  if (map.listeners.empty()) {
    return std::string(kNoMappingListenerText);
  }
  if (map.name.find(':') != std::string::npos) {
    return std::string(kMappingNameColonText);
  }
  return std::nullopt;
}

CheckResult CheckDaemonListenerConflicts(const std::vector<engine::ProtocolSettings>& daemons,
                                         size_t daemon_index,
                                         const std::vector<std::string>& listeners) {
  for (size_t i = 0; i < daemons.size(); ++i) {
    if (i == daemon_index) {
      continue;
    }
    for (const std::string& listener : listeners) {
      for (const std::string& other : daemons[i].listeners) {
        if (QString::fromStdString(listener).compare(QString::fromStdString(other),
                                                     Qt::CaseInsensitive) == 0) {
          return Format2(kListenerTakenFormat, listener, daemons[i].name);
        }
      }
    }
  }
  return std::nullopt;
}

CheckResult CheckPortMapConflicts(const std::vector<engine::PortMapSettings>& maps,
                                  size_t map_index, const engine::PortMapSettings& map) {
  for (size_t i = 0; i < maps.size(); ++i) {
    if (i == map_index) {
      continue;
    }
    // The store compares names without regard to case.
    if (QString::fromStdString(maps[i].name).compare(QString::fromStdString(map.name),
                                                     Qt::CaseInsensitive) == 0) {
      return std::string(kMappingNameTakenText);
    }
    if (maps[i].protocol != map.protocol) {
      continue;
    }
    for (const std::string& listener : map.listeners) {
      for (const std::string& other : maps[i].listeners) {
        if (listener == other) {
          return Format2(kMappingListenerTakenFormat, listener, maps[i].name);
        }
      }
    }
  }
  return std::nullopt;
}

std::string ListenerText(const std::string& ip, long port) {
  return ip + ":" + std::to_string(port);
}

long ListenerPort(const std::string& listener, long fallback) {
  const size_t colon = listener.rfind(':');
  if (colon == std::string::npos) {
    return fallback;
  }
  return std::strtol(listener.c_str() + colon + 1, nullptr, 10);
}

bool ResolvesHostName(const std::string& name) {
  in_addr address{};
  if (::inet_aton(name.c_str(), &address) != 0) {
    return true;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* result = nullptr;
  const int status = ::getaddrinfo(name.c_str(), nullptr, &hints, &result);
  if (result != nullptr) {
    ::freeaddrinfo(result);
  }
  return status == 0;
}

}  // namespace qlm::manager
