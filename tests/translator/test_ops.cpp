// The op table against the semantics: jump conditions after word and byte
// compares, the flags each condition reads, and decoding by the table.
#include <gtest/gtest.h>

#include <string>

#include "rom/translator/decode.h"

namespace {

int order(int a, int b) { return (a > b) - (a < b); }

// Whether the jump is taken when the source compares to the destination as
// signed_order and unsigned_order (-1 less, 0 equal, 1 greater).
bool expected_after_compare(Op op, int signed_order, int unsigned_order) {
  switch (op) {
    case Op::JEQ: return signed_order == 0;
    case Op::JNE: return signed_order != 0;
    case Op::JGT: return signed_order > 0;
    case Op::JLT: return signed_order < 0;
    case Op::JH: return unsigned_order > 0;
    case Op::JL: return unsigned_order < 0;
    case Op::JHE: return unsigned_order >= 0;
    case Op::JLE: return unsigned_order <= 0;
    default: ADD_FAILURE() << describe(op).mnemonic << " has no compare outcome"; return false;
  }
}

TEST(OpTable, JumpConditionsAfterWordAndByteCompares) {
  // s against d: equal, and less or greater with the signed and unsigned
  // orders agreeing and disagreeing.
  const std::uint16_t pairs[][2] = {{0x1234, 0x1234}, {0x0001, 0x0002}, {0x0002, 0x0001},
                                    {0x8000, 0x7FFF}, {0x7FFF, 0x8000}, {0xFFFF, 0x0000},
                                    {0x0000, 0xFFFF}, {0x8000, 0x8000}, {0xFFFE, 0xFFFF}};
  for (const OpDescription* d = op_table_begin(); d != op_table_end(); ++d) {
    if (!d->condition || (d->flags_read & (FLAG_C | FLAG_OV))) continue;
    for (auto [s, d_word] : pairs) {
      for (bool byte : {false, true}) {
        SCOPED_TRACE(testing::Message() << d->mnemonic << std::hex << " s >" << s << " d >"
                                        << d_word << (byte ? " bytes" : " words"));
        st_lgt = st_agt = st_eq = 2;  // neither 0 nor 1: every flag must be written
        std::uint8_t sb = std::uint8_t(s >> 8), db = std::uint8_t(d_word >> 8);
        byte ? compare_bytes(sb, db) : compare_words(s, d_word);
        int signed_order = byte ? order(std::int8_t(sb), std::int8_t(db))
                                : order(std::int16_t(s), std::int16_t(d_word));
        int unsigned_order = byte ? order(sb, db) : order(s, d_word);
        EXPECT_EQ(d->condition(status()),
                  expected_after_compare(d->op, signed_order, unsigned_order));
      }
    }
  }
}

// The carry and overflow jumps after additions that set neither, one or both.
TEST(OpTable, CarryAndOverflowJumpsAfterAddition) {
  const struct { std::uint16_t d, s; bool carry, overflow; } sums[] = {
      {0x0001, 0x0001, false, false}, {0xFFFF, 0x0001, true, false},
      {0x7FFF, 0x0001, false, true}, {0x8000, 0x8000, true, true}};
  for (auto c : sums) {
    add_words(c.d, c.s);
    EXPECT_EQ(describe(Op::JOC).condition(status()), c.carry);
    EXPECT_EQ(describe(Op::JNC).condition(status()), !c.carry);
    EXPECT_EQ(describe(Op::JNO).condition(status()), !c.overflow);
  }
}

// Liveness trusts flags_read: a condition must depend on every flag listed
// there and on no other.
TEST(OpTable, EachConditionReadsExactlyItsListedFlags) {
  for (const OpDescription* d = op_table_begin(); d != op_table_end(); ++d) {
    if (!d->condition) continue;
    for (unsigned flag = 1; flag & ALL_FLAGS; flag <<= 1) {
      bool matters = false;
      for (unsigned bits = 0; bits <= ALL_FLAGS; ++bits) {
        auto status_of = [](unsigned b) {
          return Status{b & FLAG_LGT ? 1u : 0u, b & FLAG_AGT ? 1u : 0u, b & FLAG_EQ ? 1u : 0u,
                        b & FLAG_C ? 1u : 0u, b & FLAG_OV ? 1u : 0u};
        };
        matters |= d->condition(status_of(bits)) != d->condition(status_of(bits ^ flag));
      }
      EXPECT_EQ(matters, (d->flags_read & flag) != 0) << d->mnemonic << " flag " << flag;
    }
  }
}

TEST(OpTable, DecodesEveryFormAndRefusesUnassignedWords) {
  const struct {
    std::uint16_t address;
    std::vector<std::uint16_t> words;
    const char* text;
  } cases[] = {
      {0x0024, {0x020D, 0x9800}, "LI R13,>9800"},  // one of each format, every addressing mode
      {0x0100, {0x11FF}, "JLT >0100"},
      {0x0100, {0x045B}, "B *R11"},
      {0x0100, {0x06A0, 0x0864}, "BL @>0864"},
      {0x0100, {0xC820, 0x8300, 0x8302}, "MOV @>8300,@>8302"},
      {0x0100, {0xDCE0, 0x9000}, "MOVB @>9000,*R3+"},
      {0x0100, {0x9D34}, "CB *R4+,*R4+"},
      {0x0100, {0x2260, 0x0030}, "COC @>0030,R9"},
      {0x0100, {0x3220, 0x8300}, "LDCR @>8300,8"},
      {0x0100, {0x0988}, "SRL R8,8"},
      {0x0100, {0x1D00}, "SBO 0"},
      {0x0100, {0x02CE}, "STST R14"},
      {0x0100, {0x0C00}, "word >0C00 at >0100 is no TMS9900 instruction"},  // holes beside
      {0x0100, {0x0320}, "word >0320 at >0100 is no TMS9900 instruction"},  // instructions
      {0x0100, {0x0780}, "word >0780 at >0100 is no TMS9900 instruction"},
      {0x0100, {0x0200}, "instruction at >0100 runs past the end of the ROM"},
  };
  for (const auto& c : cases) {
    RomImage rom;
    rom.bytes.resize(c.address);
    for (std::uint16_t w : c.words)
      rom.bytes.insert(rom.bytes.end(), {std::uint8_t(w >> 8), std::uint8_t(w)});
    Instruction in;
    std::string error;
    bool decoded = decode_instruction(rom, c.address, in, error);
    EXPECT_EQ(decoded ? disassemble(in) : error, c.text);
    if (decoded) {
      EXPECT_EQ(in.length, int(2 * c.words.size())) << c.text;
    }
  }
}

}  // namespace
