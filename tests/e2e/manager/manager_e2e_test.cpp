// The real quillmar with the real qlmsvr on a virtual X server: it connects
// and shows the daemon list, real SOCKS and HTTP clients come and go in the
// activity tree, the log viewer shows the engine's lines, Stop Engine and
// Start Engine without systemd, and a second manager is refused. Each test
// saves a screenshot of the screen under build/screenshots/manager/ and
// checks that it is not one colour.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <sstream>

#include "tests/e2e/manager/manager_under_test.h"
#include "tests/e2e/support/engine_under_test.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_servers.h"
#include "tests/support/loopback.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace qlm::test {
namespace {

using std::chrono::seconds;

// An origin server that holds every answer until released, so the clients'
// connections stay open while the test looks at the tree.
class CHeldOrigin {
 public:
  CHeldOrigin()
      : server_([this](int fd) { Serve(fd); }) {}
  ~CHeldOrigin() { Release(); }
  uint16_t Port() const { return server_.Port(); }
  int Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    released_cv_.notify_all();
  }

 private:
  void Serve(int fd) {
    std::string head;
    char byte = 0;
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 8192 &&
           ::recv(fd, &byte, 1, 0) == 1) {
      head.push_back(byte);
    }
    std::unique_lock<std::mutex> lock(mutex_);
    ++requests_;
    released_cv_.wait_for(lock, seconds(60), [this] { return released_; });
    lock.unlock();
    WriteAll(fd, "HTTP/1.0 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello");
  }

  mutable std::mutex mutex_;
  std::condition_variable released_cv_;
  bool released_ = false;  // Guarded by mutex_
  int requests_ = 0;       // Guarded by mutex_
  CTcpServer server_;
};

// Lines of the activity tree at the connection level (four levels deep).
int ConnectionLines(const std::string& state) {
  const size_t start = state.find("[activity]\n");
  const size_t end = state.find("[log]");
  if (start == std::string::npos || end == std::string::npos) {
    return -1;
  }
  std::istringstream tree(state.substr(start, end - start));
  int count = 0;
  for (std::string line; std::getline(tree, line);) {
    count += line.rfind("        ", 0) == 0 && line.size() > 8 && line[8] != ' ';
  }
  return count;
}

class ManagerE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    socks_port_ = engine_.AddDaemon("SOCKS");
    http_port_ = engine_.AddDaemon("HTTP");
    engine_.SetActivity(true);
    ASSERT_TRUE(engine_.Start());
    // The installed programs are the build's.
    const RunResult set = test::Run({std::string(QLM_BIN_DIR) + "/qlmreg", "set", "", "InstallDir", "sz",
                               QLM_BIN_DIR},
                              engine_.Environment());
    ASSERT_EQ(set.code, 0) << set.err;
    ASSERT_FALSE(display_.Name().empty());
    manager_ = std::make_unique<CManagerUnderTest>(display_, engine_.Environment(),
                                                   hooks_.Path() + "/first");
    ASSERT_TRUE(manager_->Start());
  }

  std::string DaemonTree() const {
    return "Proxy Connections\n  " + engine_.Ip() + "\n    HTTP\n      Port " +
           std::to_string(http_port_) + "\n    SOCKS\n      Port " + std::to_string(socks_port_) +
           "\n";
  }

  // Waits for the splash to go, saves the screen, checks it is not blank.
  void Screenshot(const std::string& name) {
    ASSERT_TRUE(manager_->WaitForState("splash=0"));
    const std::string path = manager_->Screenshot("manager/" + name);
    ASSERT_FALSE(path.empty());
    EXPECT_GT(ColourCount(path), 1) << path << " is one colour";
  }

  EngineUnderTest engine_{"127.0.0.83"};
  uint16_t socks_port_ = 0;
  uint16_t http_port_ = 0;
  CTempDir hooks_{"qlm-manager-e2e"};
  CVirtualDisplay display_;
  std::unique_ptr<CManagerUnderTest> manager_;
};

TEST_F(ManagerE2eTest, ConnectsAndShowsTheDaemonList) {
  ASSERT_TRUE(manager_->WaitForState("connected=1")) << manager_->State();
  ASSERT_TRUE(manager_->WaitForState("[activity]\n" + DaemonTree())) << manager_->State();
  // Connected: Stop Engine on, Start Engine off.
  EXPECT_TRUE(manager_->WaitForState(" 32783:0 32784:1")) << manager_->State();
  EXPECT_EQ(manager_->Messages(), "");
  Screenshot("connects_daemon_list");
}

TEST_F(ManagerE2eTest, SocksAndHttpClientsComeAndGoInTheActivityTree) {
  ASSERT_TRUE(manager_->WaitForState("[activity]\n" + DaemonTree())) << manager_->State();
  CHeldOrigin origin;
  const std::string url = "http://127.0.0.1:" + std::to_string(origin.Port()) + "/page";
  const std::string socks = engine_.Ip() + ":" + std::to_string(socks_port_);
  const std::string http = "http://" + engine_.Ip() + ":" + std::to_string(http_port_);
  std::vector<std::unique_ptr<CChildProcess>> clients;
  for (const auto& option : std::vector<std::vector<std::string>>{
           {"--socks5", socks}, {"--socks4", socks}, {"-x", http}}) {
    std::vector<std::string> argv{"curl", "-sS", "--max-time", "60"};
    argv.insert(argv.end(), option.begin(), option.end());
    argv.push_back(url);
    clients.push_back(std::make_unique<CChildProcess>(argv));
  }
  ASSERT_TRUE(WaitUntil([&] { return origin.Requests() == 3; }, seconds(20)));
  ASSERT_TRUE(manager_->WaitForStateWhere([](const std::string& s) { return ConnectionLines(s) == 3; }))
      << manager_->State();
  Screenshot("activity_three_clients");
  origin.Release();
  for (auto& client : clients) {
    EXPECT_EQ(client->Wait(seconds(30)), std::optional<int>(0)) << client->Stderr();
    EXPECT_EQ(client->Stdout(), "hello");
  }
  ASSERT_TRUE(manager_->WaitForStateWhere([](const std::string& s) { return ConnectionLines(s) == 0; }))
      << manager_->State();
  EXPECT_TRUE(manager_->WaitForState("[activity]\n" + DaemonTree()));
  Screenshot("activity_clients_gone");
}

