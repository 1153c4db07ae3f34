// TMS9900 instruction semantics for the translated console ROM. The emitted
// code strings these small functions together; every flag rule, jump
// condition, shift, MPY and DIV lives here once. All memory operands are
// addresses in cpu_mem; only MOVB and CB on computed or device addresses call
// the device functions, and that choice is made by the translator, not here.
//
// A function that sets flags takes the set of flags to store as its template
// argument `live` (FLAG_ bits): the translator passes only the flags that some
// later instruction can read. The default stores every flag the rule sets.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "machine/cru.h"
#include "machine/memory_map.h"
#include "machine/state.h"

#ifdef TI99_COUNT_INSTRUCTIONS
#include "rom/instruction_count.h"
#define COUNT_INSTRUCTION() (++instruction_count)
#else
#define COUNT_INSTRUCTION() ((void)0)
#endif

// The status flags, as bits of a set.
constexpr unsigned FLAG_LGT = 1;
constexpr unsigned FLAG_AGT = 2;
constexpr unsigned FLAG_EQ = 4;
constexpr unsigned FLAG_C = 8;
constexpr unsigned FLAG_OV = 16;
constexpr unsigned RESULT_FLAGS = FLAG_LGT | FLAG_AGT | FLAG_EQ;  // result and compare rules
constexpr unsigned SHIFT_FLAGS = RESULT_FLAGS | FLAG_C;
constexpr unsigned ALL_FLAGS = RESULT_FLAGS | FLAG_C | FLAG_OV;

// Jump conditions, as functions of the flags.
struct Status {
  std::uint32_t lgt, agt, eq, c, ov;
};
inline Status status() { return {st_lgt, st_agt, st_eq, st_c, st_ov}; }
constexpr bool jump_if_equal(Status s) { return s.eq; }
constexpr bool jump_if_not_equal(Status s) { return !s.eq; }
constexpr bool jump_if_greater(Status s) { return s.agt; }
constexpr bool jump_if_less(Status s) { return !s.agt && !s.eq; }
constexpr bool jump_if_high(Status s) { return s.lgt && !s.eq; }
constexpr bool jump_if_low(Status s) { return !s.lgt && !s.eq; }
constexpr bool jump_if_high_or_equal(Status s) { return s.lgt || s.eq; }
constexpr bool jump_if_low_or_equal(Status s) { return !s.lgt || s.eq; }
constexpr bool jump_if_carry(Status s) { return s.c; }
constexpr bool jump_if_no_carry(Status s) { return !s.c; }
constexpr bool jump_if_no_overflow(Status s) { return !s.ov; }

// Word operands in memory: the address is forced even. One host load or
// store of two bytes, big-endian.
inline std::uint16_t big_endian(std::uint16_t v) {
  if constexpr (std::endian::native == std::endian::little) return __builtin_bswap16(v);
  return v;
}
inline std::uint16_t read_word(std::uint16_t address) {
  std::uint16_t v;
  std::memcpy(&v, &cpu_mem[address & 0xFFFE], 2);
  return big_endian(v);
}
inline void write_word(std::uint16_t address, std::uint16_t value) {
  value = big_endian(value);
  std::memcpy(&cpu_mem[address & 0xFFFE], &value, 2);
}

// *Rn+, given Rn's address: returns Rn and writes Rn + step back before the
// operand is used.
inline std::uint16_t post_increment(std::uint16_t register_address, unsigned step) {
  std::uint16_t address = read_word(register_address);
  write_word(register_address, std::uint16_t(address + step));
  return address;
}

// Result rule: L> for non-zero, A> for non-zero and positive, EQ for zero;
// sign is the sign bit, 0x8000 for words and 0x80 for bytes.
template <unsigned live = RESULT_FLAGS>
inline void result_rule(std::uint32_t v, std::uint32_t sign) {
  if constexpr ((live & FLAG_LGT) != 0) st_lgt = v != 0;
  if constexpr ((live & FLAG_AGT) != 0) st_agt = v != 0 && !(v & sign);
  if constexpr ((live & FLAG_EQ) != 0) st_eq = v == 0;
}

