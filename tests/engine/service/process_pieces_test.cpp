// The instance lock and the binding messages.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/service/binding_message.h"
#include "engine/service/single_instance.h"
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
