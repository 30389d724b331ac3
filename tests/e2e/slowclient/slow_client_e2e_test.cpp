// Clients that send their request head, SOCKS handshake, FTP command line,
// POP3 USER line or RealAudio dialog one byte at a time, each byte well inside the wait for
// the next: every one is cut off one wait after its first byte, not kept for
// as long as it keeps trickling. The engine allows a single connection, so
// a well-formed client served right after shows that the slot came back.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "tests/e2e/support/engine_under_test.h"
#include "tests/support/loopback.h"
#include "tests/support/scoped_fd.h"
#include "tests/support/wait_until.h"

namespace qlm::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The wait injected for a whole head, handshake or line.
constexpr milliseconds kBudget{1500};
// The gap between two trickled bytes: well inside the wait for each byte.
constexpr milliseconds kGap{200};
// Enough bytes to keep trickling for eight budgets.
constexpr int kBytes = 8 * kBudget.count() / kGap.count();

// Reads one reply chunk (at most 10 s); empty at close or on silence.
std::string ReadSome(int fd) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, 10000) != 1) {
    return {};
  }
  char buffer[512];
  const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
  return got > 0 ? std::string(buffer, static_cast<size_t>(got)) : std::string();
}

// Sends `lead` at once, then `byte` every kGap until the engine closes the
// connection (or kBytes are sent). The time from the first byte to the close,
// nullopt when the connection outlived the whole trickle.
std::optional<milliseconds> Trickle(int fd, const std::string& lead, char byte) {
  const Clock::time_point first = Clock::now();
  if (!lead.empty() && !WriteAll(fd, lead)) {
    return milliseconds{0};
  }
  for (int sent = lead.empty() ? 0 : 1; sent < kBytes; ++sent) {
    if (sent > 0) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(kGap.count())) == 1) {
        char scrap[256];
        const ssize_t got = recv(fd, scrap, sizeof scrap, MSG_DONTWAIT);
        if (got <= 0) {
          return std::chrono::duration_cast<milliseconds>(Clock::now() - first);
        }
        continue;  // an echo or reply: keep trickling
      }
    }
    if (send(fd, &byte, 1, MSG_NOSIGNAL) != 1) {
      return std::chrono::duration_cast<milliseconds>(Clock::now() - first);
    }
  }
  return std::nullopt;
}

// The engine on its own address, one connection at most, with the injected
// waits.
void Prepare(EngineUnderTest& engine) {
  engine.SetActivity(false, 1);
  engine.SetEnvironment("QUILLMAR_TIMEOUTS",
                        "socks.handshake=1500,http.client_request=1500,ftp.byte=1500,"
                        "ftp.line=1500,email.receive=1500,email.line=1500,"
                        "realaudio.handshake=1500");
}

