// The translator's output for the console ROM: its translated set (found
// in-process from the image file), the entry table, and the reset code's
// first block, watched through the probe at >005C.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "machine/state.h"
#include "rom/entry_list.h"
#include "rom/entry_table.h"
#include "rom/translated_rom.h"
#include "translator/reach.h"
#include "translator/rom_image.h"

// Called by the translated code, compiled with TI99_TRANSLATION_PROBE, before the instruction at
// >005C, where the reset block's JMP lands: reports registers and flags, and ends the process.
void translation_probe(std::uint16_t address) {
  std::fprintf(stderr, "at >%04X: R0 >%04X R13 >%04X R14 >%04X R15 >%04X L> %u A> %u EQ %u\n",
               unsigned(address), unsigned(reg(0)), unsigned(reg(13)), unsigned(reg(14)),
               unsigned(reg(15)), st_lgt, st_agt, st_eq);
  std::exit(0);
}

TEST(TranslatorConsole, TranslatedSetHoldsTheResetEntryAndEveryEntry) {
  RomImage rom;
  std::string error;
  ASSERT_TRUE(load_binary_image(TI99_ROM_IMAGE_PATH, rom, error)) << error;
  const std::vector<std::uint16_t> entries(std::begin(console_entry_addresses),
                                           std::end(console_entry_addresses));
  ASSERT_TRUE(std::adjacent_find(entries.begin(), entries.end(), std::greater_equal<>()) ==
              entries.end())
      << "entries in ascending order, each once";
  TranslatedSet set;
  ASSERT_TRUE(find_translated_set(rom, CONSOLE_RESET_ENTRY, entries, set, error)) << error;
  EXPECT_EQ(disassemble(set.at(CONSOLE_RESET_ENTRY)), "LI R13,>9800");
  EXPECT_EQ(disassemble(set.at(0x0B16)), "SBZ 0");  // a card routine's "done": the card goes off
  for (std::uint16_t entry : entries) EXPECT_TRUE(set.count(entry)) << entry;
}

TEST(TranslatorConsole, EntryTableNumbersTheEntriesInOrderAndNothingElse) {
  std::vector<unsigned> expected(CONSOLE_ROM_SIZE, 0);
  for (unsigned n = 1; n <= std::size(console_entry_addresses); ++n)
    expected[console_entry_addresses[n - 1]] = n;
  for (unsigned a = 0; a < CONSOLE_ROM_SIZE; ++a) ASSERT_EQ(entry_table[a], expected[a]) << "at " << a;
}

TEST(TranslatorConsoleDeathTest, ResetBlockLeavesRegistersAndFlagsAt005C) {
  auto run_from_reset = [] {
    std::memcpy(cpu_mem, console_rom, sizeof console_rom);
    wp = cpu_word(0x0000);
    run_console_rom();  // returns only when >005C is never reached
    std::exit(2);
  };
  EXPECT_EXIT(run_from_reset(), testing::ExitedWithCode(0),
              "at >005C: R0 >0020 R13 >9800 R14 >0100 R15 >8C02 L> 1 A> 1 EQ 0\n");
}
