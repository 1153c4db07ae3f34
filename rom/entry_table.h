// The entry table: for each ROM byte address >0000->1FFF, its entry number
// (1 upwards) when a computed branch may enter the translated code there, and
// 0 everywhere else, odd addresses included.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "machine/address_space.h"

using EntryTable = std::array<std::uint16_t, CONSOLE_ROM_SIZE>;

template <std::size_t N>
constexpr EntryTable build_entry_table(const std::uint16_t (&addresses)[N]) {
  EntryTable table{};
  for (std::size_t i = 0; i < N; ++i) table[addresses[i]] = std::uint16_t(i + 1);
  return table;
}

// The console ROM's table, generated with the translated code.
extern const EntryTable entry_table;
