// The Debian package in a throwaway root: dpkg --root installs it (the
// maintainer scripts run outside a chroot with DPKG_ROOT set, as dpkg does
// for another root), which creates the account, the folders and the store
// with the default configuration and enables the unit; systemd-analyze
// verifies the unit; removing keeps the store and disables the unit; purging
// deletes the store. The engine is then started the way the unit starts it,
// without systemd: in a mount namespace of its own where the root's
// /var/lib, /var/log and /run stand at their places, as the unit's user and
// group with the unit's capabilities, umask, folder and a clean environment
// with a notify socket standing in for systemd's.
#include <grp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/fake_servers.h"
#include "tests/support/loopback.h"
#include "tests/support/notify_socket.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace qlm::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// This test's own addresses: the engine's and the origin server's.
constexpr char kEngineIp[] = "127.0.0.231";
constexpr char kOriginIp[] = "127.0.0.232";
constexpr char kUnitPath[] = "/lib/systemd/system/QuillmarService.service";
constexpr char kStorePath[] = "/var/lib/quillmar/quillmar.db";
constexpr char kWantsLink[] =
    "/etc/systemd/system/multi-user.target.wants/QuillmarService.service";

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The package that the fixture test built from this build's programs.
std::string PackagePath() {
  std::string arch = test::Run({"dpkg-architecture", "-qDEB_HOST_ARCH"}).out;
  arch.erase(std::remove(arch.begin(), arch.end(), '\n'), arch.end());
  return std::string(QLM_PACKAGE_DIR) + "/quillmar_" + QLM_PACKAGE_VERSION + "_" + arch + ".deb";
}

// A field of an account line in the root's own account files.
std::optional<std::string> AccountField(const std::string& file, const std::string& name,
                                        size_t field) {
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::stringstream parts(line);
    for (std::string part; std::getline(parts, part, ':');) {
      fields.push_back(part);
    }
    if (!fields.empty() && fields[0] == name && fields.size() > field) {
      return fields[field];
    }
  }
  return std::nullopt;
}

// A root folder with an empty dpkg database, removed at the end.
class CThrowawayRoot {
 public:
  CThrowawayRoot() : dir_("qlm-package") {
    // The engine's account must reach the programs and folders inside.
    fs::permissions(dir_.Path(), fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
    for (const char* folder : {"/var/lib/dpkg/info", "/var/lib/dpkg/updates", "/var/log",
                               "/etc", "/run", "/tmp"}) {
      fs::create_directories(Path(folder));
    }
    std::ofstream(Path("/var/lib/dpkg/status"));
    std::ofstream(Path("/var/lib/dpkg/available"));
  }

  const std::string& Dir() const { return dir_.Path(); }
  std::string Path(const std::string& inside) const { return dir_.Path() + inside; }

  // dpkg on this root; the scripts run outside a chroot, the package's
  // dependencies are the host's (the root has none installed).
  RunResult Dpkg(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{"dpkg", "--root=" + Dir(), "--log=" + Path("/var/log/dpkg.log"),
                                  "--force-script-chrootless", "--force-depends",
                                  "--force-unsafe-io"};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv, {}, std::nullopt, 60s);
  }
  ::testing::AssertionResult Install() const {
    const RunResult r = Dpkg({"--install", PackagePath()});
    if (r.code != 0) {
      return ::testing::AssertionFailure() << "dpkg --install: " << r.code << "\n"
                                           << r.out << r.err;
    }
    return ::testing::AssertionSuccess();
  }

  // qlmreg of the package on the root's store.
  RunResult Qlmreg(const std::vector<std::string>& args,
                   std::optional<std::string> input = std::nullopt) const {
    std::vector<std::string> argv{Path("/usr/lib/quillmar/qlmreg")};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv, {{"QUILLMAR_STORE", Path(kStorePath)}}, std::move(input));
  }

  std::optional<std::string> Account(const std::string& file, size_t field) const {
    return AccountField(Path("/etc/" + file), "quillmar", field);
  }

 private:
  CTempDir dir_;
};

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

