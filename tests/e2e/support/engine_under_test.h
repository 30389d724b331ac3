// The engine under test: a temporary folder with its own store
// (QUILLMAR_STORE) and run-time folder (QUILLMAR_RUNDIR), a service address of
// its own in 127.0.0.0/8, free ports, `qlmsvr -debug` started and awaited
// (until its manager port and listeners listen, read from /proc/net without
// connecting, so no connection of the fixture's disturbs a test's),
// its log file readable, and at the end SIGTERM with the exit code checked.
//
// Typical use:
//   EngineUnderTest engine("127.0.0.61");
//   const uint16_t port = engine.AddDaemon("Newsgroups");
//   ASSERT_TRUE(engine.Start());
//   ... connect to engine.Ip():port, read engine.LogLines() ...
// The destructor stops the engine and expects exit code 0 (ExpectExit
// changes that); it removes the folder.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace qlm::test {

class EngineUnderTest {
 public:
  // `ip` is the engine's DefaultIP; give every test a 127.0.0.x of its own.
  // `launcher` runs the engine inside something else (["ip", "netns",
  // "exec", NAME]); then ports are counted from 20000 (a fresh namespace has
  // every port free) and listeners are awaited through the engine's own
  // /proc/<pid>/net tables instead of by connecting.
  explicit EngineUnderTest(std::string ip, std::vector<std::string> launcher = {});
  ~EngineUnderTest();
  EngineUnderTest(const EngineUnderTest&) = delete;
  EngineUnderTest& operator=(const EngineUnderTest&) = delete;

  // --- Before Start: the store ---

  // A listener of daemon `name` on Ip() and a free port (TCP, or UDP for
  // `datagram`); returns the port. `values` are further store lines of the
  // daemon's entry ("\"TTL\"=dword:00000010"). The seven basic daemons not
  // added this way are stored disabled on free ports, so nothing listens on
  // the well-known ports.
  uint16_t AddDaemon(const std::string& name, bool enable = true, bool datagram = false,
                     const std::string& values = "");
  // The same with a listener text of the test's own (e.g. another address).
  void AddDaemonListener(const std::string& name, const std::string& listener_text,
                         bool enable = true, const std::string& values = "");
  // A variable of the engine's environment (PATH without a program, ...).
  void SetEnvironment(const std::string& name, const std::string& value) {
    extra_environment_[name] = value;
  }
  // Store text applied after the fixture's own (registry-editor format).
  void AddStoreText(const std::string& text) { extra_text_ += text; }
  // Section values.
  void SetLogging(bool enable, uint32_t max_lines = 2000);
  void SetActivity(bool enable, uint32_t max_connections = 2000);
  void SetUseDefaultIp(bool use) { use_default_ip_ = use; }
  // Listeners Start waits for besides the manager port (all added enabled
  // ones unless told otherwise).
  void DoNotAwait(uint16_t port) { not_awaited_.insert(port); }

  // --- Running ---

  // Writes the store with qlmreg, starts `qlmsvr -debug`, and waits until the
  // manager port and every awaited listener listen.
  // false (with the reason in a gtest failure) when that does not happen.
  bool Start(std::chrono::milliseconds deadline = std::chrono::seconds(10));
  // The two halves of Start: the store, then the engine without waiting.
  bool WriteStore();
  void Launch();
  // SIGTERM and wait; the exit code (nullopt when it did not end in time).
  std::optional<int> Stop(int signal = 15,
                          std::chrono::milliseconds deadline = std::chrono::seconds(10));
  // The exit code the destructor expects (default 0).
  void ExpectExit(int code) { expected_exit_ = code; }

  const std::string& Ip() const { return ip_; }
  uint16_t ManagerPort() const { return manager_port_; }
  const std::string& Folder() const { return folder_; }
  const std::string& LogPath() const { return log_path_; }
  CChildProcess& Process() { return *process_; }
  // The environment the engine runs with (for a second engine or qlmreg).
  std::map<std::string, std::string> Environment() const;

  // A free TCP/UDP port on Ip() not yet given out by this fixture.
  uint16_t FreeTcpPort();
  uint16_t FreeUdpPort();

  // The log file's lines now (empty when there is no file).
  std::vector<std::string> LogLines() const;
  // Waits until a log line contains `text`.
  bool WaitForLog(const std::string& text,
                  std::chrono::milliseconds deadline = std::chrono::seconds(10)) const;
  // The number of log lines containing `text`.
  size_t CountLog(const std::string& text) const;

 private:
  std::string StoreText();
  uint16_t Unique(uint16_t (*free_port)(const std::string&));

  struct Listener {
    std::string name;
    std::string text;
    bool enable;
    bool datagram;
    uint16_t port;  // 0: not the fixture's to await
    std::string values;
  };

  std::string ip_;
  std::string folder_;
  std::string log_path_;
  uint16_t manager_port_ = 0;
  bool log_enable_ = true;
  uint32_t max_lines_ = 2000;
  bool activity_enable_ = false;
  uint32_t max_connections_ = 2000;
  bool use_default_ip_ = true;
  std::string extra_text_;
  std::map<std::string, std::string> extra_environment_;
  std::vector<Listener> listeners_;
  std::set<uint16_t> given_;
  std::set<uint16_t> not_awaited_;
  std::vector<std::string> launcher_;
  uint16_t next_fixed_port_ = 20000;
  std::unique_ptr<CChildProcess> process_;
  int expected_exit_ = 0;
};

// True when `ip`:`port` is a listening TCP socket (or a bound UDP one) in
// this network namespace, read from /proc/net without connecting.
// `pid` > 0 reads that process's namespace's tables.
bool IsListening(const std::string& ip, uint16_t port, bool udp = false, int pid = 0);

}  // namespace qlm::test
