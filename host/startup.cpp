#include "host/startup.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/input.h"
#include "host/program_image.h"
#include "host/terminal.h"
#include "machine/state.h"

namespace {

// Skips a first line that starts with "#" (a script's interpreter line) up to
// and including its first carriage return or line feed.
void skip_interpreter_line() {
  int c = source_getc();
  if (c != '#') {
    if (c != EOF) std::ungetc(c, source_file);
    return;
  }
  do c = source_getc();
  while (c != EOF && c != '\r' && c != '\n');
}

}  // namespace

void machine_init(int argc, char** argv) {
  wp = cpu_word(0x0000);
  if (argc > 1) {
    have_source = 1;
    source_file = std::fopen(argv[1], "r");
    if (!source_file) {
      std::perror("opening BASIC source file");
      std::exit(1);
    }
    take_program_image(argv[1]);
    skip_interpreter_line();
  }
  terminal_setup(TERM_RAW);
}

void start_machine(int argc, char** argv) {
  std::memcpy(cpu_mem, console_rom, sizeof console_rom);
  machine_init(argc, argv);
}
