// Hand-assembled TMS9900 snippets (snippets/*.hex), translated by the build
// like the console ROM, run against recording device functions. Each snippet
// ends with a computed branch to >6000, which has no entry: the routine
// prints the not-found line and returns 1.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "machine/state.h"
#include "rom/entry_table.h"
#include "tests/translator/snippet_support.h"

int run_addressing();
int run_alignment();
int run_device_path();
int run_conditions();
int run_operations();
int run_shifts_cru();
int run_calls();
int run_overlap();
int run_dispatch();
extern const EntryTable dispatch_entry_table;

namespace {

std::uint16_t r(unsigned n) { return reg(n); }

// The common end of a snippet: B *R0 with R0 = >6000, served by nothing.
void expect_end_at_6000(const SnippetRun& run) {
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, "not found: $6000\n");
  EXPECT_EQ(hex(branch_target), ">6000");
  ASSERT_EQ(hook_targets.size(), 1u) << "rom_hook was asked for something besides >6000";
  EXPECT_EQ(hex(hook_targets[0]), ">6000");
}

// Words logged from address log by a snippet.
std::vector<std::string> logged_words(std::uint16_t log, std::size_t count) {
  std::vector<std::string> words;
  for (std::size_t i = 0; i < count; ++i) words.push_back(hex(word_at(std::uint16_t(log + 2 * i))));
  return words;
}

}  // namespace

TEST(TranslatorSnippet, OperandModes) {
  reset_machine();
  put_word(0xA010, 0x5A5A);
  put_word(0xA012, 0xA5A5);
  put_word(0xA014, 0x1111);
  put_word(0xA016, 0x2222);
  put_word(0xA01A, 0x0304);
  put_word(0xA020, 0x00FF);
  put_word(0xA022, 0x3030);
  put_word(0xA024, 0x7777);
  put_word(0xA028, 0xFFFF);
  put_word(0xA02C, 0x0101);
  put_word(0xA030, 0x0005);
  put_word(0xA032, 0x0003);
  put_word(0xA034, 0x0009);
  SnippetRun run = run_snippet(run_addressing);
  expect_end_at_6000(run);

  EXPECT_EQ(hex(r(2)), ">A034") << "C *R2+,*R2+ steps R2 by 2 twice";
  EXPECT_EQ(hex(r(10)), ">C000") << "C *R2+,*R2+ compares >0005 (at R2) with >0003 (at R2+2)";
  EXPECT_EQ(hex(word_at(0xA000)), ">1234") << "MOV R1,*R3";
  EXPECT_EQ(hex(word_at(0xA002)), ">1234") << "MOV R1,@>A002";
  EXPECT_EQ(hex(word_at(0xA004)), ">1234") << "MOV R1,@>A000(R6)";
  EXPECT_EQ(hex(r(4)), ">5A5A") << "MOV @>A010,R4";
  EXPECT_EQ(hex(r(5)), ">A5A5") << "MOV @>A00E(R6),R5";
  EXPECT_EQ(hex(r(7)), ">1111") << "MOV *R8+,R7";
  EXPECT_EQ(hex(word_at(0xA018)), ">2222") << "MOV *R8+,*R8+";
  EXPECT_EQ(hex(word_at(0xA01A)), ">0307") << "AB *R8+,*R8+ adds the byte at >A01A to >A01B";
  EXPECT_EQ(hex(r(8)), ">A01C") << "two word and two byte auto-increments";
  EXPECT_EQ(hex(r(9)), ">1234") << "MOV *R3,R9";
  EXPECT_EQ(hex(word_at(0xA020)), ">0100") << "INC *R11+";
  EXPECT_EQ(hex(word_at(0xA022)), ">3030") << "XOR only reads its source";
  EXPECT_EQ(hex(word_at(0xA024)), ">0000") << "CLR *R11";
  EXPECT_EQ(hex(word_at(0xA026)), ">FFFF") << "SETO @>0002(R11)";
  EXPECT_EQ(hex(r(11)), ">A024") << "INC *R11+ and XOR *R11+ step by 2";
  EXPECT_EQ(hex(r(12)), ">C1C1") << "XOR with *R11+, @>A028 and @>0008(R11)";
  EXPECT_EQ(hex(r(1)), ">1234");
  EXPECT_EQ(hex(r(0)), ">6000");
  EXPECT_TRUE(device_calls.empty()) << describe(device_calls);
}

