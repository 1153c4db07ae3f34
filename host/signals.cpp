#include "host/signals.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "host/terminal.h"

// Everything called from the handlers is async-signal-safe: tcgetattr,
// tcsetattr, tcgetpgrp, getpgrp, sigaction, sigprocmask, raise.

namespace {

constexpr int FATAL_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

// A background job leaves the terminal alone: it belongs to the foreground
// job, and changing it would stop this process with SIGTTOU instead of letting
// it die. A terminal that is not the controlling one has no foreground group
// (tcgetpgrp fails) and is ours to set.
bool owns_terminal() {
  pid_t foreground = tcgetpgrp(0);
  return foreground < 0 || foreground == getpgrp();
}

void set_action(int sig, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // a write to stdout must not fail on a stop
  sigaction(sig, &action, nullptr);
}

// Takes the default action of sig at once (it is blocked in its own handler).
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

void restore_saved_settings() {
  if (owns_terminal()) tcsetattr(0, TCSANOW, &saved_termios);
}

void set_current_mode() {
  struct termios settings;
  if (!owns_terminal() || tcgetattr(0, &settings) != 0) return;
  set_mode_settings(settings, terminal_mode);
  tcsetattr(0, TCSANOW, &settings);
}

void on_fatal_signal(int sig) {
  restore_saved_settings();
  raise_default(sig);
}

void on_stop_signal(int sig) {
  int saved_errno = errno;
  restore_saved_settings();
  raise_default(sig);
  // Continued; or the stop was discarded because the process group is
  // orphaned (a session leader, e.g. a terminal window's own command), in
  // which case no SIGCONT follows and the mode must come back here.
  set_current_mode();
  set_action(sig, on_stop_signal);
  errno = saved_errno;
}

void on_continue(int) {
  int saved_errno = errno;
  set_current_mode();
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

void install_terminal_signal_handlers() {
  for (int sig : FATAL_SIGNALS) handle(sig, on_fatal_signal);
  handle(SIGTSTP, on_stop_signal);
  handle(SIGCONT, on_continue);
}