struct Owner {
  uid_t uid = static_cast<uid_t>(-1);
  gid_t gid = static_cast<gid_t>(-1);
};
Owner OwnerOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    return {};
  }
  return {st.st_uid, st.st_gid};
}

TEST(PackageE2eTest, PackageHoldsTheProgramsUnitManPagesAndDocuments) {
  const RunResult contents = test::Run({"dpkg-deb", "--contents", PackagePath()});
  ASSERT_EQ(contents.code, 0) << contents.err;
  for (const char* path :
       {"./usr/lib/quillmar/qlmsvr", "./usr/lib/quillmar/qlmreg", "./usr/lib/quillmar/quillmar",
        "./usr/lib/quillmar/libqlmstd.so", "./usr/sbin/qlmsvr -> ../lib/quillmar/qlmsvr",
        "./usr/sbin/qlmreg -> ../lib/quillmar/qlmreg",
        "./usr/bin/quillmar -> ../lib/quillmar/quillmar",
        "./usr/share/applications/quillmar.desktop",
        "./usr/share/icons/hicolor/scalable/apps/quillmar.svg",
        "./lib/systemd/system/QuillmarService.service", "./usr/share/man/man8/qlmsvr.8.gz",
        "./usr/share/man/man8/qlmreg.8.gz", "./usr/share/man/man1/quillmar.1.gz",
        "./usr/share/doc/quillmar/README.md.gz", "./usr/share/doc/quillmar/copyright",
        "./usr/share/polkit-1/rules.d/quillmar.rules", "./usr/lib/sysusers.d/quillmar.conf",
        "./usr/lib/tmpfiles.d/quillmar.conf"}) {
    EXPECT_NE(contents.out.find(std::string(path) + "\n"), std::string::npos)
        << path << " not in the package:\n"
        << contents.out;
  }
  const RunResult version = test::Run({"dpkg-deb", "--field", PackagePath(), "Version"});
  EXPECT_EQ(version.out, std::string(QLM_PACKAGE_VERSION) + "\n");
}

TEST(PackageE2eTest, InstallCreatesAccountFoldersDefaultStoreAndEnablesTheUnit) {
  CThrowawayRoot root;
  ASSERT_TRUE(root.Install());

  // The engine's own system account, without a login.
  const std::optional<std::string> uid = root.Account("passwd", 2);
  const std::optional<std::string> gid = root.Account("group", 2);
  ASSERT_TRUE(uid && gid) << ReadText(root.Path("/etc/passwd"));
  EXPECT_LT(std::stoi(*uid), 1000);
  EXPECT_EQ(root.Account("passwd", 6).value_or(""), "/usr/sbin/nologin");

  // The store and the locks belong to the group; the log to the engine.
  const auto group = static_cast<gid_t>(std::stoul(*gid));
  EXPECT_EQ(ModeOf(root.Path("/var/lib/quillmar")) & 07777, 02770u);
  EXPECT_EQ(OwnerOf(root.Path("/var/lib/quillmar")).gid, group);
  EXPECT_EQ(ModeOf(root.Path(kStorePath)) & 0777, 0660u);
  EXPECT_EQ(OwnerOf(root.Path(kStorePath)).gid, group);
  EXPECT_EQ(ModeOf(root.Path("/run/quillmar")) & 07777, 02770u);
  EXPECT_EQ(OwnerOf(root.Path("/run/quillmar")).gid, group);
  EXPECT_EQ(OwnerOf(root.Path("/var/log/quillmar")).uid, static_cast<uid_t>(std::stoul(*uid)));

  // The default configuration: InstallDir, the seven basic daemons on one
  // address (DNS, HTTP and SOCKS on), the log in the log folder.
  const RunResult exported = root.Qlmreg({"export"});
  ASSERT_EQ(exported.code, 0) << exported.err;
  const std::string& text = exported.out;
  EXPECT_NE(text.find("\"InstallDir\"=\"/usr/lib/quillmar\""), std::string::npos) << text;
  const std::regex daemon_key(R"(\[Daemons\\(\d+\.\d+\.\d+\.\d+):(\d+)\])");
  std::map<std::string, std::string> ports;  // port -> address
  for (auto it = std::sregex_iterator(text.begin(), text.end(), daemon_key);
       it != std::sregex_iterator(); ++it) {
    ports[(*it)[2]] = (*it)[1];
  }
  ASSERT_EQ(ports.size(), 8u) << text;  // e-mail listens on 110 and 25
  for (const char* port : {"53", "80", "1080", "21", "23", "1090", "110", "25"}) {
    ASSERT_EQ(ports.count(port), 1u) << port << "\n" << text;
    EXPECT_EQ(ports[port], ports["80"]) << "one address for every daemon\n" << text;
  }
  auto value = [&](const std::string& key, const std::string& name) {
    return root.Qlmreg({"get", key, name}).out;
  };
  const std::string ip = ports["80"];
  EXPECT_EQ(value("Daemons\\" + ip + ":53", "Name"), "DNS\n");
  for (const auto& [port, name, enable] :
       std::vector<std::tuple<std::string, std::string, std::string>>{
           {"53", "DNS", "01"}, {"80", "HTTP", "01"}, {"1080", "SOCKS", "01"},
           {"21", "FTP", "00"}, {"23", "Telnet", "00"}, {"1090", "RealAudio", "00"},
           {"110", "Email", "00"}, {"25", "Email", "00"}}) {
    const std::string key = "Daemons\\" + ip + ":" + port;
    EXPECT_EQ(value(key, "Name"), name + "\n") << key;
    EXPECT_NE(value(key, "Enable").find(enable), std::string::npos) << key;
  }
  EXPECT_EQ(value("Log", "FileName"), "/var/log/quillmar/quillmar.log\n");

  // Enabled for the next boot; nothing started here (no systemd runs).
  EXPECT_TRUE(fs::is_symlink(root.Path(kWantsLink)));
  EXPECT_EQ(fs::read_symlink(root.Path(kWantsLink)).string(), kUnitPath);
  EXPECT_FALSE(fs::exists("/etc/systemd/system/multi-user.target.wants/QuillmarService.service"))
      << "the host's own systemd folders were touched";
}

