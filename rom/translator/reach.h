// The translated set: every instruction reachable from the start address and
// the entry addresses by straight-line execution, jumps, and B/BL with a
// symbolic address. Control never runs on past a B or BL.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "rom/translator/decode.h"

using TranslatedSet = std::map<std::uint16_t, Instruction>;

// Direct destination of an instruction that transfers control to a constant
// address (jumps, B and BL with a symbolic address); false for any other.
bool direct_destination(const Instruction& in, std::uint16_t& destination);

// A B or BL whose destination is computed at run time (through the dispatch step).
bool is_computed_branch(const Instruction& in);

// Whether execution can go on with the instruction that follows in the ROM.
bool falls_through(const Instruction& in);

// Where execution goes on after the instruction within the translated code:
// its direct destination, then the address after it when it falls through.
std::vector<std::uint16_t> successors(const Instruction& in);

// Fills set, or returns false with a message naming the offending address.
bool find_translated_set(const RomImage& rom, std::uint16_t start,
                         const std::vector<std::uint16_t>& entries, TranslatedSet& set,
                         std::string& error);
