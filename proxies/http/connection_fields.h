// The keep-alive decision and the rewriting of Connection fields, for
// requests going to the server and for responses going back to the client,
// and the Host field added to requests that lack one. Pure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qlm::http {

// Request head: the close flag starts from the version ("HTTP/1.1" keeps the
// connection), then Connection and then Proxy-Connection decide by their first
// word; both fields and every field they name are removed. In front goes
// "Connection: Keep-Alive", or "Connection: close" when closing or when the
// request has a Range field. Returns the client's close flag (1: close).
int ProcessRequestConnectionField(std::string* block, std::string_view version);

// Response head: `forced` (a close-delimited body, or a client that closes)
// makes the flag 1; else the version and the Connection field decide. The
// Connection field and what it names are removed; in front goes
// "Proxy-Connection: Keep-Alive", or "Connection: close" then
// "Proxy-Connection: close". Returns the server's close flag.
int ProcessResponseConnectionField(std::string* block, std::string_view version, bool forced);

// "Host: <host>:<port>" in front when the head has no Host field; 1 if added.
int AddHostField(std::string* block, std::string_view host, uint16_t port);

}  // namespace qlm::http
