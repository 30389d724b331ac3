// Connection state to the text the status page and the log show. The texts
// are the engine's string table, spelling included.
#include "dialup/ras_state_text.h"

#include "dialup/dial_up_backend.h"

namespace qlm::dialup {
namespace {

struct StateText {
  int state;
  const char* text;
};

constexpr StateText kStateTexts[] = {
    {kRasOpenPort, "Opening Port"},
    {kRasPortOpened, "Port Opened"},
    {kRasConnectDevice, "Connecting Device"},
    {kRasDeviceConnected, "Device Connected"},
    {kRasAllDevicesConnected, "All Devices Connected"},
    {kRasAuthenticate, "Starting Authentication"},
    {kRasAuthNotify, "Authentication Notify"},
    {kRasAuthRetry, "Authentication Retry"},
    {kRasAuthCallback, "Callback Requested"},
    {kRasAuthChangePassword, "Change Password Requested"},
    {kRasAuthProject, "Projection Phase Started"},
    {kRasAuthLinkSpeed, "Link Speed Calculation"},
    {kRasAuthAck, "Authentication Acknowledged"},
    {kRasReAuthenticate, "Reauthenticatation Started"},
    {kRasAuthenticated, "Authenticated"},
    {kRasPrepareForCallback, "Preparation For Callback"},
    {kRasWaitForModemReset, "Waiting For Modem Reset"},
    {kRasWaitForCallback, "Waiting For Callback"},
    {kRasInteractive, "Interactive"},
    {kRasRetryAuthentication, "Retry Authentication"},
    {kRasCallbackSetByCaller, "Callback Set By Caller"},
    {kRasPasswordExpired, "Password Expired"},
    {kRasConnected, "Connected"},
    {kRasDisconnected, "Disconnected"},
};

constexpr const char* kUnknownState = "Undefine Error Code";

}  // namespace

const char* RasStateText(int state) {
  for (const StateText& entry : kStateTexts) {
    if (entry.state == state) {
      return entry.text;
    }
  }
  return kUnknownState;
}

}  // namespace qlm::dialup