TEST(PackageE2eTest, UnitPassesSystemdAnalyzeVerify) {
  CThrowawayRoot root;
  ASSERT_TRUE(root.Install());
  // The root gets the host's systemd units (the targets the unit is
  // ordered against), as installing systemd there would.
  fs::copy("/lib/systemd/system", root.Path("/lib/systemd/system"),
           fs::copy_options::recursive | fs::copy_options::skip_existing |
               fs::copy_options::copy_symlinks);
  // Documentation=man:qlmsvr(8) is looked up among the root's man pages.
  const std::map<std::string, std::string> env{{"MANPATH", root.Path("/usr/share/man")}};
  auto verify = [&] {
    return test::Run({"systemd-analyze", "verify", "--root=" + root.Dir(), "QuillmarService.service"},
               env);
  };
  const RunResult verified = verify();
  EXPECT_EQ(verified.code, 0) << verified.out << verified.err;
  EXPECT_EQ(verified.err.find("QuillmarService"), std::string::npos) << verified.err;

  // The check bites: an engine that cannot run fails it.
  const std::string program = root.Path("/usr/lib/quillmar/qlmsvr");
  fs::permissions(program, fs::perms::owner_read | fs::perms::group_read);
  const RunResult broken = verify();
  EXPECT_NE(broken.code, 0);
  EXPECT_NE(broken.err.find("/usr/lib/quillmar/qlmsvr"), std::string::npos) << broken.err;
}

