// What the end-to-end cases cannot show: device warnings, silent addresses, flag rules.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "rom/tms9900_ops.h"

namespace {

enum Kind { READ, WRITE, CRU_IN, CRU_OUT };
// One access: the value read (0 for writes) and what went to standard error.
std::pair<int, std::string> access(Kind kind, std::uint16_t address, std::uint8_t value = 0) {
  testing::internal::CaptureStderr();
  int read = kind == READ ? mem_read_byte(address) : kind == CRU_IN ? cru_read_bit(address) : 0;
  if (kind == WRITE) mem_write_byte(address, value);
  if (kind == CRU_OUT) cru_write_bit(address, value);
  return {read, testing::internal::GetCapturedStderr()};
}

TEST(Devices, EveryWarningTextOnce) {
  grom_addr = 0x4044;
  const struct { Kind kind; std::uint16_t at; std::uint8_t value; const char* text; } cases[] = {
      {READ, 0x2000, 0, "unhandled read [>2000]"}, {CRU_OUT, 0x0016, 1, "cruout(>0016, 1)"},
      {WRITE, 0x1FFF, 0x5A, "unhandled write [>1FFF] = >5A"},
      {WRITE, 0x9C00, 0, "attempt to write to GROM[>4044]"}, {CRU_IN, 0x000B, 0, "cruin(>000B)"},
      {WRITE, 0x8C02, 0x01, ""}, {WRITE, 0x8C02, 0x88, "VDP reg 8 = >01"},
      {WRITE, 0x8C02, 0x12, ""}, {WRITE, 0x8C02, 0xC5, "unknown VDP command 3: >05"}};
  for (auto c : cases)
    EXPECT_EQ(access(c.kind, c.at, c.value).second,
              *c.text ? "warning: " + std::string(c.text) + "\n" : "");
}

// The quiet address answers without a warning, reading value; its neighbour warns.
TEST(Devices, SilentAddressesAgainstANeighbour) {
  cpu_mem[0x1FFF] = cpu_mem[0x83FF] = 0xA5;
  const struct { Kind kind; std::uint16_t quiet, noisy; int value; } cases[] = {
      {READ, 0x1FFF, 0x2000, 0xA5}, {READ, 0x83FF, 0x82FF, 0xA5}, {WRITE, 0x8300, 0x82FF, 0},
      {READ, 0x4000, 0x4001, 0},    {READ, 0x6000, 0x6002, 0},    {READ, 0x8400, 0x8401, 0},
      {READ, 0x9400, 0x9402, 0},    {WRITE, 0x8400, 0x8401, 0},   {WRITE, 0x9400, 0x9402, 0},
      {CRU_IN, 0x0003, 0x0002, 1},  {CRU_IN, 0x000A, 0x000B, 1},  {CRU_OUT, 0x0012, 0x0011, 0},
      {CRU_OUT, 0x0015, 0x0016, 0}, {CRU_OUT, 0x0780, 0x0781, 0}, {CRU_OUT, 0x0800, 0x1000, 0}};
  for (auto c : cases) {
    EXPECT_EQ(access(c.kind, c.quiet), std::pair(c.value, std::string())) << std::hex << c.quiet;
    EXPECT_NE(access(c.kind, c.noisy).second, "") << std::hex << c.noisy;
  }
}

// L> + 2 A> + 4 EQ now, and as the result rule gives them for r with sign bit sign.
unsigned lgt_agt_eq() { return st_lgt + 2 * st_agt + 4 * st_eq; }
unsigned expected_rule(unsigned r, unsigned sign) { return r == 0 ? 4 : r & sign ? 1 : 3; }

TEST(Semantics, ByteAddSubtractMatchReference) {
  for (int d = 0; d < 256; ++d) {
    for (int s = 0; s < 256; ++s) {
      for (int sign : {1, -1}) {
        SCOPED_TRACE(testing::Message() << d << (sign > 0 ? " + " : " - ") << s);
        int r = sign > 0 ? add_bytes(d, s) : subtract_bytes(d, s);
        int wide = d + sign * s, signed_wide = std::int8_t(d) + sign * std::int8_t(s);
        ASSERT_EQ(r, wide & 0xFF);
        ASSERT_EQ(st_c, unsigned(sign > 0 ? wide > 0xFF : wide >= 0));
        ASSERT_EQ(st_ov, unsigned(signed_wide != std::int8_t(r)));
        ASSERT_EQ(lgt_agt_eq(), expected_rule(r, 0x80));
      }
    }
  }
}

// SLA, SRA, SRL, SRC against one more bit shifted at each count; no shift changes OV.
TEST(Semantics, ShiftsMatchBitByBitReference) {
  std::uint16_t (*const shifts[])(std::uint16_t, unsigned) = {
      shift_left_arithmetic, shift_right_arithmetic, shift_right_logical, shift_right_circular};
  for (int kind = 0; kind < 4; ++kind) {
    for (unsigned v : {0x0000, 0x0001, 0x8001, 0x4000, 0x7FFF, 0xFFFF, 0xA5C3}) {
      for (unsigned k = 1, r = v, carry; k <= 16; ++k) {
        SCOPED_TRACE(testing::Message() << "kind " << kind << std::hex << " >" << v << "," << k);
        carry = kind == 0 ? r >> 15 : r & 1;
        r = kind == 0 ? (r << 1) & 0xFFFF
                      : (r >> 1) | (kind == 1 ? r & 0x8000 : kind == 3 ? (r & 1) << 15 : 0);
        st_ov = k & 1;
        ASSERT_EQ(shifts[kind](std::uint16_t(v), k), r);
        ASSERT_EQ(st_c, carry);
        ASSERT_EQ(st_ov, k & 1);
        ASSERT_EQ(lgt_agt_eq(), expected_rule(r, 0x8000));
      }
    }
  }
  EXPECT_EQ(shift_count(0xF3), 3u);  // count 0: the low four bits of R0, and 16 when those are 0
  EXPECT_EQ(shift_count(0xF0), 16u);
}

TEST(Semantics, DivideAbsNegateAndStatusWord) {
  const struct { std::uint16_t s; std::uint32_t before, after; } divides[] = {  // DIV s,R4
      {7, 100, 0x000E0002}, {5, 0x00050000, 0x00050000}};  // s <= R4: OV, R4 and R5 kept
  for (auto c : divides) {
    set_reg(4, std::uint16_t(c.before >> 16)), set_reg(5, std::uint16_t(c.before));
    divide(c.s, reg_address(4));
    EXPECT_EQ(std::uint32_t(reg(4)) << 16 | reg(5), c.after);
    EXPECT_EQ(st_ov, unsigned(c.before == c.after));
  }
  for (std::uint16_t (*op)(std::uint16_t) : {absolute_word<>, negate_word<>}) {  // >8000 stays >8000, with L> and OV, no C
    st_agt = st_eq = st_c = 1, st_ov = 0;
    EXPECT_EQ(op(0x8000), 0x8000);
    EXPECT_EQ(status_word() & 0xF800, 0x8800);  // L> A> EQ C OV
  }
  st_lgt = st_eq = st_ov = st_x = 1, st_agt = st_c = st_op = 0;
  st_mask = 0x0123;  // STST: the flags, then the LIMI operand as written
  EXPECT_EQ(status_word(), 0xAB23);
}

}  // namespace
