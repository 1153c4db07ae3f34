// The semantics helpers that the translated console ROM is built from: flag
// rules, arithmetic, shifts, MPY and DIV, the status word, operand addressing
// and the CRU transfers (through the real CRU functions).
#include <gtest/gtest.h>

#include <string>

#include "machine_test_support.h"
#include "rom/tms9900_ops.h"

namespace {

struct Flags {
  std::uint32_t lgt, agt, eq, c, ov;
};

void set_flags(Flags f) {
  st_lgt = f.lgt;
  st_agt = f.agt;
  st_eq = f.eq;
  st_c = f.c;
  st_ov = f.ov;
}

#define EXPECT_FLAGS(lgt_, agt_, eq_, c_, ov_)                       \
  do {                                                               \
    EXPECT_EQ(st_lgt, std::uint32_t(lgt_)) << "L>";                  \
    EXPECT_EQ(st_agt, std::uint32_t(agt_)) << "A>";                  \
    EXPECT_EQ(st_eq, std::uint32_t(eq_)) << "EQ";                    \
    EXPECT_EQ(st_c, std::uint32_t(c_)) << "C";                       \
    EXPECT_EQ(st_ov, std::uint32_t(ov_)) << "OV";                    \
  } while (0)

using Semantics = MachineTest;

// ---------------------------------------------------------------------------
// Result and compare rules

TEST_F(Semantics, ResultRuleSetsOnlyLgtAgtEq) {
  struct Case {
    std::uint16_t v;
    int lgt, agt, eq;
  };
  for (Case c : {Case{0x0000, 0, 0, 1}, Case{0x0001, 1, 1, 0}, Case{0x7FFF, 1, 1, 0},
                 Case{0x8000, 1, 0, 0}, Case{0xFFFF, 1, 0, 0}, Case{0x0080, 1, 1, 0}}) {
    SCOPED_TRACE(testing::Message() << std::hex << c.v);
    for (std::uint32_t other : {0u, 1u}) {
      set_flags({1 - std::uint32_t(c.lgt), 1 - std::uint32_t(c.agt), 1 - std::uint32_t(c.eq),
                 other, other});
      result_word(c.v);
      EXPECT_FLAGS(c.lgt, c.agt, c.eq, other, other);
    }
  }
  struct ByteCase {
    std::uint8_t v;
    int lgt, agt, eq;
  };
  for (ByteCase c : {ByteCase{0x00, 0, 0, 1}, ByteCase{0x01, 1, 1, 0}, ByteCase{0x7F, 1, 1, 0},
                     ByteCase{0x80, 1, 0, 0}, ByteCase{0xFF, 1, 0, 0}}) {
    SCOPED_TRACE(testing::Message() << std::hex << int(c.v));
    set_flags({0, 0, 0, 1, 1});
    result_byte(c.v);
    EXPECT_FLAGS(c.lgt, c.agt, c.eq, 1, 1);
  }
}

TEST_F(Semantics, LogicalOperationsApplyTheResultRuleToTheResult) {
  set_flags({0, 0, 0, 1, 1});
  EXPECT_EQ(clear_bits_word(0x8001, 0x0001), 0x8000);  // SZC
  EXPECT_FLAGS(1, 0, 0, 1, 1);
  EXPECT_EQ(clear_bits_byte(0x0F, 0x0F), 0x00);  // SZCB
  EXPECT_FLAGS(0, 0, 1, 1, 1);
  EXPECT_EQ(or_bytes(0x40, 0x01), 0x41);  // SOCB
  EXPECT_FLAGS(1, 1, 0, 1, 1);
  EXPECT_EQ(or_words(0x0000, 0x0000), 0x0000);  // SOC
  EXPECT_FLAGS(0, 0, 1, 1, 1);
  EXPECT_EQ(xor_words(0x1234, 0x1234), 0x0000);
  EXPECT_FLAGS(0, 0, 1, 1, 1);
  EXPECT_EQ(xor_words(0x00FF, 0xFF00), 0xFFFF);
  EXPECT_FLAGS(1, 0, 0, 1, 1);
  EXPECT_EQ(and_words(0xF0F0, 0x7F00), 0x7000);  // ANDI
  EXPECT_FLAGS(1, 1, 0, 1, 1);
  EXPECT_EQ(invert_word(0x7FFF), 0x8000);  // INV
  EXPECT_FLAGS(1, 0, 0, 1, 1);
  EXPECT_EQ(invert_word(0xFFFF), 0x0000);
  EXPECT_FLAGS(0, 0, 1, 1, 1);
}

TEST_F(Semantics, CompareWordsAndBytesSignedAndUnsigned) {
  struct Case {
    std::uint16_t s, d;
    int lgt, agt, eq;
  };
  for (Case c : {Case{0x0001, 0x0000, 1, 1, 0}, Case{0x0000, 0x0001, 0, 0, 0},
                 Case{0x8000, 0x7FFF, 1, 0, 0}, Case{0x7FFF, 0x8000, 0, 1, 0},
                 Case{0xFFFF, 0x0000, 1, 0, 0}, Case{0x0000, 0xFFFF, 0, 1, 0},
                 Case{0xFFFF, 0xFFFE, 1, 1, 0}, Case{0x1234, 0x1234, 0, 0, 1},
                 Case{0x0100, 0x00FF, 1, 1, 0}}) {
    SCOPED_TRACE(testing::Message() << std::hex << c.s << " vs " << c.d);
    set_flags({0, 0, 0, 1, 0});
    compare_words(c.s, c.d);
    EXPECT_FLAGS(c.lgt, c.agt, c.eq, 1, 0);
  }
  struct ByteCase {
    std::uint8_t s, d;
    int lgt, agt, eq;
  };
  for (ByteCase c : {ByteCase{0x80, 0x7F, 1, 0, 0}, ByteCase{0x7F, 0x80, 0, 1, 0},
                     ByteCase{0xFF, 0x00, 1, 0, 0}, ByteCase{0x00, 0xFF, 0, 1, 0},
                     ByteCase{0xFF, 0x80, 1, 1, 0}, ByteCase{0x20, 0x20, 0, 0, 1},
                     ByteCase{0x01, 0x00, 1, 1, 0}}) {
    SCOPED_TRACE(testing::Message() << std::hex << int(c.s) << " vs " << int(c.d));
    set_flags({0, 0, 0, 0, 1});
    compare_bytes(c.s, c.d);
    EXPECT_FLAGS(c.lgt, c.agt, c.eq, 0, 1);
  }
}

TEST_F(Semantics, CocAndCzcTouchOnlyEq) {
  for (std::uint32_t other : {0u, 1u}) {
    SCOPED_TRACE(other);
    set_flags({other, other, 0, other, other});
    compare_ones(0x0030, 0x00F0);  // all ones of s are ones in d
    EXPECT_FLAGS(other, other, 1, other, other);
    compare_ones(0x0030, 0x0010);
    EXPECT_FLAGS(other, other, 0, other, other);
    compare_ones(0x0000, 0x0000);
    EXPECT_EQ(st_eq, 1u);
    compare_zeros(0x0030, 0xFF0F);  // all ones of s are zeros in d
    EXPECT_FLAGS(other, other, 1, other, other);
    compare_zeros(0x0030, 0x0010);
    EXPECT_FLAGS(other, other, 0, other, other);
  }
}

// ---------------------------------------------------------------------------
// Addition and subtraction

enum Op { ADD_W, SUB_W, ADD_B, SUB_B };

struct ArithCase {
  const char* name;
  Op op;
  std::uint16_t d, s, result;
  int lgt, agt, eq, c, ov;
};

std::uint16_t run(Op op, std::uint16_t d, std::uint16_t s) {
  switch (op) {
    case ADD_W: return add_words(d, s);
    case SUB_W: return subtract_words(d, s);
    case ADD_B: return add_bytes(std::uint8_t(d), std::uint8_t(s));
    case SUB_B: return subtract_bytes(std::uint8_t(d), std::uint8_t(s));
  }
  return 0;
}

TEST_F(Semantics, AddAndSubtractCarryAndOverflow) {
  const ArithCase cases[] = {
      {"INC >7FFF", ADD_W, 0x7FFF, 1, 0x8000, 1, 0, 0, 0, 1},
      {"INC >FFFF", ADD_W, 0xFFFF, 1, 0x0000, 0, 0, 1, 1, 0},
      {"INC >0000", ADD_W, 0x0000, 1, 0x0001, 1, 1, 0, 0, 0},
      {"INCT >FFFE", ADD_W, 0xFFFE, 2, 0x0000, 0, 0, 1, 1, 0},
      {"INCT >7FFF", ADD_W, 0x7FFF, 2, 0x8001, 1, 0, 0, 0, 1},
      {"A >8000+>8000", ADD_W, 0x8000, 0x8000, 0x0000, 0, 0, 1, 1, 1},
      {"A >FFFF+>FFFF", ADD_W, 0xFFFF, 0xFFFF, 0xFFFE, 1, 0, 0, 1, 0},
      {"A >7FFF+>7FFF", ADD_W, 0x7FFF, 0x7FFF, 0xFFFE, 1, 0, 0, 0, 1},
      {"A >8000+>FFFF", ADD_W, 0x8000, 0xFFFF, 0x7FFF, 1, 1, 0, 1, 1},
      {"A >1234+>0001", ADD_W, 0x1234, 0x0001, 0x1235, 1, 1, 0, 0, 0},
      {"A >FFFF+>0002", ADD_W, 0xFFFF, 0x0002, 0x0001, 1, 1, 0, 1, 0},
      {"DEC >0000", SUB_W, 0x0000, 1, 0xFFFF, 1, 0, 0, 0, 0},
      {"DEC >8000", SUB_W, 0x8000, 1, 0x7FFF, 1, 1, 0, 1, 1},
      {"DEC >0001", SUB_W, 0x0001, 1, 0x0000, 0, 0, 1, 1, 0},
      {"DECT >0001", SUB_W, 0x0001, 2, 0xFFFF, 1, 0, 0, 0, 0},
      {"DECT >8001", SUB_W, 0x8001, 2, 0x7FFF, 1, 1, 0, 1, 1},
      {"S equal", SUB_W, 0x1234, 0x1234, 0x0000, 0, 0, 1, 1, 0},
      {"S >0003->0005", SUB_W, 0x0003, 0x0005, 0xFFFE, 1, 0, 0, 0, 0},
      {"S >7FFF->FFFF", SUB_W, 0x7FFF, 0xFFFF, 0x8000, 1, 0, 0, 0, 1},
      {"S >0000->8000", SUB_W, 0x0000, 0x8000, 0x8000, 1, 0, 0, 0, 1},
      {"S >FFFF->0001", SUB_W, 0xFFFF, 0x0001, 0xFFFE, 1, 0, 0, 1, 0},
      {"S >0000->0000", SUB_W, 0x0000, 0x0000, 0x0000, 0, 0, 1, 1, 0},
      {"AB >7F+>01", ADD_B, 0x7F, 0x01, 0x80, 1, 0, 0, 0, 1},
      {"AB >FF+>01", ADD_B, 0xFF, 0x01, 0x00, 0, 0, 1, 1, 0},
      {"AB >80+>80", ADD_B, 0x80, 0x80, 0x00, 0, 0, 1, 1, 1},
      {"AB >80+>FF", ADD_B, 0x80, 0xFF, 0x7F, 1, 1, 0, 1, 1},
      {"AB >10+>20", ADD_B, 0x10, 0x20, 0x30, 1, 1, 0, 0, 0},
      {"AB >FF+>FF", ADD_B, 0xFF, 0xFF, 0xFE, 1, 0, 0, 1, 0},
      {"SB >00->01", SUB_B, 0x00, 0x01, 0xFF, 1, 0, 0, 0, 0},
      {"SB >80->01", SUB_B, 0x80, 0x01, 0x7F, 1, 1, 0, 1, 1},
      {"SB >01->80", SUB_B, 0x01, 0x80, 0x81, 1, 0, 0, 0, 1},
      {"SB >42->42", SUB_B, 0x42, 0x42, 0x00, 0, 0, 1, 1, 0},
      {"SB >FF->01", SUB_B, 0xFF, 0x01, 0xFE, 1, 0, 0, 1, 0},
  };
  for (const ArithCase& c : cases) {
    SCOPED_TRACE(c.name);
    // Start from the opposite of every expected flag, so each must be written.
    set_flags({1 - std::uint32_t(c.lgt), 1 - std::uint32_t(c.agt), 1 - std::uint32_t(c.eq),
               1 - std::uint32_t(c.c), 1 - std::uint32_t(c.ov)});
    EXPECT_EQ(run(c.op, c.d, c.s), c.result);
    EXPECT_FLAGS(c.lgt, c.agt, c.eq, c.c, c.ov);
  }
}

TEST_F(Semantics, SubtractingZeroNeverBorrows) {
  for (unsigned v = 0; v < 256; ++v) {
    SCOPED_TRACE(v);
    st_c = 0;
    st_ov = 1;
    EXPECT_EQ(subtract_bytes(std::uint8_t(v), 0), v);
    EXPECT_EQ(st_c, 1u);
    EXPECT_EQ(st_ov, 0u);
  }
  for (std::uint16_t v : {0x0000, 0x0001, 0x7FFF, 0x8000, 0xFFFF}) {
    st_c = 0;
    EXPECT_EQ(subtract_words(v, 0), v);
    EXPECT_EQ(st_c, 1u);
  }
}

// The byte helpers take their carry from bit 8 and their sign from bit 7:
// checked against plain signed arithmetic over every pair.
TEST_F(Semantics, ByteArithmeticMatchesReferenceOverAllOperands) {
  for (int d = 0; d < 256; ++d) {
    for (int s = 0; s < 256; ++s) {
      int sd = std::int8_t(d), ss = std::int8_t(s);
      std::uint8_t sum = add_bytes(std::uint8_t(d), std::uint8_t(s));
      ASSERT_EQ(sum, (d + s) & 0xFF);
      ASSERT_EQ(st_c, std::uint32_t(d + s > 0xFF)) << d << "+" << s;
      ASSERT_EQ(st_ov, std::uint32_t(sd + ss > 127 || sd + ss < -128)) << d << "+" << s;
      std::uint8_t diff = subtract_bytes(std::uint8_t(d), std::uint8_t(s));
      ASSERT_EQ(diff, (d - s) & 0xFF);
      ASSERT_EQ(st_c, std::uint32_t(d >= s)) << d << "-" << s;
      ASSERT_EQ(st_ov, std::uint32_t(sd - ss > 127 || sd - ss < -128)) << d << "-" << s;
      ASSERT_EQ(st_agt, std::uint32_t(std::int8_t(diff) > 0)) << d << "-" << s;
    }
  }
}

// ---------------------------------------------------------------------------
// NEG and ABS

TEST_F(Semantics, NegateAndAbsoluteBoundaries) {
  set_flags({1, 1, 0, 0, 1});
  EXPECT_EQ(negate_word(0x0000), 0x0000);
  EXPECT_FLAGS(0, 0, 1, 1, 0);
  EXPECT_EQ(negate_word(0x8000), 0x8000);
  EXPECT_FLAGS(1, 0, 0, 0, 1);
  EXPECT_EQ(negate_word(0xFFFF), 0x0001);
  EXPECT_FLAGS(1, 1, 0, 0, 0);
  EXPECT_EQ(negate_word(0x0001), 0xFFFF);
  EXPECT_FLAGS(1, 0, 0, 0, 0);

  set_flags({0, 1, 1, 1, 0});
  EXPECT_EQ(absolute_word(0x8000), 0x8000);
  EXPECT_FLAGS(1, 0, 0, 0, 1);
  set_flags({0, 1, 1, 1, 1});
  EXPECT_EQ(absolute_word(0xFFFF), 0x0001);
  EXPECT_FLAGS(1, 0, 0, 0, 0);  // L>, A>, EQ from the old, negative value
  set_flags({1, 1, 0, 1, 1});
  EXPECT_EQ(absolute_word(0x0000), 0x0000);
  EXPECT_FLAGS(0, 0, 1, 0, 0);
  set_flags({0, 0, 1, 1, 1});
  EXPECT_EQ(absolute_word(0x0005), 0x0005);
  EXPECT_FLAGS(1, 1, 0, 0, 0);
  EXPECT_EQ(absolute_word(0x8001), 0x7FFF);
  EXPECT_FLAGS(1, 0, 0, 0, 0);
}

// ---------------------------------------------------------------------------
// Shifts

// One bit at a time, the way the hardware defines the four shifts.
std::uint16_t reference_shift(int kind, std::uint16_t v, unsigned k, std::uint32_t& carry) {
  for (unsigned i = 0; i < k; ++i) {
    switch (kind) {
      case 0:  // SRA
        carry = v & 1;
        v = std::uint16_t((v >> 1) | (v & 0x8000));
        break;
      case 1:  // SRL
        carry = v & 1;
        v = std::uint16_t(v >> 1);
        break;
      case 2:  // SLA
        carry = v >> 15;
        v = std::uint16_t(v << 1);
        break;
      default:  // SRC
        carry = v & 1;
        v = std::uint16_t((v >> 1) | ((v & 1) << 15));
        break;
    }
  }
  return v;
}

std::uint16_t shift(int kind, std::uint16_t v, unsigned k) {
  switch (kind) {
    case 0: return shift_right_arithmetic(v, k);
    case 1: return shift_right_logical(v, k);
    case 2: return shift_left_arithmetic(v, k);
    default: return shift_right_circular(v, k);
  }
}

TEST_F(Semantics, ShiftsMatchBitByBitReferenceForEveryCount) {
  const char* names[] = {"SRA", "SRL", "SLA", "SRC"};
  for (int kind = 0; kind < 4; ++kind) {
    for (std::uint16_t v : {0x0000, 0x0001, 0x8000, 0x8001, 0x4000, 0x7FFF, 0xFFFF, 0x1234,
                            0xA5C3, 0x5A3C}) {
      for (unsigned k = 1; k <= 16; ++k) {
        SCOPED_TRACE(testing::Message() << names[kind] << " >" << std::hex << v << ", " << std::dec << k);
        std::uint32_t carry = 0;
        std::uint16_t expected = reference_shift(kind, v, k, carry);
        for (std::uint32_t ov : {0u, 1u}) {
          set_flags({0, 0, 0, 1 - carry, ov});
          ASSERT_EQ(shift(kind, v, k), expected);
          ASSERT_EQ(st_c, carry);
          ASSERT_EQ(st_ov, ov) << "no shift changes OV";
          ASSERT_EQ(st_eq, std::uint32_t(expected == 0));
          ASSERT_EQ(st_lgt, std::uint32_t(expected != 0));
          ASSERT_EQ(st_agt, std::uint32_t(expected != 0 && !(expected & 0x8000)));
        }
      }
    }
  }
}

TEST_F(Semantics, ShiftExamplesAndSixteenBitCounts) {
  st_ov = 1;
  EXPECT_EQ(shift_left_arithmetic(0x4000, 1), 0x8000);  // SLA R1,1
  EXPECT_FLAGS(1, 0, 0, 0, 1);
  st_ov = 0;
  EXPECT_EQ(shift_left_arithmetic(0x4000, 1), 0x8000);
  EXPECT_EQ(st_ov, 0u);

  EXPECT_EQ(shift_left_arithmetic(0x8001, 16), 0x0000);
  EXPECT_FLAGS(0, 0, 1, 1, 0);
  EXPECT_EQ(shift_right_logical(0x8000, 16), 0x0000);
  EXPECT_EQ(st_c, 1u);
  EXPECT_EQ(shift_right_arithmetic(0x8000, 16), 0xFFFF);
  EXPECT_EQ(st_c, 1u);
  EXPECT_EQ(shift_right_arithmetic(0x7FFF, 16), 0x0000);
  EXPECT_EQ(st_c, 0u);
  EXPECT_EQ(shift_right_circular(0x8001, 16), 0x8001);
  EXPECT_EQ(st_c, 1u);
  EXPECT_EQ(shift_right_circular(0x7FFE, 16), 0x7FFE);
  EXPECT_EQ(st_c, 0u);
  EXPECT_EQ(shift_right_circular(0x1234, 4), 0x4123);
  EXPECT_EQ(shift_right_circular(0x0001, 1), 0x8000);
  EXPECT_FLAGS(1, 0, 0, 1, 0);
}

TEST_F(Semantics, ShiftCountFromR0) {
  set_reg(0, 0x0000);
  EXPECT_EQ(shift_count(0), 16u);
  EXPECT_EQ(shift_count(5), 5u) << "a non-zero field ignores R0";
  set_reg(0, 0x0023);
  EXPECT_EQ(shift_count(0), 3u);
  set_reg(0, 0x0013);
  EXPECT_EQ(shift_count(0), 3u);
  set_reg(0, 0x00F5);
  EXPECT_EQ(shift_count(0), 5u);
  EXPECT_EQ(shift_count(15), 15u);
  set_reg(0, 0xFFF0);
  EXPECT_EQ(shift_count(0), 16u) << "only the low four bits of R0 count";
  set_reg(0, 0x0F00);
  EXPECT_EQ(shift_count(0), 16u);
  set_reg(0, 0x000F);
  EXPECT_EQ(shift_count(0), 15u);
  set_reg(0, 0x0001);
  EXPECT_EQ(shift_count(0), 1u);

  // R0 follows the workspace pointer.
  wp = 0x8300;
  set_reg(0, 0x0004);
  EXPECT_EQ(shift_count(0), 4u);
  wp = 0x83E0;

  // SLA R2,0 and SRC R2,0 with R0 = >0000.
  set_reg(0, 0x0000);
  set_reg(2, 0x8001);
  set_reg(2, shift_left_arithmetic(reg(2), shift_count(0)));
  EXPECT_EQ(reg(2), 0x0000);
  EXPECT_EQ(st_c, 1u);
  EXPECT_EQ(st_eq, 1u);
  set_reg(2, 0x8001);
  set_reg(2, shift_right_circular(reg(2), shift_count(0)));
  EXPECT_EQ(reg(2), 0x8001);
  EXPECT_EQ(st_c, 1u);
}

// ---------------------------------------------------------------------------
// MPY and DIV

TEST_F(Semantics, MultiplyWritesBothWordsAndNoFlags) {
  const Flags pattern{1, 1, 1, 1, 1};
  set_flags(pattern);
  set_reg(4, 0xFFFF);
  set_reg(6, 0x1111);
  set_cpu_word(0x83C0, 0xFFFF);
  multiply(read_word(0x83C0), 4);  // MPY @>83C0,R4
  EXPECT_EQ(reg(4), 0xFFFE);
  EXPECT_EQ(reg(5), 0x0001);
  EXPECT_EQ(reg(6), 0x1111);
  EXPECT_FLAGS(pattern.lgt, pattern.agt, pattern.eq, pattern.c, pattern.ov);

  set_reg(4, 0x8000);
  set_reg(5, 0x5555);
  multiply(0x0002, 4);
  EXPECT_EQ(reg(4), 0x0001);
  EXPECT_EQ(reg(5), 0x0000);

  set_flags({0, 0, 0, 0, 0});
  set_reg(4, 0x1234);
  multiply(0x0000, 4);
  EXPECT_EQ(reg(4), 0x0000);
  EXPECT_EQ(reg(5), 0x0000);
  EXPECT_FLAGS(0, 0, 0, 0, 0);

  // The multiplier can be the destination register itself: MPY R4,R4.
  set_reg(4, 0x0100);
  multiply(reg(4), 4);
  EXPECT_EQ(reg(4), 0x0001);
  EXPECT_EQ(reg(5), 0x0000);
}

TEST_F(Semantics, DivideNormalAndOverflowCases) {
  const Flags pattern{1, 0, 1, 1, 1};
  set_flags(pattern);
  set_reg(8, 0x0001);
  set_reg(9, 0x0005);
  divide(0x0010, 8);  // DIV R2,R8 with R2 = >0010
  EXPECT_EQ(reg(8), 0x1000);
  EXPECT_EQ(reg(9), 0x0005);
  EXPECT_FLAGS(pattern.lgt, pattern.agt, pattern.eq, pattern.c, 0);

  set_reg(8, 0xFFFE);
  set_reg(9, 0xFFFF);
  divide(0xFFFF, 8);
  EXPECT_EQ(reg(8), 0xFFFF);
  EXPECT_EQ(reg(9), 0xFFFE);
  EXPECT_EQ(st_ov, 0u);

  set_reg(8, 0x0000);
  set_reg(9, 100);
  divide(7, 8);
  EXPECT_EQ(reg(8), 14);
  EXPECT_EQ(reg(9), 2);

  struct Overflow {
    std::uint16_t divisor, high, low;
  };
  for (Overflow c : {Overflow{0x0000, 0x0000, 0x1234}, Overflow{0x0000, 0x0005, 0x0000},
                     Overflow{0x0005, 0x0005, 0x0000}, Overflow{0x0004, 0x0005, 0xFFFF},
                     Overflow{0x8000, 0xFFFF, 0x0000}}) {
    SCOPED_TRACE(testing::Message() << std::hex << c.divisor << " into " << c.high << ":" << c.low);
    set_flags({0, 1, 0, 0, 0});
    set_reg(8, c.high);
    set_reg(9, c.low);
    divide(c.divisor, 8);
    EXPECT_EQ(reg(8), c.high);
    EXPECT_EQ(reg(9), c.low);
    EXPECT_FLAGS(0, 1, 0, 0, 1);
  }
}

// ---------------------------------------------------------------------------
// Status word

TEST_F(Semantics, StatusWordComposition) {
  EXPECT_EQ(status_word(), 0x0000);
  st_eq = 1;
  st_c = 1;
  EXPECT_EQ(status_word(), 0x3000);  // STST R11 with EQ and C

  reset_machine_state();
  const struct {
    std::uint32_t* flag;
    std::uint16_t bit;
  } bits[] = {{&st_lgt, 0x8000}, {&st_agt, 0x4000}, {&st_eq, 0x2000}, {&st_c, 0x1000},
              {&st_ov, 0x0800},  {&st_op, 0x0400},  {&st_x, 0x0200}};
  for (auto b : bits) {
    *b.flag = 1;
    EXPECT_EQ(status_word(), b.bit);
    *b.flag = 0;
  }
  for (auto b : bits) *b.flag = 1;
  EXPECT_EQ(status_word(), 0xFE00);

  st_mask = 2;  // LIMI 2
  EXPECT_EQ(status_word() & 0xFF, 0x02);
  EXPECT_EQ(status_word(), 0xFE02);
  reset_machine_state();
  st_mask = 2;
  st_lgt = 1;
  EXPECT_EQ(status_word(), 0x8002);
  st_mask = 0;  // LIMI 0
  EXPECT_EQ(status_word(), 0x8000);
  st_mask = 0x000F;
  EXPECT_EQ(status_word(), 0x800F);
  st_mask = 0x0123;  // the whole operand as written, not reduced to four bits
  EXPECT_EQ(status_word(), 0x8123);
}

// ---------------------------------------------------------------------------
// Operand addressing

TEST_F(Semantics, WordOperandsAndAutoIncrement) {
  cpu_mem[0x8300] = 0x12;
  cpu_mem[0x8301] = 0x34;
  cpu_mem[0x8302] = 0x56;
  EXPECT_EQ(read_word(0x8300), 0x1234);
  EXPECT_EQ(read_word(0x8301), 0x1234) << "odd word addresses are forced even";
  write_word(0x8303, 0xABCD);
  EXPECT_EQ(cpu_mem[0x8302], 0xAB);
  EXPECT_EQ(cpu_mem[0x8303], 0xCD);
  EXPECT_EQ(cpu_mem[0x8304], 0x00);
  cpu_mem[0xFFFE] = 0x9A;
  cpu_mem[0xFFFF] = 0xBC;
  EXPECT_EQ(read_word(0xFFFF), 0x9ABC);
  write_word(0x1000, 0x0102);  // word writes reach the ROM copy unchecked
  EXPECT_EQ(cpu_mem[0x1000], 0x01);
  EXPECT_EQ(cpu_mem[0x1001], 0x02);

  // C *R2+,*R2+: two word increments, the second address after the first step.
  set_reg(2, 0x8300);
  std::uint16_t first = post_increment(2, 2);
  std::uint16_t second = post_increment(2, 2);
  EXPECT_EQ(first, 0x8300);
  EXPECT_EQ(second, 0x8302);
  EXPECT_EQ(reg(2), 0x8304);
  // MOVB *R4+: a byte step, written back before the operand is used.
  set_reg(4, 0x834A);
  EXPECT_EQ(post_increment(4, 1), 0x834A);
  EXPECT_EQ(reg(4), 0x834B);
  set_reg(4, 0xFFFF);
  EXPECT_EQ(post_increment(4, 1), 0xFFFF);
  EXPECT_EQ(reg(4), 0x0000);
  set_reg(4, 0xFFFF);
  post_increment(4, 2);
  EXPECT_EQ(reg(4), 0x0001);

  // A byte instruction naming a register writes its high byte only.
  set_reg(2, 0x1234);
  write_reg_high_byte(2, 0xAB);
  EXPECT_EQ(reg(2), 0xAB34);
  EXPECT_EQ(cpu_mem[0x83E4], 0xAB);

  // Registers follow the workspace pointer.
  wp = 0x8300;
  EXPECT_EQ(reg(1), 0xABCD);
  EXPECT_EQ(reg_address(15), 0x831E);
}

// ---------------------------------------------------------------------------
// CRU transfers, through the real CRU bit functions

TEST_F(Semantics, CruBaseComesFromR12) {
  set_reg(12, 0x0024);
  EXPECT_EQ(cru_base(), 0x0012);
  set_reg(12, 0x0025);
  EXPECT_EQ(cru_base(), 0x0012) << "bit 0 of R12 is not part of the base";
  set_reg(12, 0x1F00);
  EXPECT_EQ(cru_base(), 0x0F80);
  set_reg(12, 0xFFFE);
  EXPECT_EQ(cru_base(), 0x0FFF) << "the base keeps 12 bits";

  // SBO/SBZ with a signed displacement.
  set_reg(12, 0x0026);  // base >0013
  std::string err = stderr_of([] {
    cru_set_bit(-1, 1);  // >0012: silent
    cru_set_bit(3, 1);   // >0016
    cru_set_bit(-19, 0); // >0000
  });
  EXPECT_EQ(err, "warning: cruout(>0016, 1)\nwarning: cruout(>0000, 0)\n");
  // The displacement is added after the 12-bit reduction, not reduced again.
  set_reg(12, 0xFFFE);  // base >0FFF
  err = stderr_of([] { cru_set_bit(1, 1); });
  EXPECT_EQ(err, "warning: cruout(>1000, 1)\n");
}

TEST_F(Semantics, LoadAndStoreCruBitOrder) {
  // LDCR of 3 bits from >0020: least significant bit first, ascending addresses.
  set_reg(12, 0x0040);
  std::string err = stderr_of([] { load_cru(0x0005, 3); });
  EXPECT_EQ(err,
            "warning: cruout(>0020, 1)\n"
            "warning: cruout(>0021, 0)\n"
            "warning: cruout(>0022, 1)\n");
  err = stderr_of([] { load_cru(0x00FE, 2); });
  EXPECT_EQ(err, "warning: cruout(>0020, 0)\nwarning: cruout(>0021, 1)\n");

  // STCR of 8 bits from >0006: bits 0-4 are the rows >0006->000A, bits 5-7 read 0.
  set_reg(12, 0x000C);
  std::uint16_t value = 0xFFFF;
  err = stderr_of([&] { value = store_cru(8); });
  EXPECT_EQ(value, 0x001F);
  EXPECT_EQ(err,
            "warning: cruin(>000B)\n"
            "warning: cruin(>000C)\n"
            "warning: cruin(>000D)\n");
  set_reg(12, 0x0004);  // from >0002: bit 0 reads 0, bits 1-7 are rows
  err = stderr_of([&] { value = store_cru(8); });
  EXPECT_EQ(value, 0x00FE);
  EXPECT_EQ(err, "warning: cruin(>0002)\n");
}

TEST_F(Semantics, ConsoleCruTrafficIsSilent) {
  std::string err = stderr_of([] {
    // Keyboard-line test: LDCR of 3 bits to >0012, then STCR of 8 bits from >0003.
    for (std::uint16_t column = 0; column < 8; ++column) {
      set_reg(12, 0x0024);
      load_cru(column, 3);
      set_reg(12, 0x0006);
      EXPECT_EQ(store_cru(8), 0x00FF) << "no key is ever down";
    }
    // Peripheral-card search: card on and off at CRU bases >0F00->1F00.
    for (std::uint16_t r12 = 0x0F00; r12 <= 0x1F00; r12 += 0x0100) {
      set_reg(12, r12);
      cru_set_bit(0, 1);
      cru_set_bit(0, 0);
    }
  });
  EXPECT_EQ(err, "");
}

}  // namespace