TEST(TranslatorSnippet, WordAlignmentByteOperandsAndRomWrites) {
  reset_machine();
  put_word(0xA040, 0xBEEF);
  cpu_mem[0xA043] = 0x99;
  cpu_mem[0xA046] = 0x99;
  put_word(0xA048, 0x00FF);
  put_word(0xA050, 0xCAFE);
  put_word(0xA060, 0x1122);
  cpu_mem[0xA072] = 0x99;
  SnippetRun run = run_snippet(run_alignment);
  expect_end_at_6000(run);

  EXPECT_EQ(hex(r(5)), ">BEEF") << "MOV *R4,R5 with R4 = >A041 reads the word at >A040";
  EXPECT_EQ(hex(word_at(0xA044)), ">1234") << "MOV R1,@>A045 writes the word at >A044";
  EXPECT_EQ(cpu_mem[0xA043], 0x99);
  EXPECT_EQ(cpu_mem[0xA046], 0x99);
  EXPECT_EQ(hex(word_at(0xA048)), ">0100") << "INC @>A049 increments the word at >A048";
  EXPECT_EQ(hex(r(7)), ">CAFE") << "MOV *R6+,R7 with R6 = >A051";
  EXPECT_EQ(hex(r(6)), ">A053") << "the auto-increment adds 2 to the odd address itself";
  EXPECT_EQ(hex(word_at(0xA070)), ">1234") << "MOV R1,*R13 with R13 = >A071";
  EXPECT_EQ(cpu_mem[0xA072], 0x99);
  EXPECT_EQ(hex(r(8)), ">23FF") << "AB @>A061,R8 adds the byte at >A061 to R8's high byte only";
  EXPECT_EQ(hex(r(9)), ">1255") << "MOVB R1,R9 changes R9's high byte only";
  EXPECT_EQ(hex(word_at(0x0200)), ">1234") << "MOV into the ROM range";
  EXPECT_EQ(hex(word_at(0x0300)), ">FFFF") << "SETO *R10 into the ROM range";
  EXPECT_EQ(hex(word_at(0x0400)), ">1200") << "SOCB into the ROM range";
  EXPECT_EQ(hex(word_at(0x0500)), ">0012") << "AB R1,*R12 into the ROM range, odd byte";
  EXPECT_EQ(hex(word_at(0x0600)), ">1200") << "MOVB to a constant ROM address is a plain write";
  EXPECT_TRUE(device_calls.empty()) << describe(device_calls);
}

