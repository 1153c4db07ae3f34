#include "automation/screen_text.h"

namespace {
constexpr int CURSOR = 30;  // TI BASIC's character codes of the cursor ...
constexpr int MARGIN = 31;  // ... and of the screen's left and right margins
}  // namespace

unsigned screen_row_text(unsigned row, char* text) {
  unsigned length = 0;
  for (unsigned column = 0; column < SCREEN_COLUMNS; ++column) {
    std::uint8_t code = vram[(screen_base() + row * SCREEN_COLUMNS + column) & 0x3FFF];
    bool blank = character_code(code) == CURSOR || character_code(code) == MARGIN;
    text[column] = blank ? ' ' : char(screen_code_to_char(code));
    if (text[column] != ' ') length = column + 1;
  }
  return length;
}
