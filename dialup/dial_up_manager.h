// The engine-wide dial-up manager. Proxy threads only read the connected flag,
// ask for a dial or a hang-up (which signals the engine's events) and wait for
// the line; the engine's main loop runs every dialling and hanging up, the
// status poll and the idle monitor on its own thread, and the backend's
// notifier thread reports the progress of a dial.
//
// Wiring by the engine (once, before its listeners open):
//   auto& dialup = qlm::dialup::DialUpManager::Instance();
//   dialup.Configure(settings_from_General, hooks, qlm::dialup::MakePlatformBackend());
//   main loop:  DialUpTickEvent -> dialup.PollStatus();
//               DialEvent       -> dialup.Dial();
//               HangUpEvent     -> dialup.HangUp();
//   hooks.signal_dial / signal_hang_up: set DialEvent / HangUpEvent;
//   hooks.send_idle_hangup_warning:
//       engine::SendToManager(link::CMsg(link::MSG_IDLE_HANGUP_WARNING));
//   ManagerChannelHooks::keep_connection (MSG_KEEP_CONNECTION):
//       DialUpManager::Instance().KeepConnection().
// Until Configure runs, every operation is a silent no-op (dial-up off).
// Other folders' tests get a line that is up or down by configuring Instance()
// with a CScriptedBackend (dialup/scripted_backend.h), adding a connection in
// the state they need and calling PollStatus(); ResetForTest() afterwards.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dialup/dial_up_backend.h"
#include "dialup/dial_up_settings.h"

namespace qlm::dialup {

// What the manager needs from the engine around it. Every member may be left
// empty; the defaults are given per member.
struct DialUpHooks {
  // Signal the engine's DialEvent / HangUpEvent (auto-reset). Empty: nothing.
  std::function<void()> signal_dial;
  std::function<void()> signal_hang_up;
  // Send MSG_IDLE_HANGUP_WARNING (type 8) to a connected manager; called under
  // the idle lock, so it may take the manager-channel lock but never the idle
  // lock. Empty: nothing is sent.
  std::function<void()> send_idle_hangup_warning;
  // Reports a dial that cannot start. Empty: engine::ReportEngineError.
  std::function<void(const std::string& text, bool is_error)> report_engine_error;
  // Shows it (never waits for an answer). Empty: engine::ShowEngineMessage.
  std::function<void(const std::string& text, const std::string& title)> show_message;
  // Sends the keep-alive datagram; errors are swallowed. Empty: a fresh
  // broadcast datagram socket sends it to `keep_alive_to`.
  std::function<void(const std::vector<uint8_t>& datagram, const sockaddr_in& to)> send_keep_alive;
  // Where the keep-alive query goes (tests: a loopback port they listen on).
  sockaddr_in keep_alive_to = KeepAliveBroadcast();
};

class DialUpManager {
 public:
  // The one manager of the engine process.
  static DialUpManager& Instance();

  DialUpManager();
  ~DialUpManager();
  DialUpManager(const DialUpManager&) = delete;
  DialUpManager& operator=(const DialUpManager&) = delete;

  // Takes the settings, the engine's hooks and the backend (nullptr: none,
  // which is dial-up off). The backend is loaded on the first operation that
  // needs it. Call before any other thread uses the manager.
  void Configure(const DialUpSettings& settings, DialUpHooks hooks, DialUpBackendPtr backend,
                 const DialUpTimeouts& timeouts = {});
  // Tests: back to the unconfigured state (no backend, disconnected, empty text).
  void ResetForTest();

  // --- For the proxies (any thread) ---

  // The connected flag: the last status text was "Connected". No lock.
  bool IsConnected() const { return connected_.load(); }
  // UseDialUp, DialUpManaged and AutoConnect on, a backend to dial with and
  // the line down; for a name look-up also NoDNSAutoConnect off.
  bool AutoDialWanted(bool for_dns_lookup) const;
  // Whether a dial-up backend could be loaded (pppd installed, or the test's
  // scripted one). Without one, dial-up is off for the whole engine.
  bool Available();
  // Signal DialEvent / HangUpEvent; return at once.
  void RequestDial();
  void RequestHangUp();
  // Up to `connection_rounds` sleeps of `connection_round` (60 x 2 s), leaving
  // after a sleep as soon as the line is connected, or at engine stop. Returns
  // whether the line is connected.
  bool WaitForConnection();
  // The last state or error text, read under the status lock.
  std::string StatusText() const;

  // --- For the engine's main loop (one thread) ---

  // The 4-second tick: status poll, then the idle monitor.
  void PollStatus();
  // Dials the configured entry unless a line exists or is being set up.
  void Dial();
  // Hangs up every active connection of the machine.
  void HangUp();

  // --- For the manager connection thread ---

  // The manager's veto of an idle hang-up (MSG_KEEP_CONNECTION): reloads the
  // idle countdown.
  void KeepConnection();

  // --- Backend notifier (the backend's thread) ---
  void OnRasDialEvent(unsigned message, int state, int error);

  // Tests and diagnosis.
  unsigned IdleCountdownForTest() const;
  bool LoadedForTest();

 private:
  class Impl;
  // Status text and connected flag together, under the status lock.
  void SetStatus(const std::string& text);
  // The idle part of the tick, under the idle lock.
  void RunIdleMonitor();
  // Hangs `handle` up and polls it until the platform has let it go.
  void HangUpAndWait(ConnectionHandle handle);
  // A dial message: reported to the engine and shown.
  void Complain(const std::string& text, bool is_error);

  std::unique_ptr<Impl> impl_;
  // Written by the tick and the notifier, read without a lock.
  std::atomic<bool> connected_{false};
};

}  // namespace qlm::dialup
