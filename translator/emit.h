// C++ emission of a translated set: one routine holding every translated
// instruction behind a label, direct transfers as gotos, and one dispatch step
// that maps a computed branch target to its entry through the entry table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "translator/liveness.h"
#include "translator/reach.h"

struct EmitOptions {
  std::string function_name = "run_console_rom";
  std::string table_name = "entry_table";
  std::uint16_t start = 0x0024;   // where the routine begins
  std::uint16_t resume = 0x0070;  // where it goes on after a native routine
  std::uint16_t workspace = 0;    // the registers' fixed address: the reset vector's first word
  std::string source_name;        // for the header comment
  // Addresses whose translated code first calls translation_probe(address),
  // a routine the test that compiles the output provides (empty: none).
  std::vector<std::uint16_t> probes;
};

// The whole generated source file.
// The whole generated source file; each instruction stores the flags that
// liveness finds live after it.
std::string emit_translation(const TranslatedSet& set, const std::vector<std::uint16_t>& entries,
                             const FlagLiveness& liveness, const EmitOptions& options);

// One line of the listing: address, words, mnemonic and operands.
std::string listing_line(const RomImage& rom, const Instruction& in);
