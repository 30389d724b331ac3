// One DNS request as the dispatcher received it: the datagram (an owned
// copy), its sender, and what the request check learned (where the question
// goes on, the name asked). It holds no socket of its own: the reply leaves
// through the daemon's socket, from the address and port the query reached.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

#include "net/blocking_socket.h"
#include "services/dns/dns_request.h"

namespace qlm::dns {

class CDnsDgClientSocket : public net::CBlockingSocket {
 public:
  CDnsDgClientSocket(const std::vector<char>& datagram, const sockaddr_in& sender);

  // The request check; false when the request is not a standard query with
  // one readable question.
  bool CheckRequest();

  const std::vector<uint8_t>& Datagram() const { return datagram_; }
  size_t Length() const { return datagram_.size(); }
  const sockaddr_in& Sender() const { return sender_; }
  const DnsRequest& Request() const { return request_; }
  const std::string& QueryName() const { return request_.name; }

  // Whether `sender` is this host itself: an address of one of its
  // interfaces or one its host name resolves to. Throws
  // CBlockingSocketException "CDnsDgClientSocket::Can't get the host name"
  // when the host has no name, "CDnsDgSocket::IsSameHost:gethostbyname" when
  // neither its interfaces nor its name give any address.
  static bool IsSameHost(const sockaddr_in& sender);

 private:
  std::vector<uint8_t> datagram_;
  sockaddr_in sender_;
  DnsRequest request_;
};

}  // namespace qlm::dns
