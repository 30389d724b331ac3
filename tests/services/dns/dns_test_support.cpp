// The DNS relay's test kit.
#include "dns_test_support.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "engine/log_file.h"
#include "services/dns/dns_dg_client_thread.h"
#include "services/dns/dns_protocol.h"
#include "services/dns/learned_dns_servers.h"
#include "tests/support/fake_servers.h"
#include "tests/support/wait_until.h"

namespace qlm::dns::test {

Bytes Query(uint16_t id, const std::string& name, uint16_t type, uint8_t flags1,
            uint16_t qclass) {
  Bytes q = {static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id & 0xFF),
             flags1, 0x00,  // flags
             0x00, 0x01,    // QDCOUNT
             0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  size_t start = 0;
  while (start < name.size()) {
    size_t dot = name.find('.', start);
    if (dot == std::string::npos) {
      dot = name.size();
    }
    q.push_back(static_cast<uint8_t>(dot - start));
    q.insert(q.end(), name.begin() + static_cast<long>(start),
             name.begin() + static_cast<long>(dot));
    start = dot + 1;
  }
  q.push_back(0);
  q.push_back(static_cast<uint8_t>(type >> 8));
  q.push_back(static_cast<uint8_t>(type & 0xFF));
  q.push_back(static_cast<uint8_t>(qclass >> 8));
  q.push_back(static_cast<uint8_t>(qclass & 0xFF));
  return q;
}

uint16_t Read16(const Bytes& bytes, size_t offset) {
  return static_cast<uint16_t>((bytes.at(offset) << 8) | bytes.at(offset + 1));
}

void CFakeResolver::Add(const std::string& name, const std::string& official,
                        const std::vector<std::string>& addresses) {
  net::HostEntry entry;
  entry.name = official;
  for (const std::string& text : addresses) {
    in_addr a{};
    inet_pton(AF_INET, text.c_str(), &a);
    entry.addresses.push_back(a);
  }
  std::lock_guard lock(mutex_);
  names_[name] = entry;
}

std::optional<net::HostEntry> CFakeResolver::ByName(const std::string& name) {
  std::lock_guard lock(mutex_);
  auto found = names_.find(name);
  if (found == names_.end()) {
    return std::nullopt;
  }
  return found->second;
}

std::optional<net::HostEntry> CFakeResolver::ByAddress(in_addr) { return std::nullopt; }

CFakeUpstream::CFakeUpstream(const std::string& ip, Answer answer, std::vector<std::string> also)
    : fd_(qlm::test::UdpSocket(ip.c_str(), 53)), answer_(std::move(answer)) {
  for (const std::string& other : also) {
    also_fds_.push_back(qlm::test::UdpSocket(other.c_str(), 53));
  }
  if (fd_ < 0) {
    return;
  }
  thread_ = std::thread([this] {
    while (!stop_.load()) {
      sockaddr_in from{};
      socklen_t length = sizeof(from);
      uint8_t buffer[2048];
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) {
        continue;
      }
      const ssize_t got = recvfrom(fd_, buffer, sizeof(buffer), 0,
                                   reinterpret_cast<sockaddr*>(&from), &length);
      if (got <= 0) {
        continue;
      }
      const Bytes query(buffer, buffer + got);
      {
        std::lock_guard lock(mutex_);
        last_ = query;
      }
      queries_.fetch_add(1);
      const std::vector<Bytes> replies = answer_(query);
      for (size_t i = 0; i < replies.size(); ++i) {
        const int fd = i == 0 ? fd_ : (i - 1 < also_fds_.size() ? also_fds_[i - 1] : -1);
        if (fd >= 0) {
          sendto(fd, replies[i].data(), replies[i].size(), 0,
                 reinterpret_cast<const sockaddr*>(&from), sizeof(from));
        }
      }
    }
  });
}

CFakeUpstream::~CFakeUpstream() {
  stop_.store(true);
  if (thread_.joinable()) {
    thread_.join();
  }
  for (int fd : also_fds_) {
    if (fd >= 0) {
      close(fd);
    }
  }
  if (fd_ >= 0) {
    close(fd_);
  }
}

Bytes CFakeUpstream::LastQuery() {
  std::lock_guard lock(mutex_);
  return last_;
}

Bytes UpstreamReply(const Bytes& query, uint8_t rcode, size_t extra) {
  Bytes reply = query;
  reply[2] |= 0x80;
  reply[3] = static_cast<uint8_t>(0x80 | rcode);
  reply.insert(reply.end(), extra, 0xAB);
  return reply;
}

DnsConfig ShortConfig() {
  DnsConfig config;
  config.timeouts.upstream_reply = std::chrono::milliseconds(300);
  config.timeouts.learning = std::chrono::milliseconds(300);
  config.timeouts.send = std::chrono::milliseconds(1000);
  return config;
}

CDnsHarness::CDnsHarness(const std::string& daemon_ip, const std::string& client_ip,
                         const engine::DnsSettings& settings)
    : dir_("qlm-dns"), resolver_(std::make_shared<CFakeResolver>()) {
  engine::OpenLog(dir_.File("dns.log"));
  net::CHostCache::Instance().Clear();
  net::CHostCache::Instance().SetResolver(resolver_);
  CLearnedDnsServers::Instance().ResetForTest();
  DnsWorkerLimit().Reset(kDnsWorkerBound);
  SetDnsConfiguration(ShortConfig());
  daemon_.name = "DNS";
  daemon_.type = net::kDatagram;
  daemon_.address = daemon_ip;
  daemon_.dns = std::make_unique<engine::DnsSettings>(settings);
  daemon_.socket.Create(net::kDatagram);
  daemon_.socket.Bind(net::MakeAddress(daemon_ip, 0));
  daemon_.socket.GetSockName(&daemon_.local_address);
  daemon_.port = ntohs(daemon_.local_address.sin_port);
  client_fd_ = qlm::test::UdpSocket(client_ip.c_str(), 0);
  socklen_t length = sizeof(client_address_);
  getsockname(client_fd_, reinterpret_cast<sockaddr*>(&client_address_), &length);
}

CDnsHarness::~CDnsHarness() {
  qlm::test::WaitUntil([this] { return Idle(); });
  if (client_fd_ >= 0) {
    close(client_fd_);
  }
  net::CHostCache::Instance().SetResolver(nullptr);
  net::CHostCache::Instance().Clear();
  engine::CloseLog();
}

void CDnsHarness::Send(const Bytes& datagram) {
  auto context = std::make_unique<engine::ConnectionContext>();
  context->Daemon = &daemon_;
  context->Data.assign(datagram.begin(), datagram.end());
  context->Address = client_address_;
  DnsProtocol().start(std::move(context));
}

Bytes CDnsHarness::Receive(int ms, sockaddr_in* from) {
  pollfd p{client_fd_, POLLIN, 0};
  if (::poll(&p, 1, ms) <= 0) {
    return {};
  }
  uint8_t buffer[65536];
  sockaddr_in sender{};
  socklen_t length = sizeof(sender);
  const ssize_t got = recvfrom(client_fd_, buffer, sizeof(buffer), 0,
                               reinterpret_cast<sockaddr*>(&sender), &length);
  if (from != nullptr) {
    *from = sender;
  }
  return got > 0 ? Bytes(buffer, buffer + got) : Bytes{};
}

bool CDnsHarness::Idle() { return DnsWorkerLimit().Free() == kDnsWorkerBound; }

}  // namespace qlm::dns::test
