// Terminal modes of standard input, and the one copy of the settings found at
// start. Mode 1 is the resting mode between requests; modes 0 and 2 are set
// only while a request of that mode is served.
#pragma once

#include <cstdint>

constexpr int TERM_POLL = 0;  // no echo, non-canonical, returns at once
constexpr int TERM_RAW = 1;   // no echo, non-canonical, waits for one byte
constexpr int TERM_LINE = 2;  // echo and canonical line editing
// A key for CALL KEY: a poll at a terminal; from a file or pipe, where every
// key is typed ahead, the next character (-1 once it has run out).
constexpr int TERM_KEY = 3;

extern std::uint32_t term_saved;  // 1 once the settings found at start are saved

// Switches the terminal of standard input to mode; the first successful call
// saves the settings found. Does nothing when standard input is not a
// terminal.
void terminal_setup(int mode);

// Puts the settings found at start back, unless none were saved or the
// process is not in the terminal's foreground (a background job leaves the
// terminal to the foreground job). Async-signal-safe.
void restore_terminal();

// Sets the mode of the latest terminal_setup again, after the process was
// stopped and continued. Async-signal-safe.
void restore_terminal_mode();

// One character from standard input, 0 to 255, or -1 (nothing waiting in mode
// 0, end of input, a read error, or an unknown mode), or CLEAR_PRESSED when
// the console's CLEAR key cuts a wait for a key or a line short. A wait ends
// the run when a stop is requested meanwhile.
int console_getc(int mode);

// Notes that the console's line editor put the latest character of the line
// from standard input on the last position of its input field. The next one
// there overwrites it: the line goes in cut, which is reported once, and from
// a file or a pipe the run does not count as a success.
void note_input_field_full();
