// The DHCP server's entry in the engine: datagram daemon "DHCP". The engine
// owns one server (lease table and settings), set up when the DHCP listener
// is made, which also ties the listener to the inside interface holding its
// address.
#pragma once

#include "engine/protocol_entry.h"

namespace qlm::dhcp {

const engine::DatagramProtocol& DhcpProtocol();

}  // namespace qlm::dhcp
