#include "machine/vdp_picture.h"

#include "machine/state.h"

// The usual published RGB values of the TMS9918A's colours.
const std::uint8_t VDP_PALETTE[16][3] = {
    {0, 0, 0},     {0, 0, 0},       {33, 200, 66},   {94, 220, 120},
    {84, 85, 237}, {125, 118, 252}, {212, 82, 77},   {66, 235, 245},
    {252, 85, 84}, {255, 121, 120}, {212, 193, 84},  {230, 206, 128},
    {33, 176, 59}, {201, 91, 186},  {204, 204, 204}, {255, 255, 255}};

namespace {

constexpr std::uint8_t DISPLAY_ON = 0x40;  // register 1: 0 blanks the picture to the backdrop

std::uint8_t vram_at(unsigned address) { return vram[address & 0x3FFF]; }

// The colour of the character pixel at x, y (0-255, 0-191); transparent is 0.
std::uint8_t character_pixel(unsigned x, unsigned y) {
  unsigned colour_table = vdp_regs[3] * 0x40u;
  unsigned pattern_table = (vdp_regs[4] & 0x07) * 0x800u;
  std::uint8_t name = vram_at(screen_base() + (y / 8) * SCREEN_COLUMNS + x / 8);
  std::uint8_t colours = vram_at(colour_table + name / 8);
  std::uint8_t pattern = vram_at(pattern_table + name * 8u + y % 8);
  return (pattern << (x % 8)) & 0x80 ? colours >> 4 : colours & 0x0F;
}

}  // namespace

void draw_picture(std::uint8_t* pixels) {
  std::uint8_t backdrop = vdp_regs[7] & 0x0F;
  bool display_on = vdp_regs[1] & DISPLAY_ON;
  for (unsigned y = 0; y < PICTURE_HEIGHT; ++y) {
    for (unsigned x = 0; x < PICTURE_WIDTH; ++x) {
      unsigned px = x - PICTURE_BORDER, py = y - PICTURE_BORDER;  // wraps outside the screen
      std::uint8_t colour = 0;
      if (display_on && px < 256 && py < 192) colour = character_pixel(px, py);
      *pixels++ = colour ? colour : backdrop;
    }
  }
}