TEST(TranslatorSnippet, DevicePathOfMovbAndCb) {
  reset_machine();
  cpu_mem[0x1FFF] = 0x1F;
  cpu_mem[0x8300] = 0x83;
  cpu_mem[0x8310] = 0x31;
  cpu_mem[0x83FF] = 0xF5;
  put_word(0x9800, 0x9876);
  cpu_mem[0x8800] = 0x05;
  cpu_mem[0x8801] = 0x01;
  cpu_mem[0x8C00] = 0x10;
  cpu_mem[0x8C02] = 0x40;
  read_answers = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x80,
                  0x7F, 0x31, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE};
  side_effect_address = 0x9000;  // MOVB @>9000,*R3+: the read moves R3
  side_effect_register = 3;
  side_effect_value = 0xA200;
  SnippetRun run = run_snippet(run_device_path);
  expect_end_at_6000(run);

  const std::vector<DeviceCall> expected = {
      {'R', 0x9800, 0x11},                        // MOVB *R13,R5
      {'R', 0x834A, 0x22}, {'W', 0x8C00, 0x22},   // MOVB *R4+,@>8C00
      {'R', 0x8310, 0x33},                        // MOVB @>8300(R6),R7
      {'R', 0x2000, 0x44},                        // MOVB @>2000,R0
      {'R', 0x82FF, 0x55},                        // MOVB @>82FF,R0
      {'R', 0x8400, 0x66},                        // MOVB @>8400,R0
      {'R', 0x8800, 0x77},                        // MOVB @>8800,R0
      {'W', 0x2000, 0xC3},                        // MOVB R1,@>2000
      {'W', 0x82FF, 0xC3},                        // MOVB R1,@>82FF
      {'W', 0x8400, 0xC3},                        // MOVB R1,@>8400
      {'W', 0x8C00, 0xC3},                        // MOVB R1,@>8C00
      {'R', 0x9800, 0x80}, {'R', 0x8800, 0x7F},   // CB *R13,@>8800
      {'R', 0x834B, 0x31},                        // CB @>8310,*R4
      {'R', 0x834B, 0xAA}, {'R', 0x834C, 0xBB},   // CB *R4+,*R4+
      {'R', 0x8350, 0xCC}, {'W', 0x8C00, 0xCC},   // MOVB *R6+,*R7+
      {'R', 0x8353, 0xDD}, {'W', 0x8C11, 0xDD},   // MOVB @>0002(R6),@>0010(R7)
      {'R', 0x9000, 0xEE}, {'W', 0xA200, 0xEE},   // MOVB @>9000,*R3+
  };
  EXPECT_EQ(describe(device_calls), describe(expected));

  const std::vector<std::string> log = {
      ">1177",  // MOVB *R13,R5: the byte read, R5's low byte kept
      ">3300",  // MOVB @>8300(R6),R7
      ">1F00",  // MOVB @>1FFF,R0: plain read of cpu_mem
      ">4400", ">5500",
      ">8300",  // MOVB @>8300,R0: plain
      ">F500",  // MOVB @>83FF,R0: plain
      ">6600", ">7700",
      ">C300",  // MOVB R1,R2
      ">8000",  // CB of >80 with >7F: L> only
      ">2000",  // CB @>1FFF,@>8300 after the plain writes of >C3 to both
      ">9876",  // MOV *R13,R0 reads cpu_mem
  };
  EXPECT_EQ(logged_words(0xA000, log.size()), log);
  EXPECT_EQ(cpu_mem[0x1FFF], 0xC3);
  EXPECT_EQ(cpu_mem[0x8300], 0xC3);
  EXPECT_EQ(hex(r(15)), ">00C3") << "MOVB R1,@>83FF wrote R15's low byte in cpu_mem";
  EXPECT_EQ(cpu_mem[0x2000], 0x00);
  EXPECT_EQ(cpu_mem[0x8400], 0x00);
  EXPECT_EQ(hex(r(4)), ">834D");
  EXPECT_EQ(cpu_mem[0x8C00], 0x14) << "AB *R6,*R5 then SZCB @>8801,*R5+ in cpu_mem";
  EXPECT_EQ(cpu_mem[0x8C02], 0x45) << "SOCB *R6+,@>8C02 in cpu_mem";
  EXPECT_EQ(hex(r(5)), ">8C01");
  EXPECT_EQ(hex(r(6)), ">8801");
  EXPECT_EQ(hex(r(3)), ">A201") << "the destination is formed after the source read";
}

TEST(TranslatorSnippet, ConditionalJumps) {
  static const char* const jumps[] = {"JEQ", "JNE", "JGT", "JLT", "JH", "JL",
                                      "JHE", "JLE", "JOC", "JNC", "JNO"};
  struct Case {
    const char* flags_from;
    const char* taken;
  };
  const Case cases[] = {
      {"C >1234,>1234", "JEQ JHE JLE JNC JNO"},
      {"C >0001,>0002", "JNE JLT JL JLE JNC JNO"},
      {"C >8000,>0001", "JNE JLT JH JHE JNC JNO"},
      {"C >0001,>FFFF", "JNE JGT JL JLE JNC JNO"},
      {"CI >0003,>0002", "JNE JGT JH JHE JNC JNO"},
      {"CB >80,>7F", "JNE JLT JH JHE JNC JNO"},
      {"CB >7F00,>7FFF", "JEQ JHE JLE JNC JNO"},
      {"A >0001 to >7FFF", "JNE JLT JH JHE JNC"},
      {"A >0001 to >FFFF", "JEQ JHE JLE JOC JNO"},
      {"LI >0000, carry kept", "JEQ JHE JLE JOC JNO"},
  };
  reset_machine();
  SnippetRun run = run_snippet(run_conditions);
  expect_end_at_6000(run);

  std::uint16_t log = 0xA000;
  for (const Case& c : cases) {
    std::string taken;
    for (const char* jump : jumps) {
      std::uint16_t word = word_at(log);
      log += 2;
      ASSERT_TRUE(word == 0x0000 || word == 0xFFFF) << c.flags_from << " " << jump;
      if (word == 0xFFFF) taken += (taken.empty() ? "" : " ") + std::string(jump);
    }
    EXPECT_EQ(taken, c.taken) << "jumps taken after " << c.flags_from;
  }
  EXPECT_EQ(hex(word_at(log)), ">0005") << "DEC/JNE loop with a backward jump";
}

