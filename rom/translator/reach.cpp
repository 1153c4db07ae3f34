#include "rom/translator/reach.h"

#include <cstdio>

namespace {

bool is_jump(Op op) { return op >= Op::JMP && op <= Op::JOP; }

bool is_symbolic(const Operand& op) { return op.mode == 2 && op.reg == 0; }

}  // namespace

bool direct_destination(const Instruction& in, std::uint16_t& destination) {
  if (is_jump(in.op)) {
    destination = jump_destination(in);
    return true;
  }
  if ((in.op == Op::B || in.op == Op::BL) && is_symbolic(in.src)) {
    destination = in.src.word & 0xFFFE;
    return true;
  }
  return false;
}

bool falls_through(const Instruction& in) {
  return in.op != Op::JMP && in.op != Op::B && in.op != Op::BL;
}

bool find_translated_set(const RomImage& rom, std::uint16_t start,
                         const std::vector<std::uint16_t>& entries, TranslatedSet& set,
                         std::string& error) {
  // Each pending address with the address it was reached from (itself for roots).
  std::vector<std::pair<std::uint16_t, std::uint16_t>> pending;
  pending.emplace_back(start, start);
  for (std::uint16_t entry : entries) pending.emplace_back(entry, entry);
  char text[160];
  while (!pending.empty()) {
    auto [address, from] = pending.back();
    pending.pop_back();
    if (set.count(address)) continue;
    Instruction in;
    if (!decode_instruction(rom, address, in, error)) {
      std::snprintf(text, sizeof text, " (reached from >%04X)", from);
      error += text;
      return false;
    }
    if (!is_translatable(in.op)) {
      std::snprintf(text, sizeof text,
                    "%s at >%04X (reached from >%04X) is not an instruction of the translated set",
                    disassemble(in).c_str(), address, from);
      error = text;
      return false;
    }
    set[address] = in;
    std::uint16_t destination;
    if (direct_destination(in, destination)) {
      if (!rom.contains(destination, 2)) {
        std::snprintf(text, sizeof text, "%s at >%04X jumps outside the ROM",
                      disassemble(in).c_str(), address);
        error = text;
        return false;
      }
      pending.emplace_back(destination, address);
    }
    if (falls_through(in)) pending.emplace_back(std::uint16_t(address + in.length), address);
  }
  return true;
}