TEST(PackageE2eTest, RemoveKeepsTheStoreAndPurgeDeletesIt) {
  CThrowawayRoot root;
  ASSERT_TRUE(root.Install());
  ASSERT_EQ(root.Qlmreg({"set", "General", "DefaultIP", "sz", "127.0.0.233"}).code, 0);

  const RunResult removed = root.Dpkg({"--remove", "quillmar"});
  ASSERT_EQ(removed.code, 0) << removed.out << removed.err;
  EXPECT_FALSE(fs::exists(root.Path("/usr/lib/quillmar/qlmsvr")));
  EXPECT_FALSE(fs::exists(root.Path(kUnitPath)));
  EXPECT_FALSE(fs::is_symlink(root.Path(kWantsLink))) << "still enabled after removal";
  ASSERT_TRUE(fs::exists(root.Path(kStorePath)));
  // The package's qlmreg went with it; the build's reads the store.
  const RunResult kept = test::Run({std::string(QLM_BIN_DIR) + "/qlmreg", "get", "General", "DefaultIP"},
                             {{"QUILLMAR_STORE", root.Path(kStorePath)}});
  EXPECT_EQ(kept.out, "127.0.0.233\n") << kept.err;

  // A second install keeps the administrator's store as it is.
  ASSERT_TRUE(root.Install());
  EXPECT_EQ(root.Qlmreg({"get", "General", "DefaultIP"}).out, "127.0.0.233\n");

  const RunResult purged = root.Dpkg({"--purge", "quillmar"});
  ASSERT_EQ(purged.code, 0) << purged.out << purged.err;
  EXPECT_FALSE(fs::exists(root.Path("/var/lib/quillmar")));
  EXPECT_FALSE(fs::exists(root.Path("/var/log/quillmar")));
  EXPECT_FALSE(fs::is_symlink(root.Path(kWantsLink)));
}

std::string Dword(int value) {
  char text[32];
  std::snprintf(text, sizeof text, "dword:%08x", value);
  return text;
}

// The [Service] settings of a unit file, by name (last one wins).
std::map<std::string, std::string> ServiceSettings(const std::string& unit_text) {
  std::map<std::string, std::string> settings;
  std::stringstream lines(unit_text);
  bool in_service = false;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line[0] == '[') {
      in_service = line == "[Service]";
    } else if (in_service && line.find('=') != std::string::npos) {
      settings[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    }
  }
  return settings;
}

// "CAP_NET_BIND_SERVICE CAP_NET_RAW" -> "+net_bind_service,+net_raw".
std::string SetprivCapabilities(const std::string& list) {
  std::stringstream names(list);
  std::string result;
  for (std::string name; names >> name;) {
    std::transform(name.begin(), name.end(), name.begin(), ::tolower);
    result += (result.empty() ? "+" : ",+") + name.substr(4);
  }
  return result;
}

