// The pieces of a client's or server's line the FTP side reads: the six
// numbers of a PORT argument or a PASV reply ("h1,h2,h3,h4,p1,p2", RFC 959
// section 4.1.2), the "user@host" of the proxy's USER command, and how
// commands are recognised. Pure text functions.
#pragma once

#include <netinet/in.h>

#include <optional>
#include <string>

namespace qlm::ftp {

// The address and port (host order) of "h1,h2,h3,h4,p1,p2". Each number may
// have blanks and a "+" before it, as C's scanf reads "%d"; text after the
// sixth is ignored. nullopt unless all six are there and each is 0 to 255.
struct HostPort {
  in_addr address{};  // network order
  uint16_t port = 0;  // host order
};
std::optional<HostPort> ParseHostPort(const std::string& text);

// The part of a PASV reply between the first "(" and the first ")" after
// it; nullopt when either is missing.
std::optional<std::string> ParenthesisedPart(const std::string& line);

// "USER alice@ftp.example.org": the user (from the sixth character on,
// leading blanks skipped, up to the first "@") and the host after it.
// nullopt without "@" or with an empty user or host.
struct UserAtHost {
  std::string user;
  std::string host;
};
std::optional<UserAtHost> SplitUserAtHost(const std::string& line);

// Whether `line` starts with the four letters of `command` (any case).
bool CommandStartsWith(const std::string& line, const char* command);
// Whether `line` is `command` as a whole (any case).
bool CommandIs(const std::string& line, const char* command);

// "PORT h1,h2,h3,h4,p1,p2" for an address (network order) and a port (host
// order), without line end.
std::string FormatPortCommand(in_addr address, uint16_t port);

}  // namespace qlm::ftp
