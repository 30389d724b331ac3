// The FTP proxy's end-to-end pieces: a real FTP server (pyftpdlib, started
// by the test on port 21 of a loopback address of its own, serving a
// temporary folder) and a raw control connection to the proxy.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tests/support/child_process.h"

namespace qlm::ftp::test {

class CFtpServerProcess {
 public:
  // `data_port`: where active data connections leave from (20, or 0 for
  // any port).
  CFtpServerProcess(const std::string& address, uint16_t data_port = 20);
  ~CFtpServerProcess();
  // Waits until it listens; false with its standard error in a failure.
  bool Start();
  const std::string& Root() const { return root_; }
  const std::string& Address() const { return address_; }

 private:
  std::string address_;
  uint16_t data_port_;
  std::string root_;
  std::unique_ptr<qlm::test::CChildProcess> process_;
};

// Debian's interpreter: pyftpdlib comes from Debian's package
// (python3-pyftpdlib, installed by make deps), which only it can import.
inline constexpr const char* kDebianPython = "/usr/bin/python3";

inline constexpr const char* kUser = "alice";
inline constexpr const char* kPassword = "secret";

// `size` random bytes (fixed seed per size).
std::string RandomBytes(size_t size);
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace qlm::ftp::test
