# Runs kandrel --batch on the bundled demo: the description must match the expected text, the
# graph must save back byte for byte, and wrong arguments must give exit status 2.
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${KANDREL} --batch --describe --frames 0 --save ${WORK}/demo.knd
                        ${SOURCE}/examples/demo.knd
                RESULT_VARIABLE result OUTPUT_VARIABLE description ERROR_VARIABLE messages)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "exit status ${result}: ${messages}")
endif()
file(READ ${SOURCE}/tests/golden/demo.describe expected)
if(NOT description STREQUAL expected)
  message(FATAL_ERROR "description differs:\n${description}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SOURCE}/examples/demo.knd ${WORK}/demo.knd
                RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "saved demo differs from the bundled file")
endif()
execute_process(COMMAND ${KANDREL} --batch --frames RESULT_VARIABLE result ERROR_VARIABLE usage)
if(NOT result EQUAL 2 OR NOT usage MATCHES "usage: kandrel --batch")
  message(FATAL_ERROR "bad arguments gave ${result}: ${usage}")
endif()
execute_process(COMMAND ${KANDREL} --batch ${WORK}/missing.knd RESULT_VARIABLE result)
if(NOT result EQUAL 2)
  message(FATAL_ERROR "a missing file gave ${result}")
endif()
