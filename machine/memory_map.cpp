// Address decoding of the byte path. The VDP ports come first, then the GROM
// ports (each answering at 16 addresses through the mask >FFC3), then memory.
// The bus is where taps meet the devices: a byte for the VDP data port passes
// the screen output capture first, then reaches the VDP.
#include "machine/memory_map.h"

#include "automation/screen_capture.h"
#include "host/run_end.h"
#include "machine/address_space.h"
#include "machine/grom.h"
#include "machine/peripheral_card.h"
#include "machine/vdp.h"

namespace {

constexpr std::uint16_t GROM_PORT_MASK = 0xFFC3;

bool is_card_rom(std::uint16_t address) {
  return card_on && address >= CARD_ROM_START && address <= CARD_ROM_END;
}

bool reads_silently_as_zero(std::uint16_t address) {
  return address == 0x4000 || address == 0x6000 || address == 0x8400 || address == 0x9400;
}

void warn_unhandled_write(std::uint16_t address, std::uint8_t value) {
  warn("unhandled write [>%04X] = >%02X", address, value);
}

// Where the emulation ends the run when asked from outside. Every loop of the
// console sets a device address on its way round: a GPL branch sets the GROM
// address, and the BASIC interpreter sets the VDP address to read the program
// line it goes to.
void look_for_stop_request() {
  if (stop_request) [[unlikely]] stop_run();
}

}  // namespace

std::uint8_t mem_read_byte(std::uint16_t address) {
  if (address == 0x8800) return vdp_read_data();
  std::uint16_t port = address & GROM_PORT_MASK;
  if (port == 0x9800) return grom_read_data();
  if (port == 0x9802) return grom_read_address();
  if (is_console_rom(address) || is_scratchpad(address) || is_card_rom(address)) return cpu_mem[address];
  if (reads_silently_as_zero(address)) return 0;
  warn("unhandled read [>%04X]", address);
  return 0;
}

void mem_write_byte(std::uint16_t address, std::uint8_t value) {
  if (address == 0x8C00) {
    screen_capture(value);
    return vdp_write_data(value);
  }
  if (address == 0x8C02) {
    look_for_stop_request();
    return vdp_write_control(value);
  }
  std::uint16_t port = address & GROM_PORT_MASK;
  if (port == 0x9C00) return grom_write_data();
  if (port == 0x9C02) {
    look_for_stop_request();
    return grom_write_address(value);
  }
  if (is_scratchpad(address)) {
    cpu_mem[address] = value;
    return;
  }
  if (address == 0x8400 || address == 0x9400) return;  // sound and speech
  warn_unhandled_write(address, value);
}
