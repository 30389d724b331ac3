// An in-process web host for the release update check, on a loopback address
// of the test's own: it records every request it gets and answers each with
// the response it was given, or, when silent, with nothing until the test
// ends.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/fake_servers.h"

namespace qlm::update::test {

class CReleaseOrigin {
 public:
  // `response`: the whole answer, status line included.
  CReleaseOrigin(const char* ip, std::string response, bool silent = false);
  ~CReleaseOrigin();

  // "ip:port", as UpdateHost names it.
  std::string Host() const;
  uint16_t Port() const { return server_->Port(); }
  int Connections() const { return server_->Accepted(); }
  std::vector<std::string> Requests();

 private:
  void Serve(int fd);

  std::string ip_;
  std::string response_;
  bool silent_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> requests_;  // Guarded by mutex_
  std::unique_ptr<qlm::test::CTcpServer> server_;
};

// "HTTP/1.0 200 OK" with a body.
std::string Ok(const std::string& body);
// A release file announcing `version` with the days until the next check.
std::string ReleaseFile(const std::string& version, int days, const std::string& message);

}  // namespace qlm::update::test
