// Every text the settings pages, their dialogs, the dial-up commands and the
// HOSTS editor show. Tests spell them out again, so a typo on either side
// fails.
#pragma once

namespace qlm::manager {

// Field limits (Qt's "%1"/"%2" placeholders).
inline constexpr char kIntegerRangeFormat[] = "Please enter an integer between %1 and %2.";
inline constexpr char kTextLengthFormat[] = "Please enter no more than %1 characters.";

// General page and the Dial-Up Networking dialog.
inline constexpr char kDialUpMissingText[] =
    "Rasapi32.dll loading fails! \nYou need to install RAS service for Windows NT in order to "
    "use the Dial-Up Networking.";
inline constexpr char kPasswordMismatchText[] =
    "You enter a different password in the Repeat Password field!";
inline constexpr char kPasswordMissingText[] =
    "You forgot to enter a password in the Password field!";
inline constexpr char kRemoteControlHint[] =
    "( Use the following URL in client's browser: http://quillmar/dial-on or "
    "http://quillmar/dial-off )";
inline constexpr char kKeepAliveHint[] = "( Prevent the service provider from disconnecting you )";

// Daemons page.
inline constexpr char kDhcpNotSetUpText[] =
    "You forgot to setup DHCP daemon! \nYou must specify the range of IP addresses and Subnet "
    "Mask by clicking the Advanced button.";
inline constexpr char kEmailNotSetUpText[] =
    "You forgot to setup Email daemon! \nYou must specify the default remote POP3 / SMTP server "
    "ip \nor name by clicking the Advanced button.";
inline constexpr char kNoListenerText[] = "You forget to enter Proxy IP:Port!";
inline constexpr char kEmailTwoEntriesText[] =
    "The Proxy IP Address:Proxy Port list must have two entries for Email daemon!";
inline constexpr char kEnableDaemonQuestion[] =
    "This daemon is disabled. Do you want to enable it at this time?";
inline constexpr char kEmailAdvancedTwoEntriesText[] =
    "The Proxy IP Address:Proxy Port list must have two entries!";
inline constexpr char kSmtpProxyPortText[] =
    "Please make sure SMTP proxy port is correct!\nIt can not be 110.";
inline constexpr char kPop3UnresolvedQuestion[] =
    "You are not on the Internet or the POP3 remote server name is incorrect.\n"
    "Do you want to continue?";
inline constexpr char kSmtpUnresolvedQuestion[] =
    "You are not on the Internet or the SMTP remote server name is incorrect.\n"
    "Do you want to continue?";
inline constexpr char kInformationTitle[] = "Information";
inline constexpr char kDhcpFromInvalidText[] = "DHCP From Address is invalid!";
inline constexpr char kDhcpToInvalidText[] = "DHCP To Address is invalid!";
inline constexpr char kDhcpMaskInvalidText[] = "DHCP Subnet Mask is invalid!";
inline constexpr char kDhcpGatewayInvalidText[] = "DHCP Default Gateway is invalid!";
inline constexpr char kDhcpDnsInvalidText[] = "DHCP DNS Server is invalid!";
inline constexpr char kStatusEnabled[] = "Enabled";
inline constexpr char kStatusDisabled[] = "Disabled";
inline constexpr char kDaemonsPageText[] =
    "Please verify the default settings for each daemon by selecting it and clicking the "
    "Configuration button. You must configure the settings of the E-mail daemon before enabling "
    "it.";
inline constexpr char kDaemonsPageStatusText[] =
    "Be sure that the status of each daemon which you want to use is \"Enabled\" before you "
    "click OK or Apply.";
inline constexpr char kListenerExplanation[] =
    "Proxy server accepts connections at this proxy IP:PORT. If it is used by other "
    "applications (binding error), please replace it by a different IP:PORT in the list. The IP "
    "normally is the local IP of this computer because your connections begin from inside.";
inline constexpr char kTelnetDescription[] =
    "Telnet client needs to login to this gateway first, ig. telnet your_gateway_ip.";
inline constexpr char kFtpDescription[] =
    "FTP client connects to this gateway first (ig. ftp your_gatway_ip),  then login by using "
    "remote_user_id@remote_server_hostname.";
inline constexpr char kEmailDescription[] =
    "Configure daemons for POP3 and SMTP protocols. They must use a different proxy PORT. That is "
    "why you see two items in the list. By default, the proxy port is 25 for SMTP and 110 for "
    "POP3. Please click Advanced button for other settings.";
inline constexpr char kDnsDescription[] =
    "This daemon answers the clients' name lookups (for example www.example.com) by asking the "
    "Internet's name servers for them. Please do not change the default port 53.";
inline constexpr char kNewsDescription[] = "This daemon complies with NNTP protocol";
inline constexpr char kDhcpDescription[] = "This daemon complies with DHCP protocol";
inline constexpr char kOtherDescriptionPrefix[] = "This daemon complies with ";
inline constexpr char kOtherDescriptionSuffix[] = " protocol.";
inline constexpr char kDnsServerHint[] =
    "Enter your DNS server's IP into the list ONLY if Resolve Domain Name Directly or Broadcast "
    "doesn't work (default is blank).";
inline constexpr char kDhcpListHint[] =
    "It can be an IP address or addresses delimited by a comma. (a.b.c.d,a2.b2.c2.d2)";

// Two entries of the store may not share a name: the second would overwrite
// the first (one daemon listener per address and port, one mapping per name
// and per listener and transport).
inline constexpr char kListenerTakenFormat[] =
    "The Proxy IP:Port %s is used by the %s daemon already!";
inline constexpr char kMappingNameTakenText[] =
    "This Port Mapping Name is used by another port mapping already!";
inline constexpr char kMappingListenerTakenFormat[] =
    "The proxy IP:PORT %s is used by the port mapping %s already!";

// Port Mapping page.
inline constexpr char kNoDestinationText[] = "You forget to enter Destination Server Name or IP!";
inline constexpr char kNoMappingNameText[] =
    "You forget to enter an unique Port Mapping Name for Activity View!";
inline constexpr char kNoDestinationPortText[] = "You forget to set the Destination Port!";
inline constexpr char kNoMappingListenerText[] = "You forget to enter proxy IP:PORT in the list!";
inline constexpr char kMappingNameColonText[] =
    "Port Mapping Name can only use alpha-numeric letters!";
inline constexpr char kDestinationUnresolvedQuestion[] =
    "You are not on the Internet or the Destination Server Name or IP is incorrect.\n"
    "Do you want to continue?";
inline constexpr char kEnableMappingQuestion[] =
    "This port mapping is disabled. Do you want to enable it at this time?";
inline constexpr char kPortMapPageText[] =
    "This is an advanced feature which enables you to map a remote port to a local port for "
    "Internet Game (Quake 2), Newsgroups, etc. Don't forget to enable the service after you edit "
    "it.";
inline constexpr char kMappingListenerExplanation[] =
    "Proxy server will receive messages on the proxy port at the proxy IP address and route them "
    "to the specified destination, which can be a remote or local IP. All IPs must be static IPs "
    "(not dynamically assigned)";

// Logging page.
inline constexpr char kLogFileFilter[] =
    "Log Files (*.log);;Text Files (*.txt);;All Files (*.*)";

// Dial-up commands and the auto hang-up dialog.
inline constexpr char kHangUpQuestionFormat[] = "Do you want to hang up %s?";
inline constexpr char kHangUpTitle[] = "Hang Up Box";
inline constexpr char kDialingRootFormat[] = "Dial-Up Networking: Dialing %s...";
inline constexpr char kAutoHangUpTitle[] = "Auto Hang Up";
inline constexpr char kAutoHangUpText[] =
    "Your dial-up connection will be hung up in 20 seconds. Please click the Cancel button to "
    "prevent this from happening. If you are using a web browser in this machine,  you can setup "
    "its proxy settings like other clients to let Quillmar detect its running.";
inline constexpr char kAutoHangUpExitText[] =
    "If you don't want to see this message, please exit the manager.";

// HOSTS editor.
inline constexpr char kOpenHostsFailedText[] = "Open HOSTS file fails!";
inline constexpr char kCreateHostsFailedText[] =
    "Open HOSTS file fails!\nYou may not have the privilege to open this file for writing!";

}  // namespace qlm::manager
