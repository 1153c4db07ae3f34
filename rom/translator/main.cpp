// The console ROM translator: finds the translated set of a TMS9900 ROM image
// and emits it as C++ (see emit.h). Run by the build on the console ROM and on
// the test snippets.
//
//   translator --rom FILE (--entries console | --entries A,B,...) --out FILE
//              [--function NAME] [--table NAME] [--start A] [--resume A]
//              [--listing FILE] [--hex] [--probe A,B,...]
//
// Addresses are hexadecimal. The registers stay at the workspace that the
// image's reset vector names (its word at >0000). With --hex the ROM is a text file of lines
// "AAAA: WWWW WWWW ... ; comment" instead of a binary image. --probe, for
// tests: the translated code of each address named first calls
// translation_probe(address) when compiled with TI99_TRANSLATION_PROBE
// defined (the test that does so defines the function); every address named
// must be in the translated set, and every flag counts as live there.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "rom/entry_list.h"
#include "rom/translator/emit.h"
#include "rom/translator/rom_image.h"

namespace {

[[noreturn]] void fail(const std::string& message) {
  std::cerr << "translator: " << message << "\n";
  std::exit(1);
}

std::uint16_t parse_address(const std::string& text) {
  char* end = nullptr;
  unsigned long value = std::strtoul(text.c_str(), &end, 16);
  if (text.empty() || *end || value > 0xFFFF) fail("bad address '" + text + "'");
  return std::uint16_t(value);
}

std::vector<std::uint16_t> parse_list(const std::string& text) {
  std::vector<std::uint16_t> entries;
  std::stringstream list(text);
  std::string item;
  while (std::getline(list, item, ',')) entries.push_back(parse_address(item));
  return entries;
}

std::vector<std::uint16_t> parse_entries(const std::string& text) {
  if (text == "console")
    return std::vector<std::uint16_t>(std::begin(console_entry_addresses),
                                      std::end(console_entry_addresses));
  return parse_list(text);
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path + ".tmp", std::ios::binary);
  out << text;
  out.close();
  if (!out || std::rename((path + ".tmp").c_str(), path.c_str()) != 0)
    fail("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> args;
  bool hex_input = false;
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    if (name == "--hex") {
      hex_input = true;
    } else if (name.rfind("--", 0) == 0 && i + 1 < argc) {
      args[name] = argv[++i];
    } else {
      fail("unknown argument '" + name + "'");
    }
  }
  if (!args.count("--rom") || !args.count("--out") || !args.count("--entries"))
    fail("usage: translator --rom FILE --entries console|A,B,... --out FILE [options]");

  RomImage rom;
  std::string error;
  bool loaded = hex_input ? load_hex_image(args["--rom"], rom, error)
                          : load_binary_image(args["--rom"], rom, error);
  if (!loaded) fail(error);

  Translation t;
  EmitOptions& options = t.options;
  if (args.count("--function")) options.function_name = args["--function"];
  if (args.count("--table")) options.table_name = args["--table"];
  if (args.count("--start")) options.start = parse_address(args["--start"]);
  if (args.count("--resume")) options.resume = parse_address(args["--resume"]);
  if (args.count("--probe")) options.probes = parse_list(args["--probe"]);
  options.source_name = args["--rom"].substr(args["--rom"].find_last_of('/') + 1);
  // The reset vector's first word is the workspace for the whole run.
  options.workspace = rom.contains(0, 2) ? rom.word(0) : 0;
  if ((options.workspace & 1) || options.workspace > 0xFFE0)
    fail("the reset vector's workspace is odd or leaves no room for 16 registers");
  t.entries = parse_entries(args["--entries"]);

  if (!find_translated_set(rom, options.start, t.entries, t.set, error)) fail(error);
  if (!t.set.count(options.resume)) fail("resume address is not in the translated set");
  for (std::uint16_t probe : options.probes) {
    char text[64];
    std::snprintf(text, sizeof text, "probe address >%04X is not in the translated set", probe);
    if (!t.set.count(probe)) fail(text);
  }
  t.liveness = find_flag_liveness(t.set, options.probes);
  t.site_targets = find_site_targets(rom, t.set, t.entries, options.start, options.workspace);

  write_file(args["--out"], emit_translation(t));
  if (args.count("--listing")) {
    std::string listing;
    for (const auto& [address, in] : t.set) listing += listing_line(rom, in) + "\n";
    write_file(args["--listing"], listing);
  }
  FlagStoreCount flags = count_flag_stores(t.set, t.liveness);
  std::size_t computed = 0;
  for (const auto& [address, in] : t.set) computed += is_computed_branch(in);
  std::printf("translator: %s: %zu instructions translated, %zu entries; %u of %u flag stores "
              "live; %zu of %zu computed branches with their own dispatch\n",
              options.source_name.c_str(), t.set.size(), t.entries.size(), flags.stored,
              flags.written, t.site_targets.size(), computed);
  return 0;
}
