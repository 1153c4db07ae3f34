// The byte path from the translated code to the emulated devices. Any 16-bit
// address may arrive; unmapped accesses read 0 or are dropped, with a warning.
//
// What a running program reaches most is served here, at the call: the ROM
// and the scratchpad, the VDP ports and the GROM data port. Every other
// address goes to the device decoding in memory_map.cpp. A byte for the VDP
// data port passes the screen output capture first, then reaches the VDP.
#pragma once

#include <cstdint>

#include "automation/screen_capture.h"
#include "host/run_end.h"
#include "machine/address_space.h"
#include "machine/grom.h"
#include "machine/vdp.h"

constexpr std::uint16_t VDP_READ_DATA = 0x8800;
constexpr std::uint16_t VDP_WRITE_DATA = 0x8C00;
constexpr std::uint16_t VDP_WRITE_CONTROL = 0x8C02;
// Each GROM port answers at 16 addresses: those equal to it under the mask.
constexpr std::uint16_t GROM_PORT_MASK = 0xFFC3;
constexpr std::uint16_t GROM_READ_DATA = 0x9800;
constexpr std::uint16_t GROM_READ_ADDRESS = 0x9802;
constexpr std::uint16_t GROM_WRITE_DATA = 0x9C00;
constexpr std::uint16_t GROM_WRITE_ADDRESS = 0x9C02;

// Every address but the ones served inline.
std::uint8_t device_read_byte(std::uint16_t address);
void device_write_byte(std::uint16_t address, std::uint8_t value);

// Where the emulation ends the run when asked from outside. Every loop of the
// console sets a device address on its way round: a GPL branch sets the GROM
// address, and the BASIC interpreter sets the VDP address to read the program
// line it goes to.
inline void look_for_stop_request() {
  if (stop_request) [[unlikely]] stop_run();
}

#ifdef TI99_BYTE_PATH_STANDINS
// A test that defines this records the byte path with functions of its own.
std::uint8_t mem_read_byte(std::uint16_t address);
void mem_write_byte(std::uint16_t address, std::uint8_t value);
#else
[[gnu::always_inline]] inline std::uint8_t mem_read_byte(std::uint16_t address) {
  if (is_console_rom(address) || is_scratchpad(address)) return cpu_mem[address];
  if (address == VDP_READ_DATA) return vdp_read_data();
  if ((address & GROM_PORT_MASK) == GROM_READ_DATA) return grom_read_data();
  return device_read_byte(address);
}

[[gnu::always_inline]] inline void mem_write_byte(std::uint16_t address, std::uint8_t value) {
  if (address == VDP_WRITE_CONTROL) {
    look_for_stop_request();
    return vdp_write_control(value);
  }
  if (is_scratchpad(address)) {
    cpu_mem[address] = value;
    return;
  }
  if (address == VDP_WRITE_DATA) {
    screen_capture(value);
    return vdp_write_data(value);
  }
  device_write_byte(address, value);
}
#endif
