// How a run ends. Every end goes through exit(), and the exit sequence
// registered here then writes the screen file, restores the terminal, flushes
// standard output, and lets a signal that asked for the end end the process.
#pragma once

#include <csignal>

// Set from outside the emulation to ask the run to end at the next point
// where it can: 0 (no request), a signal number, or STOP_TIME_LIMIT.
extern volatile std::sig_atomic_t stop_request;
constexpr int STOP_TIME_LIMIT = -1;

// The exit status of a run ended by --time-limit.
constexpr int TIME_LIMIT_STATUS = 3;

// Ends the run with status; a run that would end with 0 ends with 1 when a
// line of the program was left out or refused while it was typed in.
[[noreturn]] void end_run(int status);

// Notes that a line of the program did not go in as written: left out for a
// byte no key types, cut for its length, or refused by TI BASIC with an error
// while typed in.
void note_line_not_taken();

// Registers the exit sequence. Called first thing at start.
void register_exit_sequence();

// Ends the run as stop_request asks. Called where the emulation passes often
// and at waits for input.
[[noreturn]] void stop_run();
