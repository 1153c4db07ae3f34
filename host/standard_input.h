// Standard input as the console's key source. Reads go through a buffer of
// this file rather than stdio, so that a wait for input can be cut short: a
// stop requested while the process waits for a key or a line ends the run.
#pragma once

// What a wait for input gives when the console's CLEAR key is pressed while
// it waits (Ctrl-C in an interactive session).
constexpr int CLEAR_PRESSED = -2;

// The next byte of standard input through the buffer: 0 to 255, or -1 once
// input has ended or a read has failed. Waits for input when none is
// buffered; CLEAR_PRESSED cuts that wait short.
int stdin_buffered_byte();

// One byte read straight from descriptor 0, bypassing the buffer, or -1 (end
// of input, a read error, a terminal that hung up, or nothing waiting in a
// terminal's polling mode). Waits for input first when wait is true, which
// CLEAR_PRESSED cuts short.
int stdin_direct_byte(bool wait);

// Whether standard input has ended or failed. From then on every read gives
// -1 at once.
bool standard_input_ended();

// The error of the read that failed, or 0 when input ended normally or has
// not ended.
int standard_input_error();
