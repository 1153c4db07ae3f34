#include "host/signals.h"

#include <unistd.h>

#include <cerrno>

#include "host/run_end.h"
#include "host/terminal.h"
#include "host/time_limit.h"
#include "machine/keyboard.h"

// Everything called from the handlers is async-signal-safe: tcgetattr,
// tcsetattr, tcgetpgrp, getpgrp, sigaction, sigprocmask, raise, alarm, _exit.

volatile std::sig_atomic_t interrupt_is_clear_key;

namespace {

constexpr int STOP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int FATAL_SIGNALS[] = {SIGQUIT, SIGPIPE};

// After a stop request the run has this long to end through the exit path; a
// process blocked in a write that never completes then dies as it would
// without the request.
constexpr unsigned STOP_GRACE_SECONDS = 2;

void set_action(int sig, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // a write to stdout must not fail on a signal
  sigaction(sig, &action, nullptr);
}

void on_fatal_signal(int sig) {
  restore_terminal();
  raise_default(sig);
}

// The one place that decides what a stop signal means: the first asks the run
// to end; a second one, or the grace time running out, ends the process at
// once. In an interactive session Ctrl-C presses the console's CLEAR key.
void on_stop_signal(int sig) {
  if (sig == SIGINT && interrupt_is_clear_key) {
    clear_key_down = 1;
    return;
  }
  if (stop_request) {
    restore_terminal();
    raise_default(sig);
  }
  stop_request = sig;
  alarm(STOP_GRACE_SECONDS);
}

// The time limit has run out, or the grace time after a stop request.
void on_alarm(int) {
  int request = stop_request;
  if (request == 0) {
    stop_request = time_limit_seconds > 0 ? STOP_TIME_LIMIT : SIGALRM;
    alarm(STOP_GRACE_SECONDS);
    return;
  }
  restore_terminal();
  if (request == STOP_TIME_LIMIT) _exit(TIME_LIMIT_STATUS);
  raise_default(request);
}

void on_terminal_stop(int sig) {
  int saved_errno = errno;
  restore_terminal();
  raise_default(sig);
  // Continued; or the stop was discarded because the process group is
  // orphaned (a session leader, e.g. a terminal window's own command), in
  // which case no SIGCONT follows and the mode must come back here.
  restore_terminal_mode();
  set_action(sig, on_terminal_stop);
  errno = saved_errno;
}

void on_continue(int) {
  int saved_errno = errno;
  restore_terminal_mode();
  errno = saved_errno;
}

// Installs handler for sig unless sig is ignored (nohup, a background job of
// a shell without job control): such a signal must stay harmless.
void handle(int sig, void (*handler)(int)) {
  struct sigaction current;
  if (sigaction(sig, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) return;
  set_action(sig, handler);
}

}  // namespace

void install_signal_handlers() {
  for (int sig : STOP_SIGNALS) handle(sig, on_stop_signal);
  for (int sig : FATAL_SIGNALS) handle(sig, on_fatal_signal);
  handle(SIGALRM, on_alarm);
  handle(SIGTSTP, on_terminal_stop);
  handle(SIGCONT, on_continue);
}

sigset_t stop_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : STOP_SIGNALS) sigaddset(&set, sig);
  sigaddset(&set, SIGALRM);
  return set;
}

// Returns only from a stop: when the process continues, or at once when the
// stop is discarded.
void raise_default(int sig) {
  set_action(sig, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(sig);
}
