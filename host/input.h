// The emulated keyboard's character source: the program's listing, then the
// RUN line, then standard input.
#pragma once

// The next character for the console's keyboard, 0 to 255, or -1 when none is
// available; mode (TERM_*) matters only when standard input is read.
int next_input_char(int mode);

// Notes that the console's line editor put the latest character on the last
// position of its input field. Lines of the listing are measured before they
// are typed; a line from standard input is followed here.
void note_key_at_field_end();
