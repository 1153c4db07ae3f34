#pragma once

// What the translated code does after rom_hook.
constexpr int HOOK_NONE = 0;        // no native routine: the run ends with "not found"
constexpr int HOOK_RESUME = 1;      // performed: go on at the GPL interpreter's fetch (>0070)
constexpr int HOOK_REDISPATCH = 2;  // performed: go on at branch_target, which the hook set
                                    // to a translated entry

// Native replacement of the ROM routine at branch_target; returns one of the
// HOOK_ answers.
int rom_hook();
