// Gathered output of the relay.
#include "proxies/http/pending_output.h"

namespace qlm::http {

void CPendingOutput::Add(std::string_view bytes) {
  pending_.append(bytes);
  if (pending_.size() >= kFlushAt) {
    Flush();
  }
}

void CPendingOutput::Flush() {
  if (!pending_.empty()) {
    to_.SendAll(pending_.data(), static_cast<int>(pending_.size()), timeout_);
    pending_.clear();
  }
}

void CPendingOutput::FlushBeforeWaitingOn(net::CBlockingSocket& from) {
  if (!pending_.empty() && !from.WaitReadable(net::Timeout(0))) {
    Flush();
  }
}

}  // namespace qlm::http
