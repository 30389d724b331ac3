// The receiver's stop socket: a descriptor the manager's receiver thread
// waits on beside the link's socket. Once signalled it stays readable, so the
// receiver ends at its next wait whatever it was doing. An eventfd, because
// closing a descriptor does not wake a poll on it in another thread.
#pragma once

namespace qlm::manager {

class CReceiverStopSocket {
 public:
  CReceiverStopSocket();
  ~CReceiverStopSocket();
  CReceiverStopSocket(const CReceiverStopSocket&) = delete;
  CReceiverStopSocket& operator=(const CReceiverStopSocket&) = delete;

  // -1 when the descriptor could not be made.
  int Fd() const { return fd_; }
  // Makes Fd() readable for good. Idempotent, never throws.
  void Signal();
  bool IsSignalled() const;

 private:
  int fd_ = -1;
};

}  // namespace qlm::manager
