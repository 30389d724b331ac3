// The dialog over the player's connection. Frames go through the resumable
// parser, read exactly as long as it wants, so a slow or split dialog reads
// the same as one that came whole.
#include "proxies/circuit/realaudio_socket.h"

namespace qlm::circuit {

using net::CBlockingSocketException;

ParseStatus RealAudioSocket::ReadFrame(CRealAudioFrameParser* parser) {
  char buffer[kFrameValueMax];
  ParseStatus status = ParseStatus::kNeedMore;
  while (status == ParseStatus::kNeedMore) {
    const int wanted = static_cast<int>(parser->Wanted());
    ReceiveExact(buffer, wanted, timeouts_.handshake);
    if (!dialog_begun_) {
      // The whole dialog is due within one wait of its first bytes, not
      // within one wait per read: a trickling player would keep its slot.
      dialog_begun_ = true;
      SetReceiveDeadline(timeouts_.handshake);
    }
    size_t used = 0;
    status = parser->Feed(reinterpret_cast<const uint8_t*>(buffer), static_cast<size_t>(wanted),
                          &used);
  }
  return status;
}

void RealAudioSocket::SendVersion() {
  SendAll(reinterpret_cast<const char*>(kVersionFrame), sizeof(kVersionFrame),
          timeouts_.handshake);
}

void RealAudioSocket::SendStatus(uint8_t code, const char* text) {
  const std::vector<uint8_t> frame = BuildStatusFrame(code, text);
  SendAll(reinterpret_cast<const char*>(frame.data()), static_cast<int>(frame.size()),
          timeouts_.handshake);
}

void RealAudioSocket::Fail(uint8_t code, const char* text, const char* thrown) {
  SendStatus(code, text);
  throw CBlockingSocketException(thrown);
}

void RealAudioSocket::CheckVersion() {
  CRealAudioFrameParser frame;
  if (ReadFrame(&frame) != ParseStatus::kDone || frame.opcode() != kOpVersion ||
      frame.value_size() != 1 || static_cast<uint8_t>(frame.value()[0]) != kDialogVersion) {
    Fail(kStatusBadVersion, kStatusTextBadVersion, kTextBadVersion);
  }
}

void RealAudioSocket::Keep(const CRealAudioFrameParser& frame) {
  const auto* value = reinterpret_cast<const uint8_t*>(frame.value().data());
  switch (frame.opcode()) {
    case kOpHost:
      host_ = frame.value();
      break;
    case kOpPort:
      // Kept as it came: network order is what the address record holds.
      server_address_.sin_port = htons(ReadNetwork16(value));
      break;
    case kOpKept:
      opcode4_value_ = ReadNetwork16(value);
      break;
    case kOpTcpOnly:
      tcp_only_ = value[0];
      break;
    default:
      break;
  }
}

void RealAudioSocket::ProxySetup() {
  for (;;) {
    CRealAudioFrameParser frame;
    const ParseStatus status = ReadFrame(&frame);
    const uint8_t opcode = frame.opcode();
    if (!IsSetupOpcode(opcode)) {
      Fail(kStatusInvalidOpcode, kStatusTextInvalidOpcode, kTextInvalidOpcode);
    }
    if (opcode == kOpEnd && status == ParseStatus::kDone) {
      ClearReceiveDeadline();
      return;
    }
    const size_t required = RequiredValueSize(opcode);
    const bool size_ok = opcode == kOpHost ? frame.value_size() >= 1
                                           : frame.value_size() == required;
    if (status != ParseStatus::kDone || !size_ok) {
      Fail(kStatusBadInformation, kStatusTextBadInformation, kTextBadInformation);
    }
    Keep(frame);
  }
}

}  // namespace qlm::circuit
