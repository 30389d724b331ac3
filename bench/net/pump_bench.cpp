// Single-stream relay throughput over loopback TCP: the same 64 MiB moved
// once through CSocksPump (client -> pump -> remote) and once directly
// (client -> remote), so the pump's cost reads off as the ratio.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "engine/socks_pump.h"
#include "net/blocking_socket.h"

namespace {

constexpr size_t kStreamBytes = 64u << 20;
constexpr size_t kChunk = 64u << 10;

// A connected loopback TCP pair: first = connecting end, second = accepted.
std::pair<int, int> TcpPair() {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  listen(listener, 1);
  socklen_t length = sizeof(address);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  int client = socket(AF_INET, SOCK_STREAM, 0);
  connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  int served = accept(listener, nullptr, nullptr);
  close(listener);
  return {client, served};
}

void WriteStream(int fd, const std::vector<char>& chunk) {
  size_t sent = 0;
  while (sent < kStreamBytes) {
    ssize_t n = send(fd, chunk.data(), std::min(kChunk, kStreamBytes - sent), MSG_NOSIGNAL);
    if (n <= 0) {
      break;
    }
    sent += static_cast<size_t>(n);
  }
  shutdown(fd, SHUT_WR);
}

size_t ReadStream(int fd) {
  std::vector<char> buffer(kChunk);
  size_t total = 0;
  for (;;) {
    ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
    if (n <= 0) {
      return total;
    }
    total += static_cast<size_t>(n);
  }
}

void BM_DirectLoopback(benchmark::State& state) {
  std::vector<char> chunk(kChunk, 'x');
  for (auto _ : state) {
    auto [writer_fd, reader_fd] = TcpPair();
    std::thread writer([&, fd = writer_fd] { WriteStream(fd, chunk); });
    size_t got = ReadStream(reader_fd);
    writer.join();
    close(writer_fd);
    close(reader_fd);
    if (got != kStreamBytes) {
      state.SkipWithError("short stream");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kStreamBytes));
}

void BM_PumpRelay(benchmark::State& state) {
  using qlm::net::Timeout;
  std::vector<char> chunk(kChunk, 'x');
  for (auto _ : state) {
    auto [client_app, pump_in] = TcpPair();
    auto [pump_out, remote_app] = TcpPair();
    qlm::net::CBlockingSocket in;
    qlm::net::CBlockingSocket out;
    in.Attach(pump_in);
    out.Attach(pump_out);
    qlm::engine::CSocksPump pump(&in, &out);
    std::thread relay([&] { pump.Pump(Timeout{60000}); });
    std::thread writer([&, fd = client_app] { WriteStream(fd, chunk); });
    size_t got = ReadStream(remote_app);
    close(remote_app);  // ends the other direction, so the pump returns
    writer.join();
    relay.join();
    close(client_app);
    if (got != kStreamBytes || pump.BytesIn() != kStreamBytes) {
      state.SkipWithError("short stream");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kStreamBytes));
}

BENCHMARK(BM_DirectLoopback)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_PumpRelay)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
