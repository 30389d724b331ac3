// The one shape of every connection and datagram thread: take the typed
// client from the context and the thread tag once, take a connection slot
// (refusing in the protocol's own words when none is free), run the
// protocol's session, turn a socket failure into the protocol's one ERR line
// and any other failure (out of memory, a system error) into one ERR line of
// its own, then send the connection-ended record and release everything in
// one order: the context (which closes the client), the slot, the session
// (which closes the sockets it opened). Whatever a session throws ends its
// own connection only, never the engine.
//
// A session type provides:
//   using Client = ...;                       // the context's client type
//   TSession(ConnectionContext&, Client&, ThreadTag);
//   void Run();     // serves the connection; throws CBlockingSocketException
//   void Refuse();  // no slot free: answers the client, throws its ERR text
#pragma once

#include <exception>
#include <new>
#include <optional>
#include <string>

#include "engine/activity_log.h"
#include "engine/connection_context.h"
#include "engine/connection_limit.h"
#include "net/blocking_socket_exception.h"

namespace qlm::engine {

struct WorkerTexts {
  // The thread procedure's name; a failure other than a socket failure
  // reads "<proc>:<what>" followed by the suffix.
  const char* proc = "";
  // Thrown when the context holds no client of the session's type.
  const char* no_client = "";
  // A socket failure reads prefix + text + suffix, where the text is the
  // exception's GetErrorMessage() when use_message is set, else its
  // GetErrorText().
  bool use_message = false;
  const char* prefix = "";
  const char* suffix = "";
  // The limit whose slot the worker holds for its life; null: none.
  CConnectionLimit& (*limit)() = &CConnectionLimit::Instance;
};

// The ERR lines of the two kinds of failure.
void LogSocketFailure(ThreadTag thread, const WorkerTexts& texts,
                      const net::CBlockingSocketException& failure);
void LogOtherFailure(ThreadTag thread, const WorkerTexts& texts, const char* what);

template <class TSession>
int RunWorker(ConnectionContextPtr context, const WorkerTexts& texts) {
  using Client = typename TSession::Client;
  const ThreadTag thread = ThisThread();
  std::optional<CConnectionSlot> slot;
  std::optional<TSession> session;
  try {
    auto* client = dynamic_cast<Client*>(context->Client.get());
    if (client == nullptr) {
      throw net::CBlockingSocketException(texts.no_client);
    }
    session.emplace(*context, *client, thread);
    if (texts.limit != nullptr) {
      slot.emplace(texts.limit());
    }
    if (slot && !slot->Taken()) {
      session->Refuse();
    } else {
      session->Run();
    }
  } catch (const net::CBlockingSocketException& e) {
    LogSocketFailure(thread, texts, e);
  } catch (const std::bad_alloc&) {
    LogOtherFailure(thread, texts, "Out of memory");
  } catch (const std::exception& e) {
    LogOtherFailure(thread, texts, e.what());
  } catch (...) {
    LogOtherFailure(thread, texts, "unexpected failure");
  }
  EndActivity(*context, thread, kRowMain);
  context.reset();
  slot.reset();
  session.reset();
  return 0;
}

}  // namespace qlm::engine
