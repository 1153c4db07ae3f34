#pragma once

#include <cstdint>

// Sees every byte written to the VDP data port before it is stored, and turns
// the BASIC program's screen output into text on standard output. May end the
// process.
void screen_capture(std::uint8_t value);
