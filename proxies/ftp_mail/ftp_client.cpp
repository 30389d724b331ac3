// The server connection: connect, replies, commands, log-on, CWD and QUIT.
// The data connection set-up is in ftp_data_connection.cpp.
#include "proxies/ftp_mail/ftp_client.h"

#include <arpa/inet.h>

#include <algorithm>
#include <chrono>

#include "net/winsock_errors.h"
#include "proxies/ftp_mail/ftp_reply_reader.h"

namespace qlm::ftp {
namespace {

using Clock = std::chrono::steady_clock;

net::LineLimits ReceiveLimits() {
  net::LineLimits limits;
  limits.start = kReceiveStart;
  limits.step = kReceiveStep;
  limits.limit = kReceiveLimit;
  return limits;
}

std::string OrDefault(std::string value, const char* fallback) {
  return value.empty() ? std::string(fallback) : value;
}

// What is left of a deadline, never below 0.
net::Timeout Left(Clock::time_point deadline) {
  return std::max(net::Timeout{0},
                  std::chrono::duration_cast<net::Timeout>(deadline - Clock::now()));
}

}  // namespace

FTPclient::FTPclient(const FtpClientTimeouts& timeouts)
    : FTPclient(std::string(), std::string(), timeouts) {}

FTPclient::FTPclient(std::string user, std::string password, const FtpClientTimeouts& timeouts)
    : receive_(ReceiveLimits()),
      password_(OrDefault(std::move(password), kDefaultPassword)),
      user_(OrDefault(std::move(user), kDefaultUser)),
      timeouts_(timeouts) {}

void FTPclient::FtpConnect(const std::string& host, uint16_t port) {
  sockaddr_in address{AF_INET, 0, {0}, {0}};
  if (!ResolveAddress(host.c_str(), &address)) {
    throw net::CBlockingSocketException(kTextNotResolved);
  }
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  server_address_ = address;
  receive_.Clear();
  try {
    ConnectOutward(address, timeouts_.connect, timeouts_.linger);
    GetSockName(&local_address_);
  } catch (const net::CBlockingSocketException&) {
    Close();
    throw;
  }
}

FTPclient::Fill FTPclient::ReceiveMore(net::Timeout timeout) {
  size_t room = 0;
  char* space = receive_.ReceiveSpace(&room);
  if (space == nullptr) {
    return Fill::kFull;
  }
  int error = 0;
  switch (WaitSelf(POLLIN, timeout, &error)) {
    case net::CWaitSet::Result::kTimedOut:
      return Fill::kNothing;
    case net::CWaitSet::Result::kError:
    case net::CWaitSet::Result::kShutdown:
      Close();
      return Fill::kClosed;
    case net::CWaitSet::Result::kReady:
      break;
  }
  const int got = ReceiveNow(space, static_cast<int>(room), &error);
  if (got > 0) {
    receive_.Commit(static_cast<size_t>(got));
    return Fill::kReceived;
  }
  if (got == 0 || error == net::WSAECONNRESET || error == net::WSAENETRESET) {
    Close();
    return Fill::kClosed;
  }
  return error == net::WSAEWOULDBLOCK ? Fill::kReceived : Fill::kNothing;
}

bool FTPclient::ReadReplyLine(std::string* line, size_t size, net::Timeout timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    switch (receive_.TakeLine(size, line)) {
      case net::CLineBuffer::Scan::kLine:
        return true;
      case net::CLineBuffer::Scan::kTooLong:
      case net::CLineBuffer::Scan::kUnsafe:
        return false;
      case net::CLineBuffer::Scan::kNeedMore:
        break;
    }
    if (!IsOpen() || ReceiveMore(Left(deadline)) != Fill::kReceived) {
      return false;
    }
  }
}

bool FTPclient::GetReply() {
  const Clock::time_point deadline = Clock::now() + timeouts_.reply;
  CFtpReplyReader reader;
  for (;;) {
    if (receive_.Count() > 0) {
      size_t used = 0;
      const ParseStatus status = reader.Feed(receive_.Data(), receive_.Count(), &used);
      receive_.Consume(used);
      if (status != ParseStatus::kNeedMore) {
        reply_ = reader.LastLine();
        reply_class_ = reader.ReplyClass();
        return status == ParseStatus::kDone;
      }
    }
    if (!IsOpen() || ReceiveMore(Left(deadline)) != Fill::kReceived) {
      return false;
    }
  }
}

bool FTPclient::SendCommand(const std::string& command) {
  if (!command.empty()) {
    const std::string line = command + kLineEnd;
    try {
      SendAll(line.data(), static_cast<int>(line.size()), timeouts_.send);
    } catch (const net::CBlockingSocketException&) {
      return false;
    }
  }
  return GetReply() && reply_class_ == kClassCompletion;
}

bool FTPclient::FtpLogin(const std::string& host, uint16_t port) {
  reply_.clear();
  try {
    FtpConnect(host, port);
  } catch (const net::CBlockingSocketException&) {
    return false;
  }
  if (!GetReply() || reply_class_ != kClassCompletion) {
    Close();
    return false;
  }
  // USER: 2 logged on, 3 wants PASS; PASS: 2 logged on. Anything else fails.
  const std::string commands[] = {kCommandUser + user_, kCommandPass + password_};
  for (const std::string& command : commands) {
    const std::string line = command + kLineEnd;
    try {
      SendAll(line.data(), static_cast<int>(line.size()), timeouts_.send);
    } catch (const net::CBlockingSocketException&) {
      return false;
    }
    if (!GetReply()) {
      return false;
    }
    if (reply_class_ == kClassCompletion) {
      return true;
    }
    if (reply_class_ != kClassIntermediate) {
      return false;
    }
  }
  return false;  // PASS answered "more needed": an account is not offered
}

bool FTPclient::CwdPath(const std::string& path) {
  const std::string relative = !path.empty() && path[0] == '/' ? path.substr(1) : path;
  if (SendCommand(kCommandCwd + relative)) {
    return true;
  }
  bool result = true;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find('/', start);
    if (end == std::string::npos) {
      end = relative.size();
    }
    if (end > start) {
      result = SendCommand(kCommandCwd + relative.substr(start, end - start));
    }
    start = end + 1;
  }
  return result;
}

void FTPclient::Quit() {
  try {
    SendAll(kCommandQuit, static_cast<int>(std::char_traits<char>::length(kCommandQuit)),
            timeouts_.send);
  } catch (const net::CBlockingSocketException&) {
    // the server is gone already; nothing to tell it
  }
  ShutdownReceive();
  ShutdownSend();
}

std::string FTPclient::TakeBuffered() {
  std::string rest(receive_.Data(), receive_.Count());
  receive_.Clear();
  return rest;
}

}  // namespace qlm::ftp
