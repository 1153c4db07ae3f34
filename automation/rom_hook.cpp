#include "automation/rom_hook.h"

#include <cstdlib>

#include "automation/hooks.h"
#include "machine/state.h"

int rom_hook() {
  switch (branch_target) {
    case CONSOLE_RESET_ENTRY:
      std::exit(0);
    case KEYBOARD_SCAN:
      keyboard_hook();
      return HOOK_RESUME;
    case SOUND_LIST:
      sound_hook();
      return HOOK_RESUME;
    case CRU_TRANSFER:
      return HOOK_RESUME;
    default:
      return HOOK_NONE;
  }
}
