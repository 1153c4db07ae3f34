#pragma once

// Makes sure descriptors 0, 1 and 2 are open before any file is: a closed one
// would be taken by the next file opened (the listing, a disk file), and what
// is meant for standard output would land there. A closed standard input
// reads as empty, a closed standard output fails at the first write (which is
// reported), a closed standard error swallows what is written to it.
void keep_standard_descriptors();

// Start-up of the emulated machine: the workspace pointer from the reset
// vector, the program listing (path, "-" for standard input, or nullptr for
// none; a first line starting with "#" is skipped), then the terminal's
// resting mode.
void machine_init(const char* path);

// Copies the console ROM into the address space and runs machine_init.
void start_machine(const char* path);
