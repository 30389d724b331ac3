// The FTP gateway's text work, without sockets: an ftp URL's path decoded
// for the FTP server, a path split into folder and file, and a Unix-style
// listing line turned into a line of the HTML directory page. Everything
// taken from a server is HTML-escaped, so no name can put markup into the
// browser's page.
#pragma once

#include <cstddef>
#include <string>

namespace qlm::http {

// Drops ";parameters" (each up to the next "/", or to the end) and decodes
// "%XY" escapes (either case). A "%" without two hex digits stays as it is;
// an escape that would give CR, LF or NUL stays undecoded, so no path can
// add a command to the FTP dialogue.
std::string DecodeFtpPath(const std::string& uri_path);

// Folder (up to and including the last "/") and file name (the rest); false
// when the path holds no "/" (then the folder is empty and the file is all).
bool SplitPath(const std::string& path, std::string* directory, std::string* file);

// Each of ";/?:@&=+$," as "%" and two upper-case hex digits; all else as is.
std::string EscapeURL(const std::string& name);
// "<", ">", "&" and '"' as character references.
std::string EscapeHtml(const std::string& text);

// A Unix-style entry ("d...", "-...", "l...") as the server's columns and a
// link to its last word (directories with a trailing "/"); empty when the
// line has no blank. Other lines are for PassListingLine.
std::string FormatListingLine(const std::string& line);
// A line that is not a Unix-style entry, escaped for the page.
std::string PassListingLine(const std::string& line);
bool IsUnixListingLine(const std::string& line);

// Results of IsTextBlock.
inline constexpr int kTextBlock = 0;
inline constexpr int kBinaryBlock = 2;
// Text when every byte is printable ASCII or white space; bytes 0x80 to
// 0xFF count as binary.
int IsTextBlock(const char* bytes, size_t count);

}  // namespace qlm::http
