// Reading a whole message head (start line, fields, empty line) line by line
// into one text block, from any source of lines. The socket class passes its
// ReadBufferedLine; tests and the fuzzer pass a buffer fed in pieces.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "proxies/http/http_wire.h"

namespace qlm::http {

// Reads one line of at most out_size-1 bytes into *line; a LineResult.
using LineSource = std::function<int(size_t out_size, std::string* line)>;

// Appends lines to `block` (whose text is replaced from `*used` = 0 on) until
// the empty line. Leading empty lines are skipped. The block starts at
// `capacity` bytes and grows by 512 up to 65,536; a head that does not fit
// with one byte to spare gives LineTooLong. Other line results are returned
// unchanged. On LineRead, block holds the head and *used its length.
// With `resume`, the lines already in the block (a head cut short by a
// time-out) are kept and reading goes on after them.
int ReadHead(std::string* block, size_t* used, size_t capacity, const LineSource& source,
             bool resume = false);

// True for a line that is only LF or CRLF.
bool IsEmptyLine(const std::string& line);

}  // namespace qlm::http