TEST(TranslatorSnippet, DataInstructionResultsAndFlags) {
  struct Case {
    const char* instruction;
    std::vector<std::uint16_t> values;  // the registers logged
    std::uint16_t status;
    std::uint16_t checked;  // status bits the instruction defines (>FFFF: all,
                            // the rest preset by the snippet)
  };
  const Case cases[] = {
      {"A >0001 to >7FFF", {0x8000}, 0x8800, 0xF800},
      {"A >0001 to >FFFF", {0x0000}, 0x3000, 0xF800},
      {"S >0001 from >0000", {0xFFFF}, 0x8000, 0xF800},
      {"S >0001 from >8000", {0x7FFF}, 0xD800, 0xF800},
      {"S >0005 from >0005", {0x0000}, 0x3000, 0xF800},
      {"AB >01 to >7F", {0x8034}, 0x8800, 0xF800},
      {"SB >01 from >00", {0xFF34}, 0x8000, 0xF800},
      {"SB >00 from >9A", {0x9A00}, 0x9000, 0xF800},
      {"SOC", {0x0FF0}, 0xC000, 0xE000},
      {"SOCB", {0x8012}, 0x8000, 0xE000},
      {"SZC", {0x1200}, 0xC000, 0xE000},
      {"SZCB", {0x0034}, 0x2000, 0xE000},
      {"MOV >8000", {0x8000}, 0x8000, 0xE000},
      {"MOVB R1,R2 with R1 = >0099", {0x0034}, 0x2000, 0xE000},
      {"COC: EQ only", {0x00F0}, 0xF800, 0xFFFF},
      {"CZC: EQ only", {0x00F0}, 0x1800, 0xFFFF},
      {"XOR", {0xF0F0}, 0x8000, 0xE000},
      {"MPY @>83C0,R4: no flags", {0xFFFE, 0x0001}, 0xD800, 0xFFFF},
      {"DIV R2,R8", {0x1000, 0x0005}, 0x3000, 0xFFFF},
      {"DIV by zero", {0x0001, 0x0005}, 0xC800, 0xFFFF},
      {"DIV by a divisor equal to Rd", {0x0002, 0x0000}, 0xC800, 0xFFFF},
      {"CLR: no flags", {0x0000}, 0xD800, 0xFFFF},
      {"SETO: no flags", {0xFFFF}, 0x3800, 0xFFFF},
      {"INV >FFFF", {0x0000}, 0x2000, 0xE000},
      {"NEG >0000", {0x0000}, 0x3000, 0xF800},
      {"NEG >0001", {0xFFFF}, 0x8000, 0xF800},
      {"NEG >8000", {0x8000}, 0x8800, 0xF800},
      {"ABS >8000", {0x8000}, 0x8800, 0xF800},
      {"ABS >FFFF", {0x0001}, 0x8000, 0xFFFF},
      {"ABS >0005", {0x0005}, 0xC000, 0xF800},
      {"INC >7FFF", {0x8000}, 0x8800, 0xF800},
      {"INC >FFFF", {0x0000}, 0x3000, 0xF800},
      {"INCT >FFFF", {0x0001}, 0xD000, 0xF800},
      {"DEC >0000", {0xFFFF}, 0x8000, 0xF800},
      {"DEC >8000", {0x7FFF}, 0xD800, 0xF800},
      {"DECT >0001", {0xFFFF}, 0x8000, 0xF800},
      {"SWPB: no flags", {0x3412}, 0xD800, 0xFFFF},
      {"LI >8000: C and OV kept", {0x8000}, 0x8000, 0xFFFF},
      {"AI >0001 to >7FFF", {0x8000}, 0x8800, 0xF800},
      {"ANDI", {0x0000}, 0x2000, 0xE000},
      {"ORI", {0x8001}, 0x8000, 0xE000},
      {"CI >0003,>0002", {0x0003}, 0xC000, 0xE000},
      {"CI >0003,>0004", {0x0003}, 0x0000, 0xE000},
  };
  reset_machine();
  put_word(0x83C0, 0xFFFF);
  SnippetRun run = run_snippet(run_operations);
  expect_end_at_6000(run);

  std::uint16_t log = 0xA000;
  for (const Case& c : cases) {
    for (std::size_t i = 0; i < c.values.size(); ++i) {
      EXPECT_EQ(hex(word_at(log)), hex(c.values[i])) << c.instruction << ", register " << i;
      log += 2;
    }
    EXPECT_EQ(hex(word_at(log) & c.checked), hex(c.status)) << c.instruction << ": status";
    log += 2;
  }
  EXPECT_EQ(word_at(log), 0) << "the log is longer than the table";
  EXPECT_TRUE(device_calls.empty()) << describe(device_calls);
}

