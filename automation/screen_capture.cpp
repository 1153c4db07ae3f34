// The screen output capture. The TI BASIC interpreter draws its output on the
// screen; which screen writes are program output is decided by the place in
// the GPL code that writes (the GROM context), by the GPL subroutine stack and
// by the run flags. A scroll becomes a line feed, screen positions skipped
// on a row become blanks, and screen codes become ASCII.
#include "automation/screen_capture.h"

#include "automation/gpl_stack.h"
#include "automation/screen_text.h"
#include "host/host_calls.h"
#include "host/output.h"
#include "host/run_end.h"
#include "machine/keyboard.h"
#include "machine/state.h"

namespace {

constexpr std::uint16_t TIMER_BYTE = 0x8379;
constexpr std::uint16_t PROMPT_POSITION = 0x02E1;  // VRAM address of the prompt character

// GROM contexts.
constexpr std::uint16_t COMMAND_PROMPT = 0x21DD;
constexpr std::uint16_t CURSOR_EXCHANGE = 0x2A5A;
constexpr std::uint16_t SCROLL_RIGHT_BORDER = 0x56DF;

// Callers of the scroll, identified by the GPL return addresses on its stack.
constexpr std::uint16_t ROW_CHANGE_RETURN = 0x4C03;  // row change called through >4D00
constexpr std::uint16_t PRINT_WRAP_RETURN = 0x4C8A;  // ... from the print loop's row split
constexpr std::uint16_t CHAR_WRAP_RETURN = 0x2FEB;   // ... from output past the last column
constexpr std::uint16_t END_OF_PROGRAM_RETURN = 0x4E62;

// The print loop's item: its length and how much of it is still to print.
constexpr std::uint16_t PRINT_ITEM_LENGTH = 0x8351;
constexpr std::uint16_t PRINT_ITEM_LEFT = 0x830C;

// Whether a scroll only continues text past the end of a full row. The print
// loop also changes rows when an item does not fit the room left on a row,
// even when that room is none at all (the row before was filled exactly): the
// item moves whole to the next row, which on the screen is a new line. Only a
// row change after part of the item has been printed continues it.
bool wraps_text(std::uint16_t top, std::uint16_t below) {
  if (top != ROW_CHANGE_RETURN) return false;
  if (below == CHAR_WRAP_RETURN) return true;
  bool item_begun = cpu_mem[PRINT_ITEM_LEFT] < cpu_mem[PRINT_ITEM_LENGTH];
  return below == PRINT_WRAP_RETURN && item_begun;
}

// The newline event of a scroll while a line is typed writes no line feed:
// the typed line is not output, and where it is seen (a terminal's echo) its
// own line end stands for the scroll of its ENTER. A character typed into the
// last column of a row takes the editor on to the next row; when ENTER comes
// next, its scroll leaves that row empty on the screen, and becomes the line
// feed that shows it. Other keys (CLEAR) scroll for themselves. The typing of
// the listing is not output.
void typed_line_newline() {
  if (line_key == ENTER_KEY_CODE) {
    if (typed_row_full) output_byte('\n');
    typed_row_full = 0;
    return;
  }
  bool character = line_key >= ' ' && line_key <= '~';
  typed_row_full = character && (run_typed || !have_source);
}

// The second of the two right-border writes of a scroll is a newline event,
// unless the scroll only wraps a long line or the program has ended.
void scroll_newline() {
  std::uint16_t top = gpl_return_address(0);
  std::uint16_t below = gpl_return_address(1);
  if (wraps_text(top, below)) return;
  if (top == END_OF_PROGRAM_RETURN && run_typed) end_run(0);
  newline_phase ^= 1;
  if (newline_phase) return;
  if (suppress_newline)
    typed_line_newline();
  else
    output_byte('\n');
  capture_last_addr = PROMPT_POSITION;
  suppress_newline = 0;
  cpu_mem[TIMER_BYTE] = std::uint8_t(timer_byte_source());
}

// Skipped positions between the last captured write and this one on the same
// row come out as blanks, so that text keeps its column.
void write_gap(unsigned address) {
  unsigned last = capture_last_addr;
  if (address <= last + 1 || address / SCREEN_COLUMNS != last / SCREEN_COLUMNS) return;
  for (unsigned skipped = address - last - 1; skipped > 0; --skipped) output_byte(' ');
}

}  // namespace

void capture_screen_write(std::uint8_t value) {
  std::uint16_t address = vdp_addr;
  std::uint16_t context = grom_addr;
  if (context == SCROLL_RIGHT_BORDER) return scroll_newline();
  if (context == COMMAND_PROMPT) {
    if (run_typed) end_run(listing_only ? 0 : 1);  // the listing is done, or the program stopped
    if (have_source) return;
  }
  write_gap(address);
  capture_last_addr = address;
  if (context == CURSOR_EXCHANGE) return;
  output_byte(screen_code_to_char(value));
  suppress_newline = 0;
}
