#include "rom/translator/liveness.h"

#include <algorithm>
#include <bit>

namespace {

// The flags read at the start of the instruction, before it writes any.
unsigned flags_read(const Instruction& in, bool probed) {
  if (probed || is_computed_branch(in)) return ALL_FLAGS;
  return describe(in.op).flags_read;
}

}  // namespace

FlagLiveness find_flag_liveness(const TranslatedSet& set,
                                const std::vector<std::uint16_t>& probes) {
  FlagLiveness live_after;
  std::map<std::uint16_t, unsigned> live_before;
  for (const auto& [address, in] : set) live_after[address] = live_before[address] = 0;
  // Backward passes until nothing changes; flags only ever become live.
  for (bool changed = true; changed;) {
    changed = false;
    for (auto it = set.rbegin(); it != set.rend(); ++it) {
      const Instruction& in = it->second;
      unsigned after = 0;
      for (std::uint16_t next : successors(in)) after |= live_before.at(next);
      bool probed = std::find(probes.begin(), probes.end(), in.address) != probes.end();
      unsigned before = flags_read(in, probed) | (after & ~describe(in.op).flags_written);
      if (after != live_after[in.address] || before != live_before[in.address]) {
        live_after[in.address] = after;
        live_before[in.address] = before;
        changed = true;
      }
    }
  }
  return live_after;
}

unsigned flags_to_store(const FlagLiveness& liveness, const Instruction& in) {
  return describe(in.op).flags_written & liveness.at(in.address);
}

FlagStoreCount count_flag_stores(const TranslatedSet& set, const FlagLiveness& liveness) {
  FlagStoreCount count;
  for (const auto& [address, in] : set) {
    count.written += unsigned(std::popcount(describe(in.op).flags_written));
    count.stored += unsigned(std::popcount(flags_to_store(liveness, in)));
  }
  return count;
}
