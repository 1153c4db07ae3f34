// What the TV shows: the VDP's picture in graphics mode I, the mode TI BASIC
// uses (a name table of 24 rows of 32 characters, 8x8 patterns, one colour
// byte per group of 8 characters), inside a border in the backdrop colour.
// Sprites are not drawn: TI BASIC has none.
#pragma once

#include <cstdint>

constexpr unsigned PICTURE_BORDER = 16;  // border width on each side, in VDP pixels
constexpr unsigned PICTURE_WIDTH = 256 + 2 * PICTURE_BORDER;
constexpr unsigned PICTURE_HEIGHT = 192 + 2 * PICTURE_BORDER;

// The TMS9918A's 16 colours as RGB; colour 0, transparent, shows as black.
extern const std::uint8_t VDP_PALETTE[16][3];

// Draws the current picture from vram and vdp_regs: one colour number (1 to
// 15, or 0 for black) per pixel, row by row, PICTURE_WIDTH by PICTURE_HEIGHT.
void draw_picture(std::uint8_t* pixels);
