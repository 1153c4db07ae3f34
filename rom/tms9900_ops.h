// TMS9900 instruction semantics for the translated console ROM. The emitted
// code strings these small functions together; every flag rule, shift, MPY and
// DIV lives here once. All memory operands are addresses in cpu_mem; only MOVB
// and CB on computed or device addresses call the device functions, and that
// choice is made by the translator, not here.
#pragma once

#include <cstdint>

#include "machine/cru.h"
#include "machine/memory_map.h"
#include "machine/state.h"

#ifdef TI99_COUNT_INSTRUCTIONS
#include "rom/instruction_count.h"
#define COUNT_INSTRUCTION() (++instruction_count)
#else
#define COUNT_INSTRUCTION() ((void)0)
#endif

// Word operands in memory: the address is forced even.
inline std::uint16_t read_word(std::uint16_t address) { return cpu_word(address & 0xFFFE); }
inline void write_word(std::uint16_t address, std::uint16_t value) {
  set_cpu_word(address & 0xFFFE, value);
}

// *Rn+: returns Rn and writes Rn + step back before the operand is used.
inline std::uint16_t post_increment(unsigned n, unsigned step) {
  std::uint16_t address = reg(n);
  set_reg(n, std::uint16_t(address + step));
  return address;
}

// A byte instruction naming a register uses its high byte only.
inline void write_reg_high_byte(unsigned n, std::uint8_t value) { cpu_mem[reg_address(n)] = value; }

// Result rule: L> for non-zero, A> for non-zero and positive, EQ for zero;
// sign is the sign bit, 0x8000 for words and 0x80 for bytes.
inline void result_rule(std::uint32_t v, std::uint32_t sign) {
  st_lgt = v != 0;
  st_agt = v != 0 && !(v & sign);
  st_eq = v == 0;
}
inline void result_word(std::uint16_t v) { result_rule(v, 0x8000); }
inline void result_byte(std::uint8_t v) { result_rule(v, 0x80); }

// Compare rule: source s against destination d.
inline void compare_words(std::uint16_t s, std::uint16_t d) {
  st_lgt = s > d;
  st_agt = std::int16_t(s) > std::int16_t(d);
  st_eq = s == d;
}
inline void compare_bytes(std::uint8_t s, std::uint8_t d) {
  st_lgt = s > d;
  st_agt = std::int8_t(s) > std::int8_t(d);
  st_eq = s == d;
}

// d + s and d - s with carry (no borrow, for subtraction) and overflow; the
// sign bit is 0x8000 for words and 0x80 for bytes.
inline std::uint32_t add_with_flags(std::uint32_t d, std::uint32_t s, std::uint32_t sign) {
  std::uint32_t mask = sign * 2 - 1;
  std::uint32_t sum = d + s;
  std::uint32_t r = sum & mask;
  st_c = sum > mask;
  st_ov = ((~(s ^ d)) & (s ^ r) & sign) != 0;
  result_rule(r, sign);
  return r;
}
inline std::uint32_t subtract_with_flags(std::uint32_t d, std::uint32_t s, std::uint32_t sign) {
  std::uint32_t mask = sign * 2 - 1;
  std::uint32_t r = (d - s) & mask;
  st_c = d >= s;
  st_ov = ((s ^ d) & (d ^ r) & sign) != 0;
  result_rule(r, sign);
  return r;
}
inline std::uint16_t add_words(std::uint16_t d, std::uint16_t s) {
  return std::uint16_t(add_with_flags(d, s, 0x8000));
}
inline std::uint8_t add_bytes(std::uint8_t d, std::uint8_t s) {
  return std::uint8_t(add_with_flags(d, s, 0x80));
}
inline std::uint16_t subtract_words(std::uint16_t d, std::uint16_t s) {
  return std::uint16_t(subtract_with_flags(d, s, 0x8000));
}
inline std::uint8_t subtract_bytes(std::uint8_t d, std::uint8_t s) {
  return std::uint8_t(subtract_with_flags(d, s, 0x80));
}

// Logical operations set the result rule on what they produce.
inline std::uint16_t or_words(std::uint16_t d, std::uint16_t s) {
  std::uint16_t r = d | s;
  result_word(r);
  return r;
}
inline std::uint8_t or_bytes(std::uint8_t d, std::uint8_t s) {
  std::uint8_t r = d | s;
  result_byte(r);
  return r;
}
inline std::uint16_t clear_bits_word(std::uint16_t d, std::uint16_t s) {
  std::uint16_t r = d & ~s;
  result_word(r);
  return r;
}
inline std::uint8_t clear_bits_byte(std::uint8_t d, std::uint8_t s) {
  std::uint8_t r = d & ~s;
  result_byte(r);
  return r;
}
inline std::uint16_t xor_words(std::uint16_t d, std::uint16_t s) {
  std::uint16_t r = d ^ s;
  result_word(r);
  return r;
}
inline std::uint16_t and_words(std::uint16_t d, std::uint16_t s) {
  std::uint16_t r = d & s;
  result_word(r);
  return r;
}
inline std::uint16_t invert_word(std::uint16_t d) {
  std::uint16_t r = std::uint16_t(~d);
  result_word(r);
  return r;
}

