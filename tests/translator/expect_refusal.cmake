# Runs the translator on snippets/refused.hex: it must exit non-zero, name the
# BLWP and its address on standard error, and write no output file.
file(REMOVE "${OUT}")
execute_process(COMMAND "${TRANSLATOR}" --hex --rom "${SNIPPET}" --entries 0100 --start 0100
  --resume 0100 --out "${OUT}" RESULT_VARIABLE result ERROR_VARIABLE error)
if(result EQUAL 0 OR EXISTS "${OUT}" OR NOT error MATCHES
   "^translator: BLWP @>0200 at >0100 .*not an instruction of the translated set")
  message(FATAL_ERROR "exit status ${result}, standard error '${error}'")
endif()
