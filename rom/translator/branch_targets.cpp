#include "rom/translator/branch_targets.h"

#include <algorithm>
#include <array>
#include <bit>
#include <functional>
#include <set>

namespace {

constexpr std::size_t MAX_CONSTANTS = 256;
constexpr std::size_t MAX_OFFSETS = 4;
constexpr std::size_t MAX_FOLLOWED = 16;  // constant destinations the analysis follows

// What a register holds: one of a few constants or the return address of
// the routine being run plus one of a few offsets, or anything.
struct Value {
  bool unknown = true;
  std::set<std::uint16_t> constants;
  std::set<std::uint16_t> offsets;  // from the routine's return address
  bool operator==(const Value&) const = default;
};
using State = std::array<Value, 16>;

Value unknown() { return {}; }

Value known(std::set<std::uint16_t> constants, std::set<std::uint16_t> offsets = {}) {
  if (constants.size() > MAX_CONSTANTS || offsets.size() > MAX_OFFSETS) return unknown();
  if (constants.empty() && offsets.empty()) return unknown();
  return {false, std::move(constants), std::move(offsets)};
}

Value return_address() { return known({}, {0}); }

Value join(const Value& a, const Value& b) {
  if (a.unknown || b.unknown) return unknown();
  std::set<std::uint16_t> constants = a.constants, offsets = a.offsets;
  constants.insert(b.constants.begin(), b.constants.end());
  offsets.insert(b.offsets.begin(), b.offsets.end());
  return known(std::move(constants), std::move(offsets));
}

// f applied to every constant; a return address only moves by an offset.
Value map(const Value& v, const std::function<std::uint16_t(std::uint16_t)>& f) {
  if (v.unknown || !v.offsets.empty()) return unknown();
  std::set<std::uint16_t> values;
  for (std::uint16_t x : v.constants) values.insert(f(x));
  return known(std::move(values));
}

Value add(const Value& v, std::uint16_t k) {
  if (v.unknown) return v;
  std::set<std::uint16_t> constants, offsets;
  for (std::uint16_t x : v.constants) constants.insert(std::uint16_t(x + k));
  for (std::uint16_t x : v.offsets) offsets.insert(std::uint16_t(x + k));
  return known(std::move(constants), std::move(offsets));
}

// Every value that has bits only where mask has them (up to 256 values).
Value every_submask(std::uint16_t mask) {
  if (std::popcount(mask) > 8) return unknown();
  std::set<std::uint16_t> values;
  for (unsigned sub = mask;; sub = (sub - 1) & mask) {
    values.insert(std::uint16_t(sub));
    if (sub == 0) break;
  }
  return known(std::move(values));
}

struct Analysis {
  const RomImage& rom;
  const TranslatedSet& set;
  std::set<std::uint16_t> entries;
  std::uint16_t workspace;
  std::map<std::uint16_t, unsigned> routine_writes;  // routine: the registers it may change
  std::map<std::uint16_t, State> before;             // the state at each analysed address
  std::set<std::uint16_t> pending;  // lowest address first, each once
};

// Words that the ROM holds at the given addresses (forced even).
Value rom_words(const Analysis& a, const Value& addresses, std::uint16_t base) {
  if (addresses.unknown || !addresses.offsets.empty()) return unknown();
  std::set<std::uint16_t> words;
  for (std::uint16_t x : addresses.constants) {
    std::uint16_t at = std::uint16_t((base + x) & 0xFFFE);
    if (!a.rom.contains(at, 2)) return unknown();
    words.insert(a.rom.word(at));
  }
  return known(std::move(words));
}

// A table indexed by a register of unknown value: the run of entry
// addresses that it starts with.
Value table_run(const Analysis& a, std::uint16_t table) {
  std::set<std::uint16_t> words;
  for (std::uint16_t at = table & 0xFFFE; a.rom.contains(at, 2) && words.size() < MAX_CONSTANTS;
       at = std::uint16_t(at + 2)) {
    if (!a.entries.count(a.rom.word(at))) break;
    words.insert(a.rom.word(at));
  }
  return known(std::move(words));
}

// The word value that a general operand reads.
Value operand_value(const Analysis& a, const Operand& op, const State& s) {
  switch (op.mode) {
    case 0: return s[op.reg];
    case 2:
      if (op.reg == 0) return rom_words(a, known({0}), op.word);
      if (s[op.reg].unknown) return table_run(a, op.word);
      return rom_words(a, s[op.reg], op.word);
    default: return rom_words(a, s[op.reg], 0);
  }
}

// The register that an instruction's result goes to, or -1.
int destination_register(const Instruction& in, const OpDescription& d) {
  bool writes = d.effect == Effect::STORE || d.effect == Effect::UPDATE;
  switch (d.form) {
    case Form::TWO_GENERAL: return writes && in.dst.mode == 0 ? in.dst.reg : -1;
    case Form::ONE_GENERAL: return writes && in.src.mode == 0 ? in.src.reg : -1;
    case Form::GENERAL_COUNT:
      return d.effect == Effect::CRU_STORE && in.src.mode == 0 ? in.src.reg : -1;
    case Form::GENERAL_REGISTER:
    case Form::SHIFT:
    case Form::REGISTER_IMMEDIATE:
    case Form::REGISTER: return writes || d.effect == Effect::REGISTER_PAIR ? in.reg : -1;
    default: return -1;
  }
}

// The new value of the destination register d of in, given the state before.
Value result(const Analysis& a, const Instruction& in, const State& s, int d) {
  const Value& old = s[d];
  std::uint16_t imm = in.immediate;
  unsigned k = unsigned(in.count);
  switch (in.op) {
    case Op::MOV: return operand_value(a, in.src, s);
    case Op::LI: return known({imm});
    case Op::CLR: return known({0});
    case Op::SETO: return known({0xFFFF});
    case Op::AI: return add(old, imm);
    case Op::INC: return add(old, 1);
    case Op::INCT: return add(old, 2);
    case Op::DEC: return add(old, 0xFFFF);
    case Op::DECT: return add(old, 0xFFFE);
    case Op::ANDI:
      if (old.unknown) return every_submask(imm);
      return map(old, [imm](std::uint16_t x) { return std::uint16_t(x & imm); });
    case Op::ORI: return map(old, [imm](std::uint16_t x) { return std::uint16_t(x | imm); });
    case Op::SWPB: return map(old, [](std::uint16_t x) { return std::uint16_t(x << 8 | x >> 8); });
    case Op::SRL:
      if (k == 0) return unknown();
      if (old.unknown) return every_submask(std::uint16_t(0xFFFF >> k));
      return map(old, [k](std::uint16_t x) { return std::uint16_t(x >> k); });
    case Op::SLA:
      if (k == 0) return unknown();
      return map(old, [k](std::uint16_t x) { return std::uint16_t(x << k); });
    case Op::A: {
      if (in.src.mode != 0) return unknown();
      if (in.src.reg == in.dst.reg)
        return map(old, [](std::uint16_t x) { return std::uint16_t(2 * x); });
      const Value& other = s[in.src.reg];
      if (old.unknown || other.unknown || !old.offsets.empty() || !other.offsets.empty())
        return unknown();
      std::set<std::uint16_t> sums;
      for (std::uint16_t x : old.constants)
        for (std::uint16_t y : other.constants) sums.insert(std::uint16_t(x + y));
      return known(std::move(sums));
    }
    default: return unknown();
  }
}

bool has_general_source(Form form) {
  return form == Form::TWO_GENERAL || form == Form::GENERAL_REGISTER ||
         form == Form::GENERAL_COUNT || form == Form::ONE_GENERAL;
}

// The registers (bit n for Rn) an instruction itself changes: its result
// register, the register pair of MPY and DIV, auto-incremented registers, a
// constant address inside the workspace, and R11 for BL.
unsigned registers_written(const Analysis& a, const Instruction& in) {
  const OpDescription& d = describe(in.op);
  unsigned mask = 0;
  int destination = destination_register(in, d);
  if (destination >= 0) mask |= 1u << destination;
  if (d.effect == Effect::REGISTER_PAIR && destination < 15) mask |= 2u << destination;
  if (has_general_source(d.form) && in.src.mode == 3) mask |= 1u << in.src.reg;
  if (d.form == Form::TWO_GENERAL && in.dst.mode == 3) mask |= 1u << in.dst.reg;
  const Operand& written = d.form == Form::TWO_GENERAL ? in.dst : in.src;
  bool writes_memory =
      d.effect == Effect::STORE || d.effect == Effect::UPDATE || d.effect == Effect::CRU_STORE;
  unsigned offset = unsigned(written.word - a.workspace);
  if (has_general_source(d.form) && writes_memory && is_symbolic(written) && offset < 32)
    mask |= 1u << (offset / 2);
  if (d.effect == Effect::BRANCH_AND_LINK) mask |= 1u << 11;
  return mask;
}

// The state after an instruction that goes on to its successor or jump
// destination.
State after(const Analysis& a, const Instruction& in, const State& old) {
  const OpDescription& d = describe(in.op);
  State s = old;
  unsigned written = registers_written(a, in);
  for (int r = 0; r < 16; ++r)
    if (written & (1u << r)) s[r] = unknown();
  bool byte = is_byte_instruction(in);
  if (has_general_source(d.form) && in.src.mode == 3)
    s[in.src.reg] = add(old[in.src.reg], byte ? 1 : 2);
  if (d.form == Form::TWO_GENERAL && in.dst.mode == 3)
    s[in.dst.reg] = add(s[in.dst.reg], byte ? 1 : 2);
  int destination = destination_register(in, d);
  if (destination >= 0 && !byte) s[destination] = result(a, in, old, destination);
  return s;
}

// The computed destination of a branch: its operand's address.
Value branch_address(const Instruction& in, const State& s) {
  switch (in.src.mode) {
    case 1:
    case 3: return s[in.src.reg];
    case 2: return add(s[in.src.reg], in.src.word);
    default: return unknown();
  }
}

void flow(Analysis& a, std::uint16_t address, const State& s) {
  if (!a.set.count(address)) return;
  auto [it, inserted] = a.before.try_emplace(address, s);
  if (!inserted) {
    State joined;
    for (int r = 0; r < 16; ++r) joined[r] = join(it->second[r], s[r]);
    if (joined == it->second) return;
    it->second = std::move(joined);
  }
  a.pending.insert(address);
}

// The return points of a BL: the next address, and the one after an
// in-line argument word; only entries count.
std::vector<std::uint16_t> return_points(const Analysis& a, const Instruction& in) {
  std::vector<std::uint16_t> points;
  for (int skip : {0, 2}) {
    std::uint16_t at = std::uint16_t(in.address + in.length + skip);
    if (a.entries.count(at)) points.push_back(at);
  }
  return points;
}

void analyse(Analysis& a, const Instruction& in, const State& s) {
  Effect effect = describe(in.op).effect;
  if (effect == Effect::BRANCH_AND_LINK) {
    // Into the routine, a return address relative to the caller means
    // nothing; back at a return point, what the routine may change is lost.
    bool known_routine = is_symbolic(in.src);
    unsigned changed = known_routine ? a.routine_writes[in.src.word & 0xFFFE] | 1u << 11 : 0xFFFF;
    State callee = s, caller = s;
    for (int r = 0; r < 16; ++r) {
      if (!callee[r].offsets.empty()) callee[r] = unknown();
      bool return_address_only = !s[r].unknown && s[r].constants.empty();
      if ((changed & (1u << r)) && !(return_address_only && r != 11)) caller[r] = unknown();
    }
    callee[11] = return_address();
    if (known_routine) flow(a, in.src.word & 0xFFFE, callee);
    for (std::uint16_t point : return_points(a, in)) flow(a, point, caller);
    return;
  }
  State next = after(a, in, s);
  for (std::uint16_t successor : successors(in)) flow(a, successor, next);
  // A branch to a few known constants (a small table, a loaded continuation)
  // goes on there like a jump. Returns are left to the callers' return
  // points, and large tables, which are more likely guessed too wide, to the
  // entries' own start.
  Value v = is_computed_branch(in) ? branch_address(in, s) : unknown();
  if (!v.unknown && v.offsets.empty() && v.constants.size() <= MAX_FOLLOWED)
    for (std::uint16_t target : v.constants)
      if (a.entries.count(target & 0xFFFE)) flow(a, target & 0xFFFE, next);
}

// The instructions a routine runs from its first address: its own code and,
// past each BL it makes, the code at the BL's return points.
std::set<std::uint16_t> routine_body(const Analysis& a, std::uint16_t first) {
  std::set<std::uint16_t> body;
  std::vector<std::uint16_t> pending = {first};
  while (!pending.empty()) {
    std::uint16_t address = pending.back();
    pending.pop_back();
    if (!a.set.count(address) || !body.insert(address).second) continue;
    const Instruction& in = a.set.at(address);
    if (describe(in.op).effect == Effect::BRANCH_AND_LINK) {
      for (std::uint16_t point : return_points(a, in)) pending.push_back(point);
      continue;
    }
    for (std::uint16_t successor : successors(in)) pending.push_back(successor);
  }
  return body;
}

}  // namespace

