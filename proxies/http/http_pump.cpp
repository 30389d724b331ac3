// One response: head reading in rounds, status line and connection fields
// rewritten, interim responses, the body by its kind, and relay until close.
#include "proxies/http/http_pump.h"

#include "proxies/http/http_texts.h"

#include "net/relay_pipe.h"
#include "net/wait_set.h"
#include "net/winsock_errors.h"
#include "proxies/http/connection_fields.h"
#include "proxies/http/header_fields.h"
#include "proxies/http/response_line.h"

namespace qlm::http {
namespace {


int RoundsOf(net::Timeout timeout, net::Timeout round) {
  const auto rounds = round.count() > 0 ? timeout.count() / round.count() : 1;
  return static_cast<int>(std::max<int64_t>(rounds, 1));
}

}  // namespace

CHttpPump::CHttpPump(CHttpClientSocket& client, CHttpServerSocket& server,
                     const engine::ConnectionContext& context, const HttpProxyConfig& config)
    : client_(client), server_(server), context_(context), config_(config) {}

CHttpPump::~CHttpPump() = default;

void CHttpPump::Pump(net::Timeout timeout) {
  const int full_rounds = RoundsOf(timeout, config_.timeouts.response_round);
  int rounds = full_rounds;
  std::string head;
  CPendingOutput out(client_, config_.timeouts.client_send);
  try {
    while (PumpOneResponse(&head, &rounds, full_rounds, &out)) {
    }
    out.Flush();
    if (!unanswered_) {
      Finish();
    }
  } catch (const net::CBlockingSocketException& e) {
    // What the server sent before failing still reaches the client.
    try {
      out.Flush();
    } catch (const net::CBlockingSocketException&) {
    }
    CloseBoth();
    if (e.ErrorCode() != net::WSAECONNRESET) {
      throw;
    }
  }
}

bool CHttpPump::PumpOneResponse(std::string* head, int* rounds, int full_rounds,
                                CPendingOutput* out) {
  const net::Timeout round = config_.timeouts.response_round;
  server_.close_flag_ = 1;
  const int result = ReadResponseHead(head, rounds);
  if (result == LineTimedOut) {
    return false;
  }
  if (result == LineClosed && allow_unanswered_ && head->empty() &&
      server_.Buffer().Count() == 0) {
    unanswered_ = true;
    return false;
  }
  allow_unanswered_ = false;  // only the first head of the exchange
  if (result == LineTooLong || result == LineBufferLimit || result == LineClosed ||
      result == LineUnsafe) {
    // Not a head this proxy can rewrite: passed on as it came.
    out->Add(*head);
    TakeBuffered(out);
    if (result != LineClosed) {
      RelayUntilClose(net::Timeout(full_rounds * round.count()), out);
    }
    return false;
  }
  if (result != LineRead || head->empty()) {
    throw net::CBlockingSocketException(kTextBadHeader);
  }
  const std::string received = *head;
  const auto status_line = ReadFirstLine(head);
  if (!status_line || !server_.ParsingResponseLine(*status_line)) {
    out->Add(received);
    TakeBuffered(out);
    RelayUntilClose(net::Timeout(full_rounds * round.count()), out);
    return false;
  }
  const int status = server_.status_;
  if (config_.AutoUpdate && status == 200 && config_.signal_update_check &&
      !(config_.update_check_started && config_.update_check_started())) {
    config_.signal_update_check();
  }
  // An interim response (1xx but 101) is followed by the real one.
  const bool interim = status >= 100 && status < 200 && status != 101;
  const bool no_body = status < 200 || status == 204 || status == 304 ||
                       client_.request_.method == "HEAD";
  const bool chunked = !no_body && HasTransferEncoding(*head);
  const int64_t length = no_body || chunked ? 0 : GetContentLength(*head);
  const bool close_delimited = !no_body && !chunked && length < 0;
  RemoveHeaderField(head, "Public:");
  ProcessConnectionField(head, close_delimited || status == 101);
  // Status line, head and the body bytes at hand leave together.
  out->Add(FormatStatusLine(StatusLine{server_.version_, status, server_.reason_}));
  out->Add(*head);
  if (interim) {
    out->Flush();
    *rounds = full_rounds;
    return true;
  }
  const net::Timeout relay(full_rounds * round.count());
  if (close_delimited || status == 101) {
    TakeBuffered(out);
    RelayUntilClose(relay, out);
  } else {
    RelayResponseBody(out, length, chunked, relay);
  }
  return false;
}

int CHttpPump::ReadResponseHead(std::string* head, int* rounds) {
  const net::Timeout round = config_.timeouts.response_round;
  size_t used = 0;
  int result = server_.ReadHeaderBlock(head, &used, nullptr, round);
  while (result == LineTimedOut && client_.IsWritable() && *rounds > 1) {
    --*rounds;
    // Lines that came before the silence stay part of the head.
    result = server_.ContinueHeaderBlock(head, &used, round);
  }
  return result;
}

void CHttpPump::ProcessConnectionField(std::string* head, bool close_delimited) {
  const bool forced = close_delimited || client_.close_flag_ == 1;
  server_.close_flag_ = ProcessResponseConnectionField(head, server_.version_, forced);
}

void CHttpPump::TakeBuffered(CPendingOutput* out) {
  CLineBuffer& buffer = server_.Buffer();
  out->Add(std::string_view(buffer.Data(), buffer.Count()));
  buffer.Clear();
}

void CHttpPump::RelayUntilClose(net::Timeout timeout, CPendingOutput* out) {
  const net::Timeout round = config_.timeouts.response_round;
  int rounds = RoundsOf(timeout, round);
  char piece[kPumpPiece];
  // Past the first kSpliceFrom bytes the body goes through a pipe, never
  // through the process; the copy path stays where the kernel cannot splice.
  int64_t copied = 0;
  net::CRelayPipe pipe;
  bool splice = true;
  for (;;) {
    out->FlushBeforeWaitingOn(server_);
    net::CWaitSet waits;
    const size_t index = waits.Add(server_.Handle(), POLLIN);
    waits.AddShutdown();
    const auto result = waits.Wait(round);
    if (result == net::CWaitSet::Result::kError || result == net::CWaitSet::Result::kShutdown) {
      throw net::CBlockingSocketException(kTextSelectFailed);
    }
    if (result == net::CWaitSet::Result::kTimedOut) {
      if (!client_.IsWritable() || rounds <= 1) {
        return;
      }
      --rounds;
      continue;
    }
    if (!waits.Ready(index, POLLIN)) {
      continue;
    }
    if (splice && copied >= kSpliceFrom && pipe.Open()) {
      out->Flush();
      int error = 0;
      const int moved = server_.ReceiveIntoPipe(pipe, kSplicePiece, &error);
      if (moved > 0) {
        client_.SendAllFromPipe(pipe, out->SendTimeout());
        continue;
      }
      if (moved == 0) {
        return;
      }
      if (error == net::WSAEWOULDBLOCK || error == net::WSAEINTR) {
        continue;
      }
      if (error == net::WSAECONNRESET || error == net::WSAENETRESET) {
        return;
      }
      if (error != net::WSAEINVAL) {
        throw net::CBlockingSocketException(kTextRecvFailed, error);
      }
      splice = false;  // not a socket the kernel splices: copy from now on
    }
    int received = 0;
    try {
      received = server_.Receive(piece, sizeof(piece), round);
    } catch (const net::CBlockingSocketException& e) {
      if (e.ErrorCode() == net::WSAECONNRESET || e.ErrorCode() == net::WSAENETRESET) {
        return;
      }
      throw net::CBlockingSocketException(kTextRecvFailed, e.ErrorCode());
    }
    if (received <= 0) {
      return;
    }
    copied += received;
    out->Add(std::string_view(piece, static_cast<size_t>(received)));
  }
}

void CHttpPump::Finish() {
  if (server_.close_flag_ == 1) {
    client_.DrainInput();
    CloseBoth();
  }
}

void CHttpPump::CloseBoth() {
  server_.Close();
  client_.Close();
}

}  // namespace qlm::http
