// The screen output capture. The TI BASIC interpreter draws its output on the
// screen; which screen writes are program output is decided by the place in
// the GPL code that writes (the GROM context), by the GPL subroutine stack and
// by the run flags. A scroll becomes a line feed, a single skipped screen
// position a space, and screen codes become ASCII.
#include "automation/screen_capture.h"

#include <cstdlib>

#include "automation/host_calls.h"
#include "automation/output.h"
#include "machine/state.h"

namespace {

constexpr unsigned SCREEN_SIZE = 768;
constexpr std::uint16_t SCREEN_FILL_LOOP = 0x05A8;  // ROM loop writing all 768 positions
constexpr std::uint16_t TIMER_BYTE = 0x8379;
constexpr std::uint16_t GPL_STACK_POINTER = 0x8373;
constexpr std::uint16_t PROMPT_POSITION = 0x02E1;  // VRAM address of the prompt character

// GROM contexts.
constexpr std::uint16_t READY_BANNER = 0x20CC;
constexpr std::uint16_t COMMAND_PROMPT = 0x21DD;
constexpr std::uint16_t CURSOR_EXCHANGE = 0x2A5A;
constexpr std::uint16_t SCROLL_RIGHT_BORDER = 0x56DF;

// Contexts whose writes are never output: VDP clear, the scroll's move,
// borders and blanks, the cursor undone, the echo of typed keys, the first
// half of characters written in two steps, and the bottom-row clearing.
constexpr std::uint16_t DROPPED_CONTEXTS[] = {0x00EE, 0x56D4, 0x56DB, 0x56DD, 0x2A83, 0x2B84,
                                              0x2FB7, 0x2FF3, 0x42C6, 0x4BEE, 0x44F9, 0x4506};

// Callers of the scroll, identified by the GPL return addresses on its stack.
constexpr std::uint16_t ROW_CHANGE_RETURN = 0x4C03;  // row change called through >4D00
constexpr std::uint16_t PRINT_WRAP_RETURN = 0x4C8A;  // ... from the print loop's row split
constexpr std::uint16_t CHAR_WRAP_RETURN = 0x2FEB;   // ... from character output past the last column
constexpr std::uint16_t END_OF_PROGRAM_RETURN = 0x4E62;

bool is_dropped_context(std::uint16_t context) {
  for (std::uint16_t dropped : DROPPED_CONTEXTS)
    if (context == dropped) return true;
  return false;
}

// The top of the GPL subroutine stack and the entry below it.
std::uint16_t gpl_stack_entry(unsigned depth) {
  unsigned top = 0x8300 | cpu_mem[GPL_STACK_POINTER];
  unsigned at = top - 2 * depth;
  return std::uint16_t(cpu_mem[at] << 8 | cpu_mem[at + 1]);
}

// The second of the two right-border writes of a scroll is a newline event,
// unless the scroll only wraps a long line or the program has ended.
void scroll_newline() {
  std::uint16_t top = gpl_stack_entry(0);
  std::uint16_t below = gpl_stack_entry(1);
  if (top == ROW_CHANGE_RETURN && (below == PRINT_WRAP_RETURN || below == CHAR_WRAP_RETURN)) return;
  if (top == END_OF_PROGRAM_RETURN && run_typed) std::exit(0);
  newline_phase ^= 1;
  if (newline_phase) return;
  if (!suppress_newline) output_byte('\n');
  capture_last_addr = PROMPT_POSITION;
  suppress_newline = 0;
  cpu_mem[TIMER_BYTE] = std::uint8_t(timer_byte_source());
}

// TI BASIC's character set is offset by >60 when VDP register 4 selects it;
// control codes and anything below a space print as a full stop.
int screen_code_to_char(std::uint8_t value) {
  int k = (vdp_regs[4] & 7) ? value : value - 0x60;
  return k <= 0x1F ? '.' : k;
}

}  // namespace

void screen_capture(std::uint8_t value) {
  std::uint16_t address = vdp_addr;
  std::uint16_t context = grom_addr;
  if (context == READY_BANNER && !have_source) output_muted = 0;
  if (output_muted) return;
  unsigned base = screen_base();
  if (address < base || address >= base + SCREEN_SIZE) return;
  if (branch_target == SCREEN_FILL_LOOP) return;
  if (is_dropped_context(context)) return;
  if (context == SCROLL_RIGHT_BORDER) return scroll_newline();
  if (context == COMMAND_PROMPT) {
    if (run_typed) std::exit(listing_only ? 0 : 1);  // the listing is done, or the program stopped
    if (have_source) return;
  }
  if (unsigned(capture_last_addr) + 2 == address) output_byte(' ');
  capture_last_addr = address;
  if (context == CURSOR_EXCHANGE) return;
  output_byte(screen_code_to_char(value) & 0xFF);
  suppress_newline = 0;
}
