// qlmreg driven as a program: round trip through export and import, the
// single-value commands, and refused input that leaves the store unchanged.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>

#include "qlmstd/qlmreg/reg_commands.h"
#include "tests/qlmstd/store_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/wait_until.h"

namespace qlm::qlmstd {
namespace {

class QlmregTest : public StoreTest {
 protected:
  test::RunResult Reg(std::vector<std::string> args, std::optional<std::string> input = {},
                      const std::string& store = {}) {
    args.insert(args.begin(), QLM_BIN_DIR "/qlmreg");
    return test::Run(args, {{"QUILLMAR_STORE", store.empty() ? store_ : store}}, input);
  }
};

constexpr const char* kStoreText =
    "[]\n"
    "\"InstallDir\"=\"/opt/quillmar\"\n"
    "\n"
    "[Daemons]\n"
    "\n"
    "[Daemons\\127.0.0.1:53]\n"
    "\"Broadcast\"=hex:01\n"
    "\"Name\"=\"DNS\"\n"
    "\"TTL\"=dword:00002a30\n"
    "\n"
    "[Daemons\\127.0.0.1:53\\8.8.8.8]\n"
    "\n"
    "[General]\n"
    "\"DefaultIP\"=\"C:\\\\q \\\"x\\\"\"\n"
    "\"Empty\"=hex:\n"
    "\n";

TEST_F(QlmregTest, ExportPipedIntoImportOnAnEmptyStoreGivesTheSameStore) {
  ASSERT_EQ(Reg({"init"}).code, 0);
  ASSERT_EQ(Reg({"import", "-"}, kStoreText).code, 0);
  test::RunResult exported = Reg({"export"});
  ASSERT_EQ(exported.code, 0) << exported.err;
  EXPECT_EQ(exported.out, kStoreText);
  std::string other = dir_ + "/other.db";
  ASSERT_EQ(Reg({"init", "/elsewhere"}, {}, other).code, 0);
  ASSERT_EQ(Reg({"import", "-"}, exported.out, other).code, 0);
  EXPECT_EQ(Reg({"export"}, {}, other).out, exported.out);
  EXPECT_EQ(Reg({"export", "daemons\\127.0.0.1:53"}).out,
            "[daemons\\127.0.0.1:53]\n\"Broadcast\"=hex:01\n\"Name\"=\"DNS\"\n"
            "\"TTL\"=dword:00002a30\n\n[daemons\\127.0.0.1:53\\8.8.8.8]\n\n");
}

TEST_F(QlmregTest, SingleValueCommands) {
  ASSERT_EQ(Reg({"init", "/opt/q"}).code, 0);
  EXPECT_EQ(Reg({"get", "", "InstallDir"}).out, "/opt/q\n");
  EXPECT_EQ(Reg({"set", "Activity", "MaxConnections", "dword", "2000"}).code, 0);
  EXPECT_EQ(Reg({"set", "Daemons\\1.2.3.4:80", "Enable", "binary", "01"}).code, 0);
  EXPECT_EQ(Reg({"set", "General", "DefaultIP", "sz", "10.0.0.1"}).code, 0);
  EXPECT_EQ(Reg({"get", "ACTIVITY", "maxconnections"}).out, "2000\n");
  EXPECT_EQ(Reg({"get", "Daemons\\1.2.3.4:80", "Enable"}).out, "01\n");
  EXPECT_EQ(Reg({"get", "General", "DefaultIP"}).out, "10.0.0.1\n");
  // init again keeps the install folder unless one is given.
  ASSERT_EQ(Reg({"init"}).code, 0);
  EXPECT_EQ(Reg({"get", "", "InstallDir"}).out, "/opt/q\n");
  EXPECT_EQ(Reg({"delete", "General", "DefaultIP"}).code, 0);
  EXPECT_EQ(Reg({"get", "General", "DefaultIP"}).code, 1);
  EXPECT_EQ(Reg({"delete", "Daemons"}).code, 0);
  EXPECT_EQ(Reg({"delete", "Daemons"}).code, 1);
  EXPECT_EQ(Reg({"set", "General", "X", "dword", "-1"}).code, 1);
  EXPECT_EQ(Reg({"set", "General", "X", "qword", "1"}).code, 1);
  EXPECT_EQ(Reg({"bogus"}).code, 2);
  // Keys outside the product root by their top key's name.
  EXPECT_EQ(Reg({"set", "HKEY_CURRENT_USER\\Software\\X", "EnableAutodial", "binary", "00,01"})
                .code,
            0);
  EXPECT_EQ(Reg({"get", "HKEY_CURRENT_USER\\Software\\X", "EnableAutodial"}).out, "00,01\n");
}

TEST_F(QlmregTest, BadInputIsRefusedWithItsLineAndChangesNothing) {
  ASSERT_EQ(Reg({"init"}).code, 0);
  ASSERT_EQ(Reg({"import", "-"}, kStoreText).code, 0);
  std::string before = Reg({"export"}).out;
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"[General]\n\"A\"=dword:1\n\"B\"=qword:1\n", "qlmreg: line 3: unknown value type"},
      {"[-Daemons]\n[General]\n\"A\"=hex:zz\n", "qlmreg: line 3: bad hex byte"},
      {"[General]\n\"A\"=dword:1\n[PortMap\n", "qlmreg: line 3: missing \"]\""},
      {"[-Daemons]\n[General]\n\"A\"=\"open\n", "qlmreg: line 3: unterminated string"},
  };
  for (const Case& c : cases) {
    test::RunResult r = Reg({"import", "-"}, c.text);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << r.err;
    EXPECT_EQ(Reg({"export"}).out, before);
  }
  test::RunResult missing = Reg({"import", dir_ + "/no-such-file"});
  EXPECT_EQ(missing.code, 1);
  EXPECT_EQ(Reg({"export"}).out, before);
}

