// --screen FILE: the screen as it is when the run ends, written by the exit
// sequence. A name ending in .png gets the picture (see machine/vdp_picture.h)
// with every VDP pixel drawn as 2x2 pixels: 576x448 in all. Any other name gets
// the 24 rows as text. "-" writes the text rows to standard output, after
// everything the program printed.
#pragma once

extern const char* screen_file_path;  // nullptr: no screen file

// Writes the screen file if one was asked for: completely or not at all.
// Returns false after reporting "writing screen image FILE: reason" on
// standard error.
bool write_screen_file();
