// The protocol harness.
#include "tests/support/protocol_harness.h"

#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::test {

CProtocolHarness::CProtocolHarness(const engine::StreamProtocol& entry) : entry_(entry) {
  listener_ = ListenTcp("127.0.0.1", &port_);
  daemon_.name = entry.name;
  daemon_.address = "127.0.0.1";
  daemon_.port = port_;
}

CProtocolHarness::~CProtocolHarness() {
  WaitUntil([this] { return AllEnded(); });
  std::lock_guard lock(mutex_);
  for (std::thread& thread : threads_) {
    thread.join();
  }
  ::close(listener_);
}

int CProtocolHarness::Connect() { return Connect(entry_.make_client()); }

int CProtocolHarness::Connect(std::unique_ptr<net::CBlockingSocket> client) {
  const int fd = ConnectTcp("127.0.0.1", port_);
  if (fd < 0) {
    return -1;
  }
  const int accepted = ::accept(listener_, nullptr, nullptr);
  auto context = std::make_unique<engine::ConnectionContext>();
  client->Attach(accepted);
  context->Client = std::move(client);
  context->Daemon = &daemon_;
  ++started_;
  std::lock_guard lock(mutex_);
  threads_.emplace_back([this, owned = std::move(context)]() mutable {
    entry_.thread_proc(std::move(owned));
    ++ended_;
  });
  return fd;
}

}  // namespace qlm::test
