#include "rom/translator/reach.h"

#include <cstdio>

namespace {

bool is_branch(const Instruction& in) {
  Effect effect = describe(in.op).effect;
  return effect == Effect::BRANCH || effect == Effect::BRANCH_AND_LINK;
}

}  // namespace

bool direct_destination(const Instruction& in, std::uint16_t& destination) {
  if (describe(in.op).effect == Effect::JUMP) {
    destination = jump_destination(in);
    return true;
  }
  if (is_branch(in) && is_symbolic(in.src)) {
    destination = in.src.word & 0xFFFE;
    return true;
  }
  return false;
}

bool is_computed_branch(const Instruction& in) { return is_branch(in) && !is_symbolic(in.src); }

bool falls_through(const Instruction& in) {
  const OpDescription& d = describe(in.op);
  if (d.effect == Effect::JUMP) return d.condition != nullptr;
  return !is_branch(in);
}

std::vector<std::uint16_t> successors(const Instruction& in) {
  std::vector<std::uint16_t> next;
  std::uint16_t destination;
  if (direct_destination(in, destination)) next.push_back(destination);
  if (falls_through(in)) next.push_back(std::uint16_t(in.address + in.length));
  return next;
}

bool find_translated_set(const RomImage& rom, std::uint16_t start,
                         const std::vector<std::uint16_t>& entries, TranslatedSet& set,
                         std::string& error) {
  // Each pending address with the address it was reached from (itself for roots).
  std::vector<std::pair<std::uint16_t, std::uint16_t>> pending;
  pending.emplace_back(start, start);
  for (std::uint16_t entry : entries) pending.emplace_back(entry, entry);
  char text[200];
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
    Effect effect = describe(in.op).effect;
    if (effect == Effect::WORKSPACE || effect == Effect::UNTRANSLATED) {
      std::snprintf(text, sizeof text, "%s at >%04X (reached from >%04X) %s",
                    disassemble(in).c_str(), address, from,
                    effect == Effect::WORKSPACE
                        ? "uses the workspace pointer, which the translated code holds fixed"
                        : "is not an instruction of the translated set");
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
