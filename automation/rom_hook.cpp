#include "automation/rom_hook.h"

// Stand-in until the hooks land: no ROM routine has a native replacement.
int rom_hook() { return 0; }
