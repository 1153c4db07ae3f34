#include "rom/translator/emit.h"

#include <cstdio>
#include <set>
#include <sstream>

namespace {

std::string hex(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFF);
  return text;
}

std::string label(std::uint16_t address) {
  char text[8];
  std::snprintf(text, sizeof text, "L_%04X", address);
  return text;
}

bool is_symbolic(const Operand& op) { return op.mode == 2 && op.reg == 0; }

// MOVB and CB reach memory through the device functions, except for registers
// and constant addresses in the ROM or the scratchpad.
bool uses_device_path(const Instruction& in, const Operand& op) {
  if (in.op != Op::MOVB && in.op != Op::CB) return false;
  if (op.mode == 0) return false;
  if (!is_symbolic(op)) return true;
  bool rom = op.word <= 0x1FFF;
  bool scratchpad = op.word >= 0x8300 && op.word <= 0x83FF;
  return !(rom || scratchpad);
}

// Emits the statements that form an operand's address (with its increment)
// and returns the expression that names it.
std::string operand_address(std::ostream& out, const Operand& op, bool byte, const char* name) {
  std::string n = std::to_string(op.reg);
  switch (op.mode) {
    case 0:
      return "reg_address(" + n + ")";
    case 1:
      out << " std::uint16_t " << name << " = reg(" << n << ");";
      return name;
    case 2:
      if (op.reg == 0) return hex(op.word);
      out << " std::uint16_t " << name << " = std::uint16_t(" << hex(op.word) << " + reg(" << n
          << "));";
      return name;
    default:
      out << " std::uint16_t " << name << " = post_increment(" << n << ", " << (byte ? 1 : 2)
          << ");";
      return name;
  }
}

std::string read_byte(bool device, const std::string& address) {
  return device ? "mem_read_byte(" + address + ")" : "cpu_mem[" + address + "]";
}

std::string read_word(const std::string& address) { return "read_word(" + address + ")"; }

// Two general operands (format I).
void emit_two_operand(std::ostream& out, const Instruction& in) {
  bool byte = is_byte_instruction(in);
  std::string sa = operand_address(out, in.src, byte, "sa");
  if (byte) {
    out << " std::uint8_t s = " << read_byte(uses_device_path(in, in.src), sa) << ";";
  } else {
    out << " std::uint16_t s = " << read_word(sa) << ";";
  }
  std::string da = operand_address(out, in.dst, byte, "da");
  std::string d = byte ? "cpu_mem[" + da + "]" : read_word(da);
  auto store = [&](const std::string& value) {
    if (byte)
      out << " cpu_mem[" << da << "] = " << value << ";";
    else
      out << " write_word(" << da << ", " << value << ");";
  };
  switch (in.op) {
    case Op::MOV: store("s"); out << " result_word(s);"; break;
    case Op::MOVB:
      if (uses_device_path(in, in.dst))
        out << " mem_write_byte(" << da << ", s);";
      else
        store("s");
      out << " result_byte(s);";
      break;
    case Op::A: store("add_words(" + d + ", s)"); break;
    case Op::AB: store("add_bytes(" + d + ", s)"); break;
    case Op::S: store("subtract_words(" + d + ", s)"); break;
    case Op::SB: store("subtract_bytes(" + d + ", s)"); break;
    case Op::SOC: store("or_words(" + d + ", s)"); break;
    case Op::SOCB: store("or_bytes(" + d + ", s)"); break;
    case Op::SZC: store("clear_bits_word(" + d + ", s)"); break;
    case Op::SZCB: store("clear_bits_byte(" + d + ", s)"); break;
    case Op::C: out << " compare_words(s, " << d << ");"; break;
    case Op::CB: out << " compare_bytes(s, " << read_byte(uses_device_path(in, in.dst), da) << ");"; break;
    default: break;
  }
}

// General source and a register or count (formats III and IX).
void emit_source_and_register(std::ostream& out, const Instruction& in) {
  std::string d = std::to_string(in.reg);
  bool byte = is_byte_instruction(in);
  std::string sa = operand_address(out, in.src, byte, "sa");
  unsigned count = in.count ? in.count : 16;
  switch (in.op) {
    case Op::COC: out << " compare_ones(" << read_word(sa) << ", reg(" << d << "));"; break;
    case Op::CZC: out << " compare_zeros(" << read_word(sa) << ", reg(" << d << "));"; break;
    case Op::XOR: out << " set_reg(" << d << ", xor_words(reg(" << d << "), " << read_word(sa) << "));"; break;
    case Op::MPY: out << " multiply(" << read_word(sa) << ", " << d << ");"; break;
    case Op::DIV: out << " divide(" << read_word(sa) << ", " << d << ");"; break;
    case Op::LDCR:
      if (byte)
        out << " std::uint8_t s = cpu_mem[" << sa << "]; load_cru(s, " << count << "); result_byte(s);";
      else
        out << " std::uint16_t s = " << read_word(sa) << "; load_cru(s, " << count << "); result_word(s);";
      break;
    case Op::STCR:
      if (byte)
        out << " std::uint8_t v = std::uint8_t(store_cru(" << count << ")); cpu_mem[" << sa
            << "] = v; result_byte(v);";
      else
        out << " std::uint16_t v = store_cru(" << count << "); write_word(" << sa
            << ", v); result_word(v);";
      break;
    default: break;
  }
}

