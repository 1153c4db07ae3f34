// The console ROM's translation: the reset code's first block, watched through the probe at >005C.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "machine/state.h"
#include "rom/translated_rom.h"

// Called by the translated code, compiled with TI99_TRANSLATION_PROBE, before the instruction at
// >005C, where the reset block's JMP lands: reports registers and flags, and ends the process.
void translation_probe(std::uint16_t address) {
  std::fprintf(stderr, "at >%04X: R0 >%04X R13 >%04X R14 >%04X R15 >%04X L> %u A> %u EQ %u\n",
               unsigned(address), unsigned(reg(0)), unsigned(reg(13)), unsigned(reg(14)),
               unsigned(reg(15)), st_lgt, st_agt, st_eq);
  std::exit(0);
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
