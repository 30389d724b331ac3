// The real quillmar on a virtual X server answering the engine's idle
// hang-up warning: the "Auto Hang Up" dialog opens when the warning arrives
// and its Cancel goes back as the veto (MSG_KEEP_CONNECTION). The engine's
// side is a stand-in speaking the channel's bytes: the real engine warns
// only after a dial-up line has idled for a minute, which no test machine
// has.
#include <gtest/gtest.h>

#include "link/msg.h"
#include "tests/e2e/manager/manager_under_test.h"
#include "tests/e2e/support/engine_under_test.h"
#include "tests/manager/fake_engine.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace qlm::test {
namespace {

using std::chrono::seconds;

constexpr char kIp[] = "127.0.0.222";

TEST(AutoHangUpE2eTest, TheWarningOpensTheDialogAndCancelVetoes) {
  EnsureCoreApplication();
  EngineUnderTest store{kIp};  // the store only; the engine is the stand-in below
  ASSERT_TRUE(store.WriteStore());
  CFakeEngine engine(kIp);
  std::map<std::string, std::string> environment = store.Environment();
  environment["QUILLMAR_MANAGER_PORT"] = std::to_string(engine.Port());
  CTempDir hooks("qlm-autohangup-e2e");
  CVirtualDisplay display;
  ASSERT_FALSE(display.Name().empty());
  CManagerUnderTest manager(display, environment, hooks.Path() + "/manager");
  ASSERT_TRUE(manager.Start());
  ASSERT_TRUE(engine.Accept(seconds(20)));
  // The manager's first two requests: the daemon list and the log.
  const std::string first = MsgBytes(link::CMsg(link::MSG_GET_DAEMON_LIST)) +
                            MsgBytes(link::CMsg(link::MSG_GET_LOG));
  EXPECT_EQ(engine.Read(first.size()), first);
  ASSERT_TRUE(manager.WaitForState("connected=1"));
  ASSERT_TRUE(manager.WaitForState("splash=0"));

  ASSERT_TRUE(engine.Send(MsgBytes(link::CMsg(link::MSG_IDLE_HANGUP_WARNING))));
  ASSERT_TRUE(manager.WaitForState("autohangup=1")) << manager.State();
  const std::string path = manager.Screenshot("manager/settings_dialog_auto_hang_up");
  ASSERT_FALSE(path.empty());
  EXPECT_GT(ColourCount(path), 1) << path << " is one colour";

  manager.Script("autohangup cancel");
  const std::string keep = MsgBytes(link::CMsg(link::MSG_KEEP_CONNECTION));
  EXPECT_EQ(engine.Read(keep.size(), seconds(20)), keep);
  EXPECT_TRUE(manager.WaitForState("autohangup=0 countdown=-1")) << manager.State();
  EXPECT_EQ(manager.Messages(), "");
}

}  // namespace
}  // namespace qlm::test
