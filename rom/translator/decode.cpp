#include "rom/translator/decode.h"

#include <cstdio>

namespace {

Operand general_operand(unsigned mode, unsigned reg) { return Operand{int(mode), int(reg), 0}; }

// Reads the address word of a mode-2 operand, if any, from the next free word.
bool take_operand_word(const RomImage& rom, Instruction& in, Operand& op) {
  if (op.mode != 2) return true;
  if (!rom.contains(in.address + in.length, 2)) return false;
  op.word = rom.word(in.address + in.length);
  in.length += 2;
  return true;
}

// The operand fields of word, by form.
void take_fields(Form form, unsigned w, Instruction& in) {
  switch (form) {
    case Form::TWO_GENERAL:
      in.src = general_operand((w >> 4) & 3, w & 15);
      in.dst = general_operand((w >> 10) & 3, (w >> 6) & 15);
      break;
    case Form::JUMP: case Form::CRU_BIT:
      in.displacement = std::int8_t(w & 0xFF);
      break;
    case Form::GENERAL_REGISTER: case Form::GENERAL_COUNT:
      in.src = general_operand((w >> 4) & 3, w & 15);
      in.reg = (w >> 6) & 15;
      in.count = in.reg;
      break;
    case Form::SHIFT:
      in.count = (w >> 4) & 15;
      in.reg = w & 15;
      break;
    case Form::ONE_GENERAL:
      in.src = general_operand((w >> 4) & 3, w & 15);
      break;
    default:
      in.reg = w & 15;
      break;
  }
}

bool has_immediate(Form form) {
  return form == Form::REGISTER_IMMEDIATE || form == Form::IMMEDIATE;
}

std::string register_text(int n) {
  char text[8];
  std::snprintf(text, sizeof text, "R%d", n);
  return text;
}

std::string operand_text(const Operand& op) {
  char text[24];
  switch (op.mode) {
    case 0: std::snprintf(text, sizeof text, "R%d", op.reg); break;
    case 1: std::snprintf(text, sizeof text, "*R%d", op.reg); break;
    case 2:
      if (op.reg == 0)
        std::snprintf(text, sizeof text, "@>%04X", unsigned(op.word));
      else
        std::snprintf(text, sizeof text, "@>%04X(R%d)", unsigned(op.word), op.reg);
      break;
    default: std::snprintf(text, sizeof text, "*R%d+", op.reg); break;
  }
  return text;
}

}  // namespace

std::string hex_word(unsigned value, const char* prefix) {
  char text[16];
  std::snprintf(text, sizeof text, "%s%04X", prefix, value & 0xFFFF);
  return text;
}

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
  const OpDescription* description = match_opcode(std::uint16_t(w));
  if (!description) {
    std::snprintf(text, sizeof text, "word >%04X at >%04X is no TMS9900 instruction", w, address);
    error = text;
    return false;
  }
  in.op = description->op;
  take_fields(description->form, w, in);
  bool complete = take_operand_word(rom, in, in.src) && take_operand_word(rom, in, in.dst);
  if (complete && has_immediate(description->form)) {
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

bool is_byte_instruction(const Instruction& in) {
  if (in.op == Op::LDCR || in.op == Op::STCR) return in.count >= 1 && in.count <= 8;
  return describe(in.op).byte;
}

std::uint16_t jump_destination(const Instruction& in) {
  return std::uint16_t(in.address + 2 + 2 * in.displacement);
}

std::string disassemble(const Instruction& in) {
  const OpDescription& d = describe(in.op);
  std::string name = std::string(d.mnemonic) + " ";
  std::string reg = register_text(in.reg);
  switch (d.form) {
    case Form::TWO_GENERAL: return name + operand_text(in.src) + "," + operand_text(in.dst);
    case Form::JUMP: return name + hex_word(jump_destination(in));
    case Form::CRU_BIT: return name + std::to_string(in.displacement);
    case Form::GENERAL_REGISTER: return name + operand_text(in.src) + "," + reg;
    case Form::GENERAL_COUNT: return name + operand_text(in.src) + "," + std::to_string(in.count);
    case Form::SHIFT: return name + reg + "," + std::to_string(in.count);
    case Form::ONE_GENERAL: return name + operand_text(in.src);
    case Form::REGISTER_IMMEDIATE: return name + reg + "," + hex_word(in.immediate);
    case Form::REGISTER: return name + reg;
    case Form::IMMEDIATE: return name + hex_word(in.immediate);
    default: return d.mnemonic;
  }
}
