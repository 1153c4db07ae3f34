# Runs the translator on a snippet it must refuse and checks that it exits
# non-zero, explains itself on standard error and writes no output file.
#   cmake -DTRANSLATOR=<program> -DSNIPPET=<file.hex> -DOUT=<file.cpp>
#         -DEXPECT=<regular expression> [-DARGS=<more arguments>] -P expect_refusal.cmake
file(REMOVE "${OUT}")
execute_process(
  COMMAND "${TRANSLATOR}" --hex --rom "${SNIPPET}" --entries 0100 --start 0100 --resume 0100
          --out "${OUT}" ${ARGS}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE error)
if(result EQUAL 0)
  message(FATAL_ERROR "the translator accepted ${SNIPPET}")
endif()
if(NOT error MATCHES "^translator: ${EXPECT}")
  message(FATAL_ERROR "unexpected message on standard error: '${error}'\nexpected: '${EXPECT}'")
endif()
if(EXISTS "${OUT}")
  message(FATAL_ERROR "the translator wrote ${OUT} although it refused the snippet")
endif()
message(STATUS "refused as expected: ${error}")
