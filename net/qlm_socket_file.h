// A file over a blocking socket, used only by the manager channel's archives.
#pragma once

#include "net/blocking_socket.h"
#include "net/file.h"
#include "net/variant.h"

QLM_NET_BEGIN

class CQlmSocketFile : public CFile {
 public:
  // Each read and write waits at most this long.
  static constexpr Timeout kDefaultTimeout{std::chrono::seconds(30)};

  // The socket is not owned. archive_compatible: each Read is one Receive of up
  // to `count` bytes; otherwise Read insists on all `count` bytes.
  CQlmSocketFile(CBlockingSocket* socket, bool archive_compatible,
                 Timeout timeout = kDefaultTimeout);

  // CFile overrides
  // Throws CBlockingSocketException "CQlmSocketFile::Read:Socket closed" when
  // the peer closed (non-archive mode), CFileException on a -1 result.
  size_t Read(void* buffer, size_t count) override;
  // One send of the whole buffer; throws "CBlockingSocket::Send:Socket
  // closed" when no socket, "CBlockingSocket::Send " on a send failure; does
  // not touch TrafficIdleFlag.
  void Write(const void* buffer, size_t count) override;
  // Forgets the socket (does not close it).
  void Close() override;

 private:
  CBlockingSocket* socket_;
  bool archive_compatible_;
  Timeout timeout_;
};

QLM_NET_END
