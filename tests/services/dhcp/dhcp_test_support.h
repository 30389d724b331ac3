// Requests as clients send them, a clock tests move by hand, and an echo
// check that answers for the addresses a test names.
#pragma once

#include <arpa/inet.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "services/dhcp/dhcp_config.h"
#include "services/dhcp/dhcp_message.h"

namespace qlm::test {

// A BOOTREQUEST with the cookie; options appended in order, end added by Bytes().
class CDhcpRequest {
 public:
  explicit CDhcpRequest(uint8_t type, uint32_t xid = 0x01020304) {
    bytes_.assign(240, 0);
    bytes_[0] = 1;  // op BOOTREQUEST
    bytes_[1] = 1;  // htype Ethernet
    bytes_[2] = 6;  // hlen
    bytes_[4] = static_cast<uint8_t>(xid >> 24);
    bytes_[5] = static_cast<uint8_t>(xid >> 16);
    bytes_[6] = static_cast<uint8_t>(xid >> 8);
    bytes_[7] = static_cast<uint8_t>(xid);
    const uint8_t mac[6] = {0x02, 0x00, 0x00, 0xaa, 0xbb, 0x01};
    std::copy(mac, mac + 6, bytes_.begin() + 28);
    bytes_[236] = 99;
    bytes_[237] = 130;
    bytes_[238] = 83;
    bytes_[239] = 99;
    if (type != 0) {
      Option(53, {type});
    }
  }
  CDhcpRequest& Mac(uint8_t last) {
    bytes_[33] = last;
    return *this;
  }
  CDhcpRequest& Option(uint8_t code, std::vector<uint8_t> data) {
    bytes_.push_back(code);
    bytes_.push_back(static_cast<uint8_t>(data.size()));
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return *this;
  }
  CDhcpRequest& AddressOption(uint8_t code, const char* dotted) {
    const uint32_t a = inet_addr(dotted);
    const auto* p = reinterpret_cast<const uint8_t*>(&a);
    return Option(code, {p[0], p[1], p[2], p[3]});
  }
  CDhcpRequest& Field(size_t offset, const char* dotted) {
    const uint32_t a = inet_addr(dotted);
    std::memcpy(&bytes_[offset], &a, 4);
    return *this;
  }
  CDhcpRequest& Flags(uint16_t flags) {
    bytes_[10] = static_cast<uint8_t>(flags >> 8);
    bytes_[11] = static_cast<uint8_t>(flags);
    return *this;
  }
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> out = bytes_;
    out.push_back(255);
    return out;
  }
  dhcp::DhcpBuffer Buffer() const {
    const std::vector<uint8_t> out = Bytes();
    return dhcp::MakeRequestBuffer(reinterpret_cast<const char*>(out.data()), out.size());
  }

 private:
  std::vector<uint8_t> bytes_;
};

inline uint32_t Host(const char* dotted) { return ntohl(inet_addr(dotted)); }

class CFakeClock : public dhcp::IClock {
 public:
  uint32_t Now() const override { return now_; }
  void Advance(uint32_t seconds) { now_ += seconds; }

 private:
  uint32_t now_ = 1700000000;
};

class CFakeProbe : public dhcp::IAddressProbe {
 public:
  bool Answers(uint32_t address) override {
    asked_.push_back(address);
    return answering_.count(address) != 0;
  }
  void Answer(const char* dotted) { answering_.insert(Host(dotted)); }
  const std::vector<uint32_t>& Asked() const { return asked_; }

 private:
  std::set<uint32_t> answering_;
  std::vector<uint32_t> asked_;
};

}  // namespace qlm::test