TEST(TranslatorSnippet, ShiftsCruAndStatus) {
  struct Shift {
    const char* instruction;
    std::uint16_t value;
    std::uint16_t status;
  };
  const Shift shifts[] = {
      {"SLA R2,0 with R0 = 0: 16 places, OV kept", 0x0000, 0x3800},
      {"SRC R2,0 with R0 = 0: 16 places", 0x8001, 0x9000},
      {"SRL R2,0 with R0 = >0023: 3 places", 0x001E, 0xC000},
      {"SRA R2,0 with R0 = 0", 0xFFFF, 0x9000},
      {"SRA R2,4", 0xF801, 0x8000},
      {"SRL R2,0 with R0 = 0", 0x0000, 0x3000},
      {"SLA R2,1 of >4000: OV kept", 0x8000, 0x8800},
      {"SLA R2,3 of >3001", 0x8008, 0x9000},
      {"SRC R2,4 of >1234", 0x4123, 0xC000},
      {"SRC R2,1 of >0001", 0x8000, 0x9000},
      {"SRL R2,0 with R0 = >FFF0: 16 places", 0x0000, 0x3000},
      {"SLA R2,0 with R0 = >0011: 1 place", 0x8002, 0x8000},
      {"SRA R2,1 of >0001", 0x0000, 0x3000},
      {"SRL R2,15 of >FFFF", 0x0001, 0xD000},
  };
  reset_machine();
  cpu_mem[0xA0F0] = 0x05;
  cpu_mem[0xA0F1] = 0x06;
  cpu_mem[0xA0F5] = 0x99;
  for (int i = 0; i < 8; ++i) {
    cru_inputs[std::uint16_t(0x20 + i)] = (0x96 >> i) & 1;
    cru_inputs[std::uint16_t(0x80 + i)] = (0x3C >> i) & 1;
  }
  SnippetRun run = run_snippet(run_shifts_cru);
  expect_end_at_6000(run);

  std::uint16_t log = 0xA000;
  for (const Shift& s : shifts) {
    EXPECT_EQ(hex(word_at(log)), hex(s.value)) << s.instruction;
    EXPECT_EQ(hex(word_at(log + 2)), hex(s.status)) << s.instruction << ": status";
    log += 4;
  }

  std::vector<DeviceCall> expected = {
      {'w', 0x0020, 1}, {'w', 0x0021, 0}, {'w', 0x001E, 1},  // SBO 0, SBZ 1, SBO -2
      {'w', 0x0025, 0},                                      // SBZ 5, R12 = >E040
      {'w', 0x0020, 1}, {'w', 0x0021, 0}, {'w', 0x0022, 1},  // LDCR @>A0F0,3
      {'w', 0x0020, 0}, {'w', 0x0021, 1}, {'w', 0x0022, 1},  // LDCR *R3+,3
  };
  for (int i = 0; i < 8; ++i) expected.push_back({'w', std::uint16_t(0x20 + i), (0xA5 >> i) & 1});
  for (int i = 0; i < 8; ++i) expected.push_back({'r', std::uint16_t(0x20 + i), (0x96 >> i) & 1});
  for (int i = 0; i < 3; ++i) expected.push_back({'r', std::uint16_t(0x80 + i), (0x3C >> i) & 1});
  for (int i = 0; i < 8; ++i) expected.push_back({'r', std::uint16_t(0x80 + i), (0x3C >> i) & 1});
  EXPECT_EQ(describe(device_calls), describe(expected));

  EXPECT_EQ(hex(word_at(log)), ">96CC") << "STCR R5,8: the byte read into the high byte";
  EXPECT_EQ(hex(word_at(log + 2) & 0xE000), ">8000") << "STCR sets the result rule on the byte";
  EXPECT_EQ(hex(word_at(log + 4)), ">A0F2") << "LDCR *R3+,3 steps by 1";
  EXPECT_EQ(hex(word_at(log + 6)), ">3C01") << "STCR R12,8 reads with the old base, keeps the low byte";
  EXPECT_EQ(cpu_mem[0xA0F4], 0x04) << "STCR @>A0F4,3";
  EXPECT_EQ(cpu_mem[0xA0F5], 0x99);
  EXPECT_EQ(logged_words(std::uint16_t(log + 8), 3),
            (std::vector<std::string>{">C002", ">C000", ">3000"}))
      << "STST after LIMI 2, after LIMI 0, with EQ and C set";
  EXPECT_EQ(st_mask, 3u) << "LIMI 3";
}

