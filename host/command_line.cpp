#include "host/command_line.h"

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/disk_files.h"
#include "machine/state.h"

namespace {

enum Option { DSK1 = 1, DSK2, DSK3, CS1, CS2, LIST, HELP };

const char USAGE[] =
    "usage: ti99run [OPTION]... [PROGRAM]\n"
    "Runs the TI BASIC program PROGRAM (a listing, or a program image that SAVE\n"
    "wrote) on an emulated TI-99/4A; without PROGRAM, TI BASIC at the terminal.\n"
    "\n"
    "  --dsk1 DIR, --dsk2 DIR, --dsk3 DIR\n"
    "             the folder that holds the files of DSK1, DSK2 or DSK3\n"
    "             (all three: the current directory)\n"
    "  --cs1 FILE, --cs2 FILE\n"
    "             the file that stands for the tape in cassette unit 1 or 2\n"
    "             (CS1 and CS2 in the current directory)\n"
    "  --list     list PROGRAM with the console's LIST instead of running it\n"
    "  --help     show this help\n";

[[noreturn]] void usage_error() {
  std::fputs("Try 'ti99run --help'.\n", stderr);
  std::exit(2);
}

void set_drive(int drive, const char* path) {
  if (set_drive_folder(drive, path)) return;
  std::fprintf(stderr, "ti99run: --dsk%d %s: %s\n", drive, path, std::strerror(errno));
  std::exit(2);
}

}  // namespace

int parse_command_line(int argc, char** argv) {
  static const struct option options[] = {
      {"dsk1", required_argument, nullptr, DSK1}, {"dsk2", required_argument, nullptr, DSK2},
      {"dsk3", required_argument, nullptr, DSK3}, {"cs1", required_argument, nullptr, CS1},
      {"cs2", required_argument, nullptr, CS2},   {"list", no_argument, nullptr, LIST},
      {"help", no_argument, nullptr, HELP},       {nullptr, 0, nullptr, 0}};
  int option;
  while ((option = getopt_long(argc, argv, "+", options, nullptr)) != -1) {
    switch (option) {
      case DSK1:
      case DSK2:
      case DSK3: set_drive(option - DSK1 + 1, optarg); break;
      case CS1:
      case CS2: set_cassette_file(option - CS1 + 1, optarg); break;
      case LIST: listing_only = 1; break;
      case HELP: std::fputs(USAGE, stdout); std::exit(0);
      default: usage_error();
    }
  }
  if (listing_only && optind >= argc) {
    std::fputs("ti99run: --list needs a PROGRAM\n", stderr);
    usage_error();
  }
  return optind;
}
