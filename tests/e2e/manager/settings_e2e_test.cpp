// The settings pages of the real quillmar against the real qlmsvr on a
// virtual X server: a new SOCKS listener and a TCP port mapping added through
// the pages, Apply restarting the engine, and real curl clients served by
// both. A picture of every page and dialog lands in
// build/screenshots/manager/settings_*.png, each checked not to be blank.
#include <gtest/gtest.h>

#include <fstream>

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

constexpr char kIp[] = "127.0.0.221";
constexpr char kBody[] = "served through the new settings";

// An origin that answers every request with kBody.
void ServeOrigin(int fd) {
  std::string head;
  char byte = 0;
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 8192 &&
         ::recv(fd, &byte, 1, 0) == 1) {
    head.push_back(byte);
  }
  WriteAll(fd, "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(sizeof kBody - 1) +
                   "\r\nConnection: close\r\n\r\n" + kBody);
}

class SettingsE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    socks_port_ = engine_.AddDaemon("SOCKS");
    engine_.AddDaemon("HTTP");
    ASSERT_TRUE(engine_.Start());
    const RunResult set = test::Run(
        {std::string(QLM_BIN_DIR) + "/qlmreg", "set", "", "InstallDir", "sz", QLM_BIN_DIR},
        engine_.Environment());
    ASSERT_EQ(set.code, 0) << set.err;
    ASSERT_FALSE(display_.Name().empty());
    manager_ = std::make_unique<CManagerUnderTest>(display_, engine_.Environment(),
                                                   hooks_.Path() + "/settings");
    ASSERT_TRUE(manager_->Start());
    ASSERT_TRUE(manager_->WaitForState("connected=1")) << manager_->State();
    ASSERT_TRUE(manager_->WaitForState("splash=0"));
  }

  void TearDown() override {
    // The engine the manager started runs in the background: stop it too.
    // (Probing the manager port would take the engine's one manager slot.)
    if (manager_ && manager_->Process().Running()) {
      manager_->Command(32784);  // St&op Engine
      EXPECT_TRUE(WaitUntil([&] { return !IsListening(kIp, socks_port_); }, seconds(20)))
          << manager_->State();
    }
  }

  static bool IsListening(const std::string& ip, uint16_t port) {
    const int fd = ConnectTcp(ip, port);
    if (fd < 0) {
      return false;
    }
    ::close(fd);
    return true;
  }

  void Screenshot(const std::string& name) {
    const std::string path = manager_->Screenshot("manager/settings_" + name);
    ASSERT_FALSE(path.empty());
    EXPECT_GT(ColourCount(path), 1) << path << " is one colour";
  }

  // Runs one settings step and waits until the manager has finished it.
  void Step(const std::string& line) {
    manager_->Script(line);
    ++steps_;
    ASSERT_TRUE(manager_->WaitForState("scripts=" + std::to_string(steps_) + "\n", seconds(30)))
        << line << "\n" << manager_->State();
  }

  // Opens a dialog through the hooks, pictures it, closes it again.
  void PictureDialog(const std::string& open, const std::string& title, const std::string& name) {
    manager_->Script("open " + open);
    ASSERT_TRUE(manager_->WaitForState("modal=" + title + "\n")) << manager_->State();
    Screenshot(name);
    // The close step ends inside the open one: both count.
    manager_->Script("close");
    steps_ += 2;
    ASSERT_TRUE(manager_->WaitForState("scripts=" + std::to_string(steps_) + "\n"))
        << manager_->State();
    ASSERT_TRUE(manager_->WaitForState("modal=\n")) << manager_->State();
  }

  int steps_ = 0;

  EngineUnderTest engine_{kIp};
  uint16_t socks_port_ = 0;
  CTempDir hooks_{"qlm-settings-e2e"};
  CVirtualDisplay display_;
  std::unique_ptr<CManagerUnderTest> manager_;
};

