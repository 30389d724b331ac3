// CHttpPump: one request/response exchange after the request head has gone
// to the server: the request body (by length or chunks), the response heads
// (100 Continue and other interim ones included, each rewritten), and the
// response body (by length, chunks, or until the server closes). It decides
// from the response whether both connections stay open.
#pragma once

#include <cstdint>
#include <string>

#include "engine/connection_context.h"
#include "proxies/http/http_client_socket.h"
#include "proxies/http/http_proxy_config.h"
#include "proxies/http/http_server_socket.h"
#include "proxies/http/pending_output.h"

namespace qlm::http {

class CHttpPump {
 public:
  CHttpPump(CHttpClientSocket& client, CHttpServerSocket& server,
            const engine::ConnectionContext& context, const HttpProxyConfig& config);
  virtual ~CHttpPump();

  // The request body after `head`: chunked when it has a Transfer-Encoding
  // field, else Content-Length bytes (none when absent). Sends to the server
  // with `timeout`. Returns the body length relayed.
  int64_t PumpRequest(const std::string& head, net::Timeout timeout);
  void PumpRequestForLength(int64_t length, net::Timeout timeout);
  void PumpResponseForLength(int64_t length, net::Timeout timeout);
  // Total of the chunk sizes relayed.
  uint64_t PumpRequestForEncoding(net::Timeout timeout);
  uint64_t PumpResponseForTransferEncoding(net::Timeout timeout);

  // Relays one response; `timeout` is the silence allowed, in rounds of the
  // configured response round. Closes both sockets when the exchange ends
  // with the close flag set or fails; a reset by the peer is swallowed, other
  // failures are thrown on.
  void Pump(net::Timeout timeout);

  // A kept server connection may close just as a request goes out on it.
  // With this allowed, Pump leaves the client open when the server closed
  // without a byte of response, and Unanswered() says so: the caller may send
  // the request again on a new connection.
  void AllowUnanswered() { allow_unanswered_ = true; }
  bool Unanswered() const { return unanswered_; }

  // Response connection fields: sets the server socket's close flag.
  void ProcessConnectionField(std::string* head, bool close_delimited);

 private:
  // One response head and its body; true when another head follows (1xx).
  bool PumpOneResponse(std::string* head, int* rounds, int full_rounds, CPendingOutput* out);
  void RelayUntilClose(net::Timeout timeout, CPendingOutput* out);
  // Reads a response head in rounds of silence while the client is still
  // there; LineTimedOut when the rounds ran out.
  int ReadResponseHead(std::string* head, int* rounds);
  // The response body into `out` (queued bytes included).
  void RelayResponseBody(CPendingOutput* out, int64_t length, bool chunked, net::Timeout timeout);
  // Moves the server's buffered bytes into `out`.
  void TakeBuffered(CPendingOutput* out);
  void Finish();
  void CloseBoth();

  CHttpClientSocket& client_;
  CHttpServerSocket& server_;
  const engine::ConnectionContext& context_;
  const HttpProxyConfig& config_;
  bool allow_unanswered_ = false;
  bool unanswered_ = false;
};

// Relays `length` bytes from `from` (its receive buffer first) to `to`, in
// pieces of at most 4,096 bytes; what is queued in `to` goes before each
// wait. A receive that yields nothing throws `failure` with the second code -11.
void RelayLength(CHttpBlockingSocket& from, CPendingOutput& to, int64_t length,
                 net::Timeout receive_timeout, const char* failure);

}  // namespace qlm::http