TEST(TranslatorSnippet, CallsReturnsAndOddDestinations) {
  reset_machine();
  SnippetRun run = run_snippet(run_calls);
  expect_end_at_6000(run);
  EXPECT_EQ(logged_words(0xA000, 6), (std::vector<std::string>{
                                         ">0108",  // BL @sub1 at >0104
                                         ">0110",  // BL *R2 at >010E
                                         ">FFFF",  // B *R1 with R1 = >011D reached >011C
                                         ">1111",  // B @>0128(R3), R3 = 1, reached >0128
                                         ">2222",  // B @>0135 reached >0134
                                         ">0000"}));
  EXPECT_EQ(hex(r(11)), ">0110");

  reset_machine();
  run = run_snippet(run_overlap);
  expect_end_at_6000(run);
  EXPECT_EQ(hex(r(3)), ">0002") << "straight-line code from >0100 must not run the word at >0102";
  EXPECT_EQ(hex(r(1)), ">0600") << "the JEQ into >0102 runs it as DEC R1";
}

TEST(TranslatorSnippet, DispatchStep) {
  struct Case {
    std::uint16_t r1;          // the destination of the first B *R1
    std::vector<int> answers;  // what rom_hook answers
    std::uint16_t entry;       // R2: the entry reached (>0110, >0120), or 0
    bool resumed;              // R4: whether >0140 ran
    std::vector<std::uint16_t> hooked;
    const char* output;
  };
  const Case cases[] = {
      {0x0110, {}, 0x0110, false, {0x6000}, "not found: $6000\n"},
      {0x0111, {}, 0x0110, false, {0x6000}, "not found: $6000\n"},
      {0x0120, {}, 0x0120, true, {0x6000}, "not found: $6000\n"},
      {0x0112, {}, 0, false, {0x0112}, "not found: $0112\n"},  // translated, but no entry
      {0x0140, {}, 0, false, {0x0140}, "not found: $0140\n"},  // the resume address is no entry
      {0x0000, {}, 0, false, {0x0000}, "not found: $0000\n"},
      {0x1FFF, {}, 0, false, {0x1FFE}, "not found: $1FFE\n"},
      {0x2110, {}, 0, false, {0x2110}, "not found: $2110\n"},  // >0110 plus >2000
      {0xFFFF, {}, 0, false, {0xFFFE}, "not found: $FFFE\n"},
      {0x0400, {1}, 0, true, {0x0400, 0x6000}, "not found: $6000\n"},
      {0x6110, {1}, 0, true, {0x6110, 0x6000}, "not found: $6000\n"},
  };
  for (const Case& c : cases) {
    reset_machine();
    set_reg(1, c.r1);
    hook_answers = c.answers;
    st_lgt = 1, st_eq = 1, st_c = 1;  // >B000: the dispatch step keeps the flags
    SnippetRun run = run_snippet(run_dispatch);
    std::string where = "B *R1 with R1 = " + hex(c.r1);
    EXPECT_EQ(run.status, 1) << where;
    EXPECT_EQ(run.output, c.output) << where;
    EXPECT_EQ(hex(r(2)), hex(c.entry)) << where;
    EXPECT_EQ(hex(r(4)), hex(c.resumed ? 0x0140 : 0)) << where;
    if (c.entry) {
      EXPECT_EQ(hex(r(3)), ">B000") << where << ": flags at the entry";
    } else if (c.resumed) {
      EXPECT_EQ(hex(r(5)), ">B000") << where << ": flags after rom_hook";
    }
    std::vector<std::string> hooked, expected;
    for (std::uint16_t t : hook_targets) hooked.push_back(hex(t));
    for (std::uint16_t t : c.hooked) expected.push_back(hex(t));
    EXPECT_EQ(hooked, expected) << where;
  }

  for (unsigned a = 0; a < 0x2000; ++a) {
    unsigned expected = a == 0x0110 ? 1 : a == 0x0120 ? 2 : 0;
    ASSERT_EQ(dispatch_entry_table[a], expected) << hex(a);
  }
}
