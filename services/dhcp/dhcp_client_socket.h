// CDhcpDgClientSocket: one received DHCP message and what its worker needs to
// answer it: the sender's address, the server's own address on the daemon's
// socket (the server identifier; replies leave from its port 67), the
// datagram's length, the first 548 bytes of the message, and the server.
// Its socket is the daemon's own socket (a descriptor of its own), so a
// reply leaves by the interface the daemon serves and no second socket on
// port 67 can take the datagrams meant for the daemon.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <string>

#include "net/blocking_socket.h"
#include "services/dhcp/dhcp_message.h"
#include "services/dhcp/dhcp_server.h"

namespace qlm::dhcp {

class CDhcpDgClientSocket : public net::CBlockingSocket {
 public:
  CDhcpDgClientSocket(CDhcpServer& server, const sockaddr_in& local, const sockaddr_in& sender,
                      const char* data, size_t length)
      : server_(server),
        local_(local),
        sender_(sender),
        length_(length),
        message_(MakeRequestBuffer(data, length)),
        client_id_(dhcp::ClientId(message_)) {}

  CDhcpServer& Server() { return server_; }
  const sockaddr_in& Local() const { return local_; }
  const sockaddr_in& Sender() const { return sender_; }
  size_t DataLength() const { return length_; }
  const DhcpBuffer& Message() const { return message_; }
  // The client's identity (option 61 or chaddr, lower-case hex).
  const std::string& ClientId() const { return client_id_; }

  // Takes a descriptor of its own on the daemon's socket; throws
  // "CBlockingSocket::Create socket" when none can be had.
  void ShareSocket(int daemon_socket);
  // Sends `length` bytes to `to` with the server's own address as source,
  // after Wait (+S) for writability with `timeout`. Throws `failure` when
  // the wait or the send fails.
  void SendReply(const uint8_t* data, size_t length, const sockaddr_in& to,
                 net::Timeout timeout, const char* failure);

 private:
  CDhcpServer& server_;
  sockaddr_in local_;
  sockaddr_in sender_;
  size_t length_;
  DhcpBuffer message_;
  std::string client_id_;
};

}  // namespace qlm::dhcp
