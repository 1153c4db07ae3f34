#include "automation/output.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

std::uint64_t output_bytes_written;

namespace {

bool output_failed;

[[noreturn]] void fail_output() {
  output_failed = true;  // the check at exit has nothing more to say
  std::perror("writing standard output");
  std::exit(1);
}

// Runs last of the exit handlers, after the terminal is restored.
void flush_output_at_exit() {
  if (output_failed) return;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::perror("writing standard output");
    _exit(1);
  }
}

}  // namespace

void output_byte(int c) {
  if (std::putchar(c) == EOF) fail_output();
  ++output_bytes_written;
}

void check_output_at_exit() { std::atexit(flush_output_at_exit); }
