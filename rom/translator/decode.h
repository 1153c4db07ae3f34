// Decoding of TMS9900 instruction words for the build-time translator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class Op {
  // Format I: two general operands
  SZC, SZCB, S, SB, C, CB, A, AB, MOV, MOVB, SOC, SOCB,
  // Format II: jumps and single CRU bits
  JMP, JLT, JLE, JEQ, JHE, JGT, JNE, JNC, JOC, JNO, JL, JH, JOP, SBO, SBZ, TB,
  // Format III / IX: general source, register or count
  COC, CZC, XOR, XOP, LDCR, STCR, MPY, DIV,
  // Format V: shifts
  SRA, SRL, SLA, SRC,
  // Format VI: one general operand
  BLWP, B, X, CLR, NEG, INV, INC, INCT, DEC, DECT, BL, SWPB, SETO, ABS,
  // Format VIII: immediates and register-only
  LI, AI, ANDI, ORI, CI, STWP, STST, LWPI, LIMI, IDLE, RSET, RTWP, CKON, CKOF, LREX,
};

// A general operand: mode T and register n; modes with an address word carry it.
struct Operand {
  int mode = 0;  // 0 Rn, 1 *Rn, 2 @a or @a(Rn), 3 *Rn+
  int reg = 0;
  std::uint16_t word = 0;  // symbolic or index address (mode 2)
};

struct Instruction {
  std::uint16_t address = 0;
  int length = 2;  // bytes: 2, 4 or 6
  Op op = Op::MOV;
  Operand src;  // the general operand of formats I, III, VI; source of format I
  Operand dst;  // destination of format I
  int reg = 0;             // register of formats III, V, VIII (the count of LDCR/STCR)
  int count = 0;           // shift count field, or the LDCR/STCR count (0 means 16 there)
  int displacement = 0;    // signed displacement of format II
  std::uint16_t immediate = 0;  // immediate word of format VIII
};

// The ROM being translated: its bytes from address 0 upwards.
struct RomImage {
  std::vector<std::uint8_t> bytes;
  bool contains(std::uint32_t address, std::uint32_t length = 1) const {
    return address + length <= bytes.size();
  }
  std::uint16_t word(std::uint32_t address) const {
    return std::uint16_t(bytes[address] << 8 | bytes[address + 1]);
  }
};

// Decodes the instruction at address. Returns false with a message in error
// when the word is no TMS9900 instruction or runs past the end of the image.
bool decode_instruction(const RomImage& rom, std::uint16_t address, Instruction& out,
                        std::string& error);

// Whether the translated code has a rule for the instruction.
bool is_translatable(Op op);

// Byte instructions: MOVB and the other Format I byte forms, and LDCR/STCR of
// 1 to 8 bits.
bool is_byte_instruction(const Instruction& in);

// Jump destination of a Format II jump.
std::uint16_t jump_destination(const Instruction& in);

const char* mnemonic(Op op);
std::string disassemble(const Instruction& in);