TEST_F(SettingsE2eTest, EveryPageAndDialogIsDrawn) {
  const char* pages[] = {"activity", "general", "daemons", "port_mapping", "logging"};
  for (int page = 1; page <= 5; ++page) {
    manager_->Command(page);
    ASSERT_TRUE(manager_->WaitForState("page=" + std::to_string(page - 1) + "\n"));
    Screenshot(std::string("page_") + pages[page - 1]);
  }
  PictureDialog("dialup", "Dial-Up Networking", "dialog_dial_up");
  PictureDialog("daemon SOCKS", "Daemon Configuration", "dialog_daemon");
  PictureDialog("email", "Email Proxy Setting", "dialog_email");
  PictureDialog("dns", "DNS Advanced Setting", "dialog_dns");
  PictureDialog("dhcp", "DHCP Configuration", "dialog_dhcp");
  PictureDialog("portmap", "Port Configuration", "dialog_port_mapping");
  EXPECT_EQ(manager_->Messages(), "");
}

TEST_F(SettingsE2eTest, ANewSocksListenerAndAPortMappingServeAfterApply) {
  CTcpServer origin(ServeOrigin, "127.0.0.1");
  const uint16_t new_socks = FreeTcpPort(kIp);
  const uint16_t mapping = FreeTcpPort(kIp);
  Step("daemon-listener-add SOCKS " + std::string(kIp) + " " + std::to_string(new_socks));
  // The mapping's "enable it now?" question answers Yes by itself.
  Step("portmap-add web 127.0.0.1 " + std::to_string(origin.Port()) + " " + kIp + " " +
       std::to_string(mapping));
  EXPECT_NE(manager_->Messages().find("This port mapping is disabled."), std::string::npos);
  manager_->Command(4);
  ASSERT_TRUE(manager_->WaitForState("page=3\n"));
  Screenshot("port_mapping_added");

  manager_->Script("apply");  // not awaited: the restart ends while it runs
  // The restart question, answered Yes: the old engine stops, a new one starts.
  EXPECT_EQ(engine_.Process().Wait(seconds(30)), std::optional<int>(0));
  ASSERT_TRUE(WaitUntil([&] { return IsListening(kIp, new_socks) && IsListening(kIp, mapping); },
                        seconds(30)))
      << manager_->Messages()
      << test::Run({std::string(QLM_BIN_DIR) + "/qlmreg", "export"}, engine_.Environment()).out;
  ASSERT_TRUE(manager_->WaitForState("connected=1", seconds(30))) << manager_->State();
  EXPECT_NE(manager_->Messages().find("Do you really want to stop/restart the proxy engine"),
            std::string::npos);
  // The store holds what the engine now serves.
  const RunResult daemons = test::Run({std::string(QLM_BIN_DIR) + "/qlmreg", "export", "Daemons"},
                                engine_.Environment());
  EXPECT_NE(daemons.out.find(std::string(kIp) + ":" + std::to_string(new_socks)), std::string::npos)
      << daemons.out;

  const std::string target = "http://127.0.0.1:" + std::to_string(origin.Port()) + "/";
  const RunResult socks = test::Run({"curl", "-sS", "--max-time", "10", "--socks5",
                               std::string(kIp) + ":" + std::to_string(new_socks), target});
  EXPECT_EQ(socks.code, 0) << socks.err;
  EXPECT_EQ(socks.out, kBody);
  // The old listener goes on too.
  const RunResult old_socks = test::Run({"curl", "-sS", "--max-time", "10", "--socks5",
                                   std::string(kIp) + ":" + std::to_string(socks_port_), target});
  EXPECT_EQ(old_socks.out, kBody) << old_socks.err;
  const RunResult mapped =
      test::Run({"curl", "-sS", "--max-time", "10",
                 "http://" + std::string(kIp) + ":" + std::to_string(mapping) + "/"});
  EXPECT_EQ(mapped.code, 0) << mapped.err;
  EXPECT_EQ(mapped.out, kBody);
  manager_->Command(1);
  ASSERT_TRUE(manager_->WaitForState("page=0\n"));
  Screenshot("after_apply");
}

}  // namespace
}  // namespace qlm::test
