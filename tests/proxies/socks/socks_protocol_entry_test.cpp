// The engine serves its "SOCKS" daemon with this server: the dispatch
// table's entry makes a CClientSocket with the server's own time-outs and
// hands it to ClientThreadProc.
#include <gtest/gtest.h>

#include "engine/service/protocol_table.h"
#include "proxies/socks/client_socket.h"
#include "proxies/socks/client_thread.h"

namespace qlm::socks {
namespace {

TEST(SocksProtocolEntryTest, SocksDaemonIsServedByClientThreadProc) {
  const engine::StreamProtocol* entry = engine::FindStreamProtocol("SOCKS");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->thread_proc, &ClientThreadProc);
  auto client = entry->make_client();
  auto* socks = dynamic_cast<CClientSocket*>(client.get());
  ASSERT_NE(socks, nullptr);
  EXPECT_EQ(socks->Timeouts().outward_connect, std::chrono::seconds(300));
  EXPECT_EQ(socks->Timeouts().relay_idle, std::chrono::seconds(7200));
  EXPECT_EQ(socks->Timeouts().handshake, std::chrono::seconds(30));
  EXPECT_EQ(engine::FindStreamProtocol("socks"), nullptr) << "names compare exactly";
}

}  // namespace
}  // namespace qlm::socks
