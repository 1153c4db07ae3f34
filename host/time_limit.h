// --time-limit: the run ends after this much wall time, through the exit path,
// with TIME_LIMIT_STATUS.
#pragma once

// Seconds from start, or 0 for no limit.
extern double time_limit_seconds;

// Arms the timer when a limit is set: at its end SIGALRM asks the run to stop.
void start_time_limit();
