// The native replacements that rom_hook selects by branch_target.
#pragma once

#include <cstdint>

#include "rom/entry_list.h"  // CONSOLE_RESET_ENTRY: GPL EXIT, the console reset

constexpr std::uint16_t KEYBOARD_SCAN = 0x02AE;  // GPL SCAN
constexpr std::uint16_t SOUND_LIST = 0x05D6;     // GPL I/O types 0 and 1
constexpr std::uint16_t CRU_TRANSFER = 0x05EA;   // GPL I/O type 3
constexpr std::uint16_t GPL_MOVE_LOOP = 0x065E;  // GPL MOVE's byte loop, after its operands

// Serves one GPL SCAN: answers the title screen and the menu, and feeds every
// other key request from the input sources. May end the process.
void keyboard_hook();

// Turns the console's two standard tones into a bell on standard output.
void sound_hook();

// Runs GPL MOVE's byte loop when it moves from VRAM or GROM to VRAM, and has
// the console's own loop run every other move; returns the HOOK_ answer.
int gpl_move_hook();
