// Path decoding, folder split, escaping and listing lines of the FTP gateway.
#include "proxies/http/ftp_gateway_text.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace qlm::http {
namespace {

constexpr const char* kReservedInUrl = ";/?:@&=+$,";

int HexValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  return -1;
}

std::string DropParameters(const std::string& path) {
  std::string kept;
  size_t i = 0;
  while (i < path.size()) {
    if (path[i] == ';') {
      const size_t slash = path.find('/', i);
      if (slash == std::string::npos) {
        break;
      }
      i = slash;
      continue;
    }
    kept.push_back(path[i++]);
  }
  return kept;
}

}  // namespace

std::string DecodeFtpPath(const std::string& uri_path) {
  const std::string path = DropParameters(uri_path);
  std::string decoded;
  for (size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '%' && i + 2 < path.size() && HexValue(path[i + 1]) >= 0 &&
        HexValue(path[i + 2]) >= 0) {
      const char byte = static_cast<char>(HexValue(path[i + 1]) * 16 + HexValue(path[i + 2]));
      if (byte != '\r' && byte != '\n' && byte != '\0') {
        decoded.push_back(byte);
        i += 2;
        continue;
      }
    }
    decoded.push_back(path[i]);
  }
  return decoded;
}

bool SplitPath(const std::string& path, std::string* directory, std::string* file) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    directory->clear();
    *file = path;
    return false;
  }
  *directory = path.substr(0, slash + 1);
  *file = path.substr(slash + 1);
  return true;
}

std::string EscapeURL(const std::string& name) {
  std::string escaped;
  for (const char c : name) {
    if (c != '\0' && std::strchr(kReservedInUrl, c) != nullptr) {
      char code[4];
      std::snprintf(code, sizeof(code), "%%%.2X", static_cast<unsigned char>(c));
      escaped.append(code);
    } else {
      escaped.push_back(c);
    }
  }
  return escaped;
}

std::string EscapeHtml(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '<':
        escaped.append("&lt;");
        break;
      case '>':
        escaped.append("&gt;");
        break;
      case '&':
        escaped.append("&amp;");
        break;
      case '"':
        escaped.append("&quot;");
        break;
      default:
        escaped.push_back(c);
    }
  }
  return escaped;
}

bool IsUnixListingLine(const std::string& line) {
  return !line.empty() && (line[0] == 'd' || line[0] == '-' || line[0] == 'l');
}

std::string FormatListingLine(const std::string& line) {
  const size_t blank = line.rfind(' ');
  if (blank == std::string::npos) {
    return std::string();
  }
  std::string name = line.substr(blank + 1);
  name = name.substr(0, name.find_first_of("\r\n"));
  const char* folder_mark = line[0] == 'd' ? "/" : "";
  std::string html = EscapeHtml(line.substr(0, blank));
  html.append(" <A HREF=\"").append(EscapeHtml(EscapeURL(name))).append(folder_mark);
  html.append("\">").append(EscapeHtml(name)).append(folder_mark).append("</A>\n");
  return html;
}

std::string PassListingLine(const std::string& line) { return EscapeHtml(line); }

int IsTextBlock(const char* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte >= 0x80 || !(std::isprint(byte) || std::isspace(byte))) {
      return kBinaryBlock;
    }
  }
  return kTextBlock;
}

}  // namespace qlm::http
