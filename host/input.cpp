#include "host/input.h"

#include <cstdlib>

#include "host/terminal.h"
#include "machine/state.h"

std::FILE* source_file;
std::int32_t run_index = -1;
const char RUN_LINE[] = "RUN\n";
const char LIST_LINE[] = "LIST\n";

namespace {
int last_source_char = '\n';  // the last character typed from the source file
}

int source_getc() {
  int c = std::fgetc(source_file);
  if (c == EOF && std::ferror(source_file)) {
    std::perror("reading BASIC source file");
    std::exit(1);
  }
  return c;
}

int next_input_char(int mode) {
  if (!have_source) return console_getc(mode);
  output_muted = 0;
  // Nobody presses a key while the program is typed in: a poll (the break
  // check of LIST, for one) sees none and leaves the text to be typed alone.
  bool typing = source_file || run_index >= 0;
  if (typing && mode == TERM_POLL) return -1;
  if (source_file) {
    int c = source_getc();
    if (c != EOF) return last_source_char = c;
    std::fclose(source_file);
    source_file = nullptr;
    run_index = 0;
    // A last line without its line end is entered first: otherwise RUN would
    // be typed onto it, and the program would never run.
    if (last_source_char != '\n' && last_source_char != '\r') return last_source_char = '\n';
  }
  // A listing takes no input: LIST would take it for presses of its break key.
  if (run_index < 0) return listing_only ? -1 : console_getc(mode);
  char c = (listing_only ? LIST_LINE : RUN_LINE)[run_index++];
  run_typed = 1;
  if (c != '\0') return static_cast<unsigned char>(c);
  run_index = -1;
  return listing_only ? -1 : console_getc(mode);
}
