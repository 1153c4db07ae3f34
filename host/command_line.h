// The command line: options, then the program file.
//
//   ti99run [--dsk1 DIR] [--dsk2 DIR] [--dsk3 DIR] [--cs1 FILE] [--cs2 FILE]
//           [--list] [PROGRAM]
#pragma once

// Applies the options and returns the index in argv of the program file
// (argc when there is none). Bad usage ends the process with status 2.
int parse_command_line(int argc, char** argv);
