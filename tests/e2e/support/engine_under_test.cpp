// The engine fixture.
#include "tests/e2e/support/engine_under_test.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::test {

namespace {

namespace fs = std::filesystem;

// The basic daemons the engine adds when the store lacks them.
const char* const kBasicDaemons[] = {"DNS", "HTTP", "SOCKS", "FTP", "Telnet", "RealAudio",
                                     "Email"};

std::string Dword(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "dword:%08x", value);
  return text;
}

// /proc/net/tcp writes the address as the 32-bit word in host order, hex.
std::string ProcAddress(const std::string& ip, uint16_t port) {
  in_addr address{};
  inet_pton(AF_INET, ip.c_str(), &address);
  char text[32];
  std::snprintf(text, sizeof text, "%08X:%04X", address.s_addr, port);
  return text;
}

}  // namespace

bool IsListening(const std::string& ip, uint16_t port, bool udp, int pid) {
  const std::string base = pid > 0 ? "/proc/" + std::to_string(pid) + "/net/" : "/proc/net/";
  std::ifstream table(base + (udp ? "udp" : "tcp"));
  const std::string wanted = ProcAddress(ip, port);
  std::string line;
  std::getline(table, line);  // heading
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state;
    fields >> slot >> local >> remote >> state;
    if (local == wanted && (udp ? state == "07" : state == "0A")) {
      return true;
    }
  }
  return false;
}

EngineUnderTest::EngineUnderTest(std::string ip, std::vector<std::string> launcher)
    : ip_(std::move(ip)), launcher_(std::move(launcher)) {
  char pattern[] = "/tmp/qlm-e2e-XXXXXX";
  folder_ = ::mkdtemp(pattern);
  log_path_ = folder_ + "/engine.log";
  manager_port_ = FreeTcpPort();
}

