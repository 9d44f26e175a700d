# Builds the two probes against the core and checks that each ends the way it must.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target core_plain_probe
  RESULT_VARIABLE plain_result OUTPUT_VARIABLE plain_output ERROR_VARIABLE plain_output)
if(NOT plain_result EQUAL 0)
  message(FATAL_ERROR "a plain core file does not compile with the core's settings:\n${plain_output}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target core_qt_probe
  RESULT_VARIABLE qt_result OUTPUT_VARIABLE qt_output ERROR_VARIABLE qt_output)
if(qt_result EQUAL 0)
  message(FATAL_ERROR "a Qt header compiles with the core's settings: the core has a Qt include path")
endif()
if(NOT qt_output MATCHES "QObject: No such file")
  message(FATAL_ERROR "the Qt probe failed for another reason than a missing Qt header:\n${qt_output}")
endif()
