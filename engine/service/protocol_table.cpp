// The dispatch tables, made from the entries the build lists.
#include "engine/service/protocol_table.h"

#include "protocol_list.inc"

namespace qlm::engine {
namespace {

// DNS and DHCP keep their length rules even in an engine without their
// servers: their datagrams are then logged like an unknown daemon's.
const DatagramProtocol kDnsRule{"DNS", 14, nullptr};
const DatagramProtocol kDhcpRule{"DHCP", 0, nullptr};

}  // namespace

const StreamProtocol* FindStreamProtocol(const std::string& name) {
  for (const linked::StreamEntry* entry = linked::kStreamEntries; *entry != nullptr; ++entry) {
    const StreamProtocol& protocol = (*entry)();
    if (name == protocol.name) {
      return &protocol;
    }
  }
  return nullptr;
}

const DatagramProtocol* FindDatagramProtocol(const std::string& name) {
  for (const linked::DatagramEntry* entry = linked::kDatagramEntries; *entry != nullptr;
       ++entry) {
    const DatagramProtocol& protocol = (*entry)();
    if (name == protocol.name) {
      return &protocol;
    }
  }
  for (const DatagramProtocol* rule : {&kDnsRule, &kDhcpRule}) {
    if (name == rule->name) {
      return rule;
    }
  }
  return nullptr;
}

void DatagramListenerMade(DaemonRecord& record) {
  if (record.type != net::kDatagram) {
    return;
  }
  const DatagramProtocol* protocol = FindDatagramProtocol(record.name);
  if (protocol != nullptr && protocol->listener_made != nullptr) {
    protocol->listener_made(record);
  }
}

const PortMapService* FindPortMapService() {
  const linked::PortMapEntry entry = linked::kPortMapEntries[0];
  return entry != nullptr ? &entry() : nullptr;
}

void ConfigureProtocols(const ProtocolSetup& setup) {
  for (const linked::StreamEntry* entry = linked::kStreamEntries; *entry != nullptr; ++entry) {
    if (ConfigureProc configure = (*entry)().configure) {
      configure(setup);
    }
  }
  for (const linked::DatagramEntry* entry = linked::kDatagramEntries; *entry != nullptr;
       ++entry) {
    if (ConfigureProc configure = (*entry)().configure) {
      configure(setup);
    }
  }
  if (const PortMapService* service = FindPortMapService(); service && service->configure) {
    service->configure(setup);
  }
}

}  // namespace qlm::engine
