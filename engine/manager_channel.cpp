// The manager slot and SendToManager: every write to the manager goes through
// the slot's storing archive under the manager-channel lock.
#include "engine/manager_channel.h"

#include "engine/manager_slot.h"

namespace qlm::engine {

namespace {

void StoreAndFlush(link::CArchive& archive, const link::CMsg& msg) {
  msg.Store(archive);
  archive.Flush();
}

}  // namespace

ManagerConnection::ManagerConnection(std::unique_ptr<net::CBlockingSocket> accepted)
    : socket(std::move(accepted)) {
  file = std::make_unique<net::CQlmSocketFile>(socket.get(), true);
  load = std::make_unique<link::CArchive>(file.get(), link::CArchive::load,
                                          link::kArchiveBufferSize);
  store = std::make_unique<link::CArchive>(file.get(), link::CArchive::store,
                                           link::kArchiveBufferSize);
}

CManagerSlot& CManagerSlot::Instance() {
  // Never destroyed: the connection thread is detached and may still be
  // ending while the process exits.
  static CManagerSlot& slot = *std::make_unique<CManagerSlot>().release();
  return slot;
}

void CManagerSlot::Take(const std::shared_ptr<ManagerConnection>& connection) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (current_) {
    current_->ended.Signal();
  }
  current_ = connection;
}

void CManagerSlot::Release(const std::shared_ptr<ManagerConnection>& connection) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (current_ == connection) {
      current_.reset();
    }
    connection->store.reset();
    connection->load.reset();
    connection->file.reset();
  }
  connection->socket->Close();
}

bool CManagerSlot::Connected() {
  std::lock_guard<std::mutex> lock(mutex_);
  return current_ != nullptr && current_->live;
}

bool CManagerSlot::Send(const link::CMsg& msg) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!current_ || !current_->live) {
    return false;
  }
  try {
    StoreAndFlush(*current_->store, msg);
  } catch (const std::exception&) {
    // Part of a message may have gone out: nothing more may follow it on
    // this stream, so the connection leaves the slot now and its thread ends.
    current_->ended.Signal();
    current_.reset();
  }
  return true;
}

void CManagerSlot::Answer(const ManagerConnection& connection, const link::CMsg& msg) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (current_.get() != &connection) {
    return;  // a newer manager holds the slot; the answer was not for it
  }
  try {
    StoreAndFlush(*current_->store, msg);
  } catch (...) {
    current_.reset();
    throw;
  }
  current_->live = true;
}

void CManagerSlot::SetHooks(ManagerChannelHooks hooks) {
  std::lock_guard<std::mutex> lock(hooks_mutex_);
  hooks_ = std::move(hooks);
}

ManagerChannelHooks CManagerSlot::Hooks() {
  std::lock_guard<std::mutex> lock(hooks_mutex_);
  return hooks_;
}

void SetManagerChannelHooks(ManagerChannelHooks hooks) {
  CManagerSlot::Instance().SetHooks(std::move(hooks));
}

bool SendToManager(const link::CMsg& msg) { return CManagerSlot::Instance().Send(msg); }

bool ManagerConnected() { return CManagerSlot::Instance().Connected(); }

int ManagerClientThreadsRunning() { return CManagerSlot::Instance().threads_running.load(); }

}  // namespace qlm::engine
