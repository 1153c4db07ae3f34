// The emulated keyboard's character source: the BASIC source file, then the
// RUN line, then standard input.
#pragma once

#include <cstdint>
#include <cstdio>

extern std::FILE* source_file;  // open while the source file is being typed
extern std::int32_t run_index;  // next position in the RUN (or LIST) line, or -1
extern const char RUN_LINE[];   // "RUN\n"
extern const char LIST_LINE[];  // "LIST\n", typed instead when only listing

// One character of the source file, or EOF at its end. A read error ends the
// process with status 1: a half-read program must never run as if complete.
int source_getc();

// The next character for the console's keyboard, 0 to 255, or -1 when none is
// available; mode (TERM_*) matters only when standard input is read.
int next_input_char(int mode);
