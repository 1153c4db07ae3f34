// Hand-assembled snippets (snippets/*.hex), translated by the build like the
// console ROM and run on an empty machine against recording stand-ins for the
// device functions, the CRU and rom_hook. No firmware is used.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "automation/rom_hook.h"
#include "machine/cru.h"
#include "machine/memory_map.h"
#include "machine/state.h"

#ifdef TI99_COUNT_INSTRUCTIONS
std::uint64_t instruction_count;
#endif

int run_operands();
int run_devices();
int run_cru_shifts();
int run_data_ops();
int run_flow();

namespace {

std::string calls;  // every call of a stand-in, in order: "R9800 W8C00=C3 w0020=1 r0020 H6000 "
int hook_answer;    // what rom_hook answers once, then 0

std::string item(const char* format, unsigned a, unsigned b = 0) {
  char text[24];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

std::string hex(unsigned value) { return item(">%04X", value & 0xFFFF); }

constexpr std::uint16_t R(unsigned n) { return std::uint16_t(0x83E0 + 2 * n); }

struct Word {
  std::uint16_t address, value;
  const char* what = "";
};

void expect_words(const std::vector<Word>& words) {
  for (const Word& w : words) EXPECT_EQ(hex(cpu_word(w.address)), hex(w.value)) << w.what;
}

std::string words(unsigned address, unsigned count) {
  std::string text;
  for (unsigned i = 0; i < count; ++i) text += hex(cpu_word(std::uint16_t(address + 2 * i))) + " ";
  return text;
}

// Runs a translated snippet on a cleared machine with words preset; returns
// what it printed, once it has ended by finding no entry.
std::string run(int (*routine)(), const std::vector<Word>& preset) {
  std::memset(cpu_mem, 0, sizeof cpu_mem);
  wp = R(0);
  st_lgt = st_agt = st_eq = st_c = st_ov = st_op = st_x = st_mask = 0;
  calls.clear();
  for (const Word& w : preset) set_cpu_word(w.address, w.value);
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  EXPECT_EQ(routine(), 1);
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

// The CRU calls of count bits from base >0020: reads, or writes of value.
std::string cru_bits(unsigned count, int value = -1) {
  std::string text;
  for (unsigned i = 0; i < count; ++i)
    text += value < 0 ? item("r%04X ", 0x20 + i) : item("w%04X=%u ", 0x20 + i, value >> i & 1);
  return text;
}

}  // namespace

std::uint8_t mem_read_byte(std::uint16_t address) {
  if (address == 0x9000) set_reg(3, 0xA200);  // a device routine may change a register
  calls += item("R%04X ", address);
  return std::uint8_t(address >> 8 ^ address);  // >9800 reads >98, >834A reads >C9
}
void mem_write_byte(std::uint16_t address, std::uint8_t value) {
  calls += item("W%04X=%02X ", address, value);
}
void cru_write_bit(std::uint16_t bit, int v) { calls += item("w%04X=%u ", bit, unsigned(v)); }
int cru_read_bit(std::uint16_t bit) {
  calls += item("r%04X ", bit);
  return 0x96 >> (bit & 7) & 1;
}
int rom_hook() {
  calls += item("H%04X ", branch_target);
  return std::exchange(hook_answer, 0);
}

TEST(TranslatorSnippet, OperandModesAlignmentAndJumps) {
  EXPECT_EQ(run(run_operands, {{0xA010, 0x5A5A}, {0xA012, 0xA5A5}, {0xA014, 0x1111},
                               {0xA016, 0x0403}, {0xA030, 0x0005}, {0xA032, 0x0003},
                               {0xA040, 0xBEEF}, {0xA050, 0xCAFE}}),
            "not found: $6000\n");
  EXPECT_EQ(calls, "H6000 ") << "no instruction here calls a device";
  EXPECT_EQ(words(0xA000, 3), ">1234 >1234 >1234 ") << "MOV R1 to *R3, @>A002, @>A000(R6)";
  expect_words({{R(2), 0x1234, "MOV R1,R2"},
                {R(4), 0x5A5A, "MOV @>A010,R4"},
                {R(5), 0xA5A5, "MOV @>A00E(R6),R5"},
                {R(7), 0x1111, "MOV *R8+,R7"},
                {0xA016, 0x0407, "AB *R8+,*R8+"},
                {R(8), 0xA018, "*R8+ steps a word by 2, a byte by 1"},
                {0xA044, 0x1234, "MOV R1,@>A045"},
                {R(14), 0xC002, "STST after C of >0005 with >0003 and LIMI 2"},
                {R(15), 0x060E, "the jump into LI's immediate word runs it as DEC R15"},
                {0xA130, 0x0002, "passes through >01B4: straight-line code skips >01B2"}});
  EXPECT_EQ(words(R(10), 4), ">BEEF >A053 >CAFE >A034 ")
      << "MOV *R9,R10 (R9 = >A041), MOV *R11+,R12 (R11 = >A051), C *R13+,*R13+ stepping twice";
  static const char* const jumps[] = {"JEQ", "JNE", "JGT", "JLT", "JH", "JL", "JHE", "JLE", "JOC",
                                      "JNC", "JNO", "JGT", "JLT", "JH", "JL", "JHE", "JLE"};
  std::string taken;  // a taken jump skips its SETO @>A1xx
  for (int i = 0; i < 17; ++i) {
    if (i == 11) taken += "| ";
    if (cpu_word(std::uint16_t(0xA100 + 2 * i)) == 0) taken += std::string(jumps[i]) + " ";
  }
  EXPECT_EQ(taken, "JEQ JHE JLE JNC JNO | JLT JH JHE ") << "C R1,R2 equal | CI >A5A5,>0001";
}

TEST(TranslatorSnippet, MovbAndCbCallDevicesOncePerOperandInOrder) {
  EXPECT_EQ(run(run_devices, {{0x1FFE, 0x001F}, {0x8300, 0x8300}, {0x8800, 0x0500},
                              {0x8C00, 0x1000}}),
            "not found: $6000\n");
  EXPECT_EQ(calls,
            "R9800 R834A W8C00=C9 R8310 R2000 R82FF R8400 W2000=C3 W8C00=C3 "
            "R9800 R8800 R834B R834C R9000 WA200=90 H6000 ");
  EXPECT_EQ(words(R(7), 4), ">9300 >1F00 >8300 >8400 ")
      << "MOVB @>8300(R6),R7; @>1FFF,R8 and @>8300,R9 from cpu_mem; @>8400,R10 from the device";
  expect_words({{R(5), 0x9877, "MOVB *R13,R5 keeps the low byte"},
                {0x1FFE, 0x00C3, "MOVB R1,@>1FFF writes cpu_mem"},
                {0x8300, 0xC300, "MOVB R1,@>8300 writes cpu_mem"},
                {R(2), 0xC355, "MOVB R1,R2"},
                {R(4), 0x834D, "CB *R4+,*R4+ after MOVB *R4+"},
                {0x8C00, 0x1500, "AB *R15,*R14 in cpu_mem"},
                {R(3), 0xA201, "the destination is formed after the source is read"}});
}

TEST(TranslatorSnippet, CruBitsFromR12BaseAndShiftCounts) {
  EXPECT_EQ(run(run_cru_shifts, {{0xA0F0, 0x0006}, {0xA0F4, 0x9900}}), "not found: $6000\n");
  EXPECT_EQ(calls, "w0020=1 w0021=0 w001E=1 " + cru_bits(8, 0xA5) + cru_bits(3, 0x06) +
                       cru_bits(8) + cru_bits(3) + cru_bits(16) + "H6000 ");
  EXPECT_EQ(words(R(3), 1) + words(0xA0F4, 1), ">A0F2 >9906 ") << "LDCR *R3+,3; STCR @>A0F5,3";
  EXPECT_EQ(words(R(5), 6), ">96CC >9696 >F000 >0800 >0008 >C000 ")
      << "STCR R5,8; STCR R6,0; SRA R7,0 and SLA R9,0 with R0 = 3; SRL R8,4; SRC R10,1";
}

TEST(TranslatorSnippet, EachDataInstructionReachesItsOperation) {
  EXPECT_EQ(run(run_data_ops, {}), "not found: $6000\n");
  EXPECT_EQ(words(0xA000, 15), ">A152 >7CEA >9F3E >0D0A >A11E >7D1E >9F1E >0D1E >F0E2 >0F1F >0F20 "
                               ">0F1C >0000 >1E0F >8000 ")
      << "A S SOC SZC AB SB SOCB SZCB NEG INV+ABS+ABS INCT DECT CLR SWPB, STST after AB (L> only)";
  EXPECT_EQ(words(R(2), 14), ">9D2A >08A2 >2E18 >1A78 >3EBE >101F >001E >FF1E >FFFF >A000 >FFFF "
                             ">8000 >8000 >8000 ")
      << "XOR MPY DIV AI ANDI ORI, then STST after COC (EQ), CZC (no EQ), SOCB and MOV (L> only)";
}

TEST(TranslatorSnippet, CallsReturnsAndDispatch) {
  struct Case {
    std::uint16_t r1;  // where B *R1 goes first
    int hook_answer;
    const char *output, *hooked;
    bool called;  // whether the calls from entry >0110 ran
  };
  const Case cases[] = {
      {0x0110, 0, "not found: $6000\n", "H6000 ", true},
      {0x0111, 0, "not found: $6000\n", "H6000 ", true},
      {0x0112, 0, "not found: $0112\n", "H0112 ", false},  // translated, but no entry
      {0x0102, 0, "not found: $0102\n", "H0102 ", false},  // the resume address is no entry
      {0x2110, 0, "not found: $2110\n", "H2110 ", false},  // beyond the ROM, never entry >0110
      {0x0400, 1, "not found: $6000\n", "H0400 H6000 ", false},  // rom_hook served it: resume
  };
  for (const Case& c : cases) {
    hook_answer = c.hook_answer;
    EXPECT_EQ(run(run_flow, {{R(1), c.r1}}), c.output) << hex(c.r1);
    EXPECT_EQ(calls, c.hooked) << hex(c.r1);
    EXPECT_EQ(words(0xA000, 3) + words(R(5), 1),
              c.called ? ">0118 >0120 >FFFF >FFFF " : ">0000 >0000 >0000 >0000 ")
        << "R11 after BL @>0200 at >0114 and BL *R2 at >011E, both returning; B *R1 to >012B "
           "reaching >012A; B @>0131 reaching >0130";
  }
}
