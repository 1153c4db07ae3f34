#pragma once

#include <cstdint>

// The byte path from the translated code to the emulated devices. Any 16-bit
// address may arrive; unmapped accesses read 0 or are dropped, with a warning.
std::uint8_t mem_read_byte(std::uint16_t address);
void mem_write_byte(std::uint16_t address, std::uint8_t value);
