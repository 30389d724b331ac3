// The instance lock, the systemd unit and the binding messages.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/service/binding_message.h"
#include "engine/service/single_instance.h"
#include "engine/service/service_unit.h"
#include "net/winsock_errors.h"

namespace qlm::engine {
namespace {

namespace fs = std::filesystem;

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/qlm-service-XXXXXX";
    path_ = ::mkdtemp(pattern);
  }
  ~TempFolder() { fs::remove_all(path_); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

TEST(SingleInstanceTest, SecondHolderIsRefusedUntilTheFirstEnds) {
  TempFolder temp;
  const std::string run_dir = temp.Path() + "/run/quillmar";  // created as needed
  auto first = std::make_unique<CSingleInstance>();
  EXPECT_EQ(first->Acquire(run_dir), CSingleInstance::Result::kFirst);
  EXPECT_TRUE(fs::exists(run_dir + "/QuillmarServiceInstance"));
  CSingleInstance second;
  EXPECT_EQ(second.Acquire(run_dir), CSingleInstance::Result::kAlreadyRunning);
  first.reset();  // the lock goes with the file
  EXPECT_EQ(second.Acquire(run_dir), CSingleInstance::Result::kFirst);
}

TEST(SingleInstanceTest, UnusableFolderFails) {
  TempFolder temp;
  const std::string file = temp.Path() + "/plain";
  std::ofstream(file) << "x";
  CSingleInstance instance;
  EXPECT_EQ(instance.Acquire(file + "/below"), CSingleInstance::Result::kFailed);
}

TEST(SingleInstanceTest, RunDirComesFromTheEnvironment) {
  ::setenv("QUILLMAR_RUNDIR", "/tmp/elsewhere", 1);
  EXPECT_EQ(RunDir(), "/tmp/elsewhere");
  ::setenv("QUILLMAR_RUNDIR", "", 1);
  EXPECT_EQ(RunDir(), "/run/quillmar");
  ::unsetenv("QUILLMAR_RUNDIR");
  EXPECT_EQ(RunDir(), "/run/quillmar");
}

ServiceUnitPaths PathsIn(const TempFolder& temp, bool with_systemd) {
  ServiceUnitPaths paths;
  paths.systemd_marker = temp.Path() + (with_systemd ? "/systemd" : "/none");
  paths.unit_folder = temp.Path() + "/units";
  paths.systemctl = "true";
  fs::create_directories(temp.Path() + "/systemd");
  fs::create_directories(paths.unit_folder);
  return paths;
}

TEST(ServiceUnitTest, InstallWritesTheUnitAndRemoveDeletesIt) {
  TempFolder temp;
  const ServiceUnitPaths paths = PathsIn(temp, true);
  ASSERT_TRUE(ServiceInstall("/opt/quillmar/qlmsvr", paths).ok);
  std::ifstream unit(paths.unit_folder + "/QuillmarService.service");
  std::stringstream text;
  text << unit.rdbuf();
  EXPECT_NE(text.str().find("ExecStart=/opt/quillmar/qlmsvr\n"), std::string::npos);
  EXPECT_NE(text.str().find("Description=Quillmar Service\n"), std::string::npos);
  EXPECT_TRUE(ServiceRemove(paths).ok);
  EXPECT_FALSE(fs::exists(paths.unit_folder + "/QuillmarService.service"));
  const ServiceUnitResult again = ServiceRemove(paths);  // nothing to remove
  EXPECT_FALSE(again.ok);
  EXPECT_FALSE(again.error.empty());
}

TEST(ServiceUnitTest, WithoutSystemdBothFailWithAReason) {
  TempFolder temp;
  const ServiceUnitPaths paths = PathsIn(temp, false);
  const ServiceUnitResult install = ServiceInstall("/x/qlmsvr", paths);
  EXPECT_FALSE(install.ok);
  EXPECT_NE(install.error.find("systemd"), std::string::npos);
  EXPECT_FALSE(fs::exists(paths.unit_folder + "/QuillmarService.service"));
  EXPECT_FALSE(ServiceRemove(paths).ok);
}

TEST(ServiceUnitTest, UnwritableUnitFolderFails) {
  TempFolder temp;
  ServiceUnitPaths paths = PathsIn(temp, true);
  paths.unit_folder = temp.Path() + "/missing/folder";
  EXPECT_FALSE(ServiceInstall("/x/qlmsvr", paths).ok);
}

TEST(BindingMessageTest, InUseAndNotValidNameTheListener) {
  const net::CBlockingSocketException in_use("CBlockingSocket::Bind", net::WSAEADDRINUSE);
  const net::CBlockingSocketException invalid("CBlockingSocket::Bind", net::WSAEADDRNOTAVAIL);
  EXPECT_EQ(BindingMessage(ListenerKind::kDaemon, "HTTP", "10.1.1.1", 80, in_use),
            "Binding error in creating HTTP daemon. There may be another application using "
            "10.1.1.1:80. Please use a different IP:PORT or terminate the other application.");
  EXPECT_EQ(BindingMessage(ListenerKind::kDaemon, "SOCKS", "10.1.1.1", 1080, invalid),
            "Binding error in creating SOCKS daemon. The IP address 10.1.1.1:1080 is not "
            "valid. Please use a different IP:PORT");
  EXPECT_EQ(BindingMessage(ListenerKind::kPortMap, "Web", "10.1.1.1", 81, in_use),
            "Binding error in creating Web port mapping. There may be another application "
            "using 10.1.1.1:81. Please use a different IP:PORT or terminate the other "
            "application.");
  EXPECT_EQ(BindingMessage(ListenerKind::kPortMap, "Web", "10.1.1.1", 81, invalid),
            "Binding error in creating Web port mapping. The IP address 10.1.1.1:81 is not "
            "valid. Please use a different IP:PORT");
}

TEST(BindingMessageTest, OtherFailuresGiveTheExceptionText) {
  const net::CBlockingSocketException other("CBlockingSocket::Listen", net::WSAEACCES);
  EXPECT_EQ(BindingMessage(ListenerKind::kDaemon, "HTTP", "10.1.1.1", 80, other),
            other.GetErrorText());
}

}  // namespace
}  // namespace qlm::engine
