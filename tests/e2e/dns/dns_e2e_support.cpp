// The DNS end-to-end kit.
#include "dns_e2e_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace qlm::dns::test {

namespace {

std::atomic<int> namespace_count{0};

}  // namespace

bool HostSh(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

CNetns::CNetns(const std::string& stem,
               const std::vector<std::pair<std::string, std::string>>& etc) {
  name_ = stem + "-" + std::to_string(::getpid() % 100000) + "-" +
          std::to_string(namespace_count.fetch_add(1));
  HostSh("ip netns del " + name_);
  ok_ = HostSh("ip netns add " + name_) && Sh("ip link set lo up");
  if (!etc.empty()) {
    const std::string folder = "/etc/netns/" + name_;
    std::filesystem::create_directories(folder);
    for (const auto& [file, text] : etc) {
      std::ofstream(folder + "/" + file) << text;
    }
  }
}

CNetns::~CNetns() {
  HostSh("ip netns del " + name_);
  std::error_code ec;
  std::filesystem::remove_all("/etc/netns/" + name_, ec);
}

bool CNetns::Sh(const std::string& command) const {
  return HostSh("ip netns exec " + name_ + " " + command);
}

std::vector<std::string> CNetns::Launcher() const { return {"ip", "netns", "exec", name_}; }

void CNetns::Enter(const std::function<void()>& work) const {
  std::thread thread([&] {
    const int fd = ::open(("/run/netns/" + name_).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      return;
    }
    const bool entered = ::setns(fd, CLONE_NEWNET) == 0;
    ::close(fd);
    if (entered) {
      work();
    }
  });
  thread.join();
}

int UdpSocketIn(const CNetns& ns, const std::string& ip, uint16_t port) {
  int result = -1;
  ns.Enter([&] {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = inet_addr(ip.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
      ::close(fd);
      return;
    }
    result = fd;
  });
  return result;
}

bool SendTo(int fd, const Bytes& bytes, const std::string& ip, uint16_t port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = inet_addr(ip.c_str());
  return ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to),
                  sizeof(to)) == static_cast<ssize_t>(bytes.size());
}

qlm::test::RunResult Dig(const CNetns& ns, const std::string& server, uint16_t port,
                         const std::string& source, const std::vector<std::string>& words,
                         int seconds) {
  std::vector<std::string> argv = ns.Launcher();
  for (const std::string& word :
       {std::string("dig"), "@" + server, std::string("-p"), std::to_string(port),
        std::string("-b"), source, "+time=" + std::to_string(seconds), std::string("+tries=1")}) {
    argv.push_back(word);
  }
  argv.insert(argv.end(), words.begin(), words.end());
  return qlm::test::Run(argv, {}, std::nullopt, std::chrono::seconds(seconds + 10));
}

std::string Squeeze(const std::string& text) {
  std::string out;
  for (char c : text) {
    const bool blank = c == ' ' || c == '\t';
    if (blank && !out.empty() && out.back() == ' ') {
      continue;
    }
    out.push_back(blank ? ' ' : c);
  }
  return out;
}

std::string DnsValues(bool forward, bool broadcast, uint32_t ttl) {
  char text[128];
  std::snprintf(text, sizeof text, "\"Forward\"=hex:%s\n\"Broadcast\"=hex:%s\n\"TTL\"=dword:%08x",
                forward ? "01" : "00", broadcast ? "01" : "00", ttl);
  return text;
}

}  // namespace qlm::dns::test
