// The engine's control connection to an FTP server: connect, read replies
// (single- and multi-line) with their class, send commands, log on, change
// directory, open a data connection (passive or active) and quit. The FTP
// proxy uses its connect and reply reading; the FTP gateway for web browsers
// drives all of it. Every operation but FtpConnect reports by its result and
// leaves the server's last reply line for the caller to show.
#pragma once

#include <netinet/in.h>

#include <functional>
#include <string>

#include "net/blocking_socket.h"
#include "net/line_buffer.h"
#include "proxies/ftp_mail/ftp_config.h"

namespace qlm::ftp {

class FTPclient : public net::CBlockingSocket {
 public:
  // User "anonymous", password "visit@".
  explicit FTPclient(const FtpClientTimeouts& timeouts = {});
  // An empty user or password is replaced by its default.
  FTPclient(std::string user, std::string password, const FtpClientTimeouts& timeouts = {});

  // Resolves `host`, connects to it (connect time-out), sets the socket up
  // and reads back the local address. Throws "FTPclient::FtpConnect:Remote
  // Host is not resolved!" or the socket layer's texts (the socket closed).
  void FtpConnect(const std::string& host, uint16_t port);

  // Takes one line (LF included) from what was received, receiving more
  // (at most `timeout`) while none is complete. false when no line fits
  // `size` bytes with its terminating NUL (nothing consumed), the receive
  // buffer would pass its limit, the wait ends without data, or the
  // connection ended (the socket is then closed).
  bool ReadReplyLine(std::string* line, size_t size, net::Timeout timeout);
  // Reads one whole reply, every line and the whole within the reply time-out;
  // sets ReplyClass() and ReplyLine() (its last line). false when none came.
  bool GetReply();
  // Sends `command` with CR LF (nothing for an empty one: reads a greeting),
  // then reads the reply. true only for a reply of class 2; a failed send
  // gives false.
  bool SendCommand(const std::string& command);
  // Connect, greeting, USER and (when asked for) PASS. true once logged on.
  bool FtpLogin(const std::string& host, uint16_t port);
  // CWD to the path at once, else one component after the other.
  bool CwdPath(const std::string& path);
  // TYPE I, then PASV or (refused) PORT to a listener of our own; then
  // `before_transfer` (when given; false fails), the transfer command as
  // given (the caller includes its CR LF), and the connect or accept. true
  // with *data connected after a preliminary (class 1) reply.
  bool OpenDataConnection(const std::string& transfer, net::CBlockingSocket* data,
                          const std::function<bool()>& before_transfer = {});
  // QUIT, then both directions shut down; a failed send is ignored.
  void Quit();

  int ReplyClass() const { return reply_class_; }
  const std::string& ReplyLine() const { return reply_; }
  const sockaddr_in& LocalAddress() const { return local_address_; }
  const sockaddr_in& ServerAddress() const { return server_address_; }
  const std::string& User() const { return user_; }
  const std::string& Password() const { return password_; }
  // Bytes received after the last reply read: the caller that goes on with
  // the raw connection takes them first so none of the dialogue is lost.
  std::string TakeBuffered();

 private:
  enum class Fill { kReceived, kNothing, kClosed, kFull };
  // One wait (+S) and one receive into the receive buffer.
  Fill ReceiveMore(net::Timeout timeout);
  bool ActiveListener(net::CBlockingSocket* listener);
  bool AcceptData(net::CBlockingSocket* listener, net::CBlockingSocket* data);

  sockaddr_in local_address_{AF_INET, 0, {0}, {0}};
  std::string reply_;
  int reply_class_ = 0;
  net::CLineBuffer receive_;
  sockaddr_in server_address_{AF_INET, 0, {0}, {0}};
  std::string password_;
  std::string user_;
  FtpClientTimeouts timeouts_;
};

}  // namespace qlm::ftp
