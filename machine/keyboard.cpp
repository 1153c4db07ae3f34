#include "machine/keyboard.h"

#include "machine/state.h"

volatile std::sig_atomic_t clear_key_down;

namespace {

// Key tables in the console GROM: 48 keys each (8 rows of 6 columns), one
// table for each modifier, one for the split keyboard of units 1 and 2.
constexpr std::uint16_t KEY_TABLES[] = {0x1700, 0x1730, 0x1760, 0x1790};  // -, SHIFT, FCTN, CTRL
constexpr std::uint16_t SPLIT_KEY_TABLE = 0x17C0;
constexpr int KEY_COUNT = 48;
constexpr std::uint8_t NOT_A_KEY = 0xFF;
// Column 0 holds ENTER, the space bar, "=" and the modifiers: the split
// keyboard leaves it out. Of the other columns, unit 1 sees rows 0-3 (the
// left half of the keyboard), unit 2 rows 4-7 (the right half).
constexpr int ROWS = 8;
constexpr int LEFT_HALF_ROWS = 4;

constexpr std::uint16_t JOYSTICK_AT_REST = 0x16FE;  // Y and X with no direction pressed
constexpr std::uint16_t JOYSTICK_Y = 0x8376;
constexpr std::uint16_t JOYSTICK_X = 0x8377;

// The key whose code in unit 5 is code, with whichever modifier gives it.
int key_of(std::uint8_t code) {
  if (code == NOT_A_KEY) return -1;
  for (std::uint16_t table : KEY_TABLES)
    for (int key = 0; key < KEY_COUNT; ++key)
      if (console_grom[table + key] == code) return key;
  return -1;
}

// What unit 1 or 2 delivers for key: nothing for column 0 or the other half.
int split_code(int key, int unit) {
  if (key < ROWS) return NO_KEY;
  bool left = key % ROWS < LEFT_HALF_ROWS;
  if (left != (unit == 1)) return NO_KEY;
  return console_grom[SPLIT_KEY_TABLE + key];
}

// Unit 3, the TI-99/4's keyboard: upper case only, and none of the codes
// >10->1F or above >5F.
int ti994_code(std::uint8_t code) {
  if (code >= 'a' && code <= 'z') code = std::uint8_t(code - 0x20);
  if ((code >= 0x10 && code <= 0x1F) || code > 0x5F) return NO_KEY;
  return code;
}

// Unit 4, the Pascal keyboard: control codes and the CTRL codes >80->9F
// trade places; ENTER stays.
int pascal_code(std::uint8_t code) {
  if (code == ENTER_KEY_CODE) return code;
  if (code <= 0x0F) return code | 0x80;
  if (code >= 0x80 && code <= 0x9F) return code & 0x7F;
  return code;
}

}  // namespace

bool keyboard_can_type(std::uint8_t code) { return key_of(code) >= 0; }

int key_unit(std::uint8_t mode_byte, std::uint8_t mode_in_effect) {
  return mode_byte ? mode_byte : mode_in_effect + 3;
}

int code_for_unit(std::uint8_t typed, int unit) {
  int key = key_of(typed);
  if (key < 0) return NO_KEY;
  switch (unit) {
    case 1:
    case 2:
      return split_code(key, unit);
    case 3:
      return ti994_code(typed);
    case 4:
      return pascal_code(typed);
    default:
      return typed;
  }
}

void centre_joystick() {
  cpu_mem[JOYSTICK_Y] = console_grom[JOYSTICK_AT_REST];
  cpu_mem[JOYSTICK_X] = console_grom[JOYSTICK_AT_REST + 1];
}

namespace {

// CLEAR is FCTN (column 0) with the 4 key (column 3), both in row 3.
constexpr unsigned FCTN_COLUMN = 0;
constexpr unsigned KEY_4_COLUMN = 3;
constexpr unsigned CLEAR_ROW = 3;

unsigned selected_column;

}  // namespace

void select_key_column(unsigned bit, int value) {
  unsigned mask = 1u << (bit - KEY_COLUMN_SELECT_BIT);
  selected_column = value ? selected_column | mask : selected_column & ~mask;
}

int key_row_bit(unsigned bit) {
  bool clear_key = clear_key_down && KEY_ROW_0_BIT - bit == CLEAR_ROW;
  if (clear_key && selected_column == KEY_4_COLUMN) clear_key_down = 0;  // seen: let go
  bool down = clear_key && (selected_column == FCTN_COLUMN || selected_column == KEY_4_COLUMN);
  return down ? 0 : 1;
}
