#include "host/options.h"

#include <getopt.h>

#include <cerrno>
#include <cfloat>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/disk_files.h"
#include "host/screen_file.h"
#include "host/time_limit.h"
#include "machine/state.h"

const char* program_path;

namespace {

[[noreturn]] void usage_error(const char* format, const char* detail) {
  std::fputs("ti99run: ", stderr);
  std::fprintf(stderr, format, detail);
  std::fputs("\nUsage: ti99run [OPTION]... [PROGRAM | -]\n"
             "Try 'ti99run --help' for more information.\n",
             stderr);
  std::exit(USAGE_STATUS);
}

void show_help(const char*);
void show_version(const char*) {
  std::printf("ti99run %s\n", TI99_VERSION);
  std::exit(0);
}
void take_screen(const char* file) { screen_file_path = file; }
void take_time_limit(const char* text) {
  char* end;
  errno = 0;
  double seconds = std::strtod(text, &end);
  if (end == text || *end || errno || !(seconds > 0 && seconds <= DBL_MAX))  // no NaN, no infinity
    usage_error("--time-limit needs a number of seconds greater than 0, not '%s'", text);
  time_limit_seconds = seconds;
}

void take_drive(int drive, const char* folder) {
  if (set_drive_folder(drive, folder)) return;
  std::fprintf(stderr, "ti99run: --dsk%d %s: %s\n", drive, folder, std::strerror(errno));
  std::exit(USAGE_STATUS);
}
void take_dsk1(const char* folder) { take_drive(1, folder); }
void take_dsk2(const char* folder) { take_drive(2, folder); }
void take_dsk3(const char* folder) { take_drive(3, folder); }
void take_cs1(const char* file) { set_cassette_file(1, file); }
void take_cs2(const char* file) { set_cassette_file(2, file); }
void take_list(const char*) { listing_only = 1; }

// The options: name, short name (0: none), the name of the value (nullptr: the
// option takes none), the help text, and the function that takes the value.
struct Option {
  const char* name;
  char short_name;
  const char* value;
  const char* help;
  void (*take)(const char* value);
};
const Option OPTIONS[] = {
    {"screen", 0, "FILE",
     "when the run ends, however it ends, write the\n"
     "screen to FILE: a 576x448 picture if FILE ends\n"
     "in .png, else the 24 rows as text; - writes the\n"
     "rows to standard output after the output",
     take_screen},
    {"time-limit", 0, "SECONDS",
     "end the run after SECONDS of wall time, with\n"
     "exit status 3 (for a program that loops to keep\n"
     "its picture on the screen)",
     take_time_limit},
    {"dsk1", 0, "DIR", "the folder of the files DSK1.NAME (default: the\ncurrent directory)",
     take_dsk1},
    {"dsk2", 0, "DIR", "the folder of the files DSK2.NAME (default: the\ncurrent directory)",
     take_dsk2},
    {"dsk3", 0, "DIR", "the folder of the files DSK3.NAME (default: the\ncurrent directory)",
     take_dsk3},
    {"cs1", 0, "FILE",
     "the file that stands for the tape of CS1\n(default: CS1 in the current directory)", take_cs1},
    {"cs2", 0, "FILE",
     "the file that stands for the tape of CS2\n(default: CS2 in the current directory)", take_cs2},
    {"list", 0, nullptr,
     "list PROGRAM with the console's LIST instead\nof running it",
     take_list},
    {"help", 'h', nullptr, "show this help and exit", show_help},
    {"version", 0, nullptr, "show the version and exit", show_version},
};
constexpr int OPTION_COUNT = sizeof OPTIONS / sizeof OPTIONS[0];
constexpr int FIRST_OPTION_CODE = 256;  // getopt_long's answer for OPTIONS[i]: 256 + i

void show_help(const char*) {
  std::printf(
      "Usage: ti99run [OPTION]... [PROGRAM | -]\n"
      "Run a TI BASIC program on an emulated TI-99/4A console: what it prints goes\n"
      "to standard output, what it reads comes from standard input.\n\n"
      "  PROGRAM      the listing to type in and run, or a program image that\n"
      "               SAVE wrote (a TIFILES file) to load and run\n"
      "  -            read the listing from standard input to its end, then run it\n"
      "               (INPUT and CALL KEY then find no more input)\n"
      "  (none)       the console's TI BASIC prompt, to type at; 'ti99run < prog.bas'\n"
      "               types the listing there but never runs it: use a file or '-'\n\n"
      "Options:\n");
  for (const Option& option : OPTIONS) {
    char synopsis[64];
    std::snprintf(synopsis, sizeof synopsis, "%c%c%s--%s %s", option.short_name ? '-' : ' ',
                  option.short_name ? option.short_name : ' ', option.short_name ? ", " : "  ",
                  option.name, option.value ? option.value : "");
    std::printf("  %-26s ", synopsis);
    for (const char* c = option.help; *c; ++c) {
      std::putchar(*c);
      if (*c == '\n') std::printf("%29s", "");
    }
    std::putchar('\n');
  }
  std::printf(
      "\nExit status: 0 the program ended (also when input ran out, or BYE); 1 it\n"
      "stopped with an error or a breakpoint, a line of the listing was refused,\n"
      "left out or cut (or a line of piped input), or a file could not be read or\n"
      "written; 2 the command line cannot be used; 3 the time limit ran out.\n"
      "SIGINT, SIGTERM and SIGHUP end the run by that signal after the output so\n"
      "far and the screen file are written; in a session at a terminal, Ctrl-C\n"
      "is the console's CLEAR key instead.\n");
  std::exit(0);
}

}  // namespace

void parse_command_line(int argc, char** argv) {
  struct option long_options[OPTION_COUNT + 1] = {};
  char short_options[2 * OPTION_COUNT + 2] = ":";
  for (int i = 0; i < OPTION_COUNT; ++i) {
    long_options[i] = {OPTIONS[i].name, OPTIONS[i].value ? required_argument : no_argument,
                       nullptr, FIRST_OPTION_CODE + i};
    if (OPTIONS[i].short_name) {
      char entry[3] = {OPTIONS[i].short_name, OPTIONS[i].value ? ':' : '\0', '\0'};
      std::strcat(short_options, entry);
    }
  }
  opterr = 0;
  int code;
  while ((code = getopt_long(argc, argv, short_options, long_options, nullptr)) != -1) {
    for (int i = 0; i < OPTION_COUNT; ++i)
      if (code == OPTIONS[i].short_name) code = FIRST_OPTION_CODE + i;
    if (code == ':') usage_error("option '%s' needs a value", argv[optind - 1]);
    if (code == '?' && optopt >= FIRST_OPTION_CODE) {
      char name[64];
      std::snprintf(name, sizeof name, "--%s", OPTIONS[optopt - FIRST_OPTION_CODE].name);
      usage_error("option '%s' takes no value", name);
    }
    if (code == '?' && optopt) {
      char name[3] = {'-', char(optopt), '\0'};
      usage_error("unknown option '%s'", name);
    }
    if (code == '?') usage_error("unknown option '%s'", argv[optind - 1]);
    OPTIONS[code - FIRST_OPTION_CODE].take(optarg);
  }
  if (optind < argc) program_path = argv[optind++];
  if (optind < argc) usage_error("only one program file can be given, not also '%s'", argv[optind]);
  if (listing_only && !program_path) usage_error("%s needs a program to list", "--list");
}
