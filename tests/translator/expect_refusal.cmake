# Runs the translator on snippets/refused.hex from START: it must exit non-zero with a
# message matching EXPECT on standard error, and write no output file.
file(REMOVE "${OUT}")
execute_process(COMMAND "${TRANSLATOR}" --hex --rom "${SNIPPET}" --entries ${START}
  --start ${START} --resume ${START} --out "${OUT}" RESULT_VARIABLE result ERROR_VARIABLE error)
if(result EQUAL 0 OR EXISTS "${OUT}" OR NOT error MATCHES "^translator: ${EXPECT}")
  message(FATAL_ERROR "exit status ${result}, standard error '${error}'")
endif()