// COC and CZC set EQ only.
inline void compare_ones(std::uint16_t s, std::uint16_t d) { st_eq = (s & ~d) == 0; }
inline void compare_zeros(std::uint16_t s, std::uint16_t d) { st_eq = (s & d) == 0; }

inline std::uint16_t negate_word(std::uint16_t old) {
  std::uint16_t r = std::uint16_t(0 - old);
  result_word(r);
  st_c = old == 0;
  st_ov = old == 0x8000;
  return r;
}

// ABS sets L>, A> and EQ from the old value; >8000 stays >8000.
inline std::uint16_t absolute_word(std::uint16_t old) {
  result_word(old);
  st_c = 0;
  st_ov = old == 0x8000;
  return (old & 0x8000) ? std::uint16_t(0 - old) : old;
}

// Shift count: the instruction's field, or the low 4 bits of R0 when the field
// is 0, and 16 when those are 0 as well.
inline unsigned shift_count(unsigned field) {
  if (field) return field;
  unsigned k = cpu_mem[std::uint16_t(wp + 1)] & 0x0F;
  return k ? k : 16;
}

inline std::uint16_t shift_right_arithmetic(std::uint16_t v, unsigned k) {
  st_c = (v >> (k - 1)) & 1;
  std::int32_t extended = std::int16_t(v);
  std::uint16_t r = std::uint16_t(extended >> k);
  result_word(r);
  return r;
}
inline std::uint16_t shift_right_logical(std::uint16_t v, unsigned k) {
  st_c = (v >> (k - 1)) & 1;
  std::uint16_t r = std::uint16_t(std::uint32_t(v) >> k);
  result_word(r);
  return r;
}
// SLA never changes OV.
inline std::uint16_t shift_left_arithmetic(std::uint16_t v, unsigned k) {
  st_c = (v >> (16 - k)) & 1;
  std::uint16_t r = std::uint16_t(std::uint32_t(v) << k);
  result_word(r);
  return r;
}
inline std::uint16_t shift_right_circular(std::uint16_t v, unsigned k) {
  std::uint16_t r = std::uint16_t((std::uint32_t(v) >> (k & 15)) | (std::uint32_t(v) << (16 - (k & 15))));
  st_c = r >> 15;
  result_word(r);
  return r;
}

// MPY s,Rd: unsigned 32-bit product into Rd (high) and Rd+1 (low); no flags.
inline void multiply(std::uint16_t s, unsigned d) {
  std::uint32_t product = std::uint32_t(s) * reg(d);
  set_reg(d, std::uint16_t(product >> 16));
  set_cpu_word(std::uint16_t(reg_address(d) + 2), std::uint16_t(product));
}

// DIV s,Rd: Rd:Rd+1 divided by s; overflow (s <= Rd, s = 0 included) sets OV
// and leaves both registers alone.
inline void divide(std::uint16_t s, unsigned d) {
  std::uint16_t high = reg(d);
  std::uint16_t low_address = std::uint16_t(reg_address(d) + 2);
  if (s <= high) {
    st_ov = 1;
    return;
  }
  std::uint32_t dividend = std::uint32_t(high) << 16 | cpu_word(low_address);
  set_reg(d, std::uint16_t(dividend / s));
  set_cpu_word(low_address, std::uint16_t(dividend % s));
  st_ov = 0;
}

// STST: the packed status word.
inline std::uint16_t status_word() {
  return std::uint16_t((st_lgt << 15 | st_agt << 14 | st_eq << 13 | st_c << 12 | st_ov << 11 |
                        st_op << 10 | st_x << 9) |
                       st_mask);
}

// CRU: the base comes from R12 when the instruction runs.
inline std::uint16_t cru_base() { return std::uint16_t((reg(12) >> 1) & 0x0FFF); }
inline void cru_set_bit(std::int8_t displacement, int value) {
  cru_write_bit(std::uint16_t(cru_base() + displacement), value);
}
// LDCR: bits 0 .. count-1 of value, least significant first.
inline void load_cru(std::uint16_t value, unsigned count) {
  std::uint16_t base = cru_base();
  for (unsigned i = 0; i < count; ++i) cru_write_bit(std::uint16_t(base + i), (value >> i) & 1);
}
// STCR: count bits read into a value, least significant first.
inline std::uint16_t store_cru(unsigned count) {
  std::uint16_t base = cru_base();
  std::uint16_t value = 0;
  for (unsigned i = 0; i < count; ++i) value |= std::uint16_t(cru_read_bit(std::uint16_t(base + i)) << i);
  return value;
}