// The text other tests write their stores with: a header line, comments and
// a listener entry below a section that does not exist yet.
TEST_F(QlmregTest, ImportBelowTheRootCreatesKeysAndDeletesByMinusLines) {
  ASSERT_EQ(Reg({"init", "/opt/q"}).code, 0);
  test::RunResult r = Reg({"import", "-"},
                          "Windows Registry Editor Version 5.00\n"
                          "; a listener\n"
                          "\n"
                          "[Daemons\\127.0.0.5:1080]\n"
                          "\"Name\"=\"SOCKS\"\n"
                          "\"DefaultPort\"=dword:00000438\n"
                          "\"Enable\"=hex:01\n"
                          "[Daemons\\127.0.0.5:1081\\Sub]\n"
                          "\"Gone\"=dword:1\n");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Reg({"get", "daemons\\127.0.0.5:1080", "DEFAULTPORT"}).out, "1080\n");
  EXPECT_EQ(Reg({"get", "Daemons\\127.0.0.5:1080", "Enable"}).out, "01\n");
  r = Reg({"import", "-"},
          "[-Daemons\\127.0.0.5:1081]\n"
          "[-Daemons\\no-such-key]\n"
          "[Daemons\\127.0.0.5:1080]\n"
          "\"enable\"=-\n"
          "\"NoSuchValue\"=-\n");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Reg({"export", "Daemons"}).out,
            "[Daemons]\n\n[Daemons\\127.0.0.5:1080]\n\"DefaultPort\"=dword:00000438\n"
            "\"Name\"=\"SOCKS\"\n\n");
  EXPECT_EQ(Reg({"get", "", "InstallDir"}).out, "/opt/q\n");
}

// Values the friendly forms cannot carry come back with their own bytes and type.
TEST_F(QlmregTest, OddValuesRoundTripThroughTypedHex) {
  MakeRoot();
  CStoreKey general = Root().Open("General", true);
  const std::vector<std::pair<std::string, StoreValue>> odd = {
      {"NoZero", {ValueType::kString, {'a', 'b'}}},
      {"InnerZero", {ValueType::kString, {'a', 0, 'b', 0}}},
      {"EmptyString", {ValueType::kString, {}}},
      {"ShortInt", {ValueType::kDword, {1, 2}}},
      {"OwnType", {static_cast<ValueType>(0x2a), {9}}},
  };
  for (const auto& [name, value] : odd) {
    ASSERT_TRUE(general.Set(name, value));
  }
  test::RunResult exported = Reg({"export", "General"});
  EXPECT_NE(exported.out.find("\"NoZero\"=hex(1):61,62\n"), std::string::npos) << exported.out;
  EXPECT_NE(exported.out.find("\"OwnType\"=hex(2a):09\n"), std::string::npos);
  std::string other = dir_ + "/other.db";
  ASSERT_EQ(Reg({"init"}, {}, other).code, 0);
  ASSERT_EQ(Reg({"import", "-"}, exported.out, other).code, 0);
  EXPECT_EQ(Reg({"export", "General"}, {}, other).out, exported.out);
  setenv("QUILLMAR_STORE", other.c_str(), 1);
  CStoreKey copy = Root().Open("General", false);
  for (const auto& [name, value] : odd) {
    auto back = copy.Query(name);
    ASSERT_TRUE(back) << name;
    EXPECT_EQ(back->type, value.type) << name;
    EXPECT_EQ(back->data, value.data) << name;
  }
}

