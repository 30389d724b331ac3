// A dial-up service whose line is whatever the test says: connections and
// their states are set by hand, dials and hang-ups are recorded, and the test
// drives a dial's progress through Notify, as the service's notifier thread
// would. For the dial-up manager's tests and for proxies' tests that need a
// line that is up or down.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "dialup/dial_up_backend.h"

namespace qlm::dialup {

class CScriptedBackend : public IDialUpBackend {
 public:
  // IDialUpBackend
  bool Load() override;
  std::vector<std::string> EnumEntries() override;
  std::vector<ConnectionHandle> EnumConnections() override;
  std::optional<ConnectionStatus> GetConnectStatus(ConnectionHandle handle) override;
  int HangUp(ConnectionHandle handle) override;
  int Dial(const DialParams& params, DialNotifier notifier, ConnectionHandle* handle) override;
  std::optional<std::string> ErrorString(int error) override;

  // --- Script ---
  void SetLoadable(bool loadable);
  void SetEntries(std::vector<std::string> entries);
  // A connection in `state`; returns its handle.
  ConnectionHandle AddConnection(int state, int error = 0);
  void SetState(ConnectionHandle handle, int state, int error = 0);
  void RemoveConnection(ConnectionHandle handle);
  // A query of this handle fails (as a handle in the middle of going away).
  void FailQuery(ConnectionHandle handle);
  // What the next Dial answers (0: a new connection in "Opening Port").
  void SetDialResult(int result);
  // Whether a hang-up releases the handle at once (else it stays, Disconnected).
  void SetReleaseOnHangUp(bool release);
  void SetErrorString(int error, std::string text);
  // Calls the last dial's notifier, as the service's thread would.
  void Notify(int state, int error = 0);

  // --- What happened ---
  int LoadCalls() const;
  std::vector<DialParams> Dials() const;
  std::vector<ConnectionHandle> HangUps() const;
  int StatusQueries(ConnectionHandle handle) const;

 private:
  struct Line {
    ConnectionStatus status;
    bool query_fails = false;
  };

  mutable std::mutex mutex_;
  bool loadable_ = true;                          // Guarded by mutex_
  int load_calls_ = 0;                            // Guarded by mutex_
  std::vector<std::string> entries_;              // Guarded by mutex_
  std::map<ConnectionHandle, Line> lines_;        // Guarded by mutex_
  ConnectionHandle next_handle_ = 1;              // Guarded by mutex_
  int dial_result_ = 0;                           // Guarded by mutex_
  bool release_on_hang_up_ = true;                // Guarded by mutex_
  std::map<int, std::string> error_texts_;        // Guarded by mutex_
  DialNotifier notifier_;                         // Guarded by mutex_
  std::vector<DialParams> dials_;                 // Guarded by mutex_
  std::vector<ConnectionHandle> hang_ups_;        // Guarded by mutex_
  std::map<ConnectionHandle, int> queries_;       // Guarded by mutex_
};

}  // namespace qlm::dialup
