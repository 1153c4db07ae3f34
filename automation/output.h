// The program's output on standard output. A write that fails (a full disk, a
// closed pipe with SIGPIPE ignored) ends the run instead of passing silently.
#pragma once

#include <cstdint>

extern std::uint64_t output_bytes_written;

// Writes one byte to standard output; on failure reports it and exits with 1.
void output_byte(int c);

// Arranges for the final flush of standard output to be checked at exit: a
// failure there turns the run's status into 1. Called first thing at start.
void check_output_at_exit();
