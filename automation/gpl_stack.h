// The GPL interpreter's subroutine stack in the scratchpad: the return
// addresses of the GPL CALLs under way tell which GPL code is at work.
#pragma once

#include <cstdint>

#include "machine/state.h"

constexpr std::uint16_t GPL_STACK_POINTER = 0x8373;  // low byte of the top entry's address

// The return address depth entries below the top of the stack (0: the most
// recent GPL CALL).
inline std::uint16_t gpl_return_address(unsigned depth) {
  unsigned top = 0x8300 | cpu_mem[GPL_STACK_POINTER];
  unsigned at = top - 2 * depth;  // inside the scratchpad: no 16-bit wrap as in cpu_word
  return std::uint16_t(cpu_mem[at] << 8 | cpu_mem[at + 1]);
}
