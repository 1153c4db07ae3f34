#include "rom/instruction_count.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

std::uint64_t instruction_count;

namespace {
void print_instruction_count() {
  std::fprintf(stderr, "instructions: %" PRIu64 "\n", instruction_count);
}
}  // namespace

void report_instruction_count_at_exit() { std::atexit(print_instruction_count); }
