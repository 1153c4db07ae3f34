#include "rom/translator/emit.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>

#include "machine/address_space.h"

namespace {

std::string hex(unsigned value) { return hex_word(value, "0x"); }
std::string label(std::uint16_t address) { return hex_word(address, "L_"); }

// The workspace never moves (the translated set has no instruction that
// changes it), so a register is a constant address.
std::string register_address(const EmitOptions& options, int n) {
  return hex(options.workspace + 2 * n);
}

// MOVB and CB reach memory through the device functions, except for registers
// and constant addresses in the ROM or the scratchpad.
bool uses_device_path(const Instruction& in, const Operand& op) {
  if (in.op != Op::MOVB && in.op != Op::CB) return false;
  if (op.mode == 0) return false;
  if (!is_symbolic(op)) return true;
  return !(is_console_rom(op.word) || is_scratchpad(op.word));
}

// Where an operand lives: a cpu_mem address (an expression), its size, and
// whether the device functions serve it.
struct Location {
  std::string address;
  bool byte = false;
  bool device = false;
};

std::string read(const Location& at) {
  if (!at.byte) return "read_word(" + at.address + ")";
  return at.device ? "mem_read_byte(" + at.address + ")" : "cpu_mem[" + at.address + "]";
}

std::string store(const Location& at, const std::string& value) {
  if (!at.byte) return " write_word(" + at.address + ", " + value + ");";
  if (at.device) return " mem_write_byte(" + at.address + ", " + value + ");";
  return " cpu_mem[" + at.address + "] = " + value + ";";
}

// Emits the statements that form a general operand's address (with its
// increment) and returns where the operand is.
Location general(std::ostream& out, const EmitOptions& options, const Instruction& in,
                 const Operand& op, bool byte, const char* name) {
  Location at{name, byte, uses_device_path(in, op)};
  switch (op.mode) {
    case 0:
      at.address = register_address(options, op.reg);
      break;
    case 1:
      out << " std::uint16_t " << name << " = " << read({register_address(options, op.reg)})
          << ";";
      break;
    case 2:
      if (op.reg == 0) {
        at.address = hex(op.word);
        break;
      }
      out << " std::uint16_t " << name << " = std::uint16_t(" << hex(op.word) << " + "
          << read({register_address(options, op.reg)}) << ");";
      break;
    default:
      out << " std::uint16_t " << name << " = post_increment(" << register_address(options, op.reg)
          << ", " << (byte ? 1 : 2) << ");";
      break;
  }
  return at;
}

std::string flag_set(unsigned flags) {
  if (flags == 0) return "0";
  if (flags == ALL_FLAGS) return "ALL_FLAGS";
  static const char* const names[] = {"FLAG_LGT", "FLAG_AGT", "FLAG_EQ", "FLAG_C", "FLAG_OV"};
  std::string text;
  for (int i = 0; i < 5; ++i)
    if (flags & (1u << i)) text += (text.empty() ? "" : " | ") + std::string(names[i]);
  return text;
}

// The call of the op's semantics function; a function that sets flags is
// told which of them to store.
std::string call(const OpDescription& d, unsigned store_flags,
                 const std::vector<std::string>& arguments,
                 const std::string& extra_template_argument = "") {
  std::string text = d.semantics;
  if (d.flags_written) {
    text += '<';
    text += flag_set(store_flags);
    text += extra_template_argument;
    text += '>';
  }
  text += "(";
  for (std::size_t i = 0; i < arguments.size(); ++i) text += (i ? ", " : "") + arguments[i];
  return text + ")";
}

std::string cru_base(const EmitOptions& options) {
  return "cru_base(" + read({register_address(options, 12)}) + ")";
}

// Every op that is not a transfer of control: source, destination, effect.
void emit_data(std::ostream& out, const EmitOptions& options, const Instruction& in,
               const OpDescription& d, unsigned store_flags) {
  bool byte = is_byte_instruction(in);
  std::vector<std::string> source;  // the source value, when the form has one
  switch (d.form) {
    case Form::TWO_GENERAL: case Form::GENERAL_REGISTER: case Form::GENERAL_COUNT:
      if (d.effect != Effect::CRU_STORE) {  // STCR's general operand is its destination
        Location at = general(out, options, in, in.src, byte, "sa");
        out << " " << (byte ? "std::uint8_t" : "std::uint16_t") << " s = " << read(at) << ";";
        source = {"s"};
      }
      break;
    case Form::SHIFT:
      source = {in.count ? std::to_string(in.count)
                         : "shift_count(cpu_mem[" + hex(options.workspace + 1) + "])"};
      break;
    case Form::REGISTER_IMMEDIATE: case Form::IMMEDIATE:
      source = {hex(in.immediate)};
      break;
    default:
      break;
  }
  Location destination;
  switch (d.form) {
    case Form::TWO_GENERAL: destination = general(out, options, in, in.dst, byte, "da"); break;
    case Form::ONE_GENERAL: destination = general(out, options, in, in.src, false, "a"); break;
    case Form::GENERAL_COUNT:  // LDCR has none; STCR's is its general operand
      if (d.effect == Effect::CRU_STORE) destination = general(out, options, in, in.src, byte, "a");
      break;
    default: destination = {register_address(options, in.reg)}; break;
  }
  std::string count = std::to_string(in.count ? in.count : 16);
  auto f = [&](const std::vector<std::string>& arguments, const std::string& extra = "") {
    return call(d, store_flags, arguments, extra);
  };
  switch (d.effect) {
    case Effect::STORE:
      out << store(destination, f(source));
      break;
    case Effect::UPDATE: {
      std::vector<std::string> arguments = {read(destination)};
      arguments.insert(arguments.end(), source.begin(), source.end());
      out << store(destination, f(arguments));
      break;
    }
    case Effect::COMPARE:  // CI compares the register with the immediate
      if (d.form == Form::REGISTER_IMMEDIATE)
        out << " " << f({read(destination), source[0]}) << ";";
      else
        out << " " << f({source[0], read(destination)}) << ";";
      break;
    case Effect::REGISTER_PAIR: out << " " << f({source[0], destination.address}) << ";"; break;
    case Effect::CALL: out << " " << f(source) << ";"; break;
    case Effect::CRU_LOAD: out << " " << f({source[0], count, cru_base(options)}) << ";"; break;
    case Effect::CRU_STORE:
      out << store(destination,
                   f({count, cru_base(options)}, byte ? ", std::uint8_t" : ", std::uint16_t"));
      break;
    case Effect::CRU_BIT:
      out << " " << f({cru_base(options), std::to_string(in.displacement)}) << ";";
      break;
    default:
      break;
  }
}

// Sites with at most this many known destinations compare the branch target
// with each; larger ones switch on the entry number.
constexpr std::size_t SMALL_SITE = 4;

std::size_t entry_number(const Translation& t, std::uint16_t address) {
  auto at = std::find(t.entries.begin(), t.entries.end(), address);
  return std::size_t(at - t.entries.begin()) + 1;
}

// B and BL: a symbolic address is a host jump; anything else is computed.
// A site with known destinations dispatches on its own, and leaves any other
// value to the shared dispatch step.
void emit_branch(std::ostream& out, const Translation& t, const Instruction& in) {
  if (describe(in.op).effect == Effect::BRANCH_AND_LINK)
    out << store({register_address(t.options, 11)}, hex(in.address + in.length));
  if (is_symbolic(in.src)) {
    out << " goto " << label(in.src.word & 0xFFFE) << ";";
    return;
  }
  Location at = general(out, t.options, in, in.src, false, "a");
  out << " branch_target = std::uint16_t(" << at.address << " & 0xFFFE);";
  auto known = t.site_targets.find(in.address);
  if (known == t.site_targets.end()) {
    out << " goto dispatch;";
  } else if (known->second.size() <= SMALL_SITE) {
    out << "\n    switch (branch_target) {";
    for (std::uint16_t target : known->second)
      out << " case " << hex(target) << ": goto " << label(target) << ";";
    out << " default: goto dispatch; }";
  } else {
    out << "\n    if (is_console_rom(branch_target)) switch (" << t.options.table_name
        << "[branch_target]) {";
    for (std::uint16_t target : known->second)
      out << "\n      case " << entry_number(t, target) << ": goto " << label(target) << ";";
    out << "\n      default: break;\n    }\n    goto dispatch;";
  }
}

void emit_body(std::ostream& out, const Translation& t, const Instruction& in) {
  const OpDescription& d = describe(in.op);
  switch (d.effect) {
    case Effect::JUMP:
      if (d.condition)
        out << " if (" << d.semantics << "(status())) goto " << label(jump_destination(in)) << ";";
      else
        out << " goto " << label(jump_destination(in)) << ";";
      return;
    case Effect::BRANCH: case Effect::BRANCH_AND_LINK:
      return emit_branch(out, t, in);
    default:
      return emit_data(out, t.options, in, d, flags_to_store(t.liveness, in));
  }
}

// The address after an instruction that falls through to it when the
// listing order does not put it next: it needs a label and a goto.
bool separated_follower(const TranslatedSet& set, TranslatedSet::const_iterator it,
                        std::uint16_t& follower) {
  const Instruction& in = it->second;
  follower = std::uint16_t(in.address + in.length);
  auto next = std::next(it);
  return falls_through(in) && (next == set.end() || next->first != follower);
}

// Addresses that need a label: the start, the resume point, entries, direct
// destinations, and fall-through successors that the listing order separates.
std::set<std::uint16_t> labelled_addresses(const Translation& t) {
  std::set<std::uint16_t> labels(t.entries.begin(), t.entries.end());
  labels.insert(t.options.start);
  labels.insert(t.options.resume);
  for (auto it = t.set.begin(); it != t.set.end(); ++it) {
    const Instruction& in = it->second;
    std::uint16_t destination;
    if (direct_destination(in, destination)) labels.insert(destination);
    std::uint16_t follower;
    if (separated_follower(t.set, it, follower)) labels.insert(follower);
  }
  return labels;
}

// The statements of one instruction (without its label); a probed one
// begins with a call of translation_probe(address).
std::string emit_instruction(const Translation& t, const Instruction& in) {
  std::ostringstream out;
  out << "{";
  const std::vector<std::uint16_t>& probes = t.options.probes;
  if (std::find(probes.begin(), probes.end(), in.address) != probes.end())
    out << " TRANSLATION_PROBE(" << hex(in.address) << ");";
  out << " COUNT_INSTRUCTION();";
  emit_body(out, t, in);
  out << " }";
  return out.str();
}

}  // namespace

