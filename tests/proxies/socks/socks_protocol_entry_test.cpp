// The engine serves its "SOCKS" daemon with this server: the dispatch
// table's entry makes a CClientSocket with the server's own time-outs and
// hands it to ClientThreadProc.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include "engine/service/protocol_table.h"
#include "proxies/socks/client_socket.h"
#include "proxies/socks/client_thread.h"
#include "proxies/socks/socks_protocol.h"
#include "tests/support/fake_servers.h"
#include "tests/support/log_capture.h"
#include "tests/support/loopback.h"
#include "tests/support/protocol_harness.h"

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

namespace qlm::socks {
namespace {

// The entry as the engine uses it, driven without an engine: a SOCKS 5
// CONNECT through the client object and thread procedure it names.
TEST(SocksProtocolEntryTest, EntryServesAConnectEndToEnd) {
  qlm::test::CTcpEcho echo;
  qlm::test::CLogCapture log;
  int fd = -1;
  {
    qlm::test::CProtocolHarness harness(SocksProtocol());
    fd = harness.Connect();
    ASSERT_GE(fd, 0);
    const uint8_t hello[] = {0x05, 0x01, 0x00};
    ASSERT_EQ(::send(fd, hello, sizeof hello, 0), 3);
    EXPECT_EQ(qlm::test::ReadAll(fd, 2, 5000), std::string("\x05\x00", 2));
    const uint8_t connect[] = {0x05, 0x01, 0x00, 0x01, 127, 0, 0, 1,
                               static_cast<uint8_t>(echo.port() >> 8),
                               static_cast<uint8_t>(echo.port() & 0xff)};
    ASSERT_EQ(::send(fd, connect, sizeof connect, 0), 10);
    const std::string reply = qlm::test::ReadAll(fd, 10, 5000);
    ASSERT_EQ(reply.size(), 10u);
    EXPECT_EQ(reply.substr(0, 2), std::string("\x05\x00", 2));
    ASSERT_TRUE(qlm::test::WriteAll(fd, "ping"));
    EXPECT_EQ(qlm::test::ReadAll(fd, 4, 5000), "ping");
    ::close(fd);
  }
  EXPECT_FALSE(log.HasLineContaining("ERR", "Limited")) << log.All();
}

}  // namespace
}  // namespace qlm::socks
