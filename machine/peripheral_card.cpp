#include "machine/peripheral_card.h"

#include <array>
#include <cstring>

#include "machine/state.h"

const char* const card_device_names[CARD_DEVICE_COUNT] = {"DSK1", "DSK2", "DSK3", "dsk1", "dsk2",
                                                          "dsk3", "CS1",  "CS2",  "IMAGE"};
std::uint32_t card_on;

namespace {

constexpr unsigned ROM_IMAGE_SIZE = 256;
constexpr unsigned DEVICE_LIST = 0x10;  // offset of the first entry of the device list

// The header: >AA, version 1, no programs, power-up, subprogram or interrupt
// lists; the device list at >4008 is a chain of entries "next entry, routine
// address, name length, name", each padded to an even length.
std::array<std::uint8_t, ROM_IMAGE_SIZE> build_card_rom() {
  std::array<std::uint8_t, ROM_IMAGE_SIZE> rom{};
  auto put_word = [&](unsigned at, unsigned value) {
    rom[at] = std::uint8_t(value >> 8);
    rom[at + 1] = std::uint8_t(value);
  };
  rom[0] = 0xAA;
  rom[1] = 0x01;
  put_word(0x08, CARD_ROM_START + DEVICE_LIST);
  unsigned at = DEVICE_LIST;
  for (int device = 0; device < CARD_DEVICE_COUNT; ++device) {
    unsigned length = unsigned(std::strlen(card_device_names[device]));
    unsigned next = (at + 5 + length + 1) & ~1u;
    put_word(at, device + 1 < CARD_DEVICE_COUNT ? CARD_ROM_START + next : 0);
    put_word(at + 2, CARD_ROUTINES + 2 * device);
    rom[at + 4] = std::uint8_t(length);
    std::memcpy(&rom[at + 5], card_device_names[device], length);
    at = next;
  }
  return rom;
}

const std::array<std::uint8_t, ROM_IMAGE_SIZE> card_rom = build_card_rom();

}  // namespace

// The translated code reads words straight from cpu_mem, so the card's ROM is
// copied there while the card is on, and the window is blank again while off.
void card_switch(int on) {
  card_on = on != 0;
  if (card_on)
    std::memcpy(&cpu_mem[CARD_ROM_START], card_rom.data(), card_rom.size());
  else
    std::memset(&cpu_mem[CARD_ROM_START], 0, card_rom.size());
}

int card_routine_device(std::uint16_t address) {
  unsigned offset = unsigned(address) - CARD_ROUTINES;
  if (address < CARD_ROUTINES || offset % 2 != 0 || offset / 2 >= CARD_DEVICE_COUNT) return -1;
  return int(offset / 2);
}
