# The RealAudio proxy in the circuit library. qlm_circuit_parse is its
# socket-free part (wire vocabulary, the dialog frame parser) that the unit
# tests and the fuzzer use alone; the sockets, the session and the thread
# procedure join qlm_circuit.
add_library(qlm_circuit_parse STATIC realaudio_parse.cpp)
target_link_libraries(qlm_circuit_parse PUBLIC qlm_parse)

target_sources(qlm_circuit PRIVATE
  realaudio_socket.cpp
  realaudio_udp.cpp
  realaudio_session.cpp
  realaudio_relay.cpp
  realaudio_protocol.cpp)
target_link_libraries(qlm_circuit PUBLIC qlm_circuit_parse)
qlm_protocol_entries(LIBRARY qlm_circuit HEADER proxies/circuit/realaudio_protocol.h
                     STREAM qlm::circuit::RealAudioProtocol)
