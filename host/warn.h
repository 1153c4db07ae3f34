#pragma once

// Writes "warning: ", the printf-formatted message and a line feed to standard
// error, then returns: the emulation always goes on after a warning.
void warn(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
