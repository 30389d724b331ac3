// The manager link's archives read and write through this file over a socket.
#include "net/qlm_socket_file.h"

#include "net/winsock_errors.h"

QLM_NET_BEGIN
namespace {

constexpr char kReadClosed[] = "CQlmSocketFile::Read:Socket closed";
constexpr char kSendClosed[] = "CBlockingSocket::Send:Socket closed";

}  // namespace

CQlmSocketFile::CQlmSocketFile(CBlockingSocket* socket, bool archive_compatible, Timeout timeout)
    : socket_(socket), archive_compatible_(archive_compatible), timeout_(timeout) {}

size_t CQlmSocketFile::Read(void* buffer, size_t count) {
  if (count == 0) {
    return 0;
  }
  if (socket_ == nullptr) {
    throw CBlockingSocketException(kReadClosed);
  }
  char* bytes = static_cast<char*>(buffer);
  const int wanted = static_cast<int>(count);
  if (archive_compatible_) {
    int got = socket_->Receive(bytes, wanted, timeout_);
    if (got < 0) {
      throw CFileException(WSAGetLastError());
    }
    return static_cast<size_t>(got);
  }
  int done = 0;
  while (done < wanted) {
    int got = socket_->Receive(bytes + done, wanted - done, timeout_);
    if (got == 0) {
      throw CBlockingSocketException(kReadClosed);
    }
    if (got < 0) {
      throw CFileException(WSAGetLastError());
    }
    done += got;
  }
  return count;
}

void CQlmSocketFile::Write(const void* buffer, size_t count) {
  if (socket_ == nullptr) {
    throw CBlockingSocketException(kSendClosed);
  }
  socket_->SendForFile(static_cast<const char*>(buffer), static_cast<int>(count), timeout_);
}

void CQlmSocketFile::Close() { socket_ = nullptr; }

QLM_NET_END