std::string emit_translation(const Translation& t) {
  const EmitOptions& options = t.options;
  std::ostringstream out;
  out << "// Generated at build time by the console ROM translator";
  if (!options.source_name.empty()) out << " from " << options.source_name;
  out << ".\n// " << t.set.size() << " instructions, " << t.entries.size()
      << " entries. Do not edit; never commit.\n"
         "#include <cstdio>\n\n"
         "#include \"automation/rom_hook.h\"\n"
         "#include \"rom/entry_table.h\"\n"
         "#include \"rom/tms9900_ops.h\"\n\n";
  if (!options.probes.empty())
    out << "// A test that defines TI99_TRANSLATION_PROBE watches the probed addresses.\n"
           "#ifdef TI99_TRANSLATION_PROBE\n"
           "void translation_probe(std::uint16_t);\n"
           "#define TRANSLATION_PROBE(address) translation_probe(address)\n"
           "#else\n"
           "#define TRANSLATION_PROBE(address) ((void)0)\n"
           "#endif\n\n";
  out << "static constexpr std::uint16_t " << options.table_name << "_addresses[] = {";
  for (std::size_t i = 0; i < t.entries.size(); ++i)
    out << (i % 12 ? " " : "\n    ") << hex(t.entries[i]) << ",";
  out << "\n};\nextern const EntryTable " << options.table_name << " = build_entry_table("
      << options.table_name << "_addresses);\n\n";

  std::set<std::uint16_t> labels = labelled_addresses(t);
  out << "int " << options.function_name << "() {\n  goto " << label(options.start) << ";\n";
  for (auto it = t.set.begin(); it != t.set.end(); ++it) {
    const Instruction& in = it->second;
    if (labels.count(in.address)) out << label(in.address) << ":\n";
    out << "  // " << hex_word(in.address) << " " << disassemble(in) << "\n  "
        << emit_instruction(t, in) << "\n";
    std::uint16_t follower;
    if (separated_follower(t.set, it, follower)) out << "  goto " << label(follower) << ";\n";
  }
  out << "\ndispatch:\n  if (is_console_rom(branch_target)) {\n    switch (" << options.table_name
      << "[branch_target]) {\n";
  for (std::size_t i = 0; i < t.entries.size(); ++i)
    out << "      case " << i + 1 << ": goto " << label(t.entries[i]) << ";\n";
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
