// The client side of the SOCKS benchmark, run by socks_bench.sh against one
// server at a time (or none, for the direct loopback copy):
//   throughput PROXY_PORT|0 MIB   one stream of MIB MiB from a local source
//   setup PROXY_PORT SECONDS       SOCKS 5 CONNECT set-ups (and closes) per second
//   hold PROXY_PORT COUNT PID      COUNT idle relayed connections, then the
//                                  server's VmRSS in KiB
//   keepalive PROXY_PORT COUNT PID ORIGIN_PORT
//                                  COUNT idle keep-alive HTTP clients, each
//                                  after one GET of /length/1k.bin from the
//                                  origin, then the server's VmRSS in KiB
// PROXY_PORT written "http:PORT" opens each connection as an HTTP CONNECT
// tunnel through an HTTP proxy instead of a SOCKS 5 CONNECT.
// Prints one number. Everything on 127.0.0.1.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int Listen(uint16_t* port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a));
  listen(fd, 4096);
  socklen_t length = sizeof(a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  *port = ntohs(a.sin_port);
  return fd;
}

int ConnectLoopback(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool ReadExact(int fd, uint8_t* buffer, size_t n) {
  size_t got = 0;
  while (got < n) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 10000) <= 0) {
      return false;
    }
    const ssize_t r = recv(fd, buffer + got, n - got, 0);
    if (r <= 0) {
      return false;
    }
    got += static_cast<size_t>(r);
  }
  return true;
}

// SOCKS 5 CONNECT to 127.0.0.1:target through the proxy; -1 on failure.
int Socks5Connect(uint16_t proxy, uint16_t target) {
  const int fd = ConnectLoopback(proxy);
  if (fd < 0) {
    return -1;
  }
  const uint8_t hello[] = {5, 1, 0};
  uint8_t request[] = {5, 1, 0, 1, 127, 0, 0, 1, static_cast<uint8_t>(target >> 8),
                       static_cast<uint8_t>(target & 0xFF)};
  uint8_t answer[10];
  if (send(fd, hello, sizeof(hello), MSG_NOSIGNAL) != 3 || !ReadExact(fd, answer, 2) ||
      answer[1] != 0 || send(fd, request, sizeof(request), MSG_NOSIGNAL) != 10 ||
      !ReadExact(fd, answer, 10) || answer[1] != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// HTTP CONNECT to 127.0.0.1:target through the proxy; -1 unless it answers 200.
int HttpConnect(uint16_t proxy, uint16_t target) {
  const int fd = ConnectLoopback(proxy);
  if (fd < 0) {
    return -1;
  }
  const std::string where = "127.0.0.1:" + std::to_string(target);
  const std::string request = "CONNECT " + where + " HTTP/1.1\r\nHost: " + where + "\r\n\r\n";
  std::string answer;
  uint8_t byte = 0;
  bool ok = send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size());
  // Byte by byte up to the blank line: nothing of the tunnel is read early.
  while (ok && answer.size() < 4096 &&
         (answer.size() < 4 || answer.compare(answer.size() - 4, 4, "\r\n\r\n") != 0)) {
    ok = ReadExact(fd, &byte, 1);
    answer.push_back(static_cast<char>(byte));
  }
  if (!ok || (answer.compare(0, 12, "HTTP/1.1 200") != 0 &&
              answer.compare(0, 12, "HTTP/1.0 200") != 0)) {
    close(fd);
    return -1;
  }
  return fd;
}

bool g_http_connect = false;

int Open(uint16_t proxy, uint16_t target) {
  if (proxy == 0) {
    return ConnectLoopback(target);
  }
  return g_http_connect ? HttpConnect(proxy, target) : Socks5Connect(proxy, target);
}

int Throughput(uint16_t proxy, size_t mib) {
  uint16_t port = 0;
  const int listener = Listen(&port);
  const size_t total = mib << 20;
  std::thread source([&] {
    const int fd = accept(listener, nullptr, nullptr);
    std::vector<char> chunk(1 << 20, 'x');
    for (size_t sent = 0; sent < total;) {
      const ssize_t n = send(fd, chunk.data(), std::min(chunk.size(), total - sent), MSG_NOSIGNAL);
      if (n <= 0) {
        break;
      }
      sent += static_cast<size_t>(n);
    }
    close(fd);
  });
  const auto start = Clock::now();
  const int fd = Open(proxy, port);
  size_t got = 0;
  std::vector<char> buffer(1 << 20);
  while (fd >= 0) {
    const ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
    if (n <= 0) {
      break;
    }
    got += static_cast<size_t>(n);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  source.join();
  close(fd);
  close(listener);
  if (got != total) {
    std::fprintf(stderr, "short stream: %zu of %zu bytes\n", got, total);
    return 1;
  }
  std::printf("%.0f\n", static_cast<double>(got) / (1 << 20) / seconds);
  return 0;
}

int Setup(uint16_t proxy, double seconds) {
  uint16_t port = 0;
  const int listener = Listen(&port);
  std::atomic<bool> stop{false};
  std::thread acceptor([&] {
    while (!stop.load()) {
      pollfd p{listener, POLLIN, 0};
      if (poll(&p, 1, 50) > 0) {
        close(accept(listener, nullptr, nullptr));
      }
    }
  });
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  const auto start = Clock::now();
  long done = 0;
  long failed = 0;
  while (Clock::now() < end) {
    const int fd = Open(proxy, port);
    if (fd < 0) {
      ++failed;
      continue;
    }
    linger l{1, 0};  // reset: no TIME_WAIT pile-up on the client's ports
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof(l));
    close(fd);
    ++done;
  }
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  stop = true;
  acceptor.join();
  close(listener);
  std::printf("%.0f%s\n", static_cast<double>(done) / took,
              failed != 0 ? (" (" + std::to_string(failed) + " failed)").c_str() : "");
  return 0;
}

long VmRssKiB(const std::string& pid) {
  std::ifstream in("/proc/" + pid + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("VmRSS:", 0) == 0) {
      return std::strtol(line.c_str() + 6, nullptr, 10);
    }
  }
  return -1;
}

