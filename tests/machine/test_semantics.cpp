// The instruction semantics the translated console ROM is built from: flag
// rules, arithmetic, shifts, MPY and DIV, the status word and operands.
#include <gtest/gtest.h>

#include "rom/tms9900_ops.h"

namespace {

struct Semantics : testing::Test {
  void SetUp() override {
    st_lgt = st_agt = st_eq = st_c = st_ov = st_op = st_x = st_mask = 0;
    wp = 0x83E0;
  }
};

// L> + 2 A> + 4 EQ now, and as the result rule gives them for r with sign bit sign.
unsigned lgt_agt_eq() { return st_lgt + 2 * st_agt + 4 * st_eq; }
unsigned result_rule(unsigned r, unsigned sign) { return r == 0 ? 4 : r & sign ? 1 : 3; }

// MPY s,R4 and DIV s,R4 with R4 and R5 set from, and read back as, one 32-bit value.
std::uint32_t mpy_div(bool mpy, std::uint16_t s, std::uint32_t r4_r5) {
  set_reg(4, std::uint16_t(r4_r5 >> 16));
  set_reg(5, std::uint16_t(r4_r5));
  mpy ? multiply(s, 4) : divide(s, 4);
  return std::uint32_t(reg(4)) << 16 | reg(5);
}

unsigned count_with_r0(std::uint16_t r0) { return set_reg(0, r0), shift_count(0); }

#define R(call, result, flags) {#call, [] { return std::int64_t(call); }, result, flags}
#define F(call, flags) {#call, [] { return (call, std::int64_t(-1)); }, -1, flags}

TEST_F(Semantics, ResultsAndFlags) {
  // Flags L> A> EQ C OV; '.': left as they were. Compares take s, d; others d, s.
  const struct { const char* call; std::int64_t (*run)(); std::int64_t result; const char* flags; }
  cases[] = {
      R(add_words(0x7FFF, 1), 0x8000, "10001"),      R(add_words(0xFFFF, 1), 0x0000, "00110"),
      R(add_words(0x8000, 0x8000), 0x0000, "00111"), R(add_words(0x8000, 0xFFFF), 0x7FFF, "11011"),
      R(add_words(0x7FFF, 0x7FFF), 0xFFFE, "10001"), R(add_words(0x1234, 1), 0x1235, "11000"),
      R(subtract_words(0, 1), 0xFFFF, "10000"),      R(subtract_words(0x8000, 1), 0x7FFF, "11011"),
      R(subtract_words(0x7FFF, 0xFFFF), 0x8000, "10001"),
      R(subtract_words(0xFFFF, 1), 0xFFFE, "10010"), R(subtract_words(0, 0), 0, "00110"),
      F(compare_words(0x8000, 0x7FFF), "100.."),     F(compare_words(0x7FFF, 0x8000), "010.."),
      F(compare_words(0xFFFF, 0xFFFE), "110.."),     F(compare_words(0x0100, 0x00FF), "110.."),
      F(compare_words(0x1234, 0x1234), "001.."),     R(clear_bits_word(0x8001, 1), 0x8000, "100.."),
      R(or_bytes(0x80, 0x01), 0x81, "100.."),        R(xor_words(0x1234, 0x1234), 0, "001.."),
      R(and_words(0xF0F0, 0x7F00), 0x7000, "110.."), R(invert_word(0x7FFF), 0x8000, "100.."),
      R(negate_word(0x0000), 0x0000, "00110"),       R(negate_word(0x8000), 0x8000, "10001"),
      R(negate_word(0xFFFF), 0x0001, "11000"),       R(absolute_word(0x8000), 0x8000, "10001"),
      R(absolute_word(0xFFFF), 0x0001, "10000"),     R(absolute_word(0x0000), 0x0000, "00100"),
      F(compare_ones(0x0030, 0x00F0), "..1.."),      F(compare_ones(0x0030, 0x0010), "..0.."),
      F(compare_zeros(0x0030, 0xFF0F), "..1.."),     F(compare_zeros(0x0030, 0x0010), "..0.."),
      R(mpy_div(true, 0xFFFF, 0xFFFF5555), 0xFFFE0001, "....."),  // R5 is no input
      R(mpy_div(false, 0x0010, 0x00010005), 0x10000005, "....0"),  // quotient, remainder
      R(mpy_div(false, 0xFFFF, 0xFFFEFFFF), 0xFFFFFFFE, "....0"),
      R(mpy_div(false, 7, 100), 0x000E0002, "....0"),
      R(mpy_div(false, 0, 0x00001234), 0x00001234, "....1"),  // s <= R4: overflow
      R(mpy_div(false, 5, 0x00050000), 0x00050000, "....1"),
      R(mpy_div(false, 0x8000, 0xFFFF0000), 0xFFFF0000, "....1"),
      // A shift count: the field, else the low four bits of R0, else 16.
      R(count_with_r0(0x00F3), 3, "....."),          R(shift_count(12), 12, "....."),
      R(count_with_r0(0xFFF0), 16, "....."),         R(count_with_r0(0x000F), 15, ".....")};
  for (auto c : cases) {
    for (const char* untouched : {"00000", "11111"}) {
      SCOPED_TRACE(testing::Message() << c.call << " from " << untouched);
      char start[6] = {};  // every flag opposite to what it must become
      for (int i = 0; i < 5; ++i) start[i] = c.flags[i] == '.' ? untouched[i] : c.flags[i] ^ 1;
      std::uint32_t* const flags[] = {&st_lgt, &st_agt, &st_eq, &st_c, &st_ov};
      for (int i = 0; i < 5; ++i) *flags[i] = start[i] == '1';
      EXPECT_EQ(c.run(), c.result);
      for (int i = 0; i < 5; ++i)
        EXPECT_EQ(*flags[i], unsigned((c.flags[i] == '.' ? start[i] : c.flags[i]) == '1'))
            << "flag " << i << " of L> A> EQ C OV";
    }
  }
}

// Bytes take the carry from bit 8 and the sign from bit 7: every pair against
// plain arithmetic.
TEST_F(Semantics, ByteArithmeticAndCompareMatchReference) {
  for (int d = 0; d < 256; ++d) {
    for (int s = 0; s < 256; ++s) {
      for (int sign : {1, -1}) {
        SCOPED_TRACE(testing::Message() << d << (sign > 0 ? " + " : " - ") << s);
        int r = sign > 0 ? add_bytes(std::uint8_t(d), std::uint8_t(s))
                         : subtract_bytes(std::uint8_t(d), std::uint8_t(s));
        int wide = d + sign * s, signed_wide = std::int8_t(d) + sign * std::int8_t(s);
        ASSERT_EQ(r, wide & 0xFF);
        ASSERT_EQ(st_c, unsigned(sign > 0 ? wide > 0xFF : wide >= 0));
        ASSERT_EQ(st_ov, unsigned(signed_wide != std::int8_t(r)));
        ASSERT_EQ(lgt_agt_eq(), result_rule(r, 0x80));
      }
      compare_bytes(std::uint8_t(d), std::uint8_t(s));
      ASSERT_EQ(lgt_agt_eq(), (d > s) + 2u * (std::int8_t(d) > std::int8_t(s)) + 4u * (d == s))
          << d << " vs " << s;
    }
  }
}

// One bit at a time, as the four shifts are defined; no shift changes OV.
TEST_F(Semantics, ShiftsMatchBitByBitReference) {
  std::uint16_t (*const shifts[])(std::uint16_t, unsigned) = {
      shift_left_arithmetic, shift_right_arithmetic, shift_right_logical, shift_right_circular};
  const char* const names[] = {"SLA", "SRA", "SRL", "SRC"};
  for (int kind = 0; kind < 4; ++kind) {
    for (std::uint16_t v : {0x0000, 0x0001, 0x8001, 0x4000, 0x7FFF, 0xFFFF, 0xA5C3}) {
      for (unsigned k = 1; k <= 16; ++k) {
        SCOPED_TRACE(testing::Message() << names[kind] << std::hex << " >" << v << "," << k);
        unsigned r = v, carry = 0;
        for (unsigned i = 0; i < k; ++i) {
          carry = kind == 0 ? r >> 15 : r & 1;
          r = kind == 0 ? (r << 1) & 0xFFFF
                        : (r >> 1) | (kind == 1 ? r & 0x8000 : kind == 3 ? (r & 1) << 15 : 0);
        }
        st_ov = k & 1;
        ASSERT_EQ(shifts[kind](v, k), r);
        ASSERT_EQ(st_c, carry);
        ASSERT_EQ(st_ov, k & 1);
        ASSERT_EQ(lgt_agt_eq(), result_rule(r, 0x8000));
      }
    }
  }
}

TEST_F(Semantics, StatusWordAndOperands) {
  st_lgt = st_eq = st_ov = st_x = 1;
  st_mask = 0x0123;  // the LIMI operand as written
  EXPECT_EQ(status_word(), 0xAB23);
  st_lgt = st_eq = st_ov = st_x = 0;
  st_agt = st_c = st_op = 1;
  st_mask = 2;
  EXPECT_EQ(status_word(), 0x5402);

  set_cpu_word(0x8300, 0x1234);
  EXPECT_EQ(read_word(0x8301), 0x1234) << "word addresses are forced even";
  write_word(0x8303, 0xABCD);
  EXPECT_EQ(cpu_word(0x8302), 0xABCD);
  set_reg(2, 0x8300);  // C *R2+,*R2+: the second address after the first step
  EXPECT_EQ(post_increment(2, 2), 0x8300);
  EXPECT_EQ(post_increment(2, 2), 0x8302);
  EXPECT_EQ(post_increment(2, 1), 0x8304);  // MOVB *R2+
  write_reg_high_byte(2, 0xAB);
  EXPECT_EQ(reg(2), 0xAB05);
}

}  // namespace
