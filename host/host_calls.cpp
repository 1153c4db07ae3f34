#include "host/host_calls.h"

#include <cstdlib>
#include <ctime>

int timer_byte_source() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int(now.tv_nsec ^ (now.tv_nsec >> 8) ^ (now.tv_nsec >> 16));
}

int idle_scan_call(int first, int second) {
  return std::div(first, second).quot;  // pure arithmetic: no system call, no side effect
}
