#include "host/time_limit.h"

#include <sys/time.h>

double time_limit_seconds;

void start_time_limit() {
  if (time_limit_seconds <= 0) return;
  constexpr double LONGEST = 1e9;  // some 30 years: as good as no limit
  double seconds = time_limit_seconds < LONGEST ? time_limit_seconds : LONGEST;
  struct itimerval timer {};
  timer.it_value.tv_sec = time_t(seconds);
  timer.it_value.tv_usec = suseconds_t((seconds - double(timer.it_value.tv_sec)) * 1e6);
  if (timer.it_value.tv_sec == 0 && timer.it_value.tv_usec == 0) timer.it_value.tv_usec = 1;
  setitimer(ITIMER_REAL, &timer, nullptr);
}
