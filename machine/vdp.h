// The VDP (TMS9918A) ports, modelled as far as the console firmware needs:
// data read with a one-byte read-ahead, data write, and the two-byte control
// latch (set read address, set write address, register write).
#pragma once

#include "host/warn.h"
#include "machine/state.h"

inline void vdp_advance() { vdp_addr = std::uint16_t((vdp_addr + 1) & 0x3FFF); }

inline std::uint8_t vdp_read_data() {
  std::uint8_t result = vdp_read_ahead;
  vdp_latch_full = 0;
  vdp_read_ahead = vram[vdp_addr & 0x3FFF];
  vdp_advance();
  return result;
}

inline void vdp_write_data(std::uint8_t value) {
  vdp_latch_full = 0;
  vram[vdp_addr & 0x3FFF] = value;
  vdp_read_ahead = value;
  vdp_advance();
}

// The second control byte: register writes, and the command no program sends.
[[gnu::noinline]] inline void vdp_register_command(std::uint8_t value) {
  unsigned low = value & 0x3F;
  if (value >> 6 == 3)
    warn("unknown VDP command 3: >%02X", low);
  else if (low <= 7)
    vdp_regs[low] = vdp_latch;
  else
    warn("VDP reg %d = >%02X", low, vdp_latch);
}

// A set read address fills the read-ahead at once. Address settings are most
// of the VDP's traffic: they are made at the call, the rest out of line.
[[gnu::always_inline]] inline void vdp_write_control(std::uint8_t value) {
  if (!vdp_latch_full) {
    vdp_latch = value;
    vdp_latch_full = 1;
    return;
  }
  vdp_latch_full = 0;
  if (value >= 0x80) return vdp_register_command(value);
  vdp_addr = std::uint16_t((value & 0x3F) << 8 | vdp_latch);
  if (value >= 0x40) return;  // set write address
  vdp_read_ahead = vram[vdp_addr];
  vdp_advance();
}
