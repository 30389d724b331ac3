// The fixed texts of the engine process: its console lines, the messages the
// administrator sees, and the lines the dispatcher writes to the log.
#pragma once

namespace qlm::engine {

inline constexpr const char* kServiceDisplayName = "Quillmar Service";

// Console.
inline constexpr const char* kInstalledText = "Quillmar service installed\n";
inline constexpr const char* kInstallFailedFormat = "Service Installation failed - %s";
inline constexpr const char* kDeletedText = "Quillmar service deleted\n";
inline constexpr const char* kDeleteFailedFormat = "Service deletion failed - %s";
inline constexpr const char* kDebuggingFormat = "Debugging %s.\n";
// The console's line for each listener opened in -debug mode.
inline constexpr const char* kListenerOpenedFormat = "Listening: %s %s on %s %s:%d\n";
inline constexpr const char* kDaemonWord = "daemon";
inline constexpr const char* kPortMapWord = "port mapping";
inline constexpr const char* kStoppingFormat = "Stopping %s.\n";

// Start-up failures.
inline constexpr const char* kStillRunningText = "Quillmar Service is still running";
inline constexpr const char* kStillRunningTitle = "Error Message";
inline constexpr const char* kManagerBindFailedFormat =
    "Binding error in creating service socket. There may be another application using %s:%d";

// Listener binding messages.
inline constexpr const char* kDaemonInUseFormat =
    "Binding error in creating %s daemon. There may be another application using %s:%d. "
    "Please use a different IP:PORT or terminate the other application.";
inline constexpr const char* kDaemonInvalidFormat =
    "Binding error in creating %s daemon. The IP address %s:%d is not valid. "
    "Please use a different IP:PORT";
inline constexpr const char* kPortMapInUseFormat =
    "Binding error in creating %s port mapping. There may be another application using %s:%d. "
    "Please use a different IP:PORT or terminate the other application.";
inline constexpr const char* kPortMapInvalidFormat =
    "Binding error in creating %s port mapping. The IP address %s:%d is not valid. "
    "Please use a different IP:PORT";

// Dispatcher log lines (kind "ERR").
inline constexpr const char* kAcceptNeverText = "DaemonServerThreadProc:accept error never go here";
inline constexpr const char* kAcceptFailedFormat = "DaemonServerThreadProc:accept (#%d) %s";
inline constexpr const char* kReceiveFailedFormat =
    "DaemonServerThreadProc:receiv datagram message error (#%d) %s";
inline constexpr const char* kOtherDatagramFormat =
    "DaemonServerThreadProc:receiv other datagram message from port %d. Not implemented.";
inline constexpr const char* kDispatcherSelectText = "DaemonServerThreadProc:select";
inline constexpr const char* kDispatcherFailedSuffix = " in daemon server!";

}  // namespace qlm::engine
