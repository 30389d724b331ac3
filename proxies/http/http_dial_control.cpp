// The dial-control pages (http://quillmar/dial-on, /dial-off, /dial-status),
// the page shown while the dial-up line is down, and dialling on demand.
#include "engine/activity_log.h"
#include "net/wait_set.h"
#include "proxies/http/header_fields.h"
#include "proxies/http/http_client_socket.h"

namespace qlm::http {
namespace {

constexpr const char* kNotImplemented = "HttpClientThreadProc:Service Not Implemented!";

// Waits `period`, or less when the engine stops; false at stop.
bool PauseUnlessStopping(net::Timeout period) {
  net::CWaitSet waits;
  waits.AddShutdown();
  return waits.Wait(period) == net::CWaitSet::Result::kTimedOut;
}

}  // namespace

int CHttpClientSocket::HandleDialControl(const std::string& line) {
  const HttpProxyConfig& config = Config();
  const HttpDialUp& dial = config.dial_up;
  if (request_.method == "GET" && EqualsIgnoreCase(request_.host, kDialControlHost)) {
    if (!config.DialOnControl) {
      SendReply(Reply501());
      throw net::CBlockingSocketException(kNotImplemented);
    }
    std::string_view target;
    if (EqualsIgnoreCase(request_.path, kDialOnPath)) {
      target = kStatusConnected;
      dial.request_dial();
      LogDialAction(kLabelDialOn, line);
    } else if (EqualsIgnoreCase(request_.path, kDialOffPath)) {
      target = kStatusDisconnected;
      dial.request_hang_up();
      LogDialAction(kLabelDialOff, line);
    } else if (EqualsIgnoreCase(request_.path, kDialStatusPath)) {
      target = dial.is_connected() ? kStatusConnected : kStatusDisconnected;
    } else {
      SendReply(Reply501());
      throw net::CBlockingSocketException(kNotImplemented);
    }
    SendReply(std::string(kDialControlHead));
    // The page follows the line's status until it reaches the target.
    std::string shown;
    for (int round = 1; round <= config.timeouts.dial_page_rounds; ++round) {
      const bool running = PauseUnlessStopping(config.timeouts.dial_page_poll);
      const std::string text = dial.status_text();
      if (!EqualsIgnoreCase(text, shown)) {
        shown = text;
        SendReply(shown + std::string(kDialControlLineEnd));
      }
      if (!running || EqualsIgnoreCase(shown, target) || round == config.timeouts.dial_page_rounds) {
        break;
      }
    }
    SendReply(std::string(kDialControlEnd));
    return 1;
  }
  if (config.UseDialUp && !(config.DialUpManaged && config.AutoConnect) && !dial.is_connected()) {
    SendReply(ReplyDialUpDisconnected());
    return 1;
  }
  return 0;
}

int CHttpClientSocket::WaitForAutoDial(const std::string& line) {
  const HttpDialUp& dial = Config().dial_up;
  if (!dial.auto_dial_wanted()) {
    return 0;
  }
  dial.request_dial();
  LogDialAction(kLabelDial, line);
  dial.wait_for_connection();
  return 1;
}

}  // namespace qlm::http