SiteTargets find_site_targets(const RomImage& rom, const TranslatedSet& set,
                              const std::vector<std::uint16_t>& entries, std::uint16_t start,
                              std::uint16_t workspace) {
  Analysis a{rom, set, {entries.begin(), entries.end()}, workspace, {}, {}, {}};
  std::set<std::uint16_t> return_points_of_bls;
  std::map<std::uint16_t, std::set<std::uint16_t>>
      returns_of;  // routine: its callers' return points
  for (const auto& [address, in] : set) {
    if (describe(in.op).effect != Effect::BRANCH_AND_LINK) continue;
    for (std::uint16_t point : return_points(a, in)) {
      return_points_of_bls.insert(point);
      if (is_symbolic(in.src)) returns_of[in.src.word & 0xFFFE].insert(point);
    }
  }
  std::map<std::uint16_t, std::set<std::uint16_t>> bodies;
  for (const auto& [routine, points] : returns_of) bodies[routine] = routine_body(a, routine);
  // What each routine may change, with the routines it calls, until nothing grows.
  for (bool grew = true; grew;) {
    grew = false;
    for (const auto& [routine, body] : bodies) {
      unsigned changed = 0;
      for (std::uint16_t address : body) {
        const Instruction& in = set.at(address);
        changed |= registers_written(a, in);
        if (describe(in.op).effect == Effect::BRANCH_AND_LINK)
          changed |= is_symbolic(in.src) ? a.routine_writes[in.src.word & 0xFFFE] : 0xFFFF;
      }
      if (changed != a.routine_writes[routine]) {
        a.routine_writes[routine] = changed;
        grew = true;
      }
    }
  }

  // From the start, through jumps, calls, returns to the return points and
  // branches to known constants; then from each entry that this has not
  // reached yet, since it may be reached from anywhere, one at a time.
  flow(a, start, State{});
  for (auto entry = entries.begin();; ++entry) {
    while (!a.pending.empty()) {
      std::uint16_t address = *a.pending.begin();
      a.pending.erase(a.pending.begin());
      analyse(a, set.at(address), State(a.before.at(address)));
    }
    while (entry != entries.end() && a.before.count(*entry)) ++entry;
    if (entry == entries.end()) break;
    flow(a, *entry, State{});
  }

  std::map<std::uint16_t, std::set<std::uint16_t>> returns_from;  // site: return points
  for (const auto& [routine, body] : bodies)
    for (std::uint16_t site : body)
      returns_from[site].insert(returns_of[routine].begin(), returns_of[routine].end());

  SiteTargets targets;
  for (const auto& [address, in] : set) {
    if (!is_computed_branch(in) || !a.before.count(address)) continue;
    Value v = branch_address(in, a.before.at(address));
    std::set<std::uint16_t> found = v.constants;
    for (std::uint16_t point : returns_from[address])
      for (std::uint16_t offset : v.offsets) found.insert(std::uint16_t(point + offset));
    std::vector<std::uint16_t> list;
    for (std::uint16_t target : found)
      if (a.entries.count(target & 0xFFFE)) list.push_back(target & 0xFFFE);
    list.erase(std::unique(list.begin(), list.end()), list.end());
    if (!list.empty()) targets[address] = list;
  }
  return targets;
}
