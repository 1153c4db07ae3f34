#include "host/time_limit.h"

#include <sys/time.h>

double time_limit_seconds;

void start_time_limit() {
  if (time_limit_seconds <= 0) return;
  struct itimerval timer {};
  timer.it_value.tv_sec = time_t(time_limit_seconds);
  timer.it_value.tv_usec = suseconds_t((time_limit_seconds - double(timer.it_value.tv_sec)) * 1e6);
  if (timer.it_value.tv_sec == 0 && timer.it_value.tv_usec == 0) timer.it_value.tv_usec = 1;
  setitimer(ITIMER_REAL, &timer, nullptr);
}
