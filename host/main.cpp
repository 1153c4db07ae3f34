// ti99run: runs a TI BASIC program on an emulated TI-99/4A console.
#include "host/options.h"
#include "host/run_end.h"
#include "host/signals.h"
#include "host/startup.h"
#include "host/time_limit.h"
#include "rom/translated_rom.h"

#ifdef TI99_COUNT_INSTRUCTIONS
#include "rom/instruction_count.h"
#endif

int main(int argc, char** argv) {
  keep_standard_descriptors();
  parse_command_line(argc, argv);
  register_exit_sequence();
#ifdef TI99_COUNT_INSTRUCTIONS
  report_instruction_count_at_exit();
#endif
  install_signal_handlers();
  start_time_limit();
  start_machine(program_path);
  return run_console_rom();
}
