#include "host/output.h"

#include <cstdio>
#include <cstdlib>

std::uint64_t output_bytes_written;

namespace {

bool output_failed;
int last_byte = '\n';

[[noreturn]] void fail_output() {
  output_failed = true;  // the final flush has nothing more to say
  std::perror("writing standard output");
  std::exit(1);
}

}  // namespace

void output_byte(int c) {
  if (std::putchar(c) == EOF) fail_output();
  ++output_bytes_written;
  last_byte = c;
}

bool output_at_line_start() { return last_byte == '\n'; }

bool flush_output() {
  if (output_failed) return true;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  std::perror("writing standard output");
  return false;
}