// MOV, MOVB, LI: the value moved, with the result rule.
template <unsigned live = RESULT_FLAGS>
inline std::uint16_t move_word(std::uint16_t v) {
  result_rule<live>(v, 0x8000);
  return v;
}
template <unsigned live = RESULT_FLAGS>
inline std::uint8_t move_byte(std::uint8_t v) {
  result_rule<live>(v, 0x80);
  return v;
}

// Compare rule: source s against destination d.
template <unsigned live = RESULT_FLAGS>
inline void compare_words(std::uint16_t s, std::uint16_t d) {
  if constexpr ((live & FLAG_LGT) != 0) st_lgt = s > d;
  if constexpr ((live & FLAG_AGT) != 0) st_agt = std::int16_t(s) > std::int16_t(d);
  if constexpr ((live & FLAG_EQ) != 0) st_eq = s == d;
}
template <unsigned live = RESULT_FLAGS>
inline void compare_bytes(std::uint8_t s, std::uint8_t d) {
  if constexpr ((live & FLAG_LGT) != 0) st_lgt = s > d;
  if constexpr ((live & FLAG_AGT) != 0) st_agt = std::int8_t(s) > std::int8_t(d);
  if constexpr ((live & FLAG_EQ) != 0) st_eq = s == d;
}

// d + s and d - s with carry (no borrow, for subtraction) and overflow; the
// sign bit is 0x8000 for words and 0x80 for bytes.
template <unsigned live>
inline std::uint32_t add_with_flags(std::uint32_t d, std::uint32_t s, std::uint32_t sign) {
  std::uint32_t mask = sign * 2 - 1;
  std::uint32_t sum = d + s;
  std::uint32_t r = sum & mask;
  if constexpr ((live & FLAG_C) != 0) st_c = sum > mask;
  if constexpr ((live & FLAG_OV) != 0) st_ov = ((~(s ^ d)) & (s ^ r) & sign) != 0;
  result_rule<live>(r, sign);
  return r;
}
template <unsigned live>
inline std::uint32_t subtract_with_flags(std::uint32_t d, std::uint32_t s, std::uint32_t sign) {
  std::uint32_t mask = sign * 2 - 1;
  std::uint32_t r = (d - s) & mask;
  if constexpr ((live & FLAG_C) != 0) st_c = d >= s;
  if constexpr ((live & FLAG_OV) != 0) st_ov = ((s ^ d) & (d ^ r) & sign) != 0;
  result_rule<live>(r, sign);
  return r;
}
template <unsigned live = ALL_FLAGS>
inline std::uint16_t add_words(std::uint16_t d, std::uint16_t s) {
  return std::uint16_t(add_with_flags<live>(d, s, 0x8000));
}
template <unsigned live = ALL_FLAGS>
inline std::uint8_t add_bytes(std::uint8_t d, std::uint8_t s) {
  return std::uint8_t(add_with_flags<live>(d, s, 0x80));
}
template <unsigned live = ALL_FLAGS>
inline std::uint16_t subtract_words(std::uint16_t d, std::uint16_t s) {
  return std::uint16_t(subtract_with_flags<live>(d, s, 0x8000));
}
template <unsigned live = ALL_FLAGS>
inline std::uint8_t subtract_bytes(std::uint8_t d, std::uint8_t s) {
  return std::uint8_t(subtract_with_flags<live>(d, s, 0x80));
}
template <unsigned live = ALL_FLAGS>
inline std::uint16_t increment_word(std::uint16_t d) { return add_words<live>(d, 1); }
template <unsigned live = ALL_FLAGS>
inline std::uint16_t increment_word_by_two(std::uint16_t d) { return add_words<live>(d, 2); }
template <unsigned live = ALL_FLAGS>
inline std::uint16_t decrement_word(std::uint16_t d) { return subtract_words<live>(d, 1); }
template <unsigned live = ALL_FLAGS>
inline std::uint16_t decrement_word_by_two(std::uint16_t d) { return subtract_words<live>(d, 2); }

