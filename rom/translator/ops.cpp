#include "rom/translator/ops.h"

#include <iterator>

namespace {

using F = Form;
using E = Effect;

// A semantics function named once: its name for the emitter and, for the
// jump conditions, the function itself.
#define RULE(function) #function, nullptr
#define CONDITION(function) #function, function
#define NO_RULE nullptr, nullptr

constexpr unsigned R = RESULT_FLAGS;
constexpr unsigned ALL = ALL_FLAGS;

constexpr OpDescription TABLE[] = {
    {Op::SZC, "SZC", 0x4000, F::TWO_GENERAL, E::UPDATE, RULE(clear_bits_word), R, 0, false},
    {Op::SZCB, "SZCB", 0x5000, F::TWO_GENERAL, E::UPDATE, RULE(clear_bits_byte), R, 0, true},
    {Op::S, "S", 0x6000, F::TWO_GENERAL, E::UPDATE, RULE(subtract_words), ALL, 0, false},
    {Op::SB, "SB", 0x7000, F::TWO_GENERAL, E::UPDATE, RULE(subtract_bytes), ALL, 0, true},
    {Op::C, "C", 0x8000, F::TWO_GENERAL, E::COMPARE, RULE(compare_words), R, 0, false},
    {Op::CB, "CB", 0x9000, F::TWO_GENERAL, E::COMPARE, RULE(compare_bytes), R, 0, true},
    {Op::A, "A", 0xA000, F::TWO_GENERAL, E::UPDATE, RULE(add_words), ALL, 0, false},
    {Op::AB, "AB", 0xB000, F::TWO_GENERAL, E::UPDATE, RULE(add_bytes), ALL, 0, true},
    {Op::MOV, "MOV", 0xC000, F::TWO_GENERAL, E::STORE, RULE(move_word), R, 0, false},
    {Op::MOVB, "MOVB", 0xD000, F::TWO_GENERAL, E::STORE, RULE(move_byte), R, 0, true},
    {Op::SOC, "SOC", 0xE000, F::TWO_GENERAL, E::UPDATE, RULE(or_words), R, 0, false},
    {Op::SOCB, "SOCB", 0xF000, F::TWO_GENERAL, E::UPDATE, RULE(or_bytes), R, 0, true},

    {Op::JMP, "JMP", 0x1000, F::JUMP, E::JUMP, NO_RULE, 0, 0, false},
    {Op::JLT, "JLT", 0x1100, F::JUMP, E::JUMP,
     CONDITION(jump_if_less), 0, FLAG_AGT | FLAG_EQ, false},
    {Op::JLE, "JLE", 0x1200, F::JUMP, E::JUMP,
     CONDITION(jump_if_low_or_equal), 0, FLAG_LGT | FLAG_EQ, false},
    {Op::JEQ, "JEQ", 0x1300, F::JUMP, E::JUMP, CONDITION(jump_if_equal), 0, FLAG_EQ, false},
    {Op::JHE, "JHE", 0x1400, F::JUMP, E::JUMP,
     CONDITION(jump_if_high_or_equal), 0, FLAG_LGT | FLAG_EQ, false},
    {Op::JGT, "JGT", 0x1500, F::JUMP, E::JUMP, CONDITION(jump_if_greater), 0, FLAG_AGT, false},
    {Op::JNE, "JNE", 0x1600, F::JUMP, E::JUMP, CONDITION(jump_if_not_equal), 0, FLAG_EQ, false},
    {Op::JNC, "JNC", 0x1700, F::JUMP, E::JUMP, CONDITION(jump_if_no_carry), 0, FLAG_C, false},
    {Op::JOC, "JOC", 0x1800, F::JUMP, E::JUMP, CONDITION(jump_if_carry), 0, FLAG_C, false},
    {Op::JNO, "JNO", 0x1900, F::JUMP, E::JUMP, CONDITION(jump_if_no_overflow), 0, FLAG_OV, false},
    {Op::JL, "JL", 0x1A00, F::JUMP, E::JUMP, CONDITION(jump_if_low), 0, FLAG_LGT | FLAG_EQ, false},
    {Op::JH, "JH", 0x1B00, F::JUMP, E::JUMP, CONDITION(jump_if_high), 0, FLAG_LGT | FLAG_EQ, false},
    {Op::JOP, "JOP", 0x1C00, F::JUMP, E::UNTRANSLATED, NO_RULE, 0, 0, false},
    {Op::SBO, "SBO", 0x1D00, F::CRU_BIT, E::CRU_BIT, RULE(cru_bit_one), 0, 0, false},
    {Op::SBZ, "SBZ", 0x1E00, F::CRU_BIT, E::CRU_BIT, RULE(cru_bit_zero), 0, 0, false},
    {Op::TB, "TB", 0x1F00, F::CRU_BIT, E::UNTRANSLATED, NO_RULE, 0, 0, false},

    {Op::COC, "COC", 0x2000, F::GENERAL_REGISTER, E::COMPARE,
     RULE(compare_ones), FLAG_EQ, 0, false},
    {Op::CZC, "CZC", 0x2400, F::GENERAL_REGISTER, E::COMPARE,
     RULE(compare_zeros), FLAG_EQ, 0, false},
    {Op::XOR, "XOR", 0x2800, F::GENERAL_REGISTER, E::UPDATE, RULE(xor_words), R, 0, false},
    {Op::XOP, "XOP", 0x2C00, F::GENERAL_COUNT, E::UNTRANSLATED, NO_RULE, 0, 0, false},
    {Op::LDCR, "LDCR", 0x3000, F::GENERAL_COUNT, E::CRU_LOAD, RULE(load_cru), R, 0, false},
    {Op::STCR, "STCR", 0x3400, F::GENERAL_COUNT, E::CRU_STORE, RULE(store_cru), R, 0, false},
    {Op::MPY, "MPY", 0x3800, F::GENERAL_REGISTER, E::REGISTER_PAIR, RULE(multiply), 0, 0, false},
    {Op::DIV, "DIV", 0x3C00, F::GENERAL_REGISTER, E::REGISTER_PAIR,
     RULE(divide), FLAG_OV, 0, false},

    {Op::SRA, "SRA", 0x0800, F::SHIFT, E::UPDATE,
     RULE(shift_right_arithmetic), SHIFT_FLAGS, 0, false},
    {Op::SRL, "SRL", 0x0900, F::SHIFT, E::UPDATE, RULE(shift_right_logical), SHIFT_FLAGS, 0, false},
    {Op::SLA, "SLA", 0x0A00, F::SHIFT, E::UPDATE,
     RULE(shift_left_arithmetic), SHIFT_FLAGS, 0, false},
    {Op::SRC, "SRC", 0x0B00, F::SHIFT, E::UPDATE,
     RULE(shift_right_circular), SHIFT_FLAGS, 0, false},

    {Op::BLWP, "BLWP", 0x0400, F::ONE_GENERAL, E::WORKSPACE, NO_RULE, 0, 0, false},
    {Op::B, "B", 0x0440, F::ONE_GENERAL, E::BRANCH, NO_RULE, 0, 0, false},
    {Op::X, "X", 0x0480, F::ONE_GENERAL, E::UNTRANSLATED, NO_RULE, 0, 0, false},
    {Op::CLR, "CLR", 0x04C0, F::ONE_GENERAL, E::STORE, RULE(all_zeros), 0, 0, false},
    {Op::NEG, "NEG", 0x0500, F::ONE_GENERAL, E::UPDATE, RULE(negate_word), ALL, 0, false},
    {Op::INV, "INV", 0x0540, F::ONE_GENERAL, E::UPDATE, RULE(invert_word), R, 0, false},
    {Op::INC, "INC", 0x0580, F::ONE_GENERAL, E::UPDATE, RULE(increment_word), ALL, 0, false},
    {Op::INCT, "INCT", 0x05C0, F::ONE_GENERAL, E::UPDATE,
     RULE(increment_word_by_two), ALL, 0, false},
    {Op::DEC, "DEC", 0x0600, F::ONE_GENERAL, E::UPDATE, RULE(decrement_word), ALL, 0, false},
    {Op::DECT, "DECT", 0x0640, F::ONE_GENERAL, E::UPDATE,
     RULE(decrement_word_by_two), ALL, 0, false},
    {Op::BL, "BL", 0x0680, F::ONE_GENERAL, E::BRANCH_AND_LINK, NO_RULE, 0, 0, false},
    {Op::SWPB, "SWPB", 0x06C0, F::ONE_GENERAL, E::UPDATE, RULE(swap_bytes), 0, 0, false},
    {Op::SETO, "SETO", 0x0700, F::ONE_GENERAL, E::STORE, RULE(all_ones), 0, 0, false},
    {Op::ABS, "ABS", 0x0740, F::ONE_GENERAL, E::UPDATE, RULE(absolute_word), ALL, 0, false},

    {Op::LI, "LI", 0x0200, F::REGISTER_IMMEDIATE, E::STORE, RULE(move_word), R, 0, false},
    {Op::AI, "AI", 0x0220, F::REGISTER_IMMEDIATE, E::UPDATE, RULE(add_words), ALL, 0, false},
    {Op::ANDI, "ANDI", 0x0240, F::REGISTER_IMMEDIATE, E::UPDATE, RULE(and_words), R, 0, false},
    {Op::ORI, "ORI", 0x0260, F::REGISTER_IMMEDIATE, E::UPDATE, RULE(or_words), R, 0, false},
    {Op::CI, "CI", 0x0280, F::REGISTER_IMMEDIATE, E::COMPARE, RULE(compare_words), R, 0, false},
    {Op::STWP, "STWP", 0x02A0, F::REGISTER, E::WORKSPACE, NO_RULE, 0, 0, false},
    {Op::STST, "STST", 0x02C0, F::REGISTER, E::STORE, RULE(status_word), 0, ALL, false},
    {Op::LWPI, "LWPI", 0x02E0, F::IMMEDIATE, E::WORKSPACE, NO_RULE, 0, 0, false},
    {Op::LIMI, "LIMI", 0x0300, F::IMMEDIATE, E::CALL, RULE(load_interrupt_mask), 0, 0, false},
    {Op::IDLE, "IDLE", 0x0340, F::NO_OPERAND, E::UNTRANSLATED, NO_RULE, 0, 0, false},
    {Op::RSET, "RSET", 0x0360, F::NO_OPERAND, E::UNTRANSLATED, NO_RULE, 0, 0, false},
    {Op::RTWP, "RTWP", 0x0380, F::NO_OPERAND, E::WORKSPACE, NO_RULE, 0, 0, false},
    {Op::CKON, "CKON", 0x03A0, F::NO_OPERAND, E::UNTRANSLATED, NO_RULE, 0, 0, false},
    {Op::CKOF, "CKOF", 0x03C0, F::NO_OPERAND, E::UNTRANSLATED, NO_RULE, 0, 0, false},
    {Op::LREX, "LREX", 0x03E0, F::NO_OPERAND, E::UNTRANSLATED, NO_RULE, 0, 0, false},
};

constexpr bool table_in_op_order() {
  for (std::size_t i = 0; i < std::size(TABLE); ++i)
    if (int(TABLE[i].op) != int(i)) return false;
  return std::size(TABLE) == std::size_t(Op::LREX) + 1;
}
static_assert(table_in_op_order(), "one description per op, in Op order");

}  // namespace

const OpDescription& describe(Op op) { return TABLE[int(op)]; }

std::uint16_t opcode_mask(Form form) {
  switch (form) {
    case Form::TWO_GENERAL: return 0xF000;
    case Form::JUMP: case Form::CRU_BIT: case Form::SHIFT: return 0xFF00;
    case Form::GENERAL_REGISTER: case Form::GENERAL_COUNT: return 0xFC00;
    case Form::ONE_GENERAL: return 0xFFC0;
    default: return 0xFFE0;
  }
}

const OpDescription* match_opcode(std::uint16_t word) {
  for (const OpDescription& d : TABLE)
    if ((word & opcode_mask(d.form)) == d.opcode) return &d;
  return nullptr;
}

const OpDescription* op_table_begin() { return std::begin(TABLE); }
const OpDescription* op_table_end() { return std::end(TABLE); }
