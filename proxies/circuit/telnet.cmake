# The Telnet proxy joins the circuit library and names its engine entry.
target_sources(qlm_circuit PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/telnet_host_line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/telnet_session.cpp
  ${CMAKE_CURRENT_LIST_DIR}/telnet_protocol.cpp)
qlm_protocol_entries(LIBRARY qlm_circuit HEADER proxies/circuit/telnet_protocol.h
                     STREAM qlm::circuit::TelnetProtocol)