EngineUnderTest::~EngineUnderTest() {
  if (process_ && process_->Running()) {
    const std::optional<int> code = Stop();
    EXPECT_EQ(code, std::optional<int>(expected_exit_))
        << "engine exit; standard error:\n" << process_->Stderr();
  }
  process_.reset();
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

uint16_t EngineUnderTest::Unique(uint16_t (*free_port)(const std::string&)) {
  if (!launcher_.empty()) {
    return next_fixed_port_++;
  }
  for (int i = 0; i < 100; ++i) {
    const uint16_t port = free_port(ip_);
    if (port != 0 && given_.insert(port).second) {
      return port;
    }
  }
  ADD_FAILURE() << "no free port on " << ip_;
  return 0;
}

uint16_t EngineUnderTest::FreeTcpPort() { return Unique(&qlm::test::FreeTcpPort); }
uint16_t EngineUnderTest::FreeUdpPort() { return Unique(&qlm::test::FreeUdpPort); }

uint16_t EngineUnderTest::AddDaemon(const std::string& name, bool enable, bool datagram,
                                    const std::string& values) {
  const uint16_t port = datagram ? FreeUdpPort() : FreeTcpPort();
  listeners_.push_back(
      {name, ip_ + ":" + std::to_string(port), enable, datagram, port, values});
  return port;
}

void EngineUnderTest::AddDaemonListener(const std::string& name, const std::string& text,
                                        bool enable, const std::string& values) {
  listeners_.push_back({name, text, enable, false, 0, values});
}

void EngineUnderTest::SetLogging(bool enable, uint32_t max_lines) {
  log_enable_ = enable;
  max_lines_ = max_lines;
}

void EngineUnderTest::SetActivity(bool enable, uint32_t max_connections) {
  activity_enable_ = enable;
  max_connections_ = max_connections;
}

std::map<std::string, std::string> EngineUnderTest::Environment() const {
  std::map<std::string, std::string> environment = extra_environment_;
  environment["QUILLMAR_STORE"] = folder_ + "/quillmar.db";
  environment["QUILLMAR_RUNDIR"] = folder_ + "/run";
  environment["QUILLMAR_MANAGER_PORT"] = std::to_string(manager_port_);
  return environment;
}

std::string EngineUnderTest::StoreText() {
  std::ostringstream text;
  text << "[General]\n\"UseDefaultIP\"=" << Dword(use_default_ip_ ? 1 : 0) << "\n"
       << "\"DefaultIP\"=\"" << ip_ << "\"\n\n"
       << "[Activity]\n\"Enable\"=" << Dword(activity_enable_ ? 1 : 0) << "\n"
       << "\"MaxConnections\"=" << Dword(max_connections_) << "\n\n"
       << "[Log]\n\"FileName\"=\"" << log_path_ << "\"\n"
       << "\"Enable\"=" << Dword(log_enable_ ? 1 : 0) << "\n"
       << "\"MaxLines\"=" << Dword(max_lines_) << "\n\n";
  std::vector<Listener> all = listeners_;
  for (const char* basic : kBasicDaemons) {
    bool present = false;
    for (const Listener& l : listeners_) {
      present = present || l.name == basic;
    }
    if (!present) {
      const uint16_t port = FreeTcpPort();
      all.push_back({basic, ip_ + ":" + std::to_string(port), false, false, 0, ""});
    }
  }
  for (const Listener& l : all) {
    text << "[Daemons\\" << l.text << "]\n\"Name\"=\"" << l.name << "\"\n"
         << "\"DefaultPort\"=" << Dword(l.port) << "\n"
         << "\"Enable\"=hex:" << (l.enable ? "01" : "00") << "\n"
         << "\"Security\"=hex:00\n";
    if (!l.values.empty()) {
      text << l.values << "\n";
    }
    text << "\n";
  }
  text << extra_text_;
  return text.str();
}

bool EngineUnderTest::WriteStore() {
  const std::string qlmreg = std::string(QLM_BIN_DIR) + "/qlmreg";
  const RunResult init = Run({qlmreg, "init", folder_}, Environment());
  if (init.code != 0) {
    ADD_FAILURE() << "qlmreg init: " << init.out << init.err;
    return false;
  }
  const std::string store = StoreText();
  const RunResult import = Run({qlmreg, "import", "-"}, Environment(), store);
  if (import.code != 0) {
    ADD_FAILURE() << "qlmreg import: " << import.out << import.err << "\n" << store;
    return false;
  }
  return true;
}

void EngineUnderTest::Launch() {
  std::vector<std::string> argv = launcher_;
  argv.push_back(std::string(QLM_BIN_DIR) + "/qlmsvr");
  argv.push_back("-debug");
  process_ = std::make_unique<CChildProcess>(argv, Environment());
}

bool EngineUnderTest::Start(std::chrono::milliseconds deadline) {
  if (!WriteStore()) {
    return false;
  }
  Launch();
  const int pid = launcher_.empty() ? 0 : process_->Pid();
  // Awaited without connecting: a connection to the manager port would be a
  // manager of its own, which could take the channel from the test's manager.
  const bool manager = WaitUntil(
      [&] { return !process_->Running() || IsListening(ip_, manager_port_, false, pid); },
      deadline);
  if (!manager || !process_->Running()) {
    ADD_FAILURE() << "the engine did not open its manager port; standard error:\n"
                  << process_->Stderr();
    return false;
  }
  for (const Listener& l : listeners_) {
    if (!l.enable || l.port == 0 || not_awaited_.count(l.port) != 0) {
      continue;
    }
    if (!WaitUntil([&] { return IsListening(ip_, l.port, l.datagram, pid); }, deadline)) {
      ADD_FAILURE() << l.name << " does not listen on " << l.text << "; standard error:\n"
                    << process_->Stderr();
      return false;
    }
  }
  return true;
}

std::optional<int> EngineUnderTest::Stop(int signal, std::chrono::milliseconds deadline) {
  if (!process_) {
    return std::nullopt;
  }
  process_->Signal(signal);
  return process_->Wait(deadline);
}

std::vector<std::string> EngineUnderTest::LogLines() const {
  std::vector<std::string> lines;
  std::ifstream file(log_path_);
  std::string line;
  while (std::getline(file, line)) {
    lines.push_back(line);
  }
  return lines;
}

size_t EngineUnderTest::CountLog(const std::string& text) const {
  size_t count = 0;
  for (const std::string& line : LogLines()) {
    count += line.find(text) != std::string::npos ? 1 : 0;
  }
  return count;
}

bool EngineUnderTest::WaitForLog(const std::string& text,
                                 std::chrono::milliseconds deadline) const {
  return WaitUntil([&] { return CountLog(text) > 0; }, deadline);
}

}  // namespace qlm::test
