// A program image (a TIFILES PROGRAM file, as SAVE writes it) named on the
// command line instead of a listing: the keyboard types "OLD IMAGE" in
// place of the file's text, and the card's IMAGE device serves that one OLD
// from the file.
#pragma once

// The image waiting for its OLD, or nullptr (then IMAGE is no device).
extern const char* pending_program_image;

// When the source file (open as source_file) starts with the TIFILES mark,
// makes it the pending program image and types "OLD IMAGE" instead. A
// TIFILES file that is no program image ends the process with status 1 and
// a message.
void take_program_image(const char* path);