void emit_shift(std::ostream& out, const Instruction& in) {
  static const char* const functions[] = {"shift_right_arithmetic", "shift_right_logical",
                                          "shift_left_arithmetic", "shift_right_circular"};
  std::string k = in.count ? std::to_string(in.count) : "shift_count(0)";
  std::string w = std::to_string(in.reg);
  out << " set_reg(" << w << ", " << functions[int(in.op) - int(Op::SRA)] << "(reg(" << w << "), "
      << k << "));";
}

// One general operand (format VI), other than B and BL.
void emit_single_operand(std::ostream& out, const Instruction& in) {
  std::string a = operand_address(out, in.src, false, "a");
  std::string d = read_word(a);
  auto store = [&](const std::string& value) { out << " write_word(" << a << ", " << value << ");"; };
  switch (in.op) {
    case Op::CLR: store("0"); break;
    case Op::SETO: store("0xFFFF"); break;
    case Op::INV: store("invert_word(" + d + ")"); break;
    case Op::NEG: store("negate_word(" + d + ")"); break;
    case Op::ABS: store("absolute_word(" + d + ")"); break;
    case Op::INC: store("add_words(" + d + ", 1)"); break;
    case Op::INCT: store("add_words(" + d + ", 2)"); break;
    case Op::DEC: store("subtract_words(" + d + ", 1)"); break;
    case Op::DECT: store("subtract_words(" + d + ", 2)"); break;
    case Op::SWPB:
      out << " std::uint16_t v = " << d << ";";
      store("std::uint16_t(v << 8 | v >> 8)");
      break;
    default: break;
  }
}

void emit_immediate(std::ostream& out, const Instruction& in) {
  std::string w = std::to_string(in.reg);
  std::string n = hex(in.immediate);
  switch (in.op) {
    case Op::LI: out << " set_reg(" << w << ", " << n << "); result_word(" << n << ");"; break;
    case Op::AI: out << " set_reg(" << w << ", add_words(reg(" << w << "), " << n << "));"; break;
    case Op::ANDI: out << " set_reg(" << w << ", and_words(reg(" << w << "), " << n << "));"; break;
    case Op::ORI: out << " set_reg(" << w << ", or_words(reg(" << w << "), " << n << "));"; break;
    case Op::CI: out << " compare_words(reg(" << w << "), " << n << ");"; break;
    case Op::STST: out << " set_reg(" << w << ", status_word());"; break;
    case Op::LIMI: out << " st_mask = " << n << ";"; break;
    default: break;
  }
}

const char* jump_condition(Op op) {
  switch (op) {
    case Op::JEQ: return "st_eq";
    case Op::JNE: return "!st_eq";
    case Op::JGT: return "st_agt";
    case Op::JLT: return "!st_agt && !st_eq";
    case Op::JH: return "st_lgt && !st_eq";
    case Op::JL: return "!st_lgt && !st_eq";
    case Op::JHE: return "st_lgt || st_eq";
    case Op::JLE: return "!st_lgt || st_eq";
    case Op::JOC: return "st_c";
    case Op::JNC: return "!st_c";
    case Op::JNO: return "!st_ov";
    default: return "true";
  }
}

// B and BL: a symbolic address is a host jump; anything else is computed and
// goes through the dispatch step.
void emit_branch(std::ostream& out, const Instruction& in) {
  if (in.op == Op::BL)
    out << " set_reg(11, " << hex(in.address + in.length) << ");";
  if (is_symbolic(in.src)) {
    out << " goto " << label(in.src.word & 0xFFFE) << ";";
    return;
  }
  std::string a = operand_address(out, in.src, false, "a");
  out << " branch_target = std::uint16_t(" << a << " & 0xFFFE); goto dispatch;";
}

void emit_body(std::ostream& out, const Instruction& in) {
  switch (in.op) {
    case Op::SZC: case Op::SZCB: case Op::S: case Op::SB: case Op::C: case Op::CB:
    case Op::A: case Op::AB: case Op::MOV: case Op::MOVB: case Op::SOC: case Op::SOCB:
      return emit_two_operand(out, in);
    case Op::COC: case Op::CZC: case Op::XOR: case Op::MPY: case Op::DIV: case Op::LDCR:
    case Op::STCR:
      return emit_source_and_register(out, in);
    case Op::SRA: case Op::SRL: case Op::SLA: case Op::SRC:
      return emit_shift(out, in);
    case Op::B: case Op::BL:
      return emit_branch(out, in);
    case Op::SBO: out << " cru_set_bit(" << in.displacement << ", 1);"; return;
    case Op::SBZ: out << " cru_set_bit(" << in.displacement << ", 0);"; return;
    case Op::JMP: out << " goto " << label(jump_destination(in)) << ";"; return;
    default:
      if (in.op > Op::JMP && in.op < Op::JOP) {
        out << " if (" << jump_condition(in.op) << ") goto " << label(jump_destination(in)) << ";";
        return;
      }
      if (in.op >= Op::LI) return emit_immediate(out, in);
      return emit_single_operand(out, in);
  }
}

