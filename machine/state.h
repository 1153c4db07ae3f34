// The whole state of the emulated TI-99/4A and the run-control flags that tie
// it to the host. Every object has static storage duration and exactly one
// instance per process; nothing here is ever re-initialised.
#pragma once

#include <cstdint>

// Firmware images, embedded at build time.
extern const std::uint8_t console_rom[8192];    // TMS9900 code at >0000->1FFF
extern const std::uint8_t console_grom[24576];  // GPL code, GROM >0000->5FFF

// Memory.
extern std::uint8_t cpu_mem[65536];  // TI address A is element A; words big-endian
extern std::uint8_t vram[16384];     // indexed by a 14-bit VDP address

// CPU. Registers R0-R15 live in cpu_mem at wp + 2n; there is no program counter.
extern std::uint16_t wp;
extern std::uint16_t branch_target;  // destination of the latest computed branch

// Status flags: each word holds exactly 0 or 1, except st_mask, which keeps the
// last LIMI operand as written.
extern std::uint32_t st_lgt, st_agt, st_eq, st_c, st_ov, st_op, st_x;
extern std::uint32_t st_mask;

// VDP (TMS9918A) ports.
extern std::uint8_t vdp_regs[8];
extern std::uint16_t vdp_addr;  // 14 bits significant
extern std::uint8_t vdp_read_ahead;
extern std::uint8_t vdp_latch;
extern std::uint32_t vdp_latch_full;

// GROM port. grom_addr also tells where the GPL interpreter is: it points just
// past the last GPL byte fetched (the GROM context).
extern std::uint16_t grom_addr;
extern std::uint32_t grom_read_toggle;
extern std::uint32_t grom_write_toggle;
constexpr std::uint16_t grom_limit = 0x5FFF;  // last GROM address holding data

// Run-control flags.
extern std::uint32_t have_source;       // a source file was named
extern std::uint32_t run_typed;         // the RUN line has started to be typed
extern std::uint32_t listing_only;      // LIST is typed instead of RUN, and ends the run
extern std::uint32_t output_muted;      // nothing reaches standard output while 1
extern std::uint32_t suppress_newline;  // the next newline event writes no line feed
extern std::uint32_t line_key;          // the code of the latest key of a typed line
extern std::uint32_t typed_row_full;    // the typed line went on to a new row and has nothing on it
extern std::uint16_t capture_last_addr; // VRAM address of the last captured write
extern std::uint32_t newline_phase;     // pairs the two scroll writes into one newline

// The screen image table: 24 rows of 32 character positions, from the VRAM
// address screen_base().
constexpr unsigned SCREEN_ROWS = 24;
constexpr unsigned SCREEN_COLUMNS = 32;
constexpr unsigned SCREEN_SIZE = SCREEN_ROWS * SCREEN_COLUMNS;
inline std::uint16_t screen_base() { return std::uint16_t((vdp_regs[2] & 0x0F) * 0x0400); }

// Big-endian word of cpu_mem at an even address, as two byte accesses.
inline std::uint16_t cpu_word(std::uint16_t address) {
  return std::uint16_t(cpu_mem[address] << 8 | cpu_mem[std::uint16_t(address + 1)]);
}
inline void set_cpu_word(std::uint16_t address, std::uint16_t value) {
  cpu_mem[address] = std::uint8_t(value >> 8);
  cpu_mem[std::uint16_t(address + 1)] = std::uint8_t(value);
}

// Workspace register Rn.
inline std::uint16_t reg_address(unsigned n) { return std::uint16_t(wp + 2 * n); }
inline std::uint16_t reg(unsigned n) { return cpu_word(reg_address(n)); }
inline void set_reg(unsigned n, std::uint16_t value) { set_cpu_word(reg_address(n), value); }
