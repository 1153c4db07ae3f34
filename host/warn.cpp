#include "host/warn.h"

#include <cstdarg>
#include <cstdio>

void warn(const char* fmt, ...) {
  std::fputs("warning: ", stderr);
  va_list args;
  va_start(args, fmt);
  std::vfprintf(stderr, fmt, args);
  va_end(args);
  std::fputc('\n', stderr);
}
