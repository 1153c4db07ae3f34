#include "host/terminal.h"

#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "host/run_end.h"
#include "host/standard_input.h"
#include "host/typing.h"

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

long lines_read;           // lines of standard input read so far
std::string line;          // the line a line request read, handed out a key at a time
std::size_t handed_out;    // how much of it
unsigned keys_at_field_end;  // of its characters, how many the editor put on its field's end

// Buffered read from standard input.
int stream_getc() {
  std::fflush(stdout);  // a prompt without a line feed must be visible first
  int c = stdin_buffered_byte();
  if (c == '\n') ++lines_read;
  return c;
}

// One byte straight from descriptor 0.
int descriptor_getc(bool wait) {
  std::fflush(stdout);
  int c = stdin_direct_byte(wait);
  if (c == '\n') ++lines_read;
  return c;
}

// Reads the next line of standard input for a line request, in the
// terminal's line mode at a terminal. A line with a byte no key types is left
// out, with a message: at a terminal it is simply typed again, from a file or
// a pipe the next line is taken and the run does not count as a success.
// Returns the line's first character, -1 at the end of input, or
// CLEAR_PRESSED.
int read_line() {
  if (term_saved) terminal_setup(TERM_LINE);
  for (;;) {
    line.clear();
    handed_out = 0;
    keys_at_field_end = 0;
    int c;
    while ((c = stream_getc()) >= 0) {
      line += char(c);
      if (c == '\n') break;
    }
    if (c == CLEAR_PRESSED) {
      line.clear();  // the terminal drops what was typed of the line too
      if (term_saved) terminal_setup(TERM_RAW);
      return CLEAR_PRESSED;
    }
    if (line.empty()) break;
    std::size_t bad = first_untypeable(line);
    if (bad == ALL_TYPEABLE) break;
    report_left_out("standard input", lines_read + (line.back() != '\n'), line, bad);
    if (!term_saved) note_line_not_taken();
  }
  if (term_saved) terminal_setup(TERM_RAW);
  return line.empty() ? -1 : static_cast<unsigned char>(line[handed_out++]);
}

}  // namespace

void note_input_field_full() {
  if (++keys_at_field_end != 2) return;
  report_cut("standard input", lines_read + (line.back() != '\n'), handed_out - 1);
  if (!term_saved) note_line_not_taken();
}

int console_getc(int mode) {
  if (handed_out < line.size()) return static_cast<unsigned char>(line[handed_out++]);
  if (mode == TERM_LINE) return read_line();
  if (!term_saved) {
    bool reads = mode == TERM_RAW || mode == TERM_KEY;
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
    default:
      return -1;
  }
}
