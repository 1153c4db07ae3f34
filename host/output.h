// The program's output on standard output. A write that fails (a full disk, a
// closed pipe with SIGPIPE ignored) ends the run instead of passing silently.
#pragma once

#include <cstdint>

extern std::uint64_t output_bytes_written;

// Writes one byte to standard output; on failure reports it and exits with 1.
void output_byte(int c);

// Whether the output so far is empty or ends with a line feed.
bool output_at_line_start();

// The final flush, made by the exit sequence: false after reporting a failure
// on standard error (a failure already reported by output_byte counts as
// reported).
bool flush_output();
