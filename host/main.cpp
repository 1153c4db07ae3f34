// ti99run: runs a TI BASIC program on an emulated TI-99/4A console.
#include "automation/output.h"
#include "host/command_line.h"
#include "host/startup.h"
#include "rom/translated_rom.h"

#ifdef TI99_COUNT_INSTRUCTIONS
#include "rom/instruction_count.h"
#endif

int main(int argc, char** argv) {
  check_output_at_exit();
#ifdef TI99_COUNT_INSTRUCTIONS
  report_instruction_count_at_exit();
#endif
  int program = parse_command_line(argc, argv);
  start_machine(argc - program + 1, argv + program - 1);
  return run_console_rom();
}
