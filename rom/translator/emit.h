// C++ emission of a translated set: one routine holding every translated
// instruction behind a label, direct transfers as gotos, computed branches
// through their own dispatch where their destinations are known, and one
// shared dispatch step that maps any branch target to its entry through the
// entry table or hands it to rom_hook.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rom/entry_list.h"
#include "rom/translator/branch_targets.h"
#include "rom/translator/liveness.h"
#include "rom/translator/reach.h"

struct EmitOptions {
  std::string function_name = "run_console_rom";
  std::string table_name = "entry_table";
  std::uint16_t start = CONSOLE_RESET_ENTRY;  // where the routine begins
  std::uint16_t resume = GPL_FETCH_ENTRY;     // where it goes on after a native routine
  std::uint16_t workspace = 0;    // the registers' fixed address: the reset vector's first word
  std::string source_name;        // for the header comment
  // Addresses whose translated code first calls translation_probe(address)
  // when TI99_TRANSLATION_PROBE is defined, as a test that compiles the
  // output with its own translation_probe does (empty: none).
  std::vector<std::uint16_t> probes;
};

// Everything the emitter works from.
struct Translation {
  TranslatedSet set;
  std::vector<std::uint16_t> entries;  // entry n is entries[n - 1]
  FlagLiveness liveness;               // each instruction stores only its live flags
  SiteTargets site_targets;            // computed branches that dispatch on their own
  EmitOptions options;
};

// The whole generated source file.
std::string emit_translation(const Translation& t);

// One line of the listing: address, words, mnemonic and operands.
std::string listing_line(const RomImage& rom, const Instruction& in);
