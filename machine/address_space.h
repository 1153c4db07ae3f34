// The console's plain-memory ranges, named once for the bus and the
// translator: the ROM and the scratchpad RAM.
#pragma once

#include <cstdint>

constexpr std::uint32_t CONSOLE_ROM_SIZE = 0x2000;  // >0000->1FFF

constexpr bool is_console_rom(std::uint32_t address) { return address < CONSOLE_ROM_SIZE; }
constexpr bool is_scratchpad(std::uint32_t address) {
  return address >= 0x8300 && address <= 0x83FF;
}
