// The platform's dial-up service as the dial-up manager sees it: the phone-book
// entries, the active connections with their state, dialling with a notifier,
// hanging up and the error texts. Everything above it (state, countdown,
// decisions, texts) is the manager's own, so a backend only reports what the
// line does. Implementations: CPppdBackend (pppd on this machine) and
// CScriptedBackend (tests).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qlm::dialup {

// Connection states, numbered as the dial-up service numbers them; the manager
// turns them into texts (ras_state_text.h).
enum RasState : int {
  kRasOpenPort = 0,
  kRasPortOpened = 1,
  kRasConnectDevice = 2,
  kRasDeviceConnected = 3,
  kRasAllDevicesConnected = 4,
  kRasAuthenticate = 5,
  kRasAuthNotify = 6,
  kRasAuthRetry = 7,
  kRasAuthCallback = 8,
  kRasAuthChangePassword = 9,
  kRasAuthProject = 10,
  kRasAuthLinkSpeed = 11,
  kRasAuthAck = 12,
  kRasReAuthenticate = 13,
  kRasAuthenticated = 14,
  kRasPrepareForCallback = 15,
  kRasWaitForModemReset = 16,
  kRasWaitForCallback = 17,
  kRasInteractive = 4096,
  kRasRetryAuthentication = 4097,
  kRasCallbackSetByCaller = 4098,
  kRasPasswordExpired = 4099,
  kRasConnected = 8192,
  kRasDisconnected = 8193,
};

// Error numbers with a meaning of their own to the manager.
inline constexpr int kRasErrorPending = 600;        // "operation pending": not an error
inline constexpr int kRasErrorBufferTooSmall = 603;

// One active connection; 0 is "no connection".
using ConnectionHandle = uint64_t;
inline constexpr ConnectionHandle kNoConnection = 0;

// State and error of one connection, with its device.
struct ConnectionStatus {
  int state = kRasDisconnected;
  int error = 0;
  std::string device_type;
  std::string device_name;
};

// What one dial uses. Phone number empty: the phone book's own; "*" for the
// callback number and domain: the entry's own.
struct DialParams {
  std::string entry;
  std::string phone_number;
  std::string callback_number = "*";
  std::string user;
  std::string password;
  std::string domain = "*";
};

// The notifier of an asynchronous dial: (message, state, error), called on a
// thread of the backend's for every state the line passes, the last one with
// kRasConnected, kRasDisconnected or an error.
using DialNotifier = std::function<void(unsigned message, int state, int error)>;

class IDialUpBackend {
 public:
  virtual ~IDialUpBackend() = default;

  // Whether the service is usable on this machine. Asked once, on the first
  // dial-up operation; false keeps dial-up off for the life of the process.
  virtual bool Load() = 0;

  // Phone-book entry names (the settings page's choice).
  virtual std::vector<std::string> EnumEntries() = 0;
  // The active connections of the machine, oldest first.
  virtual std::vector<ConnectionHandle> EnumConnections() = 0;
  // nullopt when the query fails, which is how a released handle shows.
  virtual std::optional<ConnectionStatus> GetConnectStatus(ConnectionHandle handle) = 0;
  // 0 or an error number. Returns at once; the line goes down afterwards.
  virtual int HangUp(ConnectionHandle handle) = 0;
  // Starts dialling and returns at once: 0 with *handle set, or an error
  // number. The notifier reports the progress.
  virtual int Dial(const DialParams& params, DialNotifier notifier, ConnectionHandle* handle) = 0;
  // The service's text for an error number; nullopt when it has none.
  virtual std::optional<std::string> ErrorString(int error) = 0;
};

using DialUpBackendPtr = std::unique_ptr<IDialUpBackend>;

}  // namespace qlm::dialup
