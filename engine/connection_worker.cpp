// The ERR lines every worker writes when its connection fails.
#include "engine/connection_worker.h"

namespace qlm::engine {

void LogSocketFailure(ThreadTag thread, const WorkerTexts& texts,
                      const net::CBlockingSocketException& failure) {
  const std::string text =
      texts.use_message ? failure.GetErrorMessage() : failure.GetErrorText();
  WriteLog(thread, kKindError, "%s%s%s", texts.prefix, text.c_str(), texts.suffix);
}

void LogOtherFailure(ThreadTag thread, const WorkerTexts& texts, const char* what) {
  WriteLog(thread, kKindError, "%s:%s%s", texts.proc, what, texts.suffix);
}

}  // namespace qlm::engine
