#pragma once

// Native replacement of the ROM routine at branch_target. Returns 1 when it
// performed it (the translated code goes on at >0070), 0 when there is none.
int rom_hook();
