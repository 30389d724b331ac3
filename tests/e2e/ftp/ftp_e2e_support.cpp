// The FTP server process and file helpers of the FTP end-to-end tests.
#include "tests/e2e/ftp/ftp_e2e_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "tests/e2e/support/engine_under_test.h"
#include "tests/support/wait_until.h"

namespace qlm::ftp::test {

CFtpServerProcess::CFtpServerProcess(const std::string& address, uint16_t data_port)
    : address_(address), data_port_(data_port) {
  char pattern[] = "/tmp/qlm-ftp-root-XXXXXX";
  root_ = mkdtemp(pattern);
}

CFtpServerProcess::~CFtpServerProcess() {
  if (process_) {
    process_->Signal(9);
    process_->Wait();
  }
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

bool CFtpServerProcess::Start() {
  process_ = std::make_unique<qlm::test::CChildProcess>(std::vector<std::string>{
      kDebianPython, std::string(QLM_SOURCE_DIR) + "/tests/e2e/ftp/ftp_server.py", "--address",
      address_, "--port", "21", "--root", root_, "--user", kUser, "--password", kPassword,
      "--data-port", std::to_string(data_port_)});
  const bool up = qlm::test::WaitUntil(
      [this] { return qlm::test::IsListening(address_, 21) || !process_->Running(); });
  if (!up || !process_->Running()) {
    ADD_FAILURE() << "FTP server did not start: " << process_->Stderr();
    return false;
  }
  return true;
}

std::string RandomBytes(size_t size) {
  std::mt19937 generator(static_cast<unsigned>(size));
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    c = static_cast<char>(generator() & 0xFF);
  }
  return bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace qlm::ftp::test
