// Command lines, replies and Telnet answers on the client's connection.
#include "proxies/ftp_mail/ftp_cmd_socket.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <optional>

namespace qlm::ftp {
namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

bool CFtpCmdSocket::ReceiveByte(uint8_t* byte, net::Timeout timeout) {
  char c = 0;
  try {
    if (Receive(&c, 1, timeout) != 1) {
      return false;
    }
  } catch (const net::CBlockingSocketException&) {
    return false;  // a wait that ended without a byte
  }
  *byte = static_cast<uint8_t>(c);
  return true;
}

void CFtpCmdSocket::SendOutput(CCommandLineReader& reader) {
  const std::string out = reader.TakeOutput();
  if (!out.empty()) {
    SendAll(out.data(), static_cast<int>(out.size()), timeouts_.send);
  }
}

int CFtpCmdSocket::ReadCommandLine(std::string* line, size_t size) {
  CCommandLineReader reader(size, &flags_);
  std::optional<Clock::time_point> deadline;
  for (;;) {
    net::Timeout wait = timeouts_.byte;
    if (deadline) {
      wait = std::min(wait, std::max(net::Timeout{0}, std::chrono::duration_cast<net::Timeout>(
                                                          *deadline - Clock::now())));
    }
    uint8_t byte = 0;
    if (!ReceiveByte(&byte, wait)) {
      if (reader.InTelnetCommand()) {
        throw net::CBlockingSocketException(kTextTelnetClosed, 0, net::kOtherExactFailed);
      }
      line->clear();
      return 0;
    }
    if (!deadline) {
      deadline = Clock::now() + timeouts_.line;
    }
    size_t used = 0;
    const ParseStatus status = reader.Feed(&byte, 1, &used);
    SendOutput(reader);
    if (status == ParseStatus::kDone) {
      *line = reader.Line();
      return static_cast<int>(line->size());
    }
  }
}

void CFtpCmdSocket::AnswerTelnetOption() {
  CCommandLineReader reader(kTelnetCommandSize, &flags_);
  const uint8_t iac = kIac;
  size_t used = 0;
  reader.Feed(&iac, 1, &used);
  while (reader.InTelnetCommand()) {
    uint8_t byte = 0;
    if (!ReceiveByte(&byte, timeouts_.byte)) {
      throw net::CBlockingSocketException(kTextTelnetClosed, 0, net::kOtherExactFailed);
    }
    reader.Feed(&byte, 1, &used);
  }
  SendOutput(reader);
}

void CFtpCmdSocket::SendReply(int id, ...) {
  const char* format = ReplyText(id);
  if (format == nullptr) {
    return;
  }
  char text[kReplyTextSize];
  va_list args;
  va_start(args, id);
  // Room is kept for the line end, so a long argument never costs it.
  const int wanted = std::vsnprintf(text, sizeof(text) - 2, format, args);
  va_end(args);
  size_t length = wanted < 0 ? 0 : std::min(static_cast<size_t>(wanted), sizeof(text) - 3);
  text[length++] = '\r';
  text[length++] = '\n';
  SendAll(text, static_cast<int>(length), timeouts_.send);
}

void CFtpCmdSocket::SendTelnetCommand(uint8_t command, uint8_t option) {
  const char bytes[3] = {static_cast<char>(kIac), static_cast<char>(command),
                         static_cast<char>(option)};
  SendAll(bytes, 3, timeouts_.send);
}

}  // namespace qlm::ftp
