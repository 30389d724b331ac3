# The Telnet proxy: its host line, and its sessions over loopback.
qlm_add_unit_test(qlm_telnet_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/telnet_host_line_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/telnet_session_test.cpp
  LIBS qlm_circuit)
