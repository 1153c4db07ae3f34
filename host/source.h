// The program's listing, typed into the console a line at a time.
#pragma once

#include <cstdio>

extern std::FILE* source_file;  // open while lines of the listing remain
extern const char* source_name;  // the listing's name in messages

// The next character of the listing, 0 to 255, or EOF once all of it has been
// typed (the file is then closed). A byte-order mark and a first line that
// starts with "#" (a script's interpreter line) are skipped; a last line
// without its line end gets one, so that it is entered; a line with a byte no
// key can type is left out, reported on standard error. A read error ends
// the process with status 1: a half-read program must never run.
int next_source_char();
