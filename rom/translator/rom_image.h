// The ROM image that the translator works on, and loading it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The ROM being translated: its bytes from address 0 upwards.
struct RomImage {
  std::vector<std::uint8_t> bytes;
  bool contains(std::uint32_t address, std::uint32_t length = 1) const {
    return address + length <= bytes.size();
  }
  std::uint16_t word(std::uint32_t address) const {
    return std::uint16_t(bytes[address] << 8 | bytes[address + 1]);
  }
};

// A binary image, loaded at address 0.
bool load_binary_image(const std::string& path, RomImage& rom, std::string& error);

// A hand-assembled image in text: lines "AAAA: WWWW WWWW ..." place words from
// address AAAA on; anything after ";" is a comment. Unset bytes are 0.
bool load_hex_image(const std::string& path, RomImage& rom, std::string& error);
