#include "host/terminal.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "host/signals.h"

std::uint32_t term_saved;
struct termios saved_termios;
volatile std::sig_atomic_t terminal_mode = TERM_RAW;

void restore_terminal() { tcsetattr(0, TCSANOW, &saved_termios); }

void set_mode_settings(struct termios& settings, int mode) {
  if (mode == TERM_LINE)
    settings.c_lflag |= ICANON | ECHO;
  else
    settings.c_lflag &= ~tcflag_t(ICANON | ECHO);
  settings.c_cc[VMIN] = mode == TERM_POLL ? 0 : 1;
  settings.c_cc[VTIME] = 0;
}

void terminal_setup(int mode) {
  struct termios settings;
  if (tcgetattr(0, &settings) != 0) return;
  if (!term_saved) {
    saved_termios = settings;
    term_saved = 1;
    std::atexit(restore_terminal);
    install_terminal_signal_handlers();
  }
  // Recorded before the change: a stop between the two lines then comes back
  // in the new mode, which this call sets anyway.
  terminal_mode = mode;
  set_mode_settings(settings, mode);
  tcsetattr(0, TCSANOW, &settings);
}

namespace {

// Buffered read from the standard input stream, repeated when a signal
// interrupts it.
int stream_getc() {
  std::fflush(stdout);  // a prompt without a line feed must be visible first
  for (;;) {
    errno = 0;
    int c = std::getchar();
    if (c != EOF) return c;
    if (errno != EINTR) return -1;
    std::clearerr(stdin);
  }
}

// One byte straight from descriptor 0, repeated when a signal interrupts it.
int descriptor_getc() {
  std::fflush(stdout);
  unsigned char byte;
  ssize_t n;
  do n = read(0, &byte, 1);
  while (n < 0 && errno == EINTR);
  return n > 0 ? byte : -1;
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
      c = descriptor_getc();
      terminal_setup(TERM_RAW);
      return c;
    case TERM_RAW:
      return descriptor_getc();
    case TERM_LINE:
      terminal_setup(TERM_LINE);
      c = stream_getc();
      terminal_setup(TERM_RAW);
      return c;
    default:
      return -1;
  }
}
