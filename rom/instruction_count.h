// Executed TMS9900 instructions, counted only in the instruction-counting
// build (TI99_COUNT_INSTRUCTIONS), for benchmarks.
#pragma once

#include <cstdint>

extern std::uint64_t instruction_count;

// Registers the exit handler that prints "instructions: N" on standard error.
void report_instruction_count_at_exit();

// A native routine that stands for console code counts the instructions the
// console would have executed.
inline void count_instructions([[maybe_unused]] std::uint64_t n) {
#ifdef TI99_COUNT_INSTRUCTIONS
  instruction_count += n;
#endif
}
