// GPL MOVE's byte loop run natively: what the console's loop leaves behind (bytes, registers,
// flags, where it goes on) and what the screen capture sees on the way, byte by byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "automation/hooks.h"
#include "automation/rom_hook.h"
#include "automation/screen_text.h"
#include "machine/state.h"

namespace {

constexpr std::uint16_t READ_CPU = 0x0660, READ_VRAM = 0x0664, READ_GROM = 0x0672;
constexpr std::uint16_t WRITE_VRAM = 0x06BA;

struct Move : testing::Test {
  void SetUp() override {
    std::memset(cpu_mem, 0, sizeof cpu_mem), std::memset(vram, 0, sizeof vram);
    std::memset(vdp_regs, 0, sizeof vdp_regs);
    vdp_latch_full = 0, output_muted = 0, have_source = 1, run_typed = 0;
    capture_last_addr = 0xFFFF, grom_addr = 0x1000, vdp_addr = 0, cpu_mem[0x8373] = 0x7E;
    wp = 0x83E0, set_reg(13, 0x9800), set_reg(15, 0x8C02), set_reg(11, 0x00AB);
  }
  int answer = 0;  // the hook's
  // Runs the hook on a move of count bytes; returns what reached standard output.
  std::string move(std::uint16_t reader, std::uint16_t from, std::uint16_t to,
                   std::uint16_t count) {
    set_reg(6, reader), set_reg(7, WRITE_VRAM), set_reg(1, from), set_reg(2, to);
    set_reg(8, count), branch_target = 0x065E;
    testing::internal::CaptureStdout();
    answer = rom_hook();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
  }
};

// Rounds of DEC R8 and JGT: a count of 0 or a negative one moves one byte (>8001 is one too,
// >8000 when decremented); bytes, registers, flags (L> 1, A> 2, EQ 4, C 8, OV 16) and the VDP
// address end as the console's loop leaves them.
TEST_F(Move, VramToScreenEndsAsTheConsolesLoopDoes) {
  const struct { std::uint16_t count; const char* out; unsigned flags; } cases[] = {
      {3, "HI!", 4 + 8}, {0, "H", 1}, {0xFFFF, "H", 1 + 8}, {0x8001, "H", 1 + 8}};
  for (auto c : cases) {
    SetUp();
    std::memcpy(&vram[0x1000], "\xA8\xA9\x81", 3);  // "HI!" in TI BASIC's screen codes
    EXPECT_EQ(move(READ_VRAM, 0x1000, 0x0100, c.count), c.out);
    std::uint16_t n = std::uint16_t(std::strlen(c.out));
    EXPECT_EQ(answer, HOOK_REDISPATCH);
    EXPECT_EQ(branch_target, 0x083E);  // the loop's end branches there
    EXPECT_EQ(std::memcmp(&vram[0x0100], &vram[0x1000], n), 0);
    EXPECT_EQ(vram[0x0100 + n], 0);  // and not one byte more
    EXPECT_EQ(reg(1), 0x1000 + n);
    EXPECT_EQ(reg(2), 0x4100 + n);  // ORI R2,>4000 on every round
    EXPECT_EQ(reg(8), std::uint16_t(c.count - n));
    EXPECT_EQ(reg(11), vram[0x0FFF + n] << 8 | 0xAB);  // the last byte, in R11's high byte
    EXPECT_EQ(st_lgt + 2 * st_agt + 4 * st_eq + 8 * st_c + 16 * st_ov, c.flags) << c.count;
    EXPECT_EQ(vdp_addr, 0x0100 + n);
  }
}

// From GROM, every byte read moves the GROM address, which is the capture's context: the byte
// read at >56D3 is written in the scroll's context >56D4, which never makes output.
TEST_F(Move, GromBytesAreCapturedInTheContextTheirReadLeaves) {
  std::string expected = {char(screen_code_to_char(console_grom[0x56D2])),
                          ' ',  // the skipped position
                          char(screen_code_to_char(console_grom[0x56D4]))};
  EXPECT_EQ(move(READ_GROM, 0x56D2, 0x0100, 3), expected);
  EXPECT_EQ(grom_addr, 0x56D5);
  EXPECT_EQ(vram[0x0101], console_grom[0x56D3]);
}

// Anything else is left to the console's loop, which starts with its B *R6: a read from CPU
// memory, or port registers other than the console's.
TEST_F(Move, OtherMovesGoToTheConsolesLoop) {
  for (auto [reader, r15] : {std::pair{READ_CPU, 0x8C02}, {READ_VRAM, 0x8C00}}) {
    SetUp();
    set_reg(15, std::uint16_t(r15));
    EXPECT_EQ(move(reader, 0x1000, 0x0100, 3), "");
    EXPECT_EQ(answer, HOOK_REDISPATCH);
    EXPECT_EQ(branch_target, reader);
    EXPECT_EQ(reg(1), 0x1000);
    EXPECT_EQ(vdp_addr, 0);
  }
}

}  // namespace
