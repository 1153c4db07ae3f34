#include "host/terminal.h"

#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "host/standard_input.h"

std::uint32_t term_saved;

namespace {

struct termios saved_termios;                         // the settings found at start
volatile std::sig_atomic_t terminal_mode = TERM_RAW;  // the mode of the latest terminal_setup

// Writes the four settings that make up mode (ICANON, ECHO, VMIN, VTIME) into
// settings and leaves everything else as it is.
void set_mode_settings(struct termios& settings, int mode) {
  if (mode == TERM_LINE)
    settings.c_lflag |= ICANON | ECHO;
  else
    settings.c_lflag &= ~tcflag_t(ICANON | ECHO);
  settings.c_cc[VMIN] = mode == TERM_POLL ? 0 : 1;
  settings.c_cc[VTIME] = 0;
}

// A background job leaves the terminal alone: it belongs to the foreground
// job, and changing it would stop this process with SIGTTOU. A terminal that
// is not the controlling one has no foreground group (tcgetpgrp fails) and is
// ours to set.
bool owns_terminal() {
  pid_t foreground = tcgetpgrp(0);
  return foreground < 0 || foreground == getpgrp();
}

}  // namespace

void restore_terminal() {
  if (term_saved && owns_terminal()) tcsetattr(0, TCSANOW, &saved_termios);
}

void restore_terminal_mode() {
  struct termios settings;
  if (!term_saved || !owns_terminal() || tcgetattr(0, &settings) != 0) return;
  set_mode_settings(settings, terminal_mode);
  tcsetattr(0, TCSANOW, &settings);
}

void terminal_setup(int mode) {
  struct termios settings;
  if (tcgetattr(0, &settings) != 0) return;
  if (!term_saved) {
    saved_termios = settings;
    term_saved = 1;
  }
  // Recorded before the change: a stop between the two lines then comes back
  // in the new mode, which this call sets anyway.
  terminal_mode = mode;
  set_mode_settings(settings, mode);
  tcsetattr(0, TCSANOW, &settings);
}

namespace {

// Buffered read from standard input.
int stream_getc() {
  std::fflush(stdout);  // a prompt without a line feed must be visible first
  return stdin_buffered_byte();
}

// One byte straight from descriptor 0.
int descriptor_getc(bool wait) {
  std::fflush(stdout);
  return stdin_direct_byte(wait);
}

}  // namespace

int console_getc(int mode) {
  if (!term_saved) {
    bool reads = mode == TERM_RAW || mode == TERM_LINE || mode == TERM_KEY;
    return reads ? stream_getc() : -1;  // a poll never takes typed-ahead input
  }
  int c;
  switch (mode) {
    case TERM_POLL:
    case TERM_KEY:
      terminal_setup(TERM_POLL);
      c = descriptor_getc(false);
      terminal_setup(TERM_RAW);
      return c;
    case TERM_RAW:
      return descriptor_getc(true);
    case TERM_LINE:
      terminal_setup(TERM_LINE);
      c = stream_getc();
      terminal_setup(TERM_RAW);
      return c;
    default:
      return -1;
  }
}
