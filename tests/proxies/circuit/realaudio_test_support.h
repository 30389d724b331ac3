// A scripted RealAudio player and media server, written from the dialog and
// stream-opening layouts, for the unit and end-to-end tests; and the loopback
// harness of the unit tests, which serves each connection with
// RealAudioThreadProc and short time-outs. Every wait is bounded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "proxies/circuit/realaudio_config.h"
#include "tests/support/log_capture.h"
#include "tests/support/protocol_harness.h"
#include "tests/support/temp_dir.h"

namespace qlm::circuit::test {

// One dialog frame: L, opcode, value.
std::string Frame(uint8_t opcode, const std::string& value);
std::string Net16(uint16_t value);
// Version 1, host, port, opcode 4, TCP only (when asked), end.
std::string Dialog(const std::string& host, uint16_t port, bool tcp_only);
// The status frame a player expects: L, 6, code, text.
std::string Status(uint8_t code, const std::string& text);
// "PNA", version 00 0A, a tag 3 of 4 bytes, the data port (tag 1), the resend
// port (tag 7, when not 0), end.
std::string PlayerOpening(uint16_t data_port, uint16_t resend_port);
// The part of the opening the proxy forwards unchanged before the ports.
std::string OpeningHead();
// "PNA", 6 bytes, 'O', 00 00 07, the resend port.
std::string ServerAnswer(uint16_t resend_port);
inline constexpr size_t kAnswerHeadSize = 3 + 6 + 1 + 3;

// A TCP socket bound to local_ip and connected to ip:port; -1 on failure.
int ConnectFrom(const std::string& local_ip, const std::string& ip, uint16_t port);
// Accepts one connection within 5 s; -1 when none came.
int AcceptWithin(int listen_fd, int timeout_ms = 5000);
// Exactly n bytes, or fewer when the peer closed or the time passed.
std::string ReadExactly(int fd, size_t n, int timeout_ms = 5000);
bool SendText(int fd, const std::string& text);
// True when the peer closes (after pending bytes are read) within the time.
bool ClosedByPeer(int fd, int timeout_ms = 5000);
// A UDP datagram to ip:port from the socket `fd`.
bool SendDatagramTo(int fd, const std::string& payload, const std::string& ip, uint16_t port);
// The host-order port in a 2-byte network-order text.
uint16_t PortIn(const std::string& two_bytes);

RealAudioTimeouts ShortTimeouts();

class CRealAudioHarness {
 public:
  CRealAudioHarness();
  ~CRealAudioHarness();

  // A player connection whose proxy side runs RealAudioThreadProc.
  int Connect(const RealAudioTimeouts& timeouts = ShortTimeouts());
  bool AllEnded() const { return harness_->AllEnded(); }
  qlm::test::CLogCapture& Log() { return log_; }

 private:
  qlm::test::CTempDir dir_;
  qlm::test::CLogCapture log_;
  std::optional<qlm::test::CProtocolHarness> harness_;
};

}  // namespace qlm::circuit::test
