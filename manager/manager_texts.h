// Every text the manager shows the administrator: message boxes, titles, the
// tray tip and the activity tree's fixed labels. Tests spell them out again,
// so a typo on either side fails.
#pragma once

namespace qlm::manager {

// The link to the engine.
inline constexpr char kCreateAsyncSocketFailedText[] = "Create Manager Async Socket failed";
inline constexpr char kCreateManagerSocketFailedText[] = "Create Manager Socket failed";
inline constexpr char kSendMsgFailedText[] = "Send msg failed";

// Start-up.
inline constexpr char kAlreadyStartedText[] = "You have Quillmar Manager started already";
inline constexpr char kSocketsInitFailedText[] = "Windows sockets initialization failed.";

// Engine control.
inline constexpr char kServiceUninstalledText[] = "Quillmar Service uninstalled!";
inline constexpr char kServiceDeletionFailedFormat[] = "Service deletion failed - %s";
inline constexpr char kServiceInstallFailedFormat[] = "Service Installation failed (#%d)- %s";
inline constexpr char kEngineStartFailedFormat[] = "Engine starting failed (#%d)- %s";
inline constexpr char kServiceStartFailedFormat[] = "Service failed to start- %s";
inline constexpr char kServiceStopFailedFormat[] = "Service failed to stop- %s";
inline constexpr char kRestartQuestionText[] =
    "Do you really want to stop/restart the proxy engine for the changes?\n"
    "Please note that if you stop/restart the engine,\n"
    "all the connections are reset.";
inline constexpr char kRestartQuestionTitle[] = "Service Start";
inline constexpr char kCannotStopText[] = "Can not stop Quillmar proxy engine";
inline constexpr char kCannotStopTitle[] = "Fatal Error";

// The main window.
inline constexpr char kQuitQuestionText[] = "Quit the Program?";
inline constexpr char kQuitQuestionTitle[] = "Exit";
inline constexpr char kTrayTipText[] = "Quillmar Manager";
inline constexpr char kApplicationTitle[] = "Quillmar";
inline constexpr char kPropertyCaption[] = "Property";

// The activity tree.
inline constexpr char kActivityRootText[] = "Proxy Connections";
inline constexpr char kActivityRootStatusPrefix[] = "Proxy Connections: ";
inline constexpr char kActivityPortFormat[] = "Port %s";

// The product as the about box names it.
inline constexpr char kProductName[] = "Quillmar Proxy Server";
inline constexpr char kProductVersion[] = "2.6";

}  // namespace qlm::manager
