// HttpClientThreadProc: the thread of one browser connection on an "HTTP"
// daemon. Reads each request, serves it (forward, CONNECT tunnel, dial
// pages, refusals) and keeps the connection for the next request while the
// exchanges allow it.
#pragma once

#include "engine/connection_context.h"

namespace qlm::http {

// Owns the context (whose Client is a CHttpClientSocket) and deletes it at
// its end; holds a connection-limit slot for its whole life. Returns 0.
int HttpClientThreadProc(engine::ConnectionContextPtr context);

}  // namespace qlm::http
