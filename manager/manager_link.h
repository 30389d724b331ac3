// ManagerLink: the manager's end of the one TCP connection to the engine
// (DefaultIP, manager port). Connect() is called at start-up and on every
// 4-second heartbeat, so an engine that starts later, or restarts, is found
// within one beat. On connecting it asks for the daemon list, then for the
// log, and starts ManagerReceiveThreadProc. What the receiver reads reaches
// the window thread as this object's signals (posted, never emitted from the
// receiver), so every window change happens on the window thread.
//
// States: not connected -> connecting (async socket pending) -> connected
// (receiver running) -> not connected (any error, or the engine closes).
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/activity_msg.h"
#include "link/archive.h"
#include "link/msg.h"
#include "manager/manager_socket.h"
#include "net/qlm_socket_file.h"
#include "net/timeout.h"

namespace qlm::manager {

class CLogStore;
class CManagerAsyncSocket;
class CReceiverStopSocket;

struct ManagerLinkOptions {
  // The engine's address, read at every Connect (the General page may change it).
  std::function<std::string()> default_ip;
  uint16_t port = 6501;
  // Each read and write of the socket file waits at most this long.
  net::Timeout io_timeout = net::CQlmSocketFile::kDefaultTimeout;
  // Message boxes ("Create Manager Async Socket failed", "Send msg failed", ...).
  std::function<void(const std::string& text)> show_error;
};

class ManagerLink : public QObject {
  Q_OBJECT

 public:
  // `log` receives log content and lines; not owned, must outlive the link.
  ManagerLink(ManagerLinkOptions options, CLogStore* log, QObject* parent = nullptr);
  ~ManagerLink() override;  // Close()

  // Nothing while connected; else replaces any pending connect by a new one.
  void Connect();
  // false without a channel; a failed write tears the channel down (false).
  bool SendMsg(const link::CMsg& msg);
  // MSG_STOP_ENGINE; silent when not connected; a failed write tears the
  // channel down and shows "Send msg failed".
  void SendStop();
  // Ends the receiver and destroys, in order, the storing archive, the loading
  // archive, the socket file, the socket and any pending async socket.
  void Close();
  // Program end: signals the receiver's stop socket (the activity view stays
  // as it is); Close() follows.
  void StopReceiver();

  bool IsConnected() const { return socket_ != nullptr; }
  bool IsConnecting() const { return async_ != nullptr; }

 signals:
  void ConnectedChanged(bool connected);
  // MSG_DAEMON_LIST: the activity view's key table is to be refilled and rebuilt.
  void DaemonListReceived(const std::vector<std::string>& keys);
  void ActivityReceived(const qlm::link::CActivityMsg& activity);
  // MSG_IDLE_HANGUP_WARNING: the auto hang-up dialog's place.
  void IdleHangupWarning();
  // The engine went away: the activity view is emptied to its root.
  void EngineLost();

 private:
  void OnConnect(int error);
  bool SendFirstRequests();
  void StartReceiver();
  // Posts `work` to the window thread, dropped when the connection it came
  // from is gone by then.
  void Post(uint64_t generation, std::function<void()> work);

  ManagerLinkOptions options_;
  CLogStore* log_;
  std::unique_ptr<CManagerAsyncSocket> async_;
  std::unique_ptr<CManagerSocket> socket_;
  std::unique_ptr<net::CQlmSocketFile> file_;
  std::unique_ptr<link::CArchive> load_;
  std::unique_ptr<link::CArchive> store_;
  std::unique_ptr<CReceiverStopSocket> stop_;
  std::thread receiver_;
  // Counts connections; posts of an ended connection carry an old number.
  uint64_t generation_ = 0;
};

}  // namespace qlm::manager
