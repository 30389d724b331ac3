// ManagerLink: connect, first requests, sends and tear-down on the window
// thread; the receiver on its own thread.
#include "manager/manager_link.h"

#include <QMetaObject>
#include <QPointer>

#include "link/msg_wire.h"
#include "manager/log_store.h"
#include "manager/manager_async_socket.h"
#include "manager/manager_receive_thread.h"
#include "manager/manager_texts.h"
#include "manager/manager_trace.h"
#include "manager/receiver_stop_socket.h"

namespace qlm::manager {

ManagerLink::ManagerLink(ManagerLinkOptions options, CLogStore* log, QObject* parent)
    : QObject(parent), options_(std::move(options)), log_(log) {}

ManagerLink::~ManagerLink() { Close(); }

void ManagerLink::Connect() {
  if (IsConnected()) {
    return;
  }
  async_.reset();
  const std::string ip = options_.default_ip ? options_.default_ip() : std::string();
  const sockaddr_in address = net::MakeAddress(ip, options_.port);
  if (address.sin_addr.s_addr == INADDR_NONE) {
    // No DefaultIP saved yet (or not an address): no engine to reach.
    return;
  }
  auto async = std::make_unique<CManagerAsyncSocket>();
  if (!async->Create()) {
    TraceError(kCreateAsyncSocketFailedText);
    if (options_.show_error) {
      options_.show_error(kCreateAsyncSocketFailedText);
    }
    return;
  }
  CManagerAsyncSocket* pending = async.get();
  async_ = std::move(async);
  async_->StartConnect(address, [this, pending](int error) {
    if (async_.get() == pending) {
      OnConnect(error);
    }
  });
}

void ManagerLink::OnConnect(int error) {
  if (error != 0) {
    async_.reset();  // silently; the next heartbeat tries again
    return;
  }
  const int fd = async_->Detach();
  async_.reset();
  socket_ = std::make_unique<CManagerSocket>();
  socket_->Attach(fd);
  try {
    socket_->SetBlockingMode();
  } catch (const net::CBlockingSocketException&) {
    socket_.reset();
    TraceError(kCreateManagerSocketFailedText);
    if (options_.show_error) {
      options_.show_error(kCreateManagerSocketFailedText);
    }
    return;
  }
  file_ = std::make_unique<net::CQlmSocketFile>(socket_.get(), true, options_.io_timeout);
  load_ = std::make_unique<link::CArchive>(file_.get(), link::CArchive::load);
  store_ = std::make_unique<link::CArchive>(file_.get(), link::CArchive::store);
  if (!SendFirstRequests()) {
    if (options_.show_error) {
      options_.show_error(kSendMsgFailedText);
    }
    return;
  }
  Trace("Connected to the engine");
  StartReceiver();
  emit ConnectedChanged(true);
}

bool ManagerLink::SendFirstRequests() {
  // The daemon list first, then the log; a failed send has torn the channel down.
  return SendMsg(link::CMsg(link::MSG_GET_DAEMON_LIST)) && SendMsg(link::CMsg(link::MSG_GET_LOG));
}

void ManagerLink::StartReceiver() {
  stop_ = std::make_unique<CReceiverStopSocket>();
  const uint64_t generation = ++generation_;
  ReceiverChannel channel;
  channel.socket = socket_.get();
  channel.load = load_.get();
  channel.stop_fd = stop_->Fd();
  channel.log = log_;
  channel.daemon_list = [this, generation](std::vector<std::string> keys) {
    Post(generation, [this, keys = std::move(keys)] { emit DaemonListReceived(keys); });
  };
  channel.activity = [this, generation](const link::CActivityMsg& activity) {
    Post(generation, [this, activity] { emit ActivityReceived(activity); });
  };
  channel.idle_hangup_warning = [this, generation] {
    Post(generation, [this] { emit IdleHangupWarning(); });
  };
  channel.ended = [this, generation](ReceiverEnd end) {
    if (end == ReceiverEnd::kEngineLost) {
      Post(generation, [this] {
        Trace("Connection to the engine ended");
        emit EngineLost();
        Close();
      });
    }
  };
  receiver_ = std::thread(ManagerReceiveThreadProc, std::move(channel));
}

void ManagerLink::Post(uint64_t generation, std::function<void()> work) {
  QMetaObject::invokeMethod(
      this,
      [this, generation, work = std::move(work)] {
        if (generation == generation_ && IsConnected()) {
          work();
        }
      },
      Qt::QueuedConnection);
}

bool ManagerLink::SendMsg(const link::CMsg& msg) {
  if (!store_) {
    return false;
  }
  try {
    msg.Store(*store_);
    store_->Flush();
    return true;
  } catch (const std::exception& e) {
    TraceError(std::string("ManagerLink::SendMsg:") + e.what());
    Close();
    return false;
  }
}

void ManagerLink::SendStop() {
  if (!store_) {
    return;
  }
  Trace("Stop message sent to the engine");
  if (!SendMsg(link::CMsg(link::MSG_STOP_ENGINE)) && options_.show_error) {
    options_.show_error(kSendMsgFailedText);
  }
}

void ManagerLink::StopReceiver() {
  if (stop_) {
    stop_->Signal();
  }
}

void ManagerLink::Close() {
  // ConnectedChanged(true) went out only once the receiver ran.
  const bool was_connected = receiver_.joinable();
  if (receiver_.joinable()) {
    stop_->Signal();
    // Wakes a read blocked inside a message as well, which waits on the
    // socket alone.
    socket_->ShutdownReceive();
    socket_->ShutdownSend();
    receiver_.join();
  }
  ++generation_;  // whatever the old receiver posted is dropped
  store_.reset();
  load_.reset();
  file_.reset();
  socket_.reset();
  async_.reset();
  stop_.reset();
  if (was_connected) {
    emit ConnectedChanged(false);
  }
}

}  // namespace qlm::manager
