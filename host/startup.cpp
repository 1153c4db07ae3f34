#include "host/startup.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/program_image.h"
#include "host/signals.h"
#include "host/source.h"
#include "host/standard_input.h"
#include "host/terminal.h"
#include "machine/state.h"

namespace {

[[noreturn]] void fail_source(const char* what, int error) {
  std::fprintf(stderr, "%s: %s\n", what, std::strerror(error));
  std::exit(1);
}

bool standard_input_closed;

// The listing on standard input, read to its end into a temporary file, which
// is then typed like a named file. Standard input has ended then.
std::FILE* read_listing_from_standard_input() {
  if (standard_input_closed) fail_source("reading BASIC source file", EBADF);
  std::FILE* copy = std::tmpfile();
  if (!copy) fail_source("keeping the BASIC source from standard input", errno);
  for (int c; (c = stdin_buffered_byte()) >= 0;)
    if (std::fputc(c, copy) == EOF)
      fail_source("keeping the BASIC source from standard input", errno);
  if (standard_input_error()) fail_source("reading BASIC source file", standard_input_error());
  if (std::fflush(copy) != 0) fail_source("keeping the BASIC source from standard input", errno);
  std::rewind(copy);
  return copy;
}

}  // namespace

void keep_standard_descriptors() {
  if (fcntl(0, F_GETFD) < 0) {
    standard_input_closed = true;
    open("/dev/null", O_RDONLY);  // reads find the end of input at once
  }
  if (fcntl(1, F_GETFD) < 0) open("/dev/null", O_RDONLY);  // writes fail, and say so
  if (fcntl(2, F_GETFD) < 0) open("/dev/null", O_WRONLY);
}

void machine_init(const char* path) {
  wp = cpu_word(0x0000);
  if (path) {
    have_source = 1;
    if (std::strcmp(path, "-") == 0) {
      source_file = read_listing_from_standard_input();
      source_name = "standard input";
    } else {
      source_file = std::fopen(path, "r");
      if (!source_file) fail_source("opening BASIC source file", errno);
      source_name = path;
    }
    take_program_image(path);
  }
  if (!standard_input_ended()) terminal_setup(TERM_RAW);
  interrupt_is_clear_key = !have_source && term_saved;
}

void start_machine(const char* path) {
  std::memcpy(cpu_mem, console_rom, sizeof console_rom);
  machine_init(path);
}