// Logical operations set the result rule on what they produce.
template <unsigned live = RESULT_FLAGS>
inline std::uint16_t or_words(std::uint16_t d, std::uint16_t s) { return move_word<live>(d | s); }
template <unsigned live = RESULT_FLAGS>
inline std::uint8_t or_bytes(std::uint8_t d, std::uint8_t s) { return move_byte<live>(d | s); }
template <unsigned live = RESULT_FLAGS>
inline std::uint16_t clear_bits_word(std::uint16_t d, std::uint16_t s) {
  return move_word<live>(d & ~s);
}
template <unsigned live = RESULT_FLAGS>
inline std::uint8_t clear_bits_byte(std::uint8_t d, std::uint8_t s) {
  return move_byte<live>(std::uint8_t(d & ~s));
}
template <unsigned live = RESULT_FLAGS>
inline std::uint16_t xor_words(std::uint16_t d, std::uint16_t s) { return move_word<live>(d ^ s); }
template <unsigned live = RESULT_FLAGS>
inline std::uint16_t and_words(std::uint16_t d, std::uint16_t s) { return move_word<live>(d & s); }
template <unsigned live = RESULT_FLAGS>
inline std::uint16_t invert_word(std::uint16_t d) { return move_word<live>(std::uint16_t(~d)); }

// CLR, SETO and SWPB set no flags.
inline std::uint16_t all_zeros() { return 0; }
inline std::uint16_t all_ones() { return 0xFFFF; }
inline std::uint16_t swap_bytes(std::uint16_t v) { return std::uint16_t(v << 8 | v >> 8); }

// COC and CZC set EQ only.
template <unsigned live = FLAG_EQ>
inline void compare_ones(std::uint16_t s, std::uint16_t d) {
  if constexpr ((live & FLAG_EQ) != 0) st_eq = (s & ~d) == 0;
}
template <unsigned live = FLAG_EQ>
inline void compare_zeros(std::uint16_t s, std::uint16_t d) {
  if constexpr ((live & FLAG_EQ) != 0) st_eq = (s & d) == 0;
}

template <unsigned live = ALL_FLAGS>
inline std::uint16_t negate_word(std::uint16_t old) {
  std::uint16_t r = move_word<live>(std::uint16_t(0 - old));
  if constexpr ((live & FLAG_C) != 0) st_c = old == 0;
  if constexpr ((live & FLAG_OV) != 0) st_ov = old == 0x8000;
  return r;
}

// ABS sets L>, A> and EQ from the old value; >8000 stays >8000.
template <unsigned live = ALL_FLAGS>
inline std::uint16_t absolute_word(std::uint16_t old) {
  move_word<live>(old);
  if constexpr ((live & FLAG_C) != 0) st_c = 0;
  if constexpr ((live & FLAG_OV) != 0) st_ov = old == 0x8000;
  return (old & 0x8000) ? std::uint16_t(0 - old) : old;
}

// Shift count: the instruction's field, or, when the field is 0, the low 4
// bits of R0 (its low byte is given), and 16 when those are 0 as well.
inline unsigned shift_count(std::uint8_t r0_low_byte) {
  unsigned k = r0_low_byte & 0x0F;
  return k ? k : 16;
}

