#include "rom/translator/decode.h"

#include <cstdio>

namespace {

constexpr Op FORMAT_I[12] = {Op::SZC, Op::SZCB, Op::S, Op::SB, Op::C,   Op::CB,
                             Op::A,   Op::AB,   Op::MOV, Op::MOVB, Op::SOC, Op::SOCB};
constexpr Op FORMAT_II[16] = {Op::JMP, Op::JLT, Op::JLE, Op::JEQ, Op::JHE, Op::JGT,
                              Op::JNE, Op::JNC, Op::JOC, Op::JNO, Op::JL,  Op::JH,
                              Op::JOP, Op::SBO, Op::SBZ, Op::TB};
constexpr Op FORMAT_III[8] = {Op::COC, Op::CZC, Op::XOR, Op::XOP, Op::LDCR, Op::STCR, Op::MPY, Op::DIV};
constexpr Op FORMAT_V[4] = {Op::SRA, Op::SRL, Op::SLA, Op::SRC};
constexpr Op FORMAT_VI[16] = {Op::BLWP, Op::B,   Op::X,   Op::CLR,  Op::NEG,  Op::INV,
                              Op::INC,  Op::INCT, Op::DEC, Op::DECT, Op::BL,   Op::SWPB,
                              Op::SETO, Op::ABS, Op::ABS, Op::ABS};
constexpr Op FORMAT_VIII[16] = {Op::LI,   Op::AI,   Op::ANDI, Op::ORI,  Op::CI,   Op::STWP,
                                Op::STST, Op::LWPI, Op::LIMI, Op::IDLE, Op::IDLE, Op::RSET,  // [9] unassigned
                                Op::RTWP, Op::CKON, Op::CKOF, Op::LREX};

// Formats VIII that take an immediate word after the instruction.
bool has_immediate(Op op) {
  return op == Op::LI || op == Op::AI || op == Op::ANDI || op == Op::ORI || op == Op::CI ||
         op == Op::LWPI || op == Op::LIMI;
}

Operand operand(unsigned mode, unsigned reg) { return Operand{int(mode), int(reg), 0}; }

// Reads the address word of a mode-2 operand, if any, from the next free word.
bool take_operand_word(const RomImage& rom, Instruction& in, Operand& op) {
  if (op.mode != 2) return true;
  if (!rom.contains(in.address + in.length, 2)) return false;
  op.word = rom.word(in.address + in.length);
  in.length += 2;
  return true;
}

std::string hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, ">%04X", value & 0xFFFF);
  return text;
}

std::string operand_text(const Operand& op) {
  std::string r = "R" + std::to_string(op.reg);
  switch (op.mode) {
    case 0: return r;
    case 1: return "*" + r;
    case 2: return "@" + hex4(op.word) + (op.reg ? "(" + r + ")" : "");
    default: return "*" + r + "+";
  }
}

}  // namespace

bool decode_instruction(const RomImage& rom, std::uint16_t address, Instruction& in,
                        std::string& error) {
  char text[96];
  if ((address & 1) || !rom.contains(address, 2)) {
    std::snprintf(text, sizeof text, "address >%04X is odd or outside the ROM", address);
    error = text;
    return false;
  }
  in = Instruction{};
  in.address = address;
  unsigned w = rom.word(address);
  bool valid = true;
  if (w >= 0x4000) {
    in.op = FORMAT_I[(w >> 12) - 4];
    in.src = operand((w >> 4) & 3, w & 15);
    in.dst = operand((w >> 10) & 3, (w >> 6) & 15);
  } else if (w >= 0x2000) {
    in.op = FORMAT_III[(w >> 10) & 7];
    in.src = operand((w >> 4) & 3, w & 15);
    in.reg = (w >> 6) & 15;
    in.count = in.reg;
  } else if (w >= 0x1000) {
    in.op = FORMAT_II[(w >> 8) & 15];
    in.displacement = std::int8_t(w & 0xFF);
  } else if (w >= 0x0C00) {
    valid = false;
  } else if (w >= 0x0800) {
    in.op = FORMAT_V[(w >> 8) & 3];
    in.count = (w >> 4) & 15;
    in.reg = w & 15;
  } else if (w >= 0x0400) {
    unsigned index = (w >> 6) & 15;
    valid = index < 14;
    in.op = FORMAT_VI[index];
    in.src = operand((w >> 4) & 3, w & 15);
  } else if (w >= 0x0200) {
    unsigned index = (w >> 5) & 15;
    valid = index != 9;  // >0320 is unassigned
    in.op = FORMAT_VIII[index];
    in.reg = w & 15;
  } else {
    valid = false;
  }
  if (!valid) {
    std::snprintf(text, sizeof text, "word >%04X at >%04X is no TMS9900 instruction", w, address);
    error = text;
    return false;
  }
  bool complete = take_operand_word(rom, in, in.src) && take_operand_word(rom, in, in.dst);
  if (complete && has_immediate(in.op)) {
    complete = rom.contains(address + in.length, 2);
    if (complete) in.immediate = rom.word(address + in.length);
    in.length += 2;
  }
  if (!complete) {
    std::snprintf(text, sizeof text, "instruction at >%04X runs past the end of the ROM", address);
    error = text;
    return false;
  }
  return true;
}

