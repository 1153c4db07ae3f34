#include "automation/rom_hook.h"

#include "automation/disk_dsr.h"
#include "automation/hooks.h"
#include "host/run_end.h"
#include "machine/peripheral_card.h"
#include "machine/state.h"

int rom_hook() {
  switch (branch_target) {
    case CONSOLE_RESET_ENTRY:
      end_run(0);
    case KEYBOARD_SCAN:
      keyboard_hook();
      return HOOK_RESUME;
    case SOUND_LIST:
      sound_hook();
      return HOOK_RESUME;
    case CRU_TRANSFER:
      return HOOK_RESUME;
    case GPL_MOVE_LOOP:
      return gpl_move_hook();
    default:
      break;
  }
  int device = card_on ? card_routine_device(branch_target) : -1;
  if (device < 0) return HOOK_NONE;
  disk_dsr(device);
  return HOOK_REDISPATCH;
}
