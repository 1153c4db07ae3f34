#include <cstdint>

#include "automation/gpl_stack.h"
#include "automation/hooks.h"
#include "host/input.h"
#include "host/output.h"
#include "host/run_end.h"
#include "host/warn.h"
#include "machine/state.h"

namespace {
constexpr std::uint16_t ACCEPT_TONE = 0x0479;  // the console's standard beep
constexpr std::uint16_t ERROR_TONE = 0x0484;   // the console's error honk

// TI BASIC's message routine sounds the honk through a GPL CALL; the return
// address below tells an error (which stops a program or refuses a typed
// line) from a warning.
constexpr std::uint16_t MESSAGE_TONE_RETURN = 0x2D3A;
constexpr std::uint16_t ERROR_MESSAGE_RETURN = 0x2DBA;

// The line editor beeps when a character lands on the last position of its
// input field, where each further one replaces it.
constexpr std::uint16_t FIELD_FULL_RETURN = 0x2B8E;

bool reports_an_error() {
  return gpl_return_address(0) == MESSAGE_TONE_RETURN &&
         gpl_return_address(1) == ERROR_MESSAGE_RETURN;
}
}  // namespace

void sound_hook() {
  std::uint16_t list = cpu_word(reg(3));  // the operand the GPL I/O left in R3's word
  if (list == ACCEPT_TONE || list == ERROR_TONE) {
    // An error while the program is typed in: a line refused, or a command
    // of the file that failed. The program does not run as written.
    if (list == ERROR_TONE && have_source && !run_typed && reports_an_error())
      note_line_not_taken();
    if (gpl_return_address(0) == FIELD_FULL_RETURN) note_key_at_field_end();
    if (!output_muted) output_byte('\a');
    return;
  }
  warn("sound: %04X", list);
}
