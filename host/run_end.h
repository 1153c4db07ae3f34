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

// Registers the exit sequence. Called first thing at start.
void register_exit_sequence();

// Ends the run as stop_request asks. Called where the emulation passes often
// and at waits for input.
[[noreturn]] void stop_run();
