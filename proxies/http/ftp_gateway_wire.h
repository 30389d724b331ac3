// The FTP gateway's texts: the replies a browser gets for an ftp URL (a
// directory page, a file's head, the log-on failure page), the activity
// label and the failure text. Socket-free.
#pragma once

#include <string_view>

namespace qlm::http {

inline constexpr const char* kLabelCernFtp = "CERN-FTP";
inline constexpr const char* kFormatFtpLogonFailed =
    "HttpClientThreadProc:Logon to remote FTP server <%s> failed";

inline constexpr std::string_view kFtpDirectoryHead =
    "HTTP/1.0 200 Connection established\r\n"
    "Proxy-agent: Quillmar Proxy Server\r\n"
    "Proxy-Connection: close\r\n"
    "Connection: close\r\n"
    "Content-Type: text/html\r\n"
    "Content-Encoding: 8bit\r\n"
    "\r\n"
    "<html><head><title>Directory</title></head><body><pre>"
    "<a href=\"../\">Up to Parent Directory</a>\n\n";
inline constexpr std::string_view kFtpDirectoryEnd = "</pre></body></html>";

inline constexpr std::string_view kFtpTextHead =
    "HTTP/1.0 200 Connection established\r\n"
    "Proxy-agent: Quillmar Proxy Server\r\n"
    "Proxy-Connection: close\r\n"
    "Connection: close\r\n"
    "Content-Type: text/plain\r\n"
    "Content-Encoding: 7bit\r\n"
    "\r\n";
inline constexpr std::string_view kFtpBinaryHead =
    "HTTP/1.0 200 Connection established\r\n"
    "Proxy-agent: Quillmar Proxy Server\r\n"
    "Proxy-Connection: close\r\n"
    "Connection: close\r\n"
    "Content-Type: application/octet-stream\r\n"
    "Content-Encoding: binary\r\n"
    "\r\n";
// A file of no bytes: the binary head saying so, so the browser is not
// left with a closed connection and no answer.
inline constexpr std::string_view kFtpEmptyFileHead =
    "HTTP/1.0 200 Connection established\r\n"
    "Proxy-agent: Quillmar Proxy Server\r\n"
    "Proxy-Connection: close\r\n"
    "Connection: close\r\n"
    "Content-Type: application/octet-stream\r\n"
    "Content-Encoding: binary\r\n"
    "Content-Length: 0\r\n"
    "\r\n";

inline constexpr std::string_view kFtpLogonFailedBodyStart =
    "<html><head><title>Request Error</title></head><body>400 Server receives a bad URI "
    "request or anonymous logon fails.<br>";
inline constexpr std::string_view kFtpLogonFailedBodyEnd = "</body></html>";

// Blocks of a file relayed, and a listing line kept before it is passed on
// without its LF.
inline constexpr size_t kFtpFileBlock = 1024;
inline constexpr size_t kFtpListingLineLimit = 4096;

}  // namespace qlm::http
