// The 4-second tick.
#include "engine/service/tick_thread.h"

namespace qlm::engine {

CTickThread::CTickThread(CEngineEvents& events, net::Timeout interval)
    : events_(events), interval_(interval) {}

CTickThread::~CTickThread() { Stop(); }

void CTickThread::Start() {
  if (!thread_.joinable()) {
    thread_ = std::thread([this] { Run(); });
  }
}

void CTickThread::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  stop_changed_.notify_all();
  if (thread_.joinable()) {
    thread_.join();
  }
}

void CTickThread::Run() {
  std::unique_lock lock(mutex_);
  while (!stop_changed_.wait_for(lock, interval_, [this] { return stop_; })) {
    events_.Signal(EngineEvent::kDialUpTick);
  }
}

}  // namespace qlm::engine
