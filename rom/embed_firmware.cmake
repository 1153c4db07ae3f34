# Script mode: writes OUT, a C++ file defining console_rom and console_grom
# from the image files ROM and GROM.

function(append_array out name path size)
  file(SIZE "${path}" actual)
  if(NOT actual EQUAL size)
    message(FATAL_ERROR "${path}: ${actual} bytes, expected ${size}")
  endif()
  file(READ "${path}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)"
         "\\1\n" bytes "${bytes}")
  file(APPEND "${out}" "extern const std::uint8_t ${name}[${size}] = {\n${bytes}};\n")
endfunction()

file(WRITE "${OUT}.tmp" "// Generated at build time from the firmware images; never commit.\n"
                        "#include <cstdint>\n")
append_array("${OUT}.tmp" console_rom "${ROM}" 8192)
append_array("${OUT}.tmp" console_grom "${GROM}" 24576)
file(RENAME "${OUT}.tmp" "${OUT}")
