// The client side of the port-mapping benchmark, run by portmap_bench.sh
// against one forwarder at a time (or the sink itself, for the direct copy):
//   sink                      serves until killed: prints its TCP and UDP
//                             ports, reads every connection to its end then
//                             closes it, echoes every datagram
//   throughput PORT MIB       sends MIB MiB, half-closes, waits for the close
//                             passed back; prints MiB/s
//   setup PORT SECONDS        connects and closes; prints connections per second
//   datagrams PORT SECONDS    one datagram at a time, each waiting for its echo;
//                             prints round trips per second
// Everything on 127.0.0.1.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

uint16_t BoundPort(int fd) {
  sockaddr_in a{};
  socklen_t length = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  return ntohs(a.sin_port);
}

int Sink() {
  const int tcp = socket(AF_INET, SOCK_STREAM, 0);
  const int one = 1;
  setsockopt(tcp, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a = Loopback(0);
  bind(tcp, reinterpret_cast<sockaddr*>(&a), sizeof a);
  listen(tcp, 4096);
  const int udp = socket(AF_INET, SOCK_DGRAM, 0);
  bind(udp, reinterpret_cast<sockaddr*>(&a), sizeof a);
  std::printf("%u %u\n", BoundPort(tcp), BoundPort(udp));
  std::fflush(stdout);
  std::thread([udp] {
    std::vector<char> buffer(65536);
    for (;;) {
      sockaddr_in from{};
      socklen_t length = sizeof from;
      const ssize_t got = recvfrom(udp, buffer.data(), buffer.size(), 0,
                                   reinterpret_cast<sockaddr*>(&from), &length);
      if (got >= 0) {
        sendto(udp, buffer.data(), static_cast<size_t>(got), 0,
               reinterpret_cast<sockaddr*>(&from), length);
      }
    }
  }).detach();
  for (;;) {
    const int fd = accept(tcp, nullptr, nullptr);
    if (fd < 0) {
      continue;
    }
    std::thread([fd] {
      std::vector<char> buffer(1 << 16);
      while (recv(fd, buffer.data(), buffer.size(), 0) > 0) {
      }
      close(fd);
    }).detach();
  }
}

int Throughput(uint16_t port, size_t mib) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = Loopback(port);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    std::printf("0\n");
    return 1;
  }
  std::vector<char> block(1 << 20, 'q');
  const Clock::time_point start = Clock::now();
  for (size_t i = 0; i < mib; ++i) {
    size_t done = 0;
    while (done < block.size()) {
      const ssize_t sent = send(fd, block.data() + done, block.size() - done, MSG_NOSIGNAL);
      if (sent <= 0) {
        std::printf("0\n");
        return 1;
      }
      done += static_cast<size_t>(sent);
    }
  }
  shutdown(fd, SHUT_WR);
  char byte;
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, 30000) > 0) {
    (void)recv(fd, &byte, 1, 0);  // the sink's close, passed back
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  close(fd);
  std::printf("%.0f\n", static_cast<double>(mib) / seconds);
  return 0;
}

int Setup(uint16_t port, double seconds) {
  const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(seconds));
  long count = 0;
  const Clock::time_point start = Clock::now();
  while (Clock::now() < end) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = Loopback(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
      // One byte through and the close seen: the forwarder really connected.
      (void)send(fd, "x", 1, MSG_NOSIGNAL);
      shutdown(fd, SHUT_WR);
      char byte;
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 5000) > 0 && recv(fd, &byte, 1, 0) == 0) {
        ++count;
      }
    }
    close(fd);
  }
  std::printf("%.0f\n", static_cast<double>(count) /
                             std::chrono::duration<double>(Clock::now() - start).count());
  return 0;
}

int Datagrams(uint16_t port, double seconds) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a = Loopback(port);
  connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  const Clock::time_point start = Clock::now();
  const Clock::time_point end = start + std::chrono::duration_cast<Clock::duration>(
                                            std::chrono::duration<double>(seconds));
  long count = 0;
  char buffer[512] = "datagram";
  while (Clock::now() < end) {
    send(fd, buffer, 64, 0);
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 1000) > 0 && recv(fd, buffer, sizeof buffer, 0) > 0) {
      ++count;
    }
  }
  std::printf("%.0f\n", static_cast<double>(count) /
                             std::chrono::duration<double>(Clock::now() - start).count());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "sink") {
    return Sink();
  }
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s sink | throughput|setup|datagrams PORT ARG\n", argv[0]);
    return 2;
  }
  const auto port = static_cast<uint16_t>(std::atoi(argv[2]));
  if (mode == "throughput") {
    return Throughput(port, static_cast<size_t>(std::atol(argv[3])));
  }
  if (mode == "setup") {
    return Setup(port, std::atof(argv[3]));
  }
  if (mode == "datagrams") {
    return Datagrams(port, std::atof(argv[3]));
  }
  return 2;
}
