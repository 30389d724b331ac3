// The options pipe.
#include "dialup/pppd_options_pipe.h"

#include <fcntl.h>
#include <unistd.h>

namespace qlm::dialup {

int OpenOptionsPipe(const std::string& text) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    return -1;
  }
  int reading = fds[0];
  if (reading == kPppdOptionsFd) {
    // A spawn's move of the descriptor onto itself would keep close-on-exec.
    reading = ::fcntl(fds[0], F_DUPFD_CLOEXEC, kPppdOptionsFd + 1);
    ::close(fds[0]);
  }
  // Nobody reads before pppd starts: a text beyond the pipe's buffer must
  // fail here instead of blocking the dial for ever.
  ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
  size_t done = 0;
  while (reading >= 0 && done < text.size()) {
    const ssize_t n = ::write(fds[1], text.data() + done, text.size() - done);
    if (n <= 0) {
      break;
    }
    done += static_cast<size_t>(n);
  }
  ::close(fds[1]);
  if (reading >= 0 && done < text.size()) {
    ::close(reading);
    return -1;
  }
  return reading;
}

}  // namespace qlm::dialup
