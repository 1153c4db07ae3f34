# Firmware intake: checks the two console images at configure time and embeds
# them into the build tree as the constant arrays console_rom and console_grom.
# The translation's addresses are made for exactly these images, so any other
# version is refused here instead of half-running later.

set(TI99_FIRMWARE_DIR "${PROJECT_SOURCE_DIR}/firmware" CACHE PATH
    "Folder holding the console firmware images 994aROM.bin and 994aGROM.bin")

set(TI99_ROM_IMAGE  "${TI99_FIRMWARE_DIR}/994aROM.bin")
set(TI99_GROM_IMAGE "${TI99_FIRMWARE_DIR}/994aGROM.bin")

function(ti99_check_firmware path size sha256)
  get_filename_component(name "${path}" NAME)
  set(expected "${name} of ${size} bytes with SHA-256 ${sha256}")
  set(where "put it in ${TI99_FIRMWARE_DIR} or name its folder with -DTI99_FIRMWARE_DIR=<folder>")
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "firmware image missing: ${path}\nExpected ${expected}; ${where}.")
  endif()
  file(SIZE "${path}" actual_size)
  file(SHA256 "${path}" actual_sha)
  if(NOT actual_size EQUAL size OR NOT actual_sha STREQUAL sha256)
    message(FATAL_ERROR "firmware image ${path} is not the expected one "
            "(${actual_size} bytes, SHA-256 ${actual_sha}).\nExpected ${expected}; ${where}.")
  endif()
endfunction()

ti99_check_firmware("${TI99_ROM_IMAGE}" 8192
  599da51e9e1968a806871d681f17b5acbb617accf07191891265aee44ebec2b6)
ti99_check_firmware("${TI99_GROM_IMAGE}" 24576
  fc7768cce3803c6f74b20b26c1ca029aa752c049fd82fcb9c9c17abbb5d126ce)

set(TI99_FIRMWARE_CPP "${PROJECT_BINARY_DIR}/generated/firmware_images.cpp")
add_custom_command(
  OUTPUT "${TI99_FIRMWARE_CPP}"
  COMMAND "${CMAKE_COMMAND}"
          -DROM=${TI99_ROM_IMAGE} -DGROM=${TI99_GROM_IMAGE} -DOUT=${TI99_FIRMWARE_CPP}
          -P "${PROJECT_SOURCE_DIR}/rom/embed_firmware.cmake"
  DEPENDS "${TI99_ROM_IMAGE}" "${TI99_GROM_IMAGE}" "${PROJECT_SOURCE_DIR}/rom/embed_firmware.cmake"
  COMMENT "Embedding the console firmware images"
  VERBATIM)
