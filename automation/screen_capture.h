// The screen output capture. The TI BASIC interpreter draws its output on the
// screen; which screen writes are program output is decided by the place in
// the GPL code that writes (the GROM context), by the GPL subroutine stack and
// by the run flags.
#pragma once

#include <cstdint>

#include "machine/state.h"

constexpr std::uint16_t SCREEN_FILL_LOOP = 0x05A8;  // ROM loop writing every screen position
constexpr std::uint16_t READY_BANNER = 0x20CC;      // GROM context of the READY banner

// Contexts whose writes are never output: VDP clear, the scroll's move,
// borders and blanks, the cursor undone, the echo of typed keys, the first
// half of characters written in two steps, the bottom-row clearing, and the
// characters that CALL HCHAR and CALL VCHAR place (their FMT statements at
// >3615 and >3631 repeat one character along a row or down a column).
[[gnu::always_inline]] constexpr bool is_dropped_context(std::uint16_t context) {
  switch (context) {
    case 0x00EE: case 0x56D4: case 0x56DB: case 0x56DD: case 0x2A83: case 0x2B84: case 0x2FB7:
    case 0x2FF3: case 0x42C6: case 0x4BEE: case 0x44F9: case 0x4506: case 0x3618: case 0x3634:
      return true;
    default:
      return false;
  }
}

// A screen write that the tests of screen_capture let through: a newline
// event, the command prompt, or text, with the blanks of skipped positions.
void capture_screen_write(std::uint8_t value);

// Sees every byte written to the VDP data port before it is stored, and turns
// the BASIC program's screen output into text on standard output. May end the
// process. Nearly every write fails one of the tests made here, at the call:
// nothing is output yet (until the READY banner in an interactive session),
// the write is not on the screen, or the code that makes it never makes
// output.
[[gnu::always_inline]] inline void screen_capture(std::uint8_t value) {
  if (output_muted) [[unlikely]] {
    if (grom_addr != READY_BANNER || have_source) return;
    output_muted = 0;
  }
  if (unsigned(vdp_addr) - screen_base() >= SCREEN_SIZE) return;
  if (branch_target == SCREEN_FILL_LOOP || is_dropped_context(grom_addr)) return;
  capture_screen_write(value);
}
