// How a socket failure reads in the engine's log.
#include "net/blocking_socket_exception.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace qlm::net {
namespace {

TEST(BlockingSocketExceptionTest, ErrorCodeShowsNumberAndText) {
  CBlockingSocketException e("CBlockingSocket::ConnectNonBlock::Connect", 10061);
  EXPECT_EQ(e.GetErrorMessage(),
            "CBlockingSocket::ConnectNonBlock::Connect error (#10061): Connection refused");
  EXPECT_EQ(e.GetErrorText(), e.GetErrorMessage());
  EXPECT_STREQ(e.what(), e.GetErrorMessage().c_str());
}

TEST(BlockingSocketExceptionTest, BothCodesShowBoth) {
  CBlockingSocketException e("CBlockingSocket::Receive Error", 10054, -11);
  EXPECT_EQ(e.GetErrorMessage(),
            "CBlockingSocket::Receive Error error (#10054): Connection reset by peer and "
            "other error (#-11)");
}

TEST(BlockingSocketExceptionTest, TimeOutWithoutErrorHidesItsOtherCode) {
  CBlockingSocketException e("CBlockingSocket::Send timeout", 0, kOtherTimeout);
  EXPECT_EQ(e.GetErrorMessage(), "CBlockingSocket::Send timeout error");
  EXPECT_EQ(e.GetErrorText(), "CBlockingSocket::Send timeout");
  EXPECT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(e.OtherErrorCode(), -10);
  EXPECT_EQ(e.Message(), "CBlockingSocket::Send timeout");
}

TEST(BlockingSocketExceptionTest, UnknownNumberFormatsAsUnknown) {
  CBlockingSocketException e("CBlockingSocket::GetHostByName", 11001);
  EXPECT_EQ(e.GetErrorMessage(), "CBlockingSocket::GetHostByName error (#11001): Unknown");
}

TEST(BlockingSocketExceptionTest, MessageIsCutToTheCallersSize) {
  CBlockingSocketException e("CBlockingSocket::Bind", 10048);
  EXPECT_EQ(e.GetErrorMessage(10), "CBlocking");
  EXPECT_EQ(e.GetErrorMessage(1), "");
  EXPECT_EQ(e.GetErrorMessage(0), "");
}

TEST(BlockingSocketExceptionTest, FromLastErrorMapsErrno) {
  errno = EADDRINUSE;
  CBlockingSocketException e = CBlockingSocketException::FromLastError("CBlockingSocket::Bind");
  EXPECT_EQ(e.ErrorCode(), 10048);
  EXPECT_EQ(e.OtherErrorCode(), 0);
  EXPECT_EQ(e.GetErrorMessage(), "CBlockingSocket::Bind error (#10048): Address already in use");
}

}  // namespace
}  // namespace qlm::net
