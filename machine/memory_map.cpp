// Address decoding of the byte path past what memory_map.h serves inline: the
// GROM address ports and the GROM write port, the peripheral card's ROM, and
// the addresses that answer silently.
#include "machine/memory_map.h"

#include "machine/peripheral_card.h"

namespace {

bool is_card_rom(std::uint16_t address) {
  return card_on && address >= CARD_ROM_START && address <= CARD_ROM_END;
}

bool reads_silently_as_zero(std::uint16_t address) {
  return address == 0x4000 || address == 0x6000 || address == 0x8400 || address == 0x9400;
}

void warn_unhandled_write(std::uint16_t address, std::uint8_t value) {
  warn("unhandled write [>%04X] = >%02X", address, value);
}

}  // namespace

std::uint8_t device_read_byte(std::uint16_t address) {
  if ((address & GROM_PORT_MASK) == GROM_READ_ADDRESS) return grom_read_address();
  if (is_card_rom(address)) return cpu_mem[address];
  if (reads_silently_as_zero(address)) return 0;
  warn("unhandled read [>%04X]", address);
  return 0;
}

void device_write_byte(std::uint16_t address, std::uint8_t value) {
  std::uint16_t port = address & GROM_PORT_MASK;
  if (port == GROM_WRITE_DATA) return grom_write_data();
  if (port == GROM_WRITE_ADDRESS) {
    look_for_stop_request();
    return grom_write_address(value);
  }
  if (address == 0x8400 || address == 0x9400) return;  // sound and speech
  warn_unhandled_write(address, value);
}
