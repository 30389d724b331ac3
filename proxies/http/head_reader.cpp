// The head-reading loop: growth of the head block and the empty-line rules.
#include "proxies/http/head_reader.h"

namespace qlm::http {

bool IsEmptyLine(const std::string& line) { return line == "\n" || line == "\r\n"; }

int ReadHead(std::string* block, size_t* used, size_t capacity, const LineSource& source,
             bool resume) {
  if (!resume) {
    block->clear();
  }
  *used = block->size();
  while (capacity <= *used) {
    capacity += kHeadBlockStep;
  }
  std::string line;
  for (;;) {
    const int result = source(capacity - *used, &line);
    if (result == LineTooLong) {
      if (capacity + kHeadBlockStep > kHeadBlockLimit) {
        return LineTooLong;
      }
      capacity += kHeadBlockStep;
      continue;
    }
    if (result != LineRead) {
      return result;
    }
    if (!IsEmptyLine(line)) {
      block->append(line);
      *used += line.size();
      continue;
    }
    if (*used == 0) {
      continue;  // empty lines before the start line are skipped
    }
    block->append(line);
    *used += line.size();
    return LineRead;
  }
}

}  // namespace qlm::http