TEST(PackageE2eTest, EngineStartedAsTheUnitServesSocksAndHttpAndRefusesASecond) {
  CThrowawayRoot root;
  ASSERT_TRUE(root.Install());

  // The daemons on this test's address instead of the host's first one; the
  // other basic daemons stored off so the loader adds none. HTTP keeps its
  // port 80, which the account binds only through the unit's capability.
  std::string store = "[-Daemons]\n\n[General]\n\"UseDefaultIP\"=dword:00000000\n"
                      "\"DefaultIP\"=\"" + std::string(kEngineIp) + "\"\n\n";
  for (const auto& [name, port, enable] : std::vector<std::tuple<std::string, int, bool>>{
           {"HTTP", 80, true}, {"SOCKS", 1080, true}, {"DNS", 20053, false},
           {"FTP", 20021, false}, {"Telnet", 20023, false}, {"RealAudio", 21090, false},
           {"Email", 20110, false}}) {
    store += "[Daemons\\" + std::string(kEngineIp) + ":" + std::to_string(port) + "]\n\"Name\"=\"" +
 name + "\"\n\"DefaultPort\"=" + Dword(port) + "\n\"Enable\"=hex:0" + (enable ? "1" : "0") + "\n\n";
  }
  const RunResult imported = root.Qlmreg({"import", "-"}, store);
  ASSERT_EQ(imported.code, 0) << imported.err;

  // The unit's own command line, account, capabilities and settings.
  const std::map<std::string, std::string> unit = ServiceSettings(ReadText(root.Path(kUnitPath)));
  ASSERT_EQ(unit.count("ExecStart"), 1u);
  ASSERT_EQ(unit.at("Type"), "notify");
  const std::string user = unit.at("User");
  const std::optional<std::string> uid = AccountField(root.Path("/etc/passwd"), user, 2);
  const std::optional<std::string> gid = AccountField(root.Path("/etc/group"), unit.at("Group"), 2);
  ASSERT_TRUE(uid && gid);
  const std::string caps = SetprivCapabilities(unit.at("AmbientCapabilities"));
  std::string shell_setup = "umask " + unit.at("UMask") + " && cd " +
                            unit.at("WorkingDirectory") + " && exec \"$0\" \"$@\"";
  const std::string notify_path = root.Path("/tmp/notify");
  CNotifySocket notify(notify_path);
  ASSERT_TRUE(notify.Bound());
  // The program is the root's: the host has no /usr/lib/quillmar.
  auto command = [&](bool with_notify) {
    std::vector<std::string> argv{
        "unshare", "--mount", "--propagation", "private", "--", "sh", "-c",
        "mount --bind \"$1/var/lib\" /var/lib && mount --bind \"$1/var/log\" /var/log && "
        "mount --bind \"$1/run\" /run && shift && exec \"$@\"",
        "sh", root.Dir(), "setpriv", "--reuid=" + *uid, "--regid=" + *gid, "--clear-groups",
        "--inh-caps=" + caps, "--ambient-caps=" + caps,
        "--bounding-set=-all," + SetprivCapabilities(unit.at("CapabilityBoundingSet"))};
    if (unit.count("NoNewPrivileges") && unit.at("NoNewPrivileges") == "yes") {
      argv.push_back("--no-new-privs");
    }
    for (const std::string& word :
         {std::string("env"), std::string("-i"),
          std::string("PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"),
          "USER=" + user, "LOGNAME=" + user, std::string("HOME=/var/lib/quillmar"),
          std::string("SHELL=/usr/sbin/nologin")}) {
      argv.push_back(word);
    }
    if (with_notify) {
      argv.push_back("NOTIFY_SOCKET=" + notify_path);
    }
    argv.insert(argv.end(), {"sh", "-c", shell_setup, root.Path(unit.at("ExecStart"))});
    return argv;
  };

  // The engine's answers come from a server of the test's own.
  CTcpServer origin(
      [](int fd) {
        ReadAll(fd, 4096, 200);
        WriteAll(fd, "HTTP/1.0 200 OK\r\nContent-Length: 6\r\nConnection: close\r\n\r\norigin");
      },
      kOriginIp);
  const std::string url =
      "http://" + std::string(kOriginIp) + ":" + std::to_string(origin.Port()) + "/page";

  CChildProcess engine(command(true));
  ASSERT_TRUE(notify.WaitFor("READY=1", 20s))
      << "no readiness; engine output:\n" << engine.Stdout() << engine.Stderr();

  const RunResult socks = test::Run({"curl", "-sS", "--max-time", "20", "--noproxy", "",
                               "--proxy", "socks5://" + std::string(kEngineIp) + ":1080", url});
  EXPECT_EQ(socks.out, "origin") << socks.err;
  const RunResult http = test::Run({"curl", "-sS", "--max-time", "20", "--noproxy", "",
                              "--proxy", "http://" + std::string(kEngineIp) + ":80", url});
  EXPECT_EQ(http.out, "origin") << http.err;

  // The log in /var/log/quillmar, written by the engine's account.
  const std::string log = root.Path("/var/log/quillmar/quillmar.log");
  EXPECT_TRUE(WaitUntil(
      [&] {
        const std::string text = ReadText(log);
        size_t lines = 0;
        for (size_t at = text.find(kOriginIp); at != std::string::npos;
             at = text.find(kOriginIp, at + 1)) {
          ++lines;
        }
        return lines >= 2;
      },
      10s))
      << ReadText(log);
  EXPECT_EQ(OwnerOf(log).uid, static_cast<uid_t>(std::stoul(*uid)));

  // A second engine started the same way is refused while the first runs.
  CChildProcess second(command(false));
  const std::optional<int> refused = second.Wait(20s);
  EXPECT_EQ(refused, std::optional<int>(2));
  EXPECT_NE(second.Stderr().find("Quillmar Service is still running"), std::string::npos)
      << second.Stdout() << second.Stderr();
  EXPECT_TRUE(engine.Running());

  // systemd's stop.
  engine.Signal(SIGTERM);
  EXPECT_EQ(engine.Wait(20s), std::optional<int>(0)) << engine.Stderr();
}

}  // namespace
}  // namespace qlm::test
