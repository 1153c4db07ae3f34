// Flag liveness over the translated set: which flags some path from an
// instruction can read before an instruction writes them again. Conditional
// jumps and STST read flags; a computed branch counts as reading every flag,
// since the code it reaches (through the dispatch step, rom_hook and the
// entries) is not known here, and so does a probed address.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "rom/translator/reach.h"

// For each address of the set, the FLAG_ bits live after its instruction.
using FlagLiveness = std::map<std::uint16_t, unsigned>;

FlagLiveness find_flag_liveness(const TranslatedSet& set,
                                const std::vector<std::uint16_t>& probes = {});

// The flags the instruction at address must store: those it writes that are
// live after it.
unsigned flags_to_store(const FlagLiveness& liveness, const Instruction& in);

// Flag stores over the whole set: written by the ops, and left to store.
struct FlagStoreCount {
  unsigned written = 0;
  unsigned stored = 0;
};
FlagStoreCount count_flag_stores(const TranslatedSet& set, const FlagLiveness& liveness);
