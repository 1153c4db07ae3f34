// The byte loop of the GPL MOVE instruction, natively, for moves from VRAM or
// GROM to VRAM: screen scrolls, screen fills and characters copied. The
// console's loop (>065E->06CC) branches through R6 to read a byte and through
// R7 to write it; here the same port reads and writes are made in the same
// order through the same byte path, so that the screen capture sees every
// byte with the same GROM context and branch target. Registers, flags and
// the executed instruction count end as the console's loop leaves them.
#include "automation/hooks.h"
#include "automation/rom_hook.h"
#include "rom/instruction_count.h"
#include "rom/tms9900_ops.h"

namespace {

// The loop's handlers: where R6 and R7 point.
constexpr std::uint16_t READ_FROM_VRAM = 0x0664;
constexpr std::uint16_t READ_FROM_GROM = 0x0672;
constexpr std::uint16_t WRITE_TO_VRAM = 0x06BA;
constexpr std::uint16_t AFTER_THE_LOOP = 0x083E;  // where the loop's end branches

// TMS9900 instructions of one round: B *R6, a read handler of four and its
// B *R7, the VRAM write handler of five, DEC R8 and JGT.
constexpr unsigned INSTRUCTIONS_PER_BYTE = 13;

std::uint8_t high(std::uint16_t word) { return std::uint8_t(word >> 8); }
std::uint8_t low(std::uint16_t word) { return std::uint8_t(word); }

// MOVB @>83E3,*R15; MOVB R1,*R15; INC R1; MOVB @>FBFE(R15),R11
std::uint8_t read_vram(std::uint16_t& from) {
  mem_write_byte(VDP_WRITE_CONTROL, low(from));
  mem_write_byte(VDP_WRITE_CONTROL, high(from));
  ++from;
  return mem_read_byte(VDP_READ_DATA);
}

// MOVB R1,@>0402(R13); MOVB @>83E3,@>0402(R13); INC R1; MOVB *R13,R11
std::uint8_t read_grom(std::uint16_t& from) {
  mem_write_byte(GROM_WRITE_ADDRESS, high(from));
  mem_write_byte(GROM_WRITE_ADDRESS, low(from));
  ++from;
  return mem_read_byte(GROM_READ_DATA);
}

// MOVB @>83E5,*R15; ORI R2,>4000; MOVB R2,*R15; INC R2; MOVB R11,@>FFFE(R15)
void write_vram(std::uint16_t& to, std::uint8_t byte) {
  mem_write_byte(VDP_WRITE_CONTROL, low(to));
  to |= 0x4000;
  mem_write_byte(VDP_WRITE_CONTROL, high(to));
  ++to;
  mem_write_byte(VDP_WRITE_DATA, byte);
}

}  // namespace

int gpl_move_hook() {
  std::uint16_t reader = reg(6) & 0xFFFE, writer = reg(7) & 0xFFFE;
  bool served = (reader == READ_FROM_VRAM || reader == READ_FROM_GROM) &&
                writer == WRITE_TO_VRAM && reg(13) == GROM_READ_DATA &&
                reg(15) == VDP_WRITE_CONTROL;
  if (!served) {  // the console's loop does it: its B *R6
    count_instructions(1);
    branch_target = reader;
    return HOOK_REDISPATCH;
  }
  std::uint16_t from = reg(1), to = reg(2), count = reg(8);
  std::uint8_t byte = 0;
  std::uint64_t rounds = 0;
  for (;; --count) {
    branch_target = reader;
    byte = reader == READ_FROM_VRAM ? read_vram(from) : read_grom(from);
    branch_target = writer;
    write_vram(to, byte);
    ++rounds;
    if (std::int16_t(count - 1) <= 0) break;  // DEC R8 leaves no positive count: JGT falls through
  }
  count = decrement_word<ALL_FLAGS>(count);  // the last DEC R8, with its flags
  set_reg(1, from);
  set_reg(2, to);
  set_reg(8, count);
  cpu_mem[reg_address(11)] = byte;
  count_instructions(rounds * INSTRUCTIONS_PER_BYTE + 1);  // and the B @>083E after the loop
  branch_target = AFTER_THE_LOOP;
  return HOOK_REDISPATCH;
}
