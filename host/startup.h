#pragma once

// Start-up of the emulated machine: the workspace pointer from the reset
// vector, the source file named by argv[1] (a first line starting with "#" is
// skipped), then the terminal's resting mode.
void machine_init(int argc, char** argv);

// Copies the console ROM into the address space and runs machine_init.
void start_machine(int argc, char** argv);