TEST_F(ManagerE2eTest, TheLogViewerShowsTheEngineLines) {
  ASSERT_TRUE(manager_->WaitForState("connected=1"));
  // Lines of the engine's own: the activity lines of three clients.
  CHeldOrigin origin;
  origin.Release();
  const std::string url = "http://127.0.0.1:" + std::to_string(origin.Port()) + "/";
  const std::string socks = engine_.Ip() + ":" + std::to_string(socks_port_);
  const std::string http = "http://" + engine_.Ip() + ":" + std::to_string(http_port_);
  for (const auto& option : std::vector<std::vector<std::string>>{
           {"--socks5", socks}, {"--socks4", socks}, {"-x", http}}) {
    std::vector<std::string> argv{"curl", "-sS", "--max-time", "30"};
    argv.insert(argv.end(), option.begin(), option.end());
    argv.push_back(url);
    const RunResult fetch = test::Run(argv);
    ASSERT_EQ(fetch.code, 0) << fetch.err;
  }
  ASSERT_TRUE(WaitUntil([&] { return !engine_.LogLines().empty(); }));
  manager_->Command(5);  // the Logging page
  // The newest engine line becomes the table's first row, cut into columns.
  std::string newest;
  ASSERT_TRUE(manager_->WaitForStateWhere([&](const std::string& s) {
    const std::vector<std::string> lines = engine_.LogLines();
    newest = lines.empty() ? "" : lines.back();
    std::istringstream words(newest);
    std::string date, time, id, operation;
    words >> date >> time >> id >> operation;
    const std::string row = date + " | " + time + " | " + id + " | " + operation + " | ";
    return s.find("page=4") != std::string::npos &&
           s.find("rows=" + std::to_string(lines.size()) + "\n" + row) != std::string::npos;
  })) << manager_->State() << "\nnewest engine line: " << newest;
  Screenshot("log_viewer");
}

TEST_F(ManagerE2eTest, StopEngineEndsItAndStartEngineBringsItBack) {
  ASSERT_TRUE(manager_->WaitForState("[activity]\n" + DaemonTree()));
  manager_->Command(32784);  // St&op Engine
  EXPECT_EQ(engine_.Process().Wait(seconds(20)), std::optional<int>(0));
  ASSERT_TRUE(manager_->WaitForState("connected=0")) << manager_->State();
  EXPECT_TRUE(manager_->WaitForState("[activity]\nProxy Connections\n[log]"));
  EXPECT_TRUE(manager_->WaitForState(" 32783:1 32784:0"));
  Screenshot("engine_stopped");

  manager_->Command(32783);  // S&tart Engine: qlmsvr -win32 from InstallDir, same store
  ASSERT_TRUE(manager_->WaitForState("connected=1")) << manager_->State() << manager_->Messages();
  ASSERT_TRUE(manager_->WaitForState("[activity]\n" + DaemonTree())) << manager_->State();
  EXPECT_TRUE(IsListening(engine_.Ip(), socks_port_));
  Screenshot("engine_started_again");

  // The background engine goes the same way.
  manager_->Command(32784);
  ASSERT_TRUE(manager_->WaitForState("connected=0"));
  EXPECT_TRUE(WaitUntil([&] { return !IsListening(engine_.Ip(), engine_.ManagerPort()); }));
  EXPECT_EQ(manager_->Messages(), "");
}

TEST_F(ManagerE2eTest, ASecondManagerIsRefused) {
  ASSERT_TRUE(manager_->WaitForState("connected=1"));
  std::map<std::string, std::string> environment = engine_.Environment();
  environment["DISPLAY"] = display_.Name();
  environment["QT_QPA_PLATFORM"] = "xcb";
  environment["QUILLMAR_TEST_HOOK_DIR"] = hooks_.Path();
  environment["XDG_RUNTIME_DIR"] = hooks_.Path() + "/first";
  CChildProcess second({std::string(QLM_BIN_DIR) + "/quillmar"}, environment);
  ASSERT_TRUE(WaitUntil([&] {
    return second.Stderr().find("You have Quillmar Manager started already") != std::string::npos ||
           !second.Running();
  }, seconds(20)));
  // The box is up for a moment before it answers itself.
  Screenshot("second_manager_refused");
  EXPECT_EQ(second.Wait(seconds(20)), std::optional<int>(1)) << second.Stderr();
  EXPECT_NE(second.Stderr().find("You have Quillmar Manager started already"), std::string::npos);
  // The first one goes on untouched.
  EXPECT_TRUE(manager_->Process().Running());
  EXPECT_TRUE(manager_->WaitForState("connected=1"));
}

}  // namespace
}  // namespace qlm::test
