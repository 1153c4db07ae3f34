// The console keyboard as TI BASIC's key units see it. A typed byte stands
// for the key (with SHIFT, FCTN or CTRL as needed) that gives that code in
// unit 5, TI BASIC's own; the console's key tables in GROM then tell what
// another unit delivers for the same key.
#pragma once

#include <cstdint>

constexpr int NO_KEY = -1;

// The key unit a scan reads: the keyboard mode byte 1 to 5, or for 0 the mode
// in effect (>83C6, kept as the unit minus 3).
int key_unit(std::uint8_t mode_byte, std::uint8_t mode_in_effect);

// The code that unit delivers when the key of the typed byte is pressed, or
// NO_KEY when that unit does not see the key (the other half of the split
// keyboard, or a code unit 3 does not have).
int code_for_unit(std::uint8_t typed, int unit);

// Writes the joystick bytes (>8376 Y, >8377 X) that a scan of unit 1 or 2
// leaves with the stick at rest, from the console's joystick table.
void centre_joystick();
