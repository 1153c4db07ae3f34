#include "machine/state.h"

std::uint8_t cpu_mem[65536];
std::uint8_t vram[16384];

std::uint16_t wp;
std::uint16_t branch_target;

std::uint32_t st_lgt, st_agt, st_eq, st_c, st_ov, st_op, st_x;
std::uint32_t st_mask;

std::uint8_t vdp_regs[8];
std::uint16_t vdp_addr;
std::uint8_t vdp_read_ahead;
std::uint8_t vdp_latch;
std::uint32_t vdp_latch_full;

std::uint16_t grom_addr;
std::uint32_t grom_read_toggle;
std::uint32_t grom_write_toggle;

std::uint32_t have_source;
std::uint32_t run_typed;
std::uint32_t listing_only;
std::uint32_t output_muted = 1;
std::uint32_t suppress_newline;
std::uint32_t line_key;
std::uint32_t typed_row_full;
std::uint16_t capture_last_addr = 0xFFFF;
std::uint32_t newline_phase;