// InstallDir is the folder of the installed programs: run from elsewhere,
// init without a folder names qlmreg's own folder, not the one it runs in.
TEST_F(QlmregTest, InitWithoutAFolderTakesTheProgramsFolder) {
  test::RunResult r = test::Run(
      {"/bin/sh", "-c", "cd '" + dir_ + "' && exec " QLM_BIN_DIR "/qlmreg init"},
      {{"QUILLMAR_STORE", store_}});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Reg({"get", "", "InstallDir"}).out,
            std::filesystem::canonical(QLM_BIN_DIR).string() + "\n");
}

TEST_F(QlmregTest, InitStoresAGivenFolderAbsolute) {
  test::RunResult r = test::Run(
      {"/bin/sh", "-c", "cd '" + dir_ + "' && exec " QLM_BIN_DIR "/qlmreg init ./build/../bin/"},
      {{"QUILLMAR_STORE", store_}});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Reg({"get", "", "InstallDir"}).out, dir_ + "/bin\n");
}

// Without init the store is not set up: writing below a missing root would
// leave a root without its install folder, so every command but init refuses.
TEST_F(QlmregTest, EveryCommandButInitNeedsTheProductRoot) {
  const std::vector<std::vector<std::string>> commands = {
      {"import", "-"},
      {"set", "General", "A", "dword", "1"},
      {"delete", "General", "A"},
      {"delete", "General"},
      {"get", "General", "A"},
      {"export"},
  };
  for (const auto& command : commands) {
    test::RunResult r = Reg(command, "[General]\n\"A\"=dword:1\n");
    EXPECT_EQ(r.code, 1) << command[0];
    EXPECT_EQ(r.err, std::string("qlmreg: ") + kNoRootText + "\n") << command[0];
  }
  EXPECT_FALSE(Root());
  ASSERT_EQ(Reg({"init"}).code, 0);
  EXPECT_TRUE(Root());
  EXPECT_EQ(Reg({"export"}).out.rfind("[]\n\"InstallDir\"=\"", 0), 0u);
}

// An import killed between its last change and its commit leaves the store as
// it was: none of its changes, including the deletion it began with.
TEST_F(QlmregTest, AnImportKilledInsideItsTransactionChangesNothing) {
  ASSERT_EQ(Reg({"init"}).code, 0);
  ASSERT_EQ(Reg({"import", "-"}, kStoreText).code, 0);
  std::string before = Reg({"export"}).out;
  std::string big = "[-Daemons]\n[General]\n\"DefaultIP\"=\"changed\"\n";
  for (int i = 0; i < 2000; ++i) {
    big += "[Daemons\\10.0.0." + std::to_string(i % 250) + ":" + std::to_string(1000 + i) +
           "]\n\"Name\"=\"HTTP\"\n\"Enable\"=hex:01\n";
  }
  std::string marker = dir_ + "/inside";
  test::CChildProcess import({QLM_BIN_DIR "/qlmreg", "import", "-"},
                             {{"QUILLMAR_STORE", store_}, {kTestPauseEnv, marker}}, big);
  struct stat st {};
  ASSERT_TRUE(test::WaitUntil([&] { return stat(marker.c_str(), &st) == 0; },
                              std::chrono::seconds(30)));
  // Readers meanwhile see the store as before.
  EXPECT_EQ(Reg({"export"}).out, before);
  import.Signal(SIGKILL);
  EXPECT_EQ(import.Wait(), 128 + SIGKILL);
  EXPECT_EQ(Reg({"export"}).out, before);
  // The store takes writes again at once.
  EXPECT_EQ(Reg({"set", "General", "DefaultIP", "sz", "10.0.0.9"}).code, 0);
  EXPECT_EQ(Reg({"get", "General", "DefaultIP"}).out, "10.0.0.9\n");
}

}  // namespace
}  // namespace qlm::qlmstd
