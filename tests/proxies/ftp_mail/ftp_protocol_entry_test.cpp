// The engine serves its "FTP" daemon with the FTP proxy: the dispatch
// table's entry makes a command socket carrying the proxy's own waits and
// hands it to FtpCmdThreadProc.
#include <gtest/gtest.h>

#include "engine/service/protocol_table.h"
#include "proxies/ftp_mail/ftp_proxy_client.h"
#include "proxies/ftp_mail/ftp_session.h"

namespace qlm::ftp {
namespace {

TEST(FtpProtocolEntryTest, FtpDaemonIsServedByFtpCmdThreadProc) {
  const engine::StreamProtocol* entry = engine::FindStreamProtocol("FTP");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->thread_proc, &FtpCmdThreadProc);
  auto client = entry->make_client();
  auto* ftp = dynamic_cast<CFtpProxyClient*>(client.get());
  ASSERT_NE(ftp, nullptr);
  const FtpTimeouts& t = ftp->Config().timeouts;
  EXPECT_EQ(t.idle, std::chrono::seconds(900));
  EXPECT_EQ(t.data_idle, std::chrono::seconds(7200));
  EXPECT_EQ(t.data_connect, std::chrono::seconds(30));
  EXPECT_EQ(t.relay_send, std::chrono::seconds(30));
  EXPECT_EQ(t.server.connect, std::chrono::seconds(120));
  EXPECT_EQ(t.server.reply, std::chrono::seconds(300));
  EXPECT_EQ(t.client.byte, std::chrono::seconds(300));
  EXPECT_EQ(t.client.send, std::chrono::seconds(30));
  EXPECT_EQ(ftp->Config().server_port, 21);
  EXPECT_FALSE(ftp->Echo());
  EXPECT_TRUE(ftp->SuppressGoAhead());
  EXPECT_EQ(engine::FindStreamProtocol("ftp"), nullptr) << "names compare exactly";
}

}  // namespace
}  // namespace qlm::ftp
