// The GROM port: an auto-incrementing 16-bit address counter over the console
// GROM image, loaded high byte first and readable back as address + 1.
#pragma once

#include "host/warn.h"
#include "machine/state.h"

inline std::uint8_t grom_read_data() {
  grom_read_toggle = 0;
  grom_write_toggle = 0;
  std::uint8_t result = grom_addr <= grom_limit ? console_grom[grom_addr] : 0;
  grom_addr = std::uint16_t(grom_addr + 1);
  return result;
}

inline std::uint8_t grom_read_address() {
  unsigned next = unsigned(grom_addr) + 1;  // no 16-bit wrap: >FFFF reads back as >00
  std::uint8_t result = grom_read_toggle ? std::uint8_t(next) : std::uint8_t(next >> 8);
  grom_read_toggle ^= 1;
  return result;
}

inline void grom_write_data() {
  grom_write_toggle = 0;
  grom_read_toggle = 0;
  warn("attempt to write to GROM[>%04X]", grom_addr);
  grom_addr = std::uint16_t(grom_addr + 1);
}

inline void grom_write_address(std::uint8_t value) {
  if (!grom_write_toggle)
    grom_addr = std::uint16_t(value << 8 | (grom_addr & 0x00FF));
  else
    grom_addr = std::uint16_t((grom_addr & 0xFF00) | value);
  grom_write_toggle ^= 1;
}
