// Terminal modes of standard input. Mode 1 is the resting mode between
// requests; modes 0 and 2 are set only while a request of that mode is served.
#pragma once

#include <termios.h>

#include <csignal>
#include <cstdint>

constexpr int TERM_POLL = 0;  // no echo, non-canonical, returns at once
constexpr int TERM_RAW = 1;   // no echo, non-canonical, waits for one byte
constexpr int TERM_LINE = 2;  // echo and canonical line editing
// A key for CALL KEY: a poll at a terminal; from a file or pipe, where every
// key is typed ahead, the next character (-1 once it has run out).
constexpr int TERM_KEY = 3;

extern std::uint32_t term_saved;     // 1 once the settings found at start are saved
extern struct termios saved_termios; // the settings found at start
// The mode of the latest terminal_setup, for the SIGCONT handler.
extern volatile std::sig_atomic_t terminal_mode;

// Writes the four settings that make up mode (ICANON, ECHO, VMIN, VTIME) into
// settings and leaves everything else as it is. Async-signal-safe.
void set_mode_settings(struct termios& settings, int mode);

// Switches the terminal of standard input to mode; the first successful call
// saves the settings and arranges for them to come back at exit or when a
// signal kills or stops the process. Does nothing when standard input is not a
// terminal.
void terminal_setup(int mode);

// Puts the saved settings back (registered with atexit).
void restore_terminal();

// One character from standard input, 0 to 255, or -1 (nothing waiting in mode
// 0, end of input, a read error, or an unknown mode).
int console_getc(int mode);
