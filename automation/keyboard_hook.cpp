// The keyboard scan. The place of the GPL SCAN instruction in the console's
// GPL code (the scan site, one before the GROM context) tells what the console
// is waiting for, and so how a key is to be read.
#include <cstdint>

#include "automation/gpl_stack.h"
#include "automation/hooks.h"
#include "host/host_calls.h"
#include "host/input.h"
#include "host/output.h"
#include "host/run_end.h"
#include "host/standard_input.h"
#include "host/terminal.h"
#include "machine/keyboard.h"
#include "machine/state.h"

namespace {

// Scratchpad bytes of the console's keyboard interface.
constexpr std::uint16_t KEYBOARD_MODE = 0x8374;    // requested mode; 0 keeps the current one
constexpr std::uint16_t KEY_CODE = 0x8375;         // >FF: no key
constexpr std::uint16_t GPL_STATUS = 0x837C;       // bit >20: the GPL condition bit
constexpr std::uint16_t MODE_IN_EFFECT = 0x83C6;
constexpr std::uint8_t CONDITION_BIT = 0x20;

// Scan sites.
constexpr std::uint16_t TITLE_SCREEN_WAIT = 0x01B1;
constexpr std::uint16_t MENU_WAIT = 0x02F9;
constexpr std::uint16_t IDLE_SCAN_1 = 0x010B;
constexpr std::uint16_t IDLE_SCAN_2 = 0x21A0;
constexpr std::uint16_t IDLE_SCAN_3 = 0x4E37;
constexpr std::uint16_t KEY_WAIT_1 = 0x142D;  // branches back to the SCAN until a key comes
constexpr std::uint16_t KEY_WAIT_2 = 0x1528;
constexpr std::uint16_t LINE_INPUT_WAIT = 0x2A5C;
constexpr std::uint16_t KEY_AND_JOYSTICK_SCAN = 0x5789;  // shared by CALL KEY and CALL JOYST

// The GPL return address on top of the subroutine stack at that scan tells
// CALL JOYST, which reads only the joystick bytes, from CALL KEY.
constexpr std::uint16_t CALL_JOYST_RETURN = 0x3755;

void deliver_key(std::uint8_t code) {
  cpu_mem[KEY_CODE] = code;
  cpu_mem[GPL_STATUS] |= CONDITION_BIT;
}

void deliver_no_key() {
  cpu_mem[KEY_CODE] = 0xFF;
  cpu_mem[GPL_STATUS] &= std::uint8_t(~CONDITION_BIT);
}

// The key unit of the scan being served.
int unit;

// Delivers the code that the scanned unit gives for a typed character (a line
// feed is ENTER), or no key when the unit does not see that key.
void deliver_typed(int c) {
  int code = code_for_unit(c == '\n' ? ENTER_KEY_CODE : std::uint8_t(c), unit);
  if (code == NO_KEY)
    deliver_no_key();
  else
    deliver_key(std::uint8_t(code));
}

// The CLEAR key, pressed (Ctrl-C in an interactive session) before or during
// a request: the console sees it and it is let go. A CALL KEY sees it too but
// leaves it down, as a held key, for the break test between statements.
void deliver_clear_key(bool let_go) {
  deliver_typed(CLEAR_KEY_CODE);
  if (let_go) clear_key_down = 0;
}

// Reads a key from the input sources in the given terminal mode. The end of
// standard input at a waiting request (raw key or line) ends the run; a poll
// just sees no key.
void deliver_input_key(int mode) {
  int c = clear_key_down ? CLEAR_PRESSED : next_input_char(mode);
  if (c == CLEAR_PRESSED) return deliver_clear_key(true);
  if (c < 0) {
    if (mode == TERM_RAW || mode == TERM_LINE) end_run(0);
    deliver_no_key();
    return;
  }
  deliver_typed(c);
}

// A CALL KEY loop that keeps asking after redirected input has run out, and
// prints nothing meanwhile, waits for a key that can never come. After this
// many such requests in a row the run ends, as at any other request for input
// that cannot be served; a single CALL KEY still just sees no key.
constexpr unsigned KEY_WAIT_LIMIT = 100000;
unsigned key_requests_after_end;
std::uint64_t output_at_last_key_request;

void deliver_call_key() {
  if (clear_key_down) return deliver_clear_key(false);
  int c = next_input_char(TERM_KEY);
  bool waiting_in_vain = c < 0 && standard_input_ended() &&
                         output_bytes_written == output_at_last_key_request;
  key_requests_after_end = waiting_in_vain ? key_requests_after_end + 1 : 0;
  output_at_last_key_request = output_bytes_written;
  if (key_requests_after_end >= KEY_WAIT_LIMIT) end_run(0);
  if (c < 0)
    deliver_no_key();
  else
    deliver_typed(c);
}

bool called_by_joyst() { return gpl_return_address(0) == CALL_JOYST_RETURN; }

// Units 1 and 2 (the split keyboard, with the joysticks): no joystick is
// plugged in, so the stick is at rest on every scan. CALL JOYST looks at
// nothing else and takes no key; CALL KEY takes the next key like the other
// units, seen through the split-keyboard table.
void scan_split_keyboard(int site) {
  centre_joystick();
  if (site == KEY_AND_JOYSTICK_SCAN && !called_by_joyst())
    deliver_call_key();
  else
    deliver_no_key();
}

}  // namespace

void keyboard_hook() {
  std::uint8_t mode = cpu_mem[KEYBOARD_MODE];
  int site = grom_addr - 1;  // the SCAN opcode was fetched just before; 0 gives -1
  if (mode >= 6) {
    deliver_no_key();
    return;
  }
  unit = key_unit(mode, cpu_mem[MODE_IN_EFFECT]);
  if (mode == 1 || mode == 2) return scan_split_keyboard(site);
  if (mode >= 3) {
    cpu_mem[KEYBOARD_MODE] = 0;
    cpu_mem[MODE_IN_EFFECT] = std::uint8_t(mode - 3);
  }
  switch (site) {
    case TITLE_SCREEN_WAIT:
      deliver_key(' ');
      return;
    case MENU_WAIT:
      deliver_key('1');
      return;
    case IDLE_SCAN_1:
    case IDLE_SCAN_2:
    case IDLE_SCAN_3:
      idle_scan_call(0, 1);
      deliver_no_key();
      return;
    case KEY_WAIT_1:
    case KEY_WAIT_2:
      deliver_input_key(TERM_RAW);
      return;
    case LINE_INPUT_WAIT:
      suppress_newline = 1;
      deliver_input_key(TERM_LINE);
      line_key = cpu_mem[KEY_CODE];
      if (line_key != ENTER_KEY_CODE) typed_row_full = 0;
      return;
    case KEY_AND_JOYSTICK_SCAN:
      deliver_call_key();
      return;
    default:
      deliver_input_key(TERM_POLL);
      return;
  }
}
