// TI BASIC's screen codes as text: the character rules of the program's output
// and the rows of the screen as text.
#pragma once

#include <cstdint>

#include "machine/state.h"

// TI BASIC's character set is offset by >60 when VDP register 4 selects it;
// control codes and anything below a space come out as a full stop, codes
// above the ASCII range as the bytes 128 to 159.
inline int character_code(std::uint8_t value) { return (vdp_regs[4] & 7) ? value : value - 0x60; }
inline int screen_code_to_char(std::uint8_t value) {
  int k = character_code(value);
  return (k <= 0x1F ? '.' : k) & 0xFF;
}

// Row 0 to 23 of the screen image table as text, by the rules above, except
// that the cursor and the margin character are blanks; trailing blanks are
// left out. Writes up to 32 bytes to text and returns their number.
unsigned screen_row_text(unsigned row, char* text);