template <unsigned live = SHIFT_FLAGS>
inline std::uint16_t shift_right_arithmetic(std::uint16_t v, unsigned k) {
  if constexpr ((live & FLAG_C) != 0) st_c = (v >> (k - 1)) & 1;
  std::int32_t extended = std::int16_t(v);
  return move_word<live>(std::uint16_t(extended >> k));
}
template <unsigned live = SHIFT_FLAGS>
inline std::uint16_t shift_right_logical(std::uint16_t v, unsigned k) {
  if constexpr ((live & FLAG_C) != 0) st_c = (v >> (k - 1)) & 1;
  return move_word<live>(std::uint16_t(std::uint32_t(v) >> k));
}
// SLA never changes OV.
template <unsigned live = SHIFT_FLAGS>
inline std::uint16_t shift_left_arithmetic(std::uint16_t v, unsigned k) {
  if constexpr ((live & FLAG_C) != 0) st_c = (v >> (16 - k)) & 1;
  return move_word<live>(std::uint16_t(std::uint32_t(v) << k));
}
template <unsigned live = SHIFT_FLAGS>
inline std::uint16_t shift_right_circular(std::uint16_t v, unsigned k) {
  std::uint16_t r =
      std::uint16_t((std::uint32_t(v) >> (k & 15)) | (std::uint32_t(v) << (16 - (k & 15))));
  if constexpr ((live & FLAG_C) != 0) st_c = r >> 15;
  return move_word<live>(r);
}

// MPY s,Rd, given Rd's address: unsigned 32-bit product into Rd (high) and
// Rd+1 (low); no flags.
inline void multiply(std::uint16_t s, std::uint16_t register_address) {
  std::uint32_t product = std::uint32_t(s) * read_word(register_address);
  write_word(register_address, std::uint16_t(product >> 16));
  write_word(std::uint16_t(register_address + 2), std::uint16_t(product));
}

// DIV s,Rd, given Rd's address: Rd:Rd+1 divided by s; overflow (s <= Rd,
// s = 0 included) sets OV and leaves both registers alone.
template <unsigned live = FLAG_OV>
inline void divide(std::uint16_t s, std::uint16_t register_address) {
  std::uint16_t high = read_word(register_address);
  std::uint16_t low_address = std::uint16_t(register_address + 2);
  if (s <= high) {
    if constexpr ((live & FLAG_OV) != 0) st_ov = 1;
    return;
  }
  std::uint32_t dividend = std::uint32_t(high) << 16 | read_word(low_address);
  write_word(register_address, std::uint16_t(dividend / s));
  write_word(low_address, std::uint16_t(dividend % s));
  if constexpr ((live & FLAG_OV) != 0) st_ov = 0;
}

// STST: the packed status word.
inline std::uint16_t status_word() {
  return std::uint16_t((st_lgt << 15 | st_agt << 14 | st_eq << 13 | st_c << 12 | st_ov << 11 |
                        st_op << 10 | st_x << 9) |
                       st_mask);
}

// LIMI: the mask is kept as written; no interrupt is ever taken.
inline void load_interrupt_mask(std::uint16_t n) { st_mask = n; }

// CRU: the base comes from R12 (given) when the instruction runs.
inline std::uint16_t cru_base(std::uint16_t r12) { return std::uint16_t((r12 >> 1) & 0x0FFF); }
inline void cru_bit_one(std::uint16_t base, std::int8_t displacement) {
  cru_write_bit(std::uint16_t(base + displacement), 1);
}
inline void cru_bit_zero(std::uint16_t base, std::int8_t displacement) {
  cru_write_bit(std::uint16_t(base + displacement), 0);
}
// LDCR: bits 0 .. count-1 of value, least significant first; the result rule
// on the value (a byte for counts 1 to 8).
template <unsigned live = RESULT_FLAGS, typename Value>
inline void load_cru(Value value, unsigned count, std::uint16_t base) {
  for (unsigned i = 0; i < count; ++i) cru_write_bit(std::uint16_t(base + i), (value >> i) & 1);
  result_rule<live>(value, sizeof(Value) == 1 ? 0x80 : 0x8000);
}
// STCR: count bits read into a value, least significant first, with the
// result rule.
template <unsigned live = RESULT_FLAGS, typename Value = std::uint16_t>
inline Value store_cru(unsigned count, std::uint16_t base) {
  std::uint16_t value = 0;
  for (unsigned i = 0; i < count; ++i)
    value |= std::uint16_t(cru_read_bit(std::uint16_t(base + i)) << i);
  result_rule<live>(Value(value), sizeof(Value) == 1 ? 0x80 : 0x8000);
  return Value(value);
}
