// The FTP-aware mapping's thread procedure.
#include "proxies/circuit/portmap_ftp_thread.h"

#include "engine/connection_worker.h"
#include "proxies/circuit/portmap_ftp_session.h"
#include "proxies/circuit/portmap_wire.h"

namespace qlm::circuit {

int PortMapFTPClientThreadProc(engine::ConnectionContextPtr context) {
  static constexpr engine::WorkerTexts kTexts{.proc = "PortMapFTPClientThreadProc",
                                              .no_client = kTextNoClient,
                                              .suffix = kSuffixFtp};
  return engine::RunWorker<CPortMapFtpSession>(std::move(context), kTexts);
}

}  // namespace qlm::circuit
