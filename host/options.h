// The command line: GNU-style options, in any order with the program file;
// "--" ends the options.
#pragma once

// The exit status of a command line that cannot be used.
constexpr int USAGE_STATUS = 2;

// The program listing named on the command line, "-" for standard input, or
// nullptr for an interactive session.
extern const char* program_path;

// Reads the command line into program_path and the settings of the options.
// --help and --version, and every usage error, end the process here.
void parse_command_line(int argc, char** argv);
