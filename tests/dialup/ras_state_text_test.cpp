// The state texts, row by row, spelling included.
#include "dialup/ras_state_text.h"

#include <gtest/gtest.h>

#include "dialup/dial_up_backend.h"
#include "dialup/pppd_log.h"

namespace qlm::dialup {
namespace {

TEST(RasStateTextTest, EveryRowOfTheTable) {
  const std::pair<int, const char*> rows[] = {
      {0, "Opening Port"},
      {1, "Port Opened"},
      {2, "Connecting Device"},
      {3, "Device Connected"},
      {4, "All Devices Connected"},
      {5, "Starting Authentication"},
      {6, "Authentication Notify"},
      {7, "Authentication Retry"},
      {8, "Callback Requested"},
      {9, "Change Password Requested"},
      {10, "Projection Phase Started"},
      {11, "Link Speed Calculation"},
      {12, "Authentication Acknowledged"},
      {13, "Reauthenticatation Started"},
      {14, "Authenticated"},
      {15, "Preparation For Callback"},
      {16, "Waiting For Modem Reset"},
      {17, "Waiting For Callback"},
      {4096, "Interactive"},
      {4097, "Retry Authentication"},
      {4098, "Callback Set By Caller"},
      {4099, "Password Expired"},
      {8192, "Connected"},
      {8193, "Disconnected"},
  };
  for (const auto& [state, text] : rows) {
    EXPECT_STREQ(RasStateText(state), text) << state;
  }
}

TEST(RasStateTextTest, AnyOtherStateIsUndefined) {
  for (int state : {-1, 18, 4095, 4100, 8191, 8194, 65536}) {
    EXPECT_STREQ(RasStateText(state), "Undefine Error Code") << state;
  }
}

TEST(PppdLogTest, LinesBecomeStates) {
  EXPECT_EQ(ParsePppdLogLine("Serial connection established.").state, kRasDeviceConnected);
  PppdLogEvent using_line = ParsePppdLogLine("Using interface ppp3");
  EXPECT_FALSE(using_line.state);
  EXPECT_EQ(using_line.interface_name, "ppp3");
  PppdLogEvent connect = ParsePppdLogLine("Connect: ppp0 <--> /dev/ttyS0");
  EXPECT_EQ(connect.state, kRasAllDevicesConnected);
  EXPECT_EQ(connect.interface_name, "ppp0");
  EXPECT_EQ(ParsePppdLogLine("CHAP authentication succeeded").state, kRasAuthenticated);
  PppdLogEvent failed = ParsePppdLogLine("PAP authentication failed");
  EXPECT_EQ(failed.state, kRasAuthenticate);
  EXPECT_EQ(failed.error, kPppdAuthenticationFailed);
  EXPECT_EQ(ParsePppdLogLine("local  IP address 10.64.64.64").state, kRasConnected);
  EXPECT_FALSE(ParsePppdLogLine("remote IP address 10.64.64.1").state);
  EXPECT_EQ(ParsePppdLogLine("Modem hangup").state, kRasDisconnected);
  EXPECT_EQ(ParsePppdLogLine("Connection terminated.").state, kRasDisconnected);
  EXPECT_FALSE(ParsePppdLogLine("").state);
  EXPECT_FALSE(ParsePppdLogLine("Using interface ").interface_name);
  EXPECT_FALSE(ParsePppdLogLine("rcvd [LCP ConfReq id=0x1]").state);
}

TEST(PppdLogTest, ErrorTextsCoverTheExitCodes) {
  EXPECT_EQ(PppdErrorText(kPppdExitBase + 19), "We failed to authenticate ourselves to the peer.");
  EXPECT_EQ(PppdErrorText(kPppdExitBase + 16), "The link was terminated by the modem hanging up.");
  for (int code = 1; code <= 19; ++code) {
    EXPECT_TRUE(PppdErrorText(kPppdExitBase + code)) << code;
  }
  EXPECT_FALSE(PppdErrorText(kPppdExitBase + 20));
  EXPECT_FALSE(PppdErrorText(kPppdExitBase - 1));
  EXPECT_FALSE(PppdErrorText(0));
  EXPECT_TRUE(PppdErrorText(kPppdEntryNotFound));
  EXPECT_TRUE(PppdErrorText(kPppdCannotStart));
}

}  // namespace
}  // namespace qlm::dialup
