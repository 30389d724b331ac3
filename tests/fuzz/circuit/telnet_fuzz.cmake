# The Telnet host line as the command socket's reader takes it (option
# negotiation included); the parser is pure and compiled in alone.
qlm_add_fuzzer(fuzz_telnet_host_line
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_telnet_host_line.cpp
          ${CMAKE_SOURCE_DIR}/proxies/circuit/telnet_host_line.cpp
  LIBS qlm_ftp_parse)
