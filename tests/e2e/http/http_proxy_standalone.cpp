// The HTTP proxy alone in a process: one listener on IP:PORT whose
// connections each get HttpClientThreadProc, as the engine's dispatcher gives
// them. For the end-to-end tests and the benchmark while no engine with a
// configuration store is built. Usage: qlm_http_standalone IP PORT [MAXCONN]
// Stops on SIGTERM/SIGINT.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "engine/connection_limit.h"
#include "engine/listener_record.h"
#include "proxies/http/http_client_socket.h"
#include "proxies/http/http_client_thread.h"

namespace {
std::atomic<bool> g_stop{false};
void OnSignal(int) { g_stop = true; }
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s IP PORT [MAXCONN]\n", argv[0]);
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);
  signal(SIGTERM, OnSignal);
  signal(SIGINT, OnSignal);
  if (argc > 3) {
    qlm::engine::CConnectionLimit::Instance().Reset(static_cast<unsigned>(std::atoi(argv[3])));
  }
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(std::atoi(argv[2])));
  inet_pton(AF_INET, argv[1], &sa.sin_addr);
  if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(fd, 512) != 0) {
    std::perror("listen");
    return 1;
  }
  static qlm::engine::CListenerRecord daemon;
  daemon.name = "HTTP";
  daemon.address = argv[1];
  daemon.port = std::atoi(argv[2]);
  while (!g_stop) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) {
      continue;
    }
    const int client_fd = accept(fd, nullptr, nullptr);
    if (client_fd < 0) {
      continue;
    }
    auto client = std::make_unique<qlm::http::CHttpClientSocket>();
    client->Attach(client_fd);
    auto context = std::make_unique<qlm::engine::ConnectionContext>();
    context->Client = std::move(client);
    context->Daemon = &daemon;
    std::thread(qlm::http::HttpClientThreadProc, std::move(context)).detach();
  }
  close(fd);
  return 0;
}