// A client of the one-connection engine once the slot is back. The worker
// of a cut connection lets go of its slot a moment after its client saw the
// close, so a client arriving in that moment is refused (closed, or the 503
// reply for HTTP): connect again, within a bounded wait, until one is served.
// The served connection and its first reply; an invalid one if none was.
CScopedFd Served(const std::string& ip, uint16_t port, const std::string& request,
                 const std::function<bool(const std::string&)>& served, std::string* reply) {
  CScopedFd client;
  WaitUntil([&] {
    client = CScopedFd(ConnectTcp(ip, port));
    if (client.Get() < 0 || (!request.empty() && !WriteAll(client.Get(), request))) {
      return false;
    }
    *reply = ReadSome(client.Get());
    if (served(*reply)) {
      return true;
    }
    client.Reset();
    return false;
  });
  return client;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

void ExpectCutAfterBudget(const std::optional<milliseconds>& held) {
  ASSERT_TRUE(held.has_value()) << "the trickling client kept its connection";
  // Never before the first wait is over, and long before the trickle ends
  // (room left for a loaded machine).
  EXPECT_GE(*held, kBudget - milliseconds{100});
  EXPECT_LT(*held, kBudget * 6);
}

TEST(SlowClientE2eTest, HttpRequestHeadIsDueOneWaitAfterItsFirstByte) {
  EngineUnderTest engine("127.0.0.241");
  const uint16_t port = engine.AddDaemon("HTTP");
  Prepare(engine);
  ASSERT_TRUE(engine.Start());
  {
    CScopedFd slow(ConnectTcp(engine.Ip(), port));
    ASSERT_GE(slow.Get(), 0);
    ExpectCutAfterBudget(Trickle(slow.Get(), "GET http://127.0.0.1/ HTTP/1.0\r\nX-Slow: ", 'a'));
  }
  // The slot is free again: a whole request gets an answer of its own,
  // not the refusal of a full engine.
  std::string reply;
  CScopedFd next = Served(engine.Ip(), port, "GET / HTTP/1.0\r\n\r\n", [](const std::string& r) {
    return StartsWith(r, "HTTP/1.") && r.find("Limited by maximum connections") == std::string::npos;
  }, &reply);
  EXPECT_GE(next.Get(), 0) << reply;
}

TEST(SlowClientE2eTest, SocksHandshakeIsDueOneWaitAfterItsFirstByte) {
  EngineUnderTest engine("127.0.0.242");
  const uint16_t port = engine.AddDaemon("SOCKS");
  Prepare(engine);
  ASSERT_TRUE(engine.Start());
  {
    // SOCKS 4 CONNECT whose user id never ends.
    CScopedFd slow(ConnectTcp(engine.Ip(), port));
    ASSERT_GE(slow.Get(), 0);
    ExpectCutAfterBudget(
        Trickle(slow.Get(), std::string("\x04\x01\x00\x50\x7f\x00\x00\x01", 8), 'u'));
  }
  {
    // SOCKS 5: methods offered at once, then a domain name byte by byte.
    std::string reply;
    CScopedFd slow = Served(engine.Ip(), port, std::string("\x05\x01\x00", 3),
                            [](const std::string& r) { return r == std::string("\x05\x00", 2); },
                            &reply);
    ASSERT_GE(slow.Get(), 0) << reply;
    ExpectCutAfterBudget(
        Trickle(slow.Get(), std::string("\x05\x01\x00\x03\xff", 5), 'n'));
  }
  std::string reply;
  CScopedFd next = Served(engine.Ip(), port, std::string("\x05\x01\x00", 3),
                          [](const std::string& r) { return r == std::string("\x05\x00", 2); },
                          &reply);
  EXPECT_GE(next.Get(), 0) << reply;
}

// A daemon that greets first: after its `greeting`, `lead` and then one
// byte at a time is cut off; a client greeted afterwards shows the slot free.
void ExpectTrickledLineCut(EngineUnderTest& engine, uint16_t port, const std::string& greeting,
                           const std::string& lead) {
  Prepare(engine);
  ASSERT_TRUE(engine.Start());
  {
    CScopedFd slow(ConnectTcp(engine.Ip(), port));
    ASSERT_GE(slow.Get(), 0);
    EXPECT_EQ(ReadSome(slow.Get()).rfind(greeting, 0), 0u);
    ExpectCutAfterBudget(Trickle(slow.Get(), lead, 'h'));
  }
  std::string reply;
  CScopedFd next = Served(engine.Ip(), port, "",
                          [&](const std::string& r) { return StartsWith(r, greeting); }, &reply);
  EXPECT_GE(next.Get(), 0) << reply;
}

TEST(SlowClientE2eTest, FtpCommandLineIsDueOneWaitAfterItsFirstByte) {
  EngineUnderTest engine("127.0.0.243");
  const uint16_t port = engine.AddDaemon("FTP");
  ExpectTrickledLineCut(engine, port, "220", "USER anonymous@");
}

TEST(SlowClientE2eTest, Pop3UserLineIsDueOneWaitAfterItsFirstByte) {
  EngineUnderTest engine("127.0.0.244");
  const uint16_t port = engine.AddDaemon("Email", true, false, "\"Pop3Delimiter\"=\"#\"");
  ExpectTrickledLineCut(engine, port, "+OK", "USER alice#");
}

TEST(SlowClientE2eTest, RealAudioDialogIsDueOneWaitAfterItsFirstBytes) {
  EngineUnderTest engine("127.0.0.248");
  const uint16_t port = engine.AddDaemon("RealAudio");
  Prepare(engine);
  ASSERT_TRUE(engine.Start());
  const std::string version("\x00\x02\x01\x01", 4);
  {
    // The version frame at once, then a host frame of 255 bytes whose
    // name arrives a byte at a time.
    CScopedFd slow(ConnectTcp(engine.Ip(), port));
    ASSERT_GE(slow.Get(), 0);
    EXPECT_EQ(ReadSome(slow.Get()), version);
    ExpectCutAfterBudget(Trickle(slow.Get(), version + std::string("\x01\x00\x02", 3), 'h'));
  }
  // A whole dialog naming a closed port of the engine's own address: served,
  // it ends in "No Connect"; refused, in "Limited by maximum connections".
  const std::string host = "127.0.0.248";
  const std::string dialog = version + std::string("\x00", 1) +
                             static_cast<char>(host.size() + 1) + '\x02' + host +
                             std::string("\x00\x03\x03\x00\x01\x00\x01\x00", 8);
  std::string reply;
  EXPECT_TRUE(WaitUntil([&] {
    CScopedFd client(ConnectTcp(engine.Ip(), port));
    reply.clear();
    if (client.Get() < 0 || !WriteAll(client.Get(), dialog)) {
      return false;
    }
    for (std::string chunk = ReadSome(client.Get()); !chunk.empty();
         chunk = ReadSome(client.Get())) {
      reply += chunk;
    }
    return reply.find("No Connect") != std::string::npos;
  })) << reply;
}

}  // namespace
}  // namespace qlm::test
