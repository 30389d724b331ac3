// The server connection's data connection: passive when the server offers
// it, else active through a listener of our own announced with PORT.
#include <arpa/inet.h>

#include "proxies/ftp_mail/ftp_arguments.h"
#include "proxies/ftp_mail/ftp_client.h"

namespace qlm::ftp {

bool FTPclient::OpenDataConnection(const std::string& transfer, net::CBlockingSocket* data,
                                   const std::function<bool()>& before_transfer) {
  try {
    if (!SendCommand(kCommandTypeImage)) {
      return false;
    }
    net::CBlockingSocket listener;
    sockaddr_in passive{AF_INET, 0, {0}, {0}};
    const bool is_passive = SendCommand(kCommandPasv);
    if (is_passive) {
      const std::optional<std::string> numbers = ParenthesisedPart(reply_);
      const std::optional<HostPort> named = numbers ? ParseHostPort(*numbers) : std::nullopt;
      if (!named) {
        return false;
      }
      // Only the port is taken: the data connection goes to the server we
      // talk to, never to a third host a reply names.
      passive = server_address_;
      passive.sin_port = htons(named->port);
    } else if (!ActiveListener(&listener)) {
      return false;
    }
    if (before_transfer && !before_transfer()) {
      return false;
    }
    SendAll(transfer.data(), static_cast<int>(transfer.size()), timeouts_.send);
    if (is_passive) {
      data->ConnectOutward(passive, timeouts_.connect, timeouts_.linger);
    }
    if (!GetReply() || reply_class_ != kClassPreliminary) {
      data->Close();
      return false;
    }
    return is_passive || AcceptData(&listener, data);
  } catch (const net::CBlockingSocketException&) {
    data->Close();
    return false;
  }
}

bool FTPclient::ActiveListener(net::CBlockingSocket* listener) {
  sockaddr_in address = local_address_;
  address.sin_port = 0;
  listener->Create(net::kStream);
  listener->Bind(address);
  listener->GetSockName(&address);
  listener->Listen(kDataListenBacklog);
  return SendCommand(FormatPortCommand(address.sin_addr, ntohs(address.sin_port)));
}

// The server connects from its data port; a connection from anywhere else
// (another port, or another host) is not the server's.
bool FTPclient::AcceptData(net::CBlockingSocket* listener, net::CBlockingSocket* data) {
  sockaddr_in from{};
  if (!listener->Accept(*data, &from, timeouts_.accept)) {
    return false;
  }
  listener->Close();
  if (ntohs(from.sin_port) != kFtpDataPort ||
      from.sin_addr.s_addr != server_address_.sin_addr.s_addr) {
    data->Close();
    return false;
  }
  return true;
}

}  // namespace qlm::ftp
