#pragma once

// Runs the translated console ROM from its reset entry >0024 until the run
// ends. Returns 1 when a computed branch reaches an address that nothing
// serves; every other end of a run exits the process from inside.
int run_console_rom();
