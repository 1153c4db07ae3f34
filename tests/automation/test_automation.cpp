// The ROM routine hooks and the screen output capture on a cleared machine. The
// paths that end the process run as death tests; anywhere else an exit fails.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "automation/rom_hook.h"
#include "automation/screen_capture.h"
#include "host/input.h"
#include "host/terminal.h"
#include "machine/memory_map.h"
#include "machine/state.h"

using testing::ExitedWithCode;
using testing::Message;

namespace {

bool in_test;     // an exit while it is set, but in a death test's child, fails the test
std::string err;  // standard error of the latest output_of

void fail_on_exit() { if (in_test && !testing::internal::InDeathTestChild()) _exit(3); }
const int exit_guard = std::atexit(fail_on_exit);

struct Automation : testing::Test {
  void SetUp() override {
    in_test = exit_guard == 0;
    std::memset(cpu_mem, 0, sizeof cpu_mem), std::memset(vram, 0, sizeof vram);
    std::memset(vdp_regs, 0, sizeof vdp_regs), source_file = nullptr, run_index = -1;
    wp = 0x83E0, branch_target = grom_addr = vdp_addr = 0, capture_last_addr = 0xFFFF;
    have_source = run_typed = suppress_newline = newline_phase = 0, output_muted = 1;
  }
  void TearDown() override { in_test = false; }
};
using AutomationDeathTest = Automation;

std::FILE* file_of(const char* text) {
  std::FILE* file = std::tmpfile();
  return std::fputs(text, file), std::rewind(file), file;
}
void type_source(const char* text) { source_file = file_of(text), have_source = 1; }
void stdin_from(const char* text) { dup2(fileno(file_of(text)), 0), std::clearerr(stdin); }

// What f writes to standard output; its standard error goes to err.
template <class F>
std::string output_of(F f) {
  testing::internal::CaptureStdout(), testing::internal::CaptureStderr();
  f();
  std::fflush(stdout);
  err = testing::internal::GetCapturedStderr();
  return testing::internal::GetCapturedStdout();
}

// In a death test's child: standard output joins standard error, and at exit ":", >8375
// >837C >8374 >83C6, suppress_newline, newline_phase and the VRAM byte at vdp_addr follow.
void watch_exit() {
  dup2(2, 1);
  std::atexit([] {
    std::printf(":%02X %02X %02X %02X %u %u %02X", cpu_mem[0x8375], cpu_mem[0x837C],
                cpu_mem[0x8374], cpu_mem[0x83C6], suppress_newline, newline_phase, vram[vdp_addr]);
  });
}

// A GPL SCAN at site (>8375 = >55 before) answers key (-1: no key, >FF) and
// turns the condition bit (>20 of >837C) from the opposite state.
void expect_scan(std::uint16_t site, int key, std::uint8_t mode = 0) {
  branch_target = 0x02AE, grom_addr = std::uint16_t(site + 1);
  cpu_mem[0x8374] = mode, cpu_mem[0x8375] = 0x55, cpu_mem[0x837C] = key < 0 ? 0xFF : 0xDF;
  EXPECT_EQ(rom_hook(), 1);
  EXPECT_EQ(int(cpu_mem[0x8375]), key < 0 ? 0xFF : key);
  EXPECT_EQ(int(cpu_mem[0x837C]), key < 0 ? 0xDF : 0xFF);
}

void vdp_write(std::uint16_t context, std::uint16_t address, std::uint8_t value) {
  grom_addr = context, vdp_addr = address, mem_write_byte(0x8C00, value);
}

TEST_F(AutomationDeathTest, RomHookEndsAtResetServesTheCruTransferAndLeavesTheRest) {
  type_source("A"), output_muted = 0, grom_addr = 0x47FD;  // what a keyboard scan would take
  static std::uint8_t before[sizeof cpu_mem];
  std::memcpy(before, cpu_mem, sizeof before);
  for (std::uint16_t target : {0x05EA, 0x05E8, 0x0000, 0x0026, 0x02AC, 0x05D8, 0xFFFF}) {
    int result = (branch_target = target, -1);
    EXPECT_EQ(output_of([&] { result = rom_hook(); }) + err, "") << std::hex << target;
    EXPECT_EQ(result, target == 0x05EA ? 1 : 0) << std::hex << target;
    EXPECT_EQ(std::memcmp(before, cpu_mem, sizeof before), 0) << std::hex << target;
  }
  EXPECT_EXIT({ watch_exit(); branch_target = 0x0024; rom_hook(); }, ExitedWithCode(0), "^:");
  EXPECT_EQ(next_input_char(TERM_RAW), 'A');
}

TEST_F(Automation, ModeBytesAndTheSitesAnsweredWithoutInput) {
  struct Case { std::uint8_t mode; std::uint16_t site; int key, in_effect; };  // -1: kept
  const Case cases[] = {
      {1, 0x01B1, -1, -1},  {2, 0x02F9, -1, -1}, {6, 0x142D, -1, -1}, {0xFF, 0x2A5C, -1, -1},
      {0, 0x01B1, ' ', -1}, {0, 0x02F9, '1', -1}, {0, 0x010B, -1, -1}, {0, 0x21A0, -1, -1},
      {0, 0x4E37, -1, -1},  {3, 0x01B1, ' ', 0},  {4, 0x02F9, '1', 1},  {5, 0x21A0, -1, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(Message() << "mode " << int(c.mode) << " site " << std::hex << c.site);
    type_source("A"), cpu_mem[0x83C6] = 0x77;
    expect_scan(c.site, c.key, c.mode);
    EXPECT_EQ(cpu_mem[0x8374], c.in_effect < 0 ? c.mode : 0);
    EXPECT_EQ(cpu_mem[0x83C6], c.in_effect < 0 ? 0x77 : c.in_effect);
    EXPECT_EQ(next_input_char(TERM_RAW), 'A') << "input was consumed";
  }
}

TEST_F(Automation, ReadingSitesTypeTheSourceThenTheRunLine) {
  for (std::uint16_t site : {0x142D, 0x1528, 0x2A5C, 0x47FC, 0x5789, 0x1234}) {
    SCOPED_TRACE(Message() << std::hex << site);
    type_source("a\r\n\xFF\n"), run_index = -1, suppress_newline = 0;
    for (char key : std::string("a\r\r\xFF\rRUN\r")) expect_scan(site, std::uint8_t(key));
    EXPECT_EQ(suppress_newline, site == 0x2A5C ? 1u : 0u);
  }
  expect_scan(0x47FC, -1);  // a poll at the end of input: no key, and the run goes on
}

TEST_F(AutomationDeathTest, EndOfInputAtAKeyWaitEndsTheRunBeforeAnyAnswer) {
  for (std::uint16_t site : {0x142D, 0x1528, 0x2A5C})
    EXPECT_EXIT({ watch_exit(); stdin_from(""); expect_scan(site, -1, 4); }, ExitedWithCode(0),
                site == 0x2A5C ? "^:55 FF 00 01 1 " : "^:55 FF 00 01 0 ") << std::hex << site;
}

TEST_F(AutomationDeathTest, CallKeyTakesTypedAheadKeysAndEndsAWaitInVainAtTheEndOfInput) {
  stdin_from("k\n");
  for (int key : {int('k'), 13, -1, -1}) expect_scan(0x5789, key);
  EXPECT_EXIT(for (int i = 0; i < 100000; i++) expect_scan(0x5789, -1), ExitedWithCode(0), "");
}

TEST_F(Automation, StandardTonesRingTheBellUnlessMutedOtherListsWarn) {
  struct Case { std::uint16_t list; std::uint32_t muted; const char *out, *err; };
  const Case cases[] = {{0x0479, 0, "\a", ""}, {0x0484, 0, "\a", ""}, {0x0479, 1, "", ""},
                        {0x0484, 1, "", ""}, {0x0478, 0, "", "warning: sound: 0478\n"},
                        {0xABCD, 1, "", "warning: sound: ABCD\n"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(Message() << std::hex << c.list << " muted " << c.muted);
    output_muted = c.muted, wp = 0x8300, branch_target = 0x05D6;
    set_reg(3, 0x8340), set_cpu_word(0x8340, c.list);  // the list is the word R3 points at
    EXPECT_EQ(output_of([&] { EXPECT_EQ(rom_hook(), 1); }), c.out);
    EXPECT_EQ(err, c.err);
  }
}

constexpr std::uint16_t NL = 0x56DF, PROMPT = 0x21DD, E1 = 0x02E1;  // E1: the prompt position

// A write of screen byte v at VRAM addr in GROM context ctx from the state given (top, below:
// the GPL stack), what it writes, and the flags it leaves (-1: unchanged).
struct Write {
  std::uint16_t ctx = 0x1000, addr = 0x0110;
  std::uint8_t v = 0xA8, reg2 = 0, reg4 = 0;  // v >A8: "H" in TI BASIC's character set
  std::uint32_t muted = 0, source = 1, run = 0, suppress = 0, phase = 1;
  std::uint16_t last = 0x0110, branch = 0, top = 0, below = 0;
  const char* out = "";
  int to_last = -1, to_suppress = -1, to_phase = -1, to_muted = -1;
};
const Write writes[] = {
    // Muted, outside the screen image table, the screen-fill loop, a dropped context.
    {.ctx = PROMPT, .muted = 1, .run = 1}, {.addr = 0x112, .branch = 0x05A8},
    {.addr = 0x3FF, .reg2 = 0xF1}, {.addr = 0x400, .reg2 = 0xF1, .out = "H", .to_last = 0x400},
    {.addr = 0x6FF, .reg2 = 0xF1, .out = "H", .to_last = 0x6FF}, {.addr = 0x700, .reg2 = 0xF1},
    {.ctx = 0x2B84, .addr = 0x112, .suppress = 1},
    // A newline event at every second scroll write, but none for a wrapped line.
    {.ctx = NL, .phase = 0, .to_phase = 1}, {.ctx = NL, .out = "\n", .to_last = E1, .to_phase = 0},
    {.ctx = NL, .suppress = 1, .to_last = E1, .to_suppress = 0, .to_phase = 0},
    {.ctx = NL, .top = 0x4C03, .below = 0x4C8A}, {.ctx = NL, .top = 0x4C03, .below = 0x2FEB},
    {.ctx = NL, .run = 1, .top = 0x4C03, .out = "\n", .to_last = E1, .to_phase = 0},
    {.ctx = NL, .top = 0x4E62, .below = 0x4C8A, .out = "\n", .to_last = E1, .to_phase = 0},
    // The prompt and the ready banner, with and without a source file.
    {.ctx = PROMPT, .addr = E1, .v = 0x9E}, {.ctx = 0x20CC, .muted = 1},
    {.ctx = PROMPT, .addr = E1, .v = 0x9E, .source = 0, .out = ">", .to_last = E1},
    {.ctx = 0x20CC, .muted = 1, .source = 0, .out = "H", .to_muted = 0},
    // One skipped position is a space, two or from the start value >FFFF none; the cursor.
    {.addr = 0x112, .out = " H", .to_last = 0x112}, {.addr = 0x113, .out = "H", .to_last = 0x113},
    {.addr = 0x001, .last = 0xFFFF, .out = "H", .to_last = 0x001},
    {.ctx = 0x2A5A, .addr = 0x112, .suppress = 1, .out = " ", .to_last = 0x112},
    // Register 4 = 0: TI BASIC's characters, offset >60; anything below a space is ".".
    {.v = 0x80, .suppress = 1, .out = " ", .to_suppress = 0}, {.v = 0xE5, .out = "\x85"},
    {.v = 0x41, .reg4 = 0xF8, .out = "."}, {.v = 0x41, .reg4 = 1, .out = "A"},
    {.v = 0x1F, .reg4 = 1, .out = "."}};

int kept(int to, unsigned before) { return to < 0 ? int(before) : to; }

TEST_F(Automation, ScreenWritesBecomeOutput) {
  for (const Write& w : writes) {
    SCOPED_TRACE(Message() << "row " << &w - writes);
    output_muted = w.muted, have_source = w.source, run_typed = w.run, newline_phase = w.phase;
    suppress_newline = w.suppress, capture_last_addr = w.last, branch_target = w.branch;
    vdp_regs[2] = w.reg2, vdp_regs[4] = w.reg4, cpu_mem[0x8373] = 0x7E;  // the GPL stack's top
    set_cpu_word(0x837E, w.top), set_cpu_word(0x837C, w.below);          // and the entry below
    EXPECT_EQ(output_of([&] { vdp_write(w.ctx, w.addr, w.v); }) + err, w.out);
    EXPECT_EQ(capture_last_addr, kept(w.to_last, w.last));
    EXPECT_EQ(int(suppress_newline), kept(w.to_suppress, w.suppress));
    EXPECT_EQ(int(newline_phase), kept(w.to_phase, w.phase));
    EXPECT_EQ(int(output_muted), kept(w.to_muted, w.muted));
  }
}

// After RUN the end-of-program scroll ends the run with 0, the prompt with 1;
// earlier output is flushed, the phase kept and the byte never stored.
TEST_F(AutomationDeathTest, EndOfProgramScrollAndPromptAfterRunEndTheRun) {
  have_source = run_typed = 1, output_muted = 0, vram[E1] = 0x33, cpu_mem[0x8373] = 0x7E;
  set_cpu_word(0x837E, 0x4E62);
  for (std::uint16_t context : {NL, PROMPT})
    EXPECT_EXIT({ watch_exit(); vdp_write(0x1000, 0x0100, 0xA8); vdp_write(context, E1, 0x7F); },
                ExitedWithCode(context == PROMPT), "^H:.* 0 33$") << std::hex << context;
}

// The timer byte that seeds RANDOMIZE reaches >8379 at every newline event.
TEST_F(Automation, NewlineEventsStoreTheTimerByte) {
  int unchanged = 0;
  for (int i = 0; i < 16; i++) {
    output_muted = 0, newline_phase = 1, suppress_newline = i & 1, cpu_mem[0x8379] = i;
    output_of([] { vdp_write(NL, 0x02FF, 0x7F); });
    unchanged += cpu_mem[0x8379] == i;
  }
  EXPECT_LT(unchanged, 8);  // suppressed or not
}

}  // namespace