// Addresses that need a label: the start, the resume point, entries, direct
// destinations, and fall-through successors that the listing order separates.
std::set<std::uint16_t> labelled_addresses(const TranslatedSet& set,
                                           const std::vector<std::uint16_t>& entries,
                                           const EmitOptions& options) {
  std::set<std::uint16_t> labels(entries.begin(), entries.end());
  labels.insert(options.start);
  labels.insert(options.resume);
  for (auto it = set.begin(); it != set.end(); ++it) {
    const Instruction& in = it->second;
    std::uint16_t destination;
    if (direct_destination(in, destination)) labels.insert(destination);
    auto next = std::next(it);
    std::uint16_t follower = std::uint16_t(in.address + in.length);
    if (falls_through(in) && (next == set.end() || next->first != follower)) labels.insert(follower);
  }
  return labels;
}

}  // namespace

std::string emit_instruction(const Instruction& in, bool probe) {
  std::ostringstream out;
  out << "{";
  if (probe) out << " translation_probe(" << hex(in.address) << ");";
  out << " COUNT_INSTRUCTION();";
  emit_body(out, in);
  out << " }";
  return out.str();
}

std::string emit_translation(const TranslatedSet& set, const std::vector<std::uint16_t>& entries,
                             const EmitOptions& options) {
  std::ostringstream out;
  out << "// Generated at build time by the console ROM translator";
  if (!options.source_name.empty()) out << " from " << options.source_name;
  out << ".\n// " << set.size() << " instructions, " << entries.size()
      << " entries. Do not edit; never commit.\n"
         "#include <cstdio>\n\n"
         "#include \"automation/rom_hook.h\"\n"
         "#include \"rom/entry_table.h\"\n"
         "#include \"rom/tms9900_ops.h\"\n\n";
  if (!options.probes.empty()) out << "void translation_probe(std::uint16_t);\n\n";
  out << "static constexpr std::uint16_t " << options.table_name << "_addresses[] = {";
  for (std::size_t i = 0; i < entries.size(); ++i)
    out << (i % 12 ? " " : "\n    ") << hex(entries[i]) << ",";
  out << "\n};\nextern const EntryTable " << options.table_name << " = build_entry_table("
      << options.table_name << "_addresses);\n\n";

  std::set<std::uint16_t> labels = labelled_addresses(set, entries, options);
  std::set<std::uint16_t> probes(options.probes.begin(), options.probes.end());
  out << "int " << options.function_name << "() {\n  goto " << label(options.start) << ";\n";
  for (auto it = set.begin(); it != set.end(); ++it) {
    const Instruction& in = it->second;
    if (labels.count(in.address)) out << label(in.address) << ":\n";
    out << "  // >" << hex(in.address).substr(2) << " " << disassemble(in) << "\n  "
        << emit_instruction(in, probes.count(in.address) != 0) << "\n";
    auto next = std::next(it);
    std::uint16_t follower = std::uint16_t(in.address + in.length);
    if (falls_through(in) && (next == set.end() || next->first != follower))
      out << "  goto " << label(follower) << ";\n";
  }
  out << "\ndispatch:\n  if (branch_target <= 0x1FFF) {\n    switch (" << options.table_name
      << "[branch_target]) {\n";
  for (std::size_t i = 0; i < entries.size(); ++i)
    out << "      case " << i + 1 << ": goto " << label(entries[i]) << ";\n";
  out << "      default: break;\n    }\n  }\n"
      << "  switch (rom_hook()) {\n"
      << "    case HOOK_RESUME: goto " << label(options.resume) << ";\n"
      << "    case HOOK_REDISPATCH: goto dispatch;\n"
      << "    default: break;\n  }\n"
      << "  std::printf(\"not found: $%04X\\n\", branch_target);\n  return 1;\n}\n";
  return out.str();
}

std::string listing_line(const RomImage& rom, const Instruction& in) {
  char text[96];
  std::string words;
  for (int i = 0; i < in.length; i += 2) {
    std::snprintf(text, sizeof text, "%04X ", rom.word(in.address + i));
    words += text;
  }
  std::snprintf(text, sizeof text, ">%04X  %-15s %s", in.address, words.c_str(),
                disassemble(in).c_str());
  return text;
}
