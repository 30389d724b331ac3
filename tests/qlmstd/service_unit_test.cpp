// The one writer of the engine's systemd unit: what the unit says, which
// program it names, and why an install or a removal is refused.
#include "qlmstd/service_unit.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "qlmstd/qlmstd.h"
#include "qlmstd/service_control.h"
#include "tests/qlmstd/store_fixture.h"

namespace qlm::qlmstd {
namespace {

namespace fs = std::filesystem;

class ServiceUnitTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    saved_ = GetServiceControlPaths();
    fs::create_directories(dir_ + "/systemd");
    fs::create_directories(dir_ + "/units");
    unit_ = dir_ + "/units/QuillmarService.service";
    fs::create_directories(dir_ + "/package");
    SetServiceControlPaths({dir_ + "/systemd", dir_ + "/units", "true", dir_ + "/package"});
  }
  void TearDown() override {
    SetServiceControlPaths(saved_);
    StoreTest::TearDown();
  }
  // `name` in InstallDir (the temporary folder) with `mode`.
  void PlaceFile(const std::string& name, mode_t mode) {
    std::ofstream(dir_ + "/" + name) << "#!/bin/sh\n";
    chmod((dir_ + "/" + name).c_str(), mode);
  }
  std::string UnitText() const {
    std::ifstream in(unit_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  ServiceControlPaths saved_;
  std::string unit_;
};

TEST_F(ServiceUnitTest, UnitRunsTheInstalledEngineAsANotifyService) {
  MakeRoot();
  PlaceFile("qlmsvr", 0755);
  const ServiceUnitResult result = InstallServiceUnit();
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(UnitText(),
            "[Unit]\nDescription=Quillmar Service\nAfter=network.target\n\n"
            "[Service]\nType=notify\nExecStart=" + dir_ + "/qlmsvr\nRestart=on-failure\n"
            "LimitNOFILE=65536\nTimeoutStartSec=120\n\n"
            "[Install]\nWantedBy=multi-user.target\n");
  // 2000 connections hold a client and a server descriptor each.
  EXPECT_GT(kServiceDescriptorLimit, 2u * 2000u + 100u);
}

TEST_F(ServiceUnitTest, InstallNamesOnlyAnEngineThatExists) {
  const ServiceUnitResult no_root = InstallServiceUnit();
  EXPECT_FALSE(no_root.ok);
  EXPECT_NE(no_root.error.find("InstallDir"), std::string::npos) << no_root.error;

  MakeRoot();  // InstallDir = the temporary folder, which holds no engine
  const ServiceUnitResult missing = InstallServiceUnit();
  EXPECT_FALSE(missing.ok);
  EXPECT_NE(missing.error.find(dir_ + "/qlmsvr is not an executable program"),
            std::string::npos)
      << missing.error;
  PlaceFile("qlmsvr", 0644);  // there, but not a program
  EXPECT_FALSE(InstallServiceUnit().ok);
  fs::remove(dir_ + "/qlmsvr");
  fs::create_directories(dir_ + "/qlmsvr");  // a folder of that name
  EXPECT_FALSE(InstallServiceUnit().ok);
  EXPECT_FALSE(fs::exists(unit_));

  // systemd needs an absolute program path.
  ASSERT_TRUE(CQlmstd::WriteAppKeyStringValue(kInstallDirValue, "relative/bin"));
  EXPECT_FALSE(InstallServiceUnit().ok);
  EXPECT_FALSE(fs::exists(unit_));
}

TEST_F(ServiceUnitTest, SecondInstallIsRefusedAndRemoveDeletesTheUnit) {
  MakeRoot();
  PlaceFile("qlmsvr", 0755);
  ASSERT_TRUE(InstallServiceUnit().ok);
  std::ofstream(unit_, std::ios::app) << "# the administrator's line\n";
  const ServiceUnitResult again = InstallServiceUnit();
  EXPECT_FALSE(again.ok);
  EXPECT_NE(again.error.find("exists already"), std::string::npos) << again.error;
  EXPECT_NE(UnitText().find("# the administrator's line"), std::string::npos);  // untouched
  EXPECT_TRUE(RemoveServiceUnit().ok);
  EXPECT_FALSE(fs::exists(unit_));
  const ServiceUnitResult nothing = RemoveServiceUnit();
  EXPECT_FALSE(nothing.ok);
  EXPECT_NE(nothing.error.find("does not exist"), std::string::npos) << nothing.error;
}

TEST_F(ServiceUnitTest, WithoutSystemdBothFailWithAReason) {
  MakeRoot();
  PlaceFile("qlmsvr", 0755);
  SetServiceControlPaths({dir_ + "/no-systemd", dir_ + "/units", "true"});
  const ServiceUnitResult install = InstallServiceUnit();
  EXPECT_FALSE(install.ok);
  EXPECT_NE(install.error.find("systemd"), std::string::npos) << install.error;
  EXPECT_FALSE(fs::exists(unit_));
  const ServiceUnitResult remove = RemoveServiceUnit();
  EXPECT_FALSE(remove.ok);
  EXPECT_NE(remove.error.find("systemd"), std::string::npos) << remove.error;
}

TEST_F(ServiceUnitTest, UnwritableUnitFolderFails) {
  MakeRoot();
  PlaceFile("qlmsvr", 0755);
  SetServiceControlPaths({dir_ + "/systemd", dir_ + "/missing/folder", "true"});
  const ServiceUnitResult result = InstallServiceUnit();
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find(dir_ + "/missing/folder/QuillmarService.service"),
            std::string::npos)
      << result.error;
}

TEST_F(ServiceUnitTest, PackageUnitCountsAsInstalledAndIsNotDeleted) {
  MakeRoot();
  PlaceFile("qlmsvr", 0755);
  const std::string package_unit = dir_ + "/package/QuillmarService.service";
  std::ofstream(package_unit) << PackagedServiceUnitText("/usr/lib/quillmar/qlmsvr");
  const ServiceUnitResult install = InstallServiceUnit();
  EXPECT_FALSE(install.ok);
  EXPECT_NE(install.error.find(package_unit + " exists already"), std::string::npos)
      << install.error;
  EXPECT_FALSE(fs::exists(unit_));
  const ServiceUnitResult remove = RemoveServiceUnit();
  EXPECT_FALSE(remove.ok);
  EXPECT_NE(remove.error.find(package_unit + " belongs to the installed package"),
            std::string::npos)
      << remove.error;
  EXPECT_TRUE(fs::exists(package_unit));
}

// The manager controls the packaged engine as an installed service.
TEST_F(ServiceUnitTest, PackagedServiceIsInstalledForStartAndQuery) {
  const std::string systemctl = dir_ + "/systemctl";
  std::ofstream(systemctl) << "#!/bin/sh\necho \"$@\" >> " << dir_
                           << "/calls\n[ \"$1\" = show ] && echo inactive\nexit 0\n";
  chmod(systemctl.c_str(), 0755);
  SetServiceControlPaths({dir_ + "/systemd", dir_ + "/units", systemctl, dir_ + "/package"});
  EXPECT_EQ(CQlmstd::IsServiceRunning(), -1);  // nothing installed yet
  std::ofstream(dir_ + "/package/QuillmarService.service")
      << PackagedServiceUnitText("/usr/lib/quillmar/qlmsvr");
  EXPECT_EQ(CQlmstd::IsServiceRunning(), 0);  // installed and stopped
  EXPECT_TRUE(CQlmstd::ServiceStart());
  std::ifstream calls(dir_ + "/calls");
  std::stringstream log;
  log << calls.rdbuf();
  EXPECT_NE(log.str().find("start --no-block QuillmarService.service"), std::string::npos)
      << log.str();
}

TEST(ServiceUnitTextTest, PackagedUnitRunsAsItsOwnUserWithThreeCapabilities) {
  const std::string text = PackagedServiceUnitText("/usr/lib/quillmar/qlmsvr");
  // The same service as the local one, hardened.
  for (const char* line :
       {"\nType=notify\n", "\nExecStart=/usr/lib/quillmar/qlmsvr\n", "\nRestart=on-failure\n",
        "\nLimitNOFILE=65536\n", "\nUser=quillmar\n", "\nGroup=quillmar\n",
        "\nSyslogIdentifier=QuillmarService\n",
        "\nAmbientCapabilities=CAP_NET_BIND_SERVICE CAP_NET_RAW CAP_NET_BROADCAST\n",
        "\nCapabilityBoundingSet=CAP_NET_BIND_SERVICE CAP_NET_RAW CAP_NET_BROADCAST\n",
        "\nProtectSystem=strict\n", "\nProtectHome=yes\n", "\nPrivateTmp=yes\n",
        "\nReadWritePaths=/var/lib/quillmar /var/log/quillmar /run/quillmar\n",
        "\n[Install]\nWantedBy=multi-user.target\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << " missing in\n" << text;
  }
  EXPECT_EQ(text.rfind("[Unit]\nDescription=Quillmar Service\n", 0), 0u) << text;
}

// systemd would split the first path at its blank and expand "%d".
TEST(ServiceUnitTextTest, PathWithBlanksOrPercentIsQuoted) {
  const std::string text = ServiceUnitText("/opt/my tools/100%d/qlmsvr");
  EXPECT_NE(text.find("\nExecStart=\"/opt/my tools/100%%d/qlmsvr\"\n"), std::string::npos)
      << text;
  EXPECT_NE(ServiceUnitText("/opt/a\"b\\c/qlmsvr").find("ExecStart=\"/opt/a\\\"b\\\\c/qlmsvr\"\n"),
            std::string::npos);
  EXPECT_NE(ServiceUnitText("/opt/quillmar/qlmsvr").find("\nExecStart=/opt/quillmar/qlmsvr\n"),
            std::string::npos);
}

}  // namespace
}  // namespace qlm::qlmstd
