#include "host/standard_input.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "host/run_end.h"
#include "host/signals.h"
#include "machine/keyboard.h"

namespace {

unsigned char buffer[4096];
unsigned buffered_from, buffered_to;  // the unread bytes of buffer
bool ended;
int read_error;

void note_end(ssize_t read_result) {
  ended = true;
  read_error = read_result < 0 ? errno : 0;
}

// Returns true once descriptor 0 has input, an end or an error to report, and
// false when the CLEAR key is pressed first; ends the run instead when a stop
// is requested before or during the wait. The stop signals are blocked
// outside the wait itself, so none can slip in between the check of the
// request and the start of the wait.
bool wait_for_input() {
  sigset_t stops = stop_signals(), outside;
  sigprocmask(SIG_BLOCK, &stops, &outside);
  struct pollfd input = {0, POLLIN, 0};
  int result;
  do {
    if (stop_request) {
      sigprocmask(SIG_SETMASK, &outside, nullptr);
      stop_run();
    }
    if (clear_key_down) break;
    result = ppoll(&input, 1, nullptr, &outside);
  } while (result < 0 && errno == EINTR);
  sigprocmask(SIG_SETMASK, &outside, nullptr);
  return !clear_key_down;
}

// Whether a terminal has hung up: its reads then give 0 bytes, as a poll
// with nothing typed does.
bool hung_up() {
  struct pollfd input = {0, POLLIN, 0};
  return poll(&input, 1, 0) > 0 && (input.revents & (POLLHUP | POLLERR));
}

// read() of descriptor 0, repeated when a signal that asks for no stop
// interrupts it.
ssize_t read_input(unsigned char* into, size_t size) {
  ssize_t n;
  do n = read(0, into, size);
  while (n < 0 && errno == EINTR && !stop_request);
  if (n < 0 && errno == EINTR) stop_run();
  return n;
}

}  // namespace

int stdin_buffered_byte() {
  if (buffered_from == buffered_to) {
    if (ended) return -1;
    if (!wait_for_input()) return CLEAR_PRESSED;
    ssize_t n = read_input(buffer, sizeof buffer);
    if (n <= 0) {
      note_end(n);
      return -1;
    }
    buffered_from = 0;
    buffered_to = unsigned(n);
  }
  return buffer[buffered_from++];
}

int stdin_direct_byte(bool wait) {
  if (ended) return -1;
  if (wait && !wait_for_input()) return CLEAR_PRESSED;
  unsigned char byte;
  ssize_t n = read_input(&byte, 1);
  if (n < 0 || (n == 0 && (wait || hung_up()))) note_end(n);
  return n > 0 ? byte : -1;
}

bool standard_input_ended() { return ended; }

int standard_input_error() { return read_error; }
