// The console keyboard as TI BASIC's key units see it. A typed byte stands
// for the key (with SHIFT, FCTN or CTRL as needed) that gives that code in
// unit 5, TI BASIC's own; the console's key tables in GROM then tell what
// another unit delivers for the same key.
#pragma once

#include <csignal>
#include <cstdint>

constexpr int NO_KEY = -1;

// The CLEAR key (FCTN with 4), TI BASIC's break key, held down: set from
// outside the emulation (a signal handler) and let go once the console has
// seen it.
extern volatile std::sig_atomic_t clear_key_down;
constexpr std::uint8_t CLEAR_KEY_CODE = 0x02;  // its code in unit 5

constexpr std::uint8_t ENTER_KEY_CODE = 0x0D;  // in unit 5, and unchanged in units 3 and 4

// The keyboard matrix as the console's break test reads it through the CRU:
// select a column (the three CRU bits >0012->0014), then read the rows (bits
// >0003->000A, 0 for a key down). Bit >0015 selects the alpha lock.
constexpr unsigned KEY_COLUMN_SELECT_BIT = 0x0012;  // the column number's lowest bit
constexpr unsigned KEY_ROW_0_BIT = 0x000A;          // rows count down from here to >0003
constexpr unsigned ALPHA_LOCK_BIT = 0x0015;
constexpr bool is_key_column_bit(unsigned bit) {
  return bit >= KEY_COLUMN_SELECT_BIT && bit <= KEY_COLUMN_SELECT_BIT + 2;
}
constexpr bool is_key_row_bit(unsigned bit) {
  return bit >= KEY_ROW_0_BIT - 7 && bit <= KEY_ROW_0_BIT;
}
void select_key_column(unsigned bit, int value);
int key_row_bit(unsigned bit);

// Whether some key, alone or with SHIFT, FCTN or CTRL, types this code.
bool keyboard_can_type(std::uint8_t code);

// The key unit a scan reads: the keyboard mode byte 1 to 5, or for 0 the mode
// in effect (>83C6, kept as the unit minus 3).
int key_unit(std::uint8_t mode_byte, std::uint8_t mode_in_effect);

// The code that unit delivers when the key of the typed byte is pressed, or
// NO_KEY when no key types the byte or that unit does not see the key (the
// other half of the split keyboard, or a code unit 3 does not have).
int code_for_unit(std::uint8_t typed, int unit);

// Writes the joystick bytes (>8376 Y, >8377 X) that a scan of unit 1 or 2
// leaves with the stick at rest, from the console's joystick table.
void centre_joystick();
