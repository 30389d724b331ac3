# The RealAudio proxy: the dialog frame parser alone, then the connection
# thread over loopback with a scripted player and media server.
qlm_add_unit_test(qlm_circuit_parse_tests
  SOURCES realaudio_parse_test.cpp
  LIBS qlm_circuit_parse)

qlm_add_unit_test(qlm_circuit_tests
  SOURCES realaudio_session_test.cpp realaudio_test_support.cpp
  LIBS qlm_circuit)
