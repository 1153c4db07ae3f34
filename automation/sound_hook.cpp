#include <cstdint>

#include "automation/hooks.h"
#include "host/output.h"
#include "host/warn.h"
#include "machine/state.h"

namespace {
constexpr std::uint16_t ACCEPT_TONE = 0x0479;  // the console's standard beep
constexpr std::uint16_t ERROR_TONE = 0x0484;   // the console's error honk
}  // namespace

void sound_hook() {
  std::uint16_t list = cpu_word(reg(3));  // the operand the GPL I/O left in R3's word
  if (list == ACCEPT_TONE || list == ERROR_TONE) {
    if (!output_muted) output_byte('\a');
    return;
  }
  warn("sound: %04X", list);
}
