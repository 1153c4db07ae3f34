#include "host/input.h"

#include "host/source.h"
#include "host/terminal.h"
#include "machine/state.h"

std::int32_t run_index = -1;
const char RUN_LINE[] = "RUN\n";
const char LIST_LINE[] = "LIST\n";

int next_input_char(int mode) {
  if (!have_source) return console_getc(mode);
  output_muted = 0;
  // Nobody presses a key while the program is typed in: a poll (the break
  // check of LIST, for one) sees none and leaves the text to be typed alone.
  bool typing = source_file || run_index >= 0;
  if (typing && mode == TERM_POLL) return -1;
  if (source_file) {
    int c = next_source_char();
    if (c != EOF) return c;
    run_index = 0;
  }
  // A listing takes no input: LIST would take it for presses of its break key.
  if (run_index < 0) return listing_only ? -1 : console_getc(mode);
  char c = (listing_only ? LIST_LINE : RUN_LINE)[run_index++];
  run_typed = 1;
  if (c != '\0') return static_cast<unsigned char>(c);
  run_index = -1;
  return listing_only ? -1 : console_getc(mode);
}
