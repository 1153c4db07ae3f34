#pragma once

// Start-up of the emulated machine: the workspace pointer from the reset
// vector, the program listing (path, "-" for standard input, or nullptr for
// none; a first line starting with "#" is skipped), then the terminal's
// resting mode.
void machine_init(const char* path);

// Copies the console ROM into the address space and runs machine_init.
void start_machine(const char* path);