int Hold(uint16_t proxy, int count, const std::string& pid) {
  uint16_t port = 0;
  const int listener = Listen(&port);
  std::vector<int> held;
  std::atomic<bool> stop{false};
  std::thread acceptor([&] {
    while (!stop.load()) {
      pollfd p{listener, POLLIN, 0};
      if (poll(&p, 1, 50) > 0) {
        held.push_back(accept(listener, nullptr, nullptr));  // only this thread touches it
      }
    }
  });
  std::vector<int> clients;
  for (int i = 0; i < count; ++i) {
    const int fd = Open(proxy, port);
    if (fd < 0) {
      std::fprintf(stderr, "connection %d failed\n", i);
      break;
    }
    clients.push_back(fd);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the workers settle (1 s)
  const long rss = VmRssKiB(pid);
  std::printf("%ld %zu\n", rss, clients.size());
  for (int fd : clients) {
    close(fd);
  }
  stop = true;
  acceptor.join();
  for (int fd : held) {
    close(fd);
  }
  close(listener);
  return clients.size() == static_cast<size_t>(count) ? 0 : 1;
}

// One keep-alive GET of the 1 KiB object through the HTTP proxy; the
// connection stays open. -1 on failure.
int KeepAliveGet(uint16_t proxy, uint16_t origin) {
  const int fd = ConnectLoopback(proxy);
  if (fd < 0) {
    return -1;
  }
  const std::string request = "GET http://127.0.0.1:" + std::to_string(origin) +
                              "/length/1k.bin HTTP/1.1\r\nHost: 127.0.0.1:" +
                              std::to_string(origin) + "\r\nConnection: keep-alive\r\n\r\n";
  std::string answer;
  char buffer[4096];
  size_t need = std::string::npos;
  bool ok = send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size());
  while (ok && (need == std::string::npos || answer.size() < need)) {
    pollfd p{fd, POLLIN, 0};
    const ssize_t got = poll(&p, 1, 10000) > 0 ? recv(fd, buffer, sizeof(buffer), 0) : -1;
    ok = got > 0;
    if (ok) {
      answer.append(buffer, static_cast<size_t>(got));
      const size_t end = answer.find("\r\n\r\n");
      if (need == std::string::npos && end != std::string::npos) {
        need = end + 4 + 1024;
      }
    }
  }
  if (!ok || answer.find(" 200 ") == std::string::npos) {
    close(fd);
    return -1;
  }
  return fd;
}

int HoldKeepAlive(uint16_t proxy, int count, const std::string& pid, uint16_t origin) {
  std::vector<int> clients;
  for (int i = 0; i < count; ++i) {
    const int fd = KeepAliveGet(proxy, origin);
    if (fd < 0) {
      std::fprintf(stderr, "keep-alive client %d failed\n", i);
      break;
    }
    clients.push_back(fd);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the workers settle (1 s)
  std::printf("%ld %zu\n", VmRssKiB(pid), clients.size());
  for (int fd : clients) {
    close(fd);
  }
  return clients.size() == static_cast<size_t>(count) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s throughput|setup|hold PROXY_PORT ARG [PID]\n", argv[0]);
    return 2;
  }
  const std::string mode = argv[1];
  std::string proxy_text = argv[2];
  if (proxy_text.rfind("http:", 0) == 0) {
    g_http_connect = true;
    proxy_text = proxy_text.substr(5);
  }
  const auto proxy = static_cast<uint16_t>(std::atoi(proxy_text.c_str()));
  if (mode == "throughput") {
    return Throughput(proxy, static_cast<size_t>(std::atol(argv[3])));
  }
  if (mode == "setup") {
    return Setup(proxy, std::atof(argv[3]));
  }
  if (mode == "hold" && argc > 4) {
    return Hold(proxy, std::atoi(argv[3]), argv[4]);
  }
  if (mode == "keepalive" && argc > 5) {
    return HoldKeepAlive(proxy, std::atoi(argv[3]), argv[4],
                         static_cast<uint16_t>(std::atoi(argv[5])));
  }
  return 2;
}
