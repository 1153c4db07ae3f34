# Script mode: configures the project with a firmware folder WORK holding a
# console ROM of the right size but the wrong content and no GROM, then with
# the GROM missing, and checks that configuration stops with a message naming
# the file, the expected size and checksum.

function(configure_expecting_failure firmware_dir expected)
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -S "${SOURCE}" -B "${WORK}/build"
            -DTI99_FIRMWARE_DIR=${firmware_dir} -DTI99_BUILD_TESTS=OFF
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REGEX REPLACE "[ \n]+" " " message "${err}")
  if(status EQUAL 0)
    message(FATAL_ERROR "configuration accepted ${firmware_dir}")
  endif()
  foreach(text IN LISTS expected)
    string(FIND "${message}" "${text}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "missing '${text}' in:\n${err}")
    endif()
  endforeach()
endfunction()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/wrong")
string(REPEAT "\\0" 8192 zeros)
file(WRITE "${WORK}/wrong/994aROM.bin" "")
foreach(i RANGE 1 8192)
  file(APPEND "${WORK}/wrong/994aROM.bin" "x")
endforeach()
configure_expecting_failure("${WORK}/wrong" "994aROM.bin is not the expected one;Expected 994aROM.bin of 8192 bytes with SHA-256 599da51e9e1968a806871d681f17b5acbb617accf07191891265aee44ebec2b6;-DTI99_FIRMWARE_DIR")

file(MAKE_DIRECTORY "${WORK}/missing")
file(COPY "${ROM}" DESTINATION "${WORK}/missing")
configure_expecting_failure("${WORK}/missing" "firmware image missing: ${WORK}/missing/994aGROM.bin;Expected 994aGROM.bin of 24576 bytes with SHA-256 fc7768cce3803c6f74b20b26c1ca029aa752c049fd82fcb9c9c17abbb5d126ce")
file(REMOVE_RECURSE "${WORK}")
