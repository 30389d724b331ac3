// The FTP proxy under test on loopback: each client connection is accepted
// into a CFtpProxyClient with the test's configuration and served by
// FtpCmdThreadProc on a thread of its own; a sink keeps every log line and
// activity record.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/activity_log.h"
#include "proxies/ftp_mail/ftp_config.h"

namespace qlm::ftp::test {

class CFtpHarness : public engine::IReportSink {
 public:
  CFtpHarness();
  ~CFtpHarness() override;

  // A client connection served by FtpCmdThreadProc with `config`; the
  // caller closes the returned descriptor.
  int Connect(const FtpProxyConfig& config);
  // Every connection thread and every data-connection thread it started has
  // ended (each ends its activity row last; a data thread announces itself
  // with its "Data:" row).
  bool AllEnded();

  bool HasLog(const std::string& kind, const std::string& text);
  bool WaitForLog(const std::string& kind, const std::string& text);
  std::vector<std::string> Logs(const std::string& kind);
  std::vector<std::string> ActivityTexts();

  // engine::IReportSink
  void Log(engine::ThreadTag thread, const std::string& kind, const std::string& text) override;
  void Activity(const std::string& key, const std::string& connection,
                const std::optional<std::string>& text) override;

 private:
  int listener_ = -1;
  uint16_t port_ = 0;
  std::vector<std::thread> threads_;
  std::atomic<int> started_{0};
  std::atomic<int> ended_{0};
  std::mutex mutex_;
  std::vector<std::pair<std::string, std::string>> logs_;  // Guarded by mutex_
  std::vector<std::string> activities_;                     // Guarded by mutex_
  int data_rows_ = 0;                                       // Guarded by mutex_
  int ended_rows_ = 0;                                      // Guarded by mutex_
};

}  // namespace qlm::ftp::test
