#include "host/run_end.h"

#include <unistd.h>

#include <cstdlib>

#include "host/output.h"
#include "host/screen_file.h"
#include "host/signals.h"
#include "host/terminal.h"

volatile std::sig_atomic_t stop_request;

namespace {

bool line_not_taken;

void run_exit_sequence() {
  bool screen_written = write_screen_file();
  restore_terminal();
  bool output_flushed = flush_output();
  int request = stop_request;
  if (request > 0) {
    raise_default(request);
    _exit(128 + request);  // not reached: the stop signals end the process
  }
  if (!screen_written || !output_flushed) _exit(1);
}

}  // namespace

void end_run(int status) { std::exit(status == 0 && line_not_taken ? 1 : status); }

void note_line_not_taken() { line_not_taken = true; }

void register_exit_sequence() { std::atexit(run_exit_sequence); }

void stop_run() { std::exit(stop_request == STOP_TIME_LIMIT ? TIME_LIMIT_STATUS : 1); }
