// The translator's output for the console ROM: the translated set (found
// in-process from the image file, read when the test runs), the entry table
// of the generated translation, and the reset code's first block, watched
// through a second translation with a probe at >005C.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "machine/state.h"
#include "rom/entry_list.h"
#include "rom/entry_table.h"
#include "rom/translator/reach.h"
#include "rom/translator/rom_image.h"

int run_console_rom_probed();
extern const EntryTable probed_entry_table;

namespace {

std::string hex(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, ">%04X", value & 0xFFFF);
  return text;
}

}  // namespace

// Called by the probed translation at the start of the instruction at >005C,
// the destination of the reset block's JMP. Ends the process: status 0 when
// the block left the expected registers and flags.
void translation_probe(std::uint16_t address) {
  int wrong = 0;
  auto expect = [&](const char* what, unsigned actual, unsigned expected) {
    if (actual == expected) return;
    std::fprintf(stderr, "%s is %s, expected %s\n", what, hex(actual).c_str(), hex(expected).c_str());
    wrong = 1;
  };
  expect("probe address", address, 0x005C);
  expect("R0", reg(0), 0x0020);
  expect("R13", reg(13), 0x9800);
  expect("R14", reg(14), 0x0100);
  expect("R15", reg(15), 0x8C02);
  expect("st_lgt", st_lgt, 1);
  expect("st_agt", st_agt, 1);
  expect("st_eq", st_eq, 0);
  std::fflush(stderr);
  std::exit(wrong);
}

TEST(TranslatorConsole, TranslatedSetHoldsTheResetEntryAndEveryEntry) {
  RomImage rom;
  std::string error;
  ASSERT_TRUE(load_binary_image(TI99_ROM_IMAGE_PATH, rom, error)) << error;
  ASSERT_EQ(rom.bytes.size(), 8192u);
  EXPECT_EQ(rom.word(0x0000), 0x83E0) << "reset vector: workspace";
  EXPECT_EQ(rom.word(0x0002), 0x0024) << "reset vector: program counter";

  const std::vector<std::uint16_t> entries(std::begin(console_entry_addresses),
                                           std::end(console_entry_addresses));
  ASSERT_EQ(entries.size(), 289u);
  EXPECT_EQ(entries[0], 0x004E);
  EXPECT_EQ(entries[5], 0x0070);
  EXPECT_EQ(entries[288], 0x1FC8);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i] & 1, 0) << hex(entries[i]);
    if (i > 0) {
      EXPECT_LT(entries[i - 1], entries[i]) << "entries are numbered in address order";
    }
  }

  TranslatedSet set;
  ASSERT_TRUE(find_translated_set(rom, CONSOLE_RESET_ENTRY, entries, set, error)) << error;
  EXPECT_TRUE(set.count(0x0024));
  for (std::uint16_t entry : entries) EXPECT_TRUE(set.count(entry)) << hex(entry);

  const std::pair<std::uint16_t, const char*> reset_block[] = {
      {0x0024, "LI R13,>9800"}, {0x0028, "LI R14,>0100"}, {0x002C, "LI R15,>8C02"},
      {0x0030, "LI R0,>0020"},  {0x0034, "JMP >005C"},
  };
  for (auto [address, text] : reset_block) {
    ASSERT_TRUE(set.count(address)) << hex(address);
    EXPECT_EQ(disassemble(set.at(address)), text);
  }
  EXPECT_EQ(disassemble(set.at(0x004E)), "BL @>0864");
  EXPECT_EQ(disassemble(set.at(0x1172)), "BL *R3");
  // Reached by no entry: the interrupt service routine and the CRU transfer
  // routine that a native routine replaces.
  EXPECT_FALSE(set.count(0x0900));
  EXPECT_FALSE(set.count(0x05EA));
}

TEST(TranslatorConsole, EntryTableNumbersTheEntriesAndNothingElse) {
  std::vector<unsigned> expected(8192, 0);
  for (unsigned n = 1; n <= 289; ++n) expected[console_entry_addresses[n - 1]] = n;
  for (unsigned a = 0; a < 8192; ++a) {
    ASSERT_EQ(entry_table[a], expected[a]) << "entry_table at " << hex(a);
    ASSERT_EQ(probed_entry_table[a], expected[a]) << "probed_entry_table at " << hex(a);
  }
  EXPECT_EQ(entry_table[0x004E], 1);
  EXPECT_EQ(entry_table[0x0070], 6);
  EXPECT_EQ(entry_table[0x1FC8], 289);
  EXPECT_EQ(entry_table[0x0024], 0) << "the reset entry is reached directly, not by dispatch";
  EXPECT_EQ(entry_table[0x0071], 0);
}

TEST(TranslatorConsoleDeathTest, ResetBlockLeavesRegistersAndFlagsAt005C) {
  auto run_from_reset = [] {
    std::memcpy(cpu_mem, console_rom, sizeof console_rom);
    wp = cpu_word(0x0000);
    st_lgt = st_agt = st_eq = st_c = st_ov = 0;
    run_console_rom_probed();
    std::fprintf(stderr, "the translated code returned without reaching >005C\n");
    std::exit(2);
  };
  EXPECT_EXIT(run_from_reset(), testing::ExitedWithCode(0), "");
}
