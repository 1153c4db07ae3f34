// The disk peripheral card as the console sees it: a card at CRU base >1100
// whose ROM, a standard header with a device list and nothing else, appears at
// >4000 while the card's CRU bit 0 is on. The device routines named in the list
// hold no code: a branch to one of them reaches the native routine that serves
// the device (see automation/disk_dsr.h).
#pragma once

#include <cstdint>

constexpr std::uint16_t CARD_CRU_BASE = 0x1100;                // the value R12 holds for the card
constexpr std::uint16_t CARD_SWITCH_BIT = CARD_CRU_BASE >> 1;  // its CRU bit 0
constexpr std::uint16_t CARD_ROM_START = 0x4000;
constexpr std::uint16_t CARD_ROM_END = 0x5FFF;
constexpr std::uint16_t CARD_ROUTINES = 0x5000;  // device n's routine is at CARD_ROUTINES + 2n

// The device names of the list, in its order. Lower-case names are there for
// programs that type file names in lower case; IMAGE serves the one OLD that
// loads a program image named on the command line.
enum CardDevice {
  DSK1, DSK2, DSK3, DSK1_LOWER, DSK2_LOWER, DSK3_LOWER, CS1, CS2, IMAGE, CARD_DEVICE_COUNT
};
extern const char* const card_device_names[CARD_DEVICE_COUNT];

// CRU bit 0 of the card: on maps the card ROM into >4000->5FFF, off unmaps it.
void card_switch(int on);
extern std::uint32_t card_on;

// The device whose routine address is address, or -1.
int card_routine_device(std::uint16_t address);
