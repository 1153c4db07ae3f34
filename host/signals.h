// What signals do to a run. SIGINT, SIGTERM and SIGHUP ask the run to stop:
// it ends through the normal exit path (screen file, terminal, output) and
// then dies by that signal. SIGALRM is the time limit. SIGQUIT and SIGPIPE
// restore the terminal and kill at once; SIGTSTP restores the terminal and
// stops, SIGCONT puts the terminal mode back. A signal ignored at start stays
// ignored.
#pragma once

#include <signal.h>

#include <csignal>

// When set (an interactive session at a terminal), SIGINT is not a stop
// request but the console's CLEAR key: a running program stops at a
// breakpoint, a wait for input is cut short, and TI BASIC goes on.
extern volatile std::sig_atomic_t interrupt_is_clear_key;

// Installs the handlers; called once, at start.
void install_signal_handlers();

// The signals that ask the run to stop: a wait blocks them until it sleeps.
sigset_t stop_signals();

// Takes the default action of sig at once, which for the stop signals ends
// the process.
void raise_default(int sig);