bool is_translatable(Op op) {
  switch (op) {
    case Op::X: case Op::BLWP: case Op::RTWP: case Op::LWPI: case Op::STWP: case Op::TB:
    case Op::JOP: case Op::XOP: case Op::IDLE: case Op::RSET: case Op::CKON: case Op::CKOF:
    case Op::LREX:
      return false;
    default:
      return true;
  }
}

bool is_byte_instruction(const Instruction& in) {
  switch (in.op) {
    case Op::SZCB: case Op::SB: case Op::CB: case Op::AB: case Op::MOVB: case Op::SOCB:
      return true;
    case Op::LDCR: case Op::STCR:
      return in.count >= 1 && in.count <= 8;
    default:
      return false;
  }
}

std::uint16_t jump_destination(const Instruction& in) {
  return std::uint16_t(in.address + 2 + 2 * in.displacement);
}

const char* mnemonic(Op op) {
  static const char* const names[] = {
      "SZC", "SZCB", "S", "SB", "C", "CB", "A", "AB", "MOV", "MOVB", "SOC", "SOCB",
      "JMP", "JLT", "JLE", "JEQ", "JHE", "JGT", "JNE", "JNC", "JOC", "JNO", "JL", "JH", "JOP",
      "SBO", "SBZ", "TB",
      "COC", "CZC", "XOR", "XOP", "LDCR", "STCR", "MPY", "DIV",
      "SRA", "SRL", "SLA", "SRC",
      "BLWP", "B", "X", "CLR", "NEG", "INV", "INC", "INCT", "DEC", "DECT", "BL", "SWPB", "SETO",
      "ABS",
      "LI", "AI", "ANDI", "ORI", "CI", "STWP", "STST", "LWPI", "LIMI", "IDLE", "RSET", "RTWP",
      "CKON", "CKOF", "LREX"};
  return names[int(op)];
}

std::string disassemble(const Instruction& in) {
  std::string name = mnemonic(in.op);
  std::string reg = "R" + std::to_string(in.reg);
  switch (in.op) {
    case Op::SZC: case Op::SZCB: case Op::S: case Op::SB: case Op::C: case Op::CB:
    case Op::A: case Op::AB: case Op::MOV: case Op::MOVB: case Op::SOC: case Op::SOCB:
      return name + " " + operand_text(in.src) + "," + operand_text(in.dst);
    case Op::SBO: case Op::SBZ: case Op::TB:
      return name + " " + std::to_string(in.displacement);
    case Op::COC: case Op::CZC: case Op::XOR: case Op::MPY: case Op::DIV:
      return name + " " + operand_text(in.src) + "," + reg;
    case Op::XOP: case Op::LDCR: case Op::STCR:
      return name + " " + operand_text(in.src) + "," + std::to_string(in.count);
    case Op::SRA: case Op::SRL: case Op::SLA: case Op::SRC:
      return name + " " + reg + "," + std::to_string(in.count);
    case Op::LI: case Op::AI: case Op::ANDI: case Op::ORI: case Op::CI:
      return name + " " + reg + "," + hex4(in.immediate);
    case Op::STWP: case Op::STST:
      return name + " " + reg;
    case Op::LWPI: case Op::LIMI:
      return name + " " + hex4(in.immediate);
    case Op::IDLE: case Op::RSET: case Op::RTWP: case Op::CKON: case Op::CKOF: case Op::LREX:
      return name;
    default:
      if (in.op >= Op::JMP && in.op <= Op::JOP) return name + " " + hex4(jump_destination(in));
      return name + " " + operand_text(in.src);
  }
}
