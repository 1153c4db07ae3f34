// Decoding of TMS9900 instruction words for the build-time translator.
#pragma once

#include <cstdint>
#include <string>

#include "rom/translator/ops.h"
#include "rom/translator/rom_image.h"

// A general operand: mode T and register n; modes with an address word carry it.
struct Operand {
  int mode = 0;  // 0 Rn, 1 *Rn, 2 @a or @a(Rn), 3 *Rn+
  int reg = 0;
  std::uint16_t word = 0;  // symbolic or index address (mode 2)
};

// @a: mode 2 without an index register.
inline bool is_symbolic(const Operand& op) { return op.mode == 2 && op.reg == 0; }

struct Instruction {
  std::uint16_t address = 0;
  int length = 2;  // bytes: 2, 4 or 6
  Op op = Op::MOV;
  Operand src;  // the general operand of formats I, III, VI, IX; source of format I
  Operand dst;  // destination of format I
  int reg = 0;             // register of formats III, V, VIII (the count of LDCR/STCR)
  int count = 0;           // shift count field, or the LDCR/STCR count (0 means 16 there)
  int displacement = 0;    // signed displacement of format II
  std::uint16_t immediate = 0;  // immediate word of format VIII
};

// Decodes the instruction at address. Returns false with a message in error
// when the word is no TMS9900 instruction or runs past the end of the image.
bool decode_instruction(const RomImage& rom, std::uint16_t address, Instruction& out,
                        std::string& error);

// Byte instructions: MOVB and the other Format I byte forms, and LDCR/STCR of
// 1 to 8 bits.
bool is_byte_instruction(const Instruction& in);

// Jump destination of a Format II jump.
std::uint16_t jump_destination(const Instruction& in);

std::string disassemble(const Instruction& in);

// A 16-bit value as four hexadecimal digits after prefix: ">0070", "0x0070", "L_0070".
std::string hex_word(unsigned value, const char* prefix = ">");
