#include "host/input.h"

#include "host/source.h"
#include "host/terminal.h"
#include "machine/state.h"

namespace {

const char RUN_LINE[] = "RUN\n";
const char LIST_LINE[] = "LIST\n";  // typed instead when only listing
int run_index = -1;                 // next position in that line, or -1

}  // namespace

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
  if (run_index >= 0) {
    char c = (listing_only ? LIST_LINE : RUN_LINE)[run_index++];
    run_typed = 1;
    if (c != '\0') return static_cast<unsigned char>(c);
    run_index = -1;
  }
  // A listing takes no input: LIST would take it for presses of its break key.
  return listing_only ? -1 : console_getc(mode);
}

void note_key_at_field_end() {
  bool typing = source_file || run_index >= 0;
  if (!typing) note_input_field_full();
}
