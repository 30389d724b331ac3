// The SOCKS server alone in a process: one listener on IP:PORT whose
// connections each get ClientThreadProc, as the engine's dispatcher gives
// them, with the engine's log file at LOGFILE. For the end-to-end tests and
// the benchmark while the engine has no configuration store to start from.
// Usage: qlm_socks_standalone IP PORT LOGFILE|- [MAXCONN]. Stops on SIGTERM/SIGINT.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "engine/connection_limit.h"
#include "engine/listener_record.h"
#include "engine/log_file.h"
#include "proxies/socks/client_socket.h"
#include "proxies/socks/client_thread.h"

namespace {
std::atomic<bool> g_stop{false};
void OnSignal(int) { g_stop = true; }
}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s IP PORT LOGFILE|- [MAXCONN]\n", argv[0]);
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);
  signal(SIGTERM, OnSignal);
  signal(SIGINT, OnSignal);
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }
  if (argc > 4) {
    qlm::engine::CConnectionLimit::Instance().Reset(static_cast<unsigned>(std::atoi(argv[4])));
  }
  if (std::strcmp(argv[3], "-") != 0) {
    qlm::engine::OpenLog(argv[3]);
  }
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(std::atoi(argv[2])));
  inet_pton(AF_INET, argv[1], &sa.sin_addr);
  if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(fd, 1024) != 0) {
    std::perror("listen");
    return 1;
  }
  static qlm::engine::CListenerRecord daemon;
  daemon.name = "SOCKS";
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
    auto client = std::make_unique<qlm::socks::CClientSocket>();
    client->Attach(client_fd);
    auto context = std::make_unique<qlm::engine::ConnectionContext>();
    context->Client = std::move(client);
    context->Daemon = &daemon;
    std::thread(qlm::socks::ClientThreadProc, std::move(context)).detach();
  }
  close(fd);
  qlm::engine::CloseLog();
  return 0;
}
