// The emulated keyboard's character source: the program's listing, then the
// RUN line, then standard input.
#pragma once

#include <cstdint>

extern std::int32_t run_index;  // next position in the RUN (or LIST) line, or -1
extern const char RUN_LINE[];   // "RUN\n"
extern const char LIST_LINE[];  // "LIST\n", typed instead when only listing

// The next character for the console's keyboard, 0 to 255, or -1 when none is
// available; mode (TERM_*) matters only when standard input is read.
int next_input_char(int mode);
