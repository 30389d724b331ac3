// The HOSTS editor: the template for a missing file, the editor's command
// line, and the two failures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "manager/hosts_file.h"
#include "tests/support/temp_dir.h"

namespace qlm::manager {
namespace {

struct Launches {
  std::vector<std::vector<std::string>> runs;
  std::vector<std::string> errors;
  HostsFileSeams Seams(const std::string& path) {
    HostsFileSeams s;
    s.path = path;
    s.launch = [this](const std::vector<std::string>& argv) {
      runs.push_back(argv);
      return true;
    };
    s.error = [this](const std::string& text) { errors.push_back(text); };
    return s;
  }
};

std::string Read(const std::string& path) {
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(HostsFileTest, AMissingFileIsCreatedFromTheTemplateAndOpened) {
  test::CTempDir dir;
  ::unsetenv("VISUAL");
  ::setenv("EDITOR", "vi -n", 1);
  Launches l;
  ASSERT_TRUE(OpenHostsFile(l.Seams(dir.File("hosts"))));
  const std::string text = Read(dir.File("hosts"));
  EXPECT_EQ(text, HostsTemplate());
  EXPECT_EQ(text.rfind("#", 0), 0u);
  EXPECT_NE(text.find("\n\n127.0.0.1       localhost\n\n"), std::string::npos);
  for (const char* example : {"192.168.0.1", "192.168.0.2", "192.168.0.3", "192.168.0.4"}) {
    EXPECT_NE(text.find(example), std::string::npos);
  }
  ASSERT_EQ(l.runs.size(), 1u);
  EXPECT_EQ(l.runs[0], (std::vector<std::string>{"vi", "-n", dir.File("hosts")}));
}

TEST(HostsFileTest, AnExistingFileIsLeftAsItIs) {
  test::CTempDir dir;
  std::ofstream(dir.File("hosts")) << "10.0.0.1 box\n";
  Launches l;
  ASSERT_TRUE(OpenHostsFile(l.Seams(dir.File("hosts"))));
  EXPECT_EQ(Read(dir.File("hosts")), "10.0.0.1 box\n");
}

TEST(HostsFileTest, TheEditorIsVisualThenEditorThenXdgOpen) {
  ::setenv("VISUAL", "gedit", 1);
  ::setenv("EDITOR", "nano", 1);
  EXPECT_EQ(EditorCommand("/f"), (std::vector<std::string>{"gedit", "/f"}));
  ::unsetenv("VISUAL");
  EXPECT_EQ(EditorCommand("/f"), (std::vector<std::string>{"nano", "/f"}));
  ::unsetenv("EDITOR");
  EXPECT_EQ(EditorCommand("/f"), (std::vector<std::string>{"xdg-open", "/f"}));
}

TEST(HostsFileTest, FailuresShowTheirMessages) {
  test::CTempDir dir;
  Launches l;
  EXPECT_FALSE(OpenHostsFile(l.Seams(dir.File("missing/hosts"))));
  ASSERT_EQ(l.errors.size(), 1u);
  EXPECT_EQ(l.errors[0], "Open HOSTS file fails!");
  // A folder where nobody, not even root, may create a file.
  EXPECT_FALSE(OpenHostsFile(l.Seams("/proc/qlm-hosts-test")));
  ASSERT_EQ(l.errors.size(), 2u);
  EXPECT_EQ(l.errors[1],
            "Open HOSTS file fails!\nYou may not have the privilege to open this file for "
            "writing!");
  EXPECT_TRUE(l.runs.empty());
}

}  // namespace
}  // namespace qlm::manager
