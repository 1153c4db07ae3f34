// The native ROM routines that rom_hook selects by branch_target: the console
// reset, the keyboard scan with its scan sites, the sound list start and the
// CRU transfer, and the two host calls they make.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "automation/host_calls.h"
#include "automation/rom_hook.h"
#include "host/input.h"
#include "host/terminal.h"
#include "machine/state.h"
#include "tests/automation/automation_test_support.h"

namespace {

constexpr std::uint16_t MODE_BYTE = 0x8374;
constexpr std::uint16_t KEY_CODE = 0x8375;
constexpr std::uint16_t GPL_STATUS = 0x837C;
constexpr std::uint16_t MODE_IN_EFFECT = 0x83C6;

// Scratchpad and VDP RAM before a call, to see what it changed.
struct Before {
  std::uint8_t mem[65536];
  std::uint8_t video[16384];
  void take() {
    std::memcpy(mem, cpu_mem, sizeof mem);
    std::memcpy(video, vram, sizeof video);
  }
};
Before before;

class RomHookTest : public testing::Test {
 protected:
  void SetUp() override {
    guard_exits();
    reset_automation_state();
  }
  void TearDown() override {
    reset_automation_state();
    release_exits();
  }
};

// Prepares a keyboard scan whose SCAN opcode was fetched at site.
void scan_at(std::uint16_t site, std::uint8_t mode_byte = 0) {
  branch_target = 0x02AE;
  grom_addr = std::uint16_t(site + 1);
  cpu_mem[MODE_BYTE] = mode_byte;
  cpu_mem[KEY_CODE] = 0x55;      // neither a key of these tests nor >FF
  cpu_mem[GPL_STATUS] = 0x9F;    // condition bit clear, all others set
  cpu_mem[MODE_IN_EFFECT] = 0x77;
}

bool condition_bit() { return (cpu_mem[GPL_STATUS] & 0x20) != 0; }

// ---------------------------------------------------------------------------
// Selection by branch_target.

TEST_F(RomHookTest, ResetEntryEndsTheRunWithStatusZeroPrintingNothing) {
  output_muted = 0;
  ChildRun run = run_in_child("", [] {
    branch_target = 0x0024;
    return rom_hook();
  });
  EXPECT_TRUE(run.exited);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.end.returned, 0u);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
}

TEST_F(RomHookTest, CruTransferIsServedAndChangesNothing) {
  output_muted = 0;
  type_source("10 END\n");
  branch_target = 0x05EA;
  grom_addr = 0x2A5D;  // a scan site: the keyboard must not be served
  for (unsigned a = 0x8300; a < 0x8400; a++) cpu_mem[a] = std::uint8_t(a * 7);
  cpu_mem[MODE_BYTE] = 3;
  before.take();
  int result = -1;
  Output o = output_of([&] { result = rom_hook(); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(changed_bytes(before.mem, cpu_mem, sizeof before.mem), "");
  EXPECT_EQ(changed_bytes(before.video, vram, sizeof before.video), "");
  EXPECT_EQ(suppress_newline, 0u);
  EXPECT_EQ(branch_target, 0x05EA);
  EXPECT_EQ(next_input_char(TERM_RAW), '1');  // nothing was typed
}

TEST_F(RomHookTest, AddressesWithoutANativeRoutineAreLeftToTheCaller) {
  output_muted = 0;
  // >05E8 is the I/O routine of type 2; the others are near the served ones.
  const std::uint16_t others[] = {0x05E8, 0x0000, 0x0022, 0x0026, 0x0070, 0x02AC,
                                  0x02B0, 0x05D4, 0x05D8, 0x05EC, 0x8300, 0xFFFF};
  for (std::uint16_t address : others) {
    reset_automation_state();
    output_muted = 0;
    branch_target = address;
    grom_addr = 0x01B2;  // title screen site
    wp = 0x8300;
    cpu_mem[0x8306] = 0x04;  // R3 -> a word holding >0479, the standard beep
    cpu_mem[0x8307] = 0x00;
    cpu_mem[0x0400] = 0x04;
    cpu_mem[0x0401] = 0x79;
    before.take();
    int result = -1;
    Output o = output_of([&] { result = rom_hook(); });
    EXPECT_EQ(result, 0) << std::hex << address;
    EXPECT_EQ(o.out, "") << std::hex << address;
    EXPECT_EQ(o.err, "") << std::hex << address;
    EXPECT_EQ(changed_bytes(before.mem, cpu_mem, sizeof before.mem), "") << std::hex << address;
  }
}

// ---------------------------------------------------------------------------
// Keyboard: the mode byte.

TEST_F(RomHookTest, ModeBytesOneTwoAndSixUpGiveNoKeyAndTouchNothingElse) {
  const std::uint8_t modes[] = {1, 2, 6, 7, 0x80, 0xFF};
  const std::uint16_t sites[] = {0x01B1, 0x02F9, 0x142D, 0x2A5C, 0x47FC, 0x5789};
  for (std::uint8_t mode : modes)
    for (std::uint16_t site : sites) {
      reset_automation_state();
      type_source("AB");
      scan_at(site, mode);
      before.take();
      int result = -1;
      Output o = output_of([&] { result = rom_hook(); });
      SCOPED_TRACE("mode " + std::to_string(mode) + " site " + std::to_string(site));
      EXPECT_EQ(result, 1);
      EXPECT_EQ(cpu_mem[KEY_CODE], 0xFF);
      EXPECT_EQ(cpu_mem[GPL_STATUS], 0x9F);
      EXPECT_EQ(changed_bytes(before.mem, cpu_mem, sizeof before.mem), ">8375 ");
      EXPECT_EQ(suppress_newline, 0u);
      EXPECT_EQ(output_muted, 1u) << "an input source was read";
      EXPECT_EQ(o.out + o.err, "");
      EXPECT_EQ(next_input_char(TERM_RAW), 'A');
    }
}

TEST_F(RomHookTest, ModeBytesThreeToFiveAreRewrittenBeforeTheSiteIsServed) {
  struct Case {
    std::uint8_t mode;
    std::uint16_t site;
    std::uint8_t key;  // >FF for no key
  };
  const Case cases[] = {
      {3, 0x01B1, 0x20}, {4, 0x01B1, 0x20}, {5, 0x02F9, 0x31}, {4, 0x21A0, 0xFF},
      {5, 0x21A0, 0xFF}, {3, 0x142D, 'A'},  {5, 0x2A5C, 'A'},  {4, 0x47FC, 'A'},
  };
  for (const Case& c : cases) {
    reset_automation_state();
    type_source("A");
    scan_at(c.site, c.mode);
    EXPECT_EQ(rom_hook(), 1);
    SCOPED_TRACE("mode " + std::to_string(c.mode) + " site " + std::to_string(c.site));
    EXPECT_EQ(cpu_mem[MODE_BYTE], 0);
    EXPECT_EQ(cpu_mem[MODE_IN_EFFECT], c.mode - 3);
    EXPECT_EQ(cpu_mem[KEY_CODE], c.key);
    EXPECT_EQ(condition_bit(), c.key != 0xFF);
  }
  // Mode byte 0 keeps the mode in effect.
  reset_automation_state();
  scan_at(0x01B1, 0);
  EXPECT_EQ(rom_hook(), 1);
  EXPECT_EQ(cpu_mem[MODE_BYTE], 0);
  EXPECT_EQ(cpu_mem[MODE_IN_EFFECT], 0x77);
  EXPECT_EQ(cpu_mem[KEY_CODE], 0x20);
}

// ---------------------------------------------------------------------------
// Keyboard: the sites answered without input.

TEST_F(RomHookTest, TitleMenuAndIdleSitesConsumeNoInput) {
  struct Case {
    std::uint16_t site;
    std::uint8_t key;
  };
  const Case cases[] = {{0x01B1, 0x20}, {0x02F9, 0x31}, {0x010B, 0xFF}, {0x21A0, 0xFF}, {0x4E37, 0xFF}};
  for (const Case& c : cases) {
    reset_automation_state();
    type_source("XY");
    scan_at(c.site);
    cpu_mem[GPL_STATUS] = c.key == 0xFF ? 0xFF : 0x9F;
    before.take();
    int result = -1;
    Output o = output_of([&] { result = rom_hook(); });
    SCOPED_TRACE("site " + std::to_string(c.site));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(cpu_mem[KEY_CODE], c.key);
    EXPECT_EQ(cpu_mem[GPL_STATUS], c.key == 0xFF ? 0xDF : 0xBF);
    EXPECT_EQ(changed_bytes(before.mem, cpu_mem, sizeof before.mem), ">8375 >837C ");
    EXPECT_EQ(output_muted, 1u) << "an input source was read";
    EXPECT_EQ(suppress_newline, 0u);
    EXPECT_EQ(o.out + o.err, "");
    EXPECT_EQ(next_input_char(TERM_RAW), 'X');
  }
}

TEST_F(RomHookTest, TheScanSiteIsTheByteBeforeTheGromContext) {
  // grom_addr equal to a site (not one past it) is an ordinary site: a poll,
  // which takes the next source character.
  for (std::uint16_t site : {0x01B1, 0x02F9, 0x010B, 0x21A0, 0x4E37}) {
    reset_automation_state();
    type_source("Q");
    scan_at(site);
    grom_addr = site;
    EXPECT_EQ(rom_hook(), 1);
    EXPECT_EQ(cpu_mem[KEY_CODE], 'Q') << site;
    EXPECT_TRUE(condition_bit());
  }
  // grom_addr 0 matches no site either.
  reset_automation_state();
  type_source("Q");
  scan_at(0);
  grom_addr = 0;
  EXPECT_EQ(rom_hook(), 1);
  EXPECT_EQ(cpu_mem[KEY_CODE], 'Q');
  EXPECT_EQ(suppress_newline, 0u);
}

// ---------------------------------------------------------------------------
// Keyboard: the sites that read a key.

TEST_F(RomHookTest, ReadingSitesDeliverSourceBytesUnchangedButLineFeedAsEnter) {
  const std::string text = std::string("a\r\nZ\xFF", 5) + '\0' + "~\n";
  const std::uint8_t keys[] = {'a', 0x0D, 0x0D, 'Z', 0xFF, 0x00, '~', 0x0D, 'R', 'U', 'N', 0x0D};
  for (std::uint16_t site : {0x142D, 0x1528, 0x2A5C, 0x47FC, 0x5789, 0x1234}) {
    reset_automation_state();
    type_source(text);
    for (std::uint8_t key : keys) {
      scan_at(site);
      EXPECT_EQ(rom_hook(), 1);
      EXPECT_EQ(cpu_mem[KEY_CODE], key) << "site " << site;
      EXPECT_EQ(cpu_mem[GPL_STATUS], 0xBF) << "site " << site << " key " << int(key);
      EXPECT_EQ(output_muted, 0u);
    }
    EXPECT_EQ(run_typed, 1u);
  }
}

TEST_F(RomHookTest, EveryDeliveredKeySetsTheConditionBitEvenWhenRepeated) {
  type_source("AAA");
  scan_at(0x47FC);
  cpu_mem[GPL_STATUS] = 0x00;
  for (int i = 0; i < 3; i++) {
    EXPECT_EQ(rom_hook(), 1);
    EXPECT_EQ(cpu_mem[KEY_CODE], 'A');
    EXPECT_EQ(cpu_mem[GPL_STATUS], 0x20) << "repeat " << i;
    cpu_mem[GPL_STATUS] = 0x00;  // the GPL code tests and clears it
  }
}

TEST_F(RomHookTest, OnlyTheKeyAndTheConditionBitAreWrittenForAKey) {
  type_source("K");
  scan_at(0x142D);
  before.take();
  EXPECT_EQ(rom_hook(), 1);
  EXPECT_EQ(changed_bytes(before.mem, cpu_mem, sizeof before.mem), ">8375 >837C ");
  EXPECT_EQ(changed_bytes(before.video, vram, sizeof before.video), "");
}

TEST_F(RomHookTest, LineInputSiteSetsSuppressNewlineOnlyThere) {
  type_source("12");
  scan_at(0x2A5C);
  EXPECT_EQ(rom_hook(), 1);
  EXPECT_EQ(suppress_newline, 1u);  // also while the source file is typed
  EXPECT_EQ(cpu_mem[KEY_CODE], '1');
  suppress_newline = 0;
  for (std::uint16_t site : {0x2A5B, 0x2A5D, 0x142D, 0x47FC, 0x5789}) {
    scan_at(site);
    EXPECT_EQ(rom_hook(), 1);
    EXPECT_EQ(suppress_newline, 0u) << site;
  }
}

TEST_F(RomHookTest, PollSitesSeeNoKeyWithoutReadingRedirectedInput) {
  // Standard input is a file: a poll site takes nothing from it, a key wait
  // site takes the next character.
  ChildRun run = run_in_child("xy", [] {
    scan_at(0x47FC);
    rom_hook();
    if (cpu_mem[KEY_CODE] != 0xFF || (cpu_mem[GPL_STATUS] & 0x20)) return 1;
    scan_at(0x1234);
    rom_hook();
    if (cpu_mem[KEY_CODE] != 0xFF || (cpu_mem[GPL_STATUS] & 0x20)) return 2;
    scan_at(0x142D);
    rom_hook();
    return cpu_mem[KEY_CODE] == 'x' ? 0 : 3;
  });
  EXPECT_TRUE(run.exited);
  EXPECT_EQ(run.end.returned, 1u);
  EXPECT_EQ(run.end.result, 0);
}

TEST_F(RomHookTest, CallKeySiteTakesTypedAheadInputAndGoesOnAtItsEnd) {
  ChildRun run = run_in_child("k\n", [] {
    for (int i = 0; i < 4; i++) {
      scan_at(0x5789);
      cpu_mem[GPL_STATUS] = 0x9F;
      if (rom_hook() != 1) return 100;
      cpu_mem[0x8380 + i] = cpu_mem[KEY_CODE];  // keep each answer
      cpu_mem[0x8390 + i] = cpu_mem[GPL_STATUS];
    }
    return 0;
  });
  EXPECT_TRUE(run.exited);
  EXPECT_EQ(run.status, 0);
  ASSERT_EQ(run.end.returned, 1u) << "the end of input ended the run";
  const std::uint8_t* mem = run.end.cpu_mem;
  EXPECT_EQ(mem[0x8380], 'k');
  EXPECT_EQ(mem[0x8390], 0xBF);
  EXPECT_EQ(mem[0x8381], 0x0D);
  EXPECT_EQ(mem[0x8391], 0xBF);
  for (int i = 2; i < 4; i++) {
    EXPECT_EQ(mem[0x8380 + i], 0xFF) << i;
    EXPECT_EQ(mem[0x8390 + i], 0x9F) << i;
  }
}

TEST_F(RomHookTest, StandardInputReadAtKeyWaitsInRawAndLineSites) {
  for (std::uint16_t site : {0x142D, 0x1528, 0x2A5C}) {
    grom_addr = std::uint16_t(site + 1);
    ChildRun run = run_in_child("w\n", [] {
      std::uint16_t site = std::uint16_t(grom_addr - 1);
      for (int i = 0; i < 2; i++) {
        scan_at(site);
        rom_hook();
        cpu_mem[0x8380 + i] = cpu_mem[KEY_CODE];
      }
      return 0;
    });
    EXPECT_EQ(run.end.returned, 1u) << site;
    EXPECT_EQ(run.end.cpu_mem[0x8380], 'w') << site;
    EXPECT_EQ(run.end.cpu_mem[0x8381], 0x0D) << site;
  }
}

// The end of standard input at a key wait ends the run with status 0 before
// anything is delivered; the mode byte rewrite has already happened, and at
// the line input site so has suppress_newline.
TEST_F(RomHookTest, EndOfInputAtKeyWaitsEndsTheRunWithTheKeyUntouched) {
  for (std::uint16_t site : {0x142D, 0x1528, 0x2A5C}) {
    scan_at(site, 4);
    output_muted = 0;
    before.take();
    ChildRun run = run_in_child("", [] { return rom_hook(); });
    SCOPED_TRACE("site " + std::to_string(site));
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.end.returned, 0u);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.end.cpu_mem[KEY_CODE], 0x55);
    EXPECT_EQ(run.end.cpu_mem[GPL_STATUS], 0x9F);
    EXPECT_EQ(run.end.cpu_mem[MODE_BYTE], 0);
    EXPECT_EQ(run.end.cpu_mem[MODE_IN_EFFECT], 1);
    EXPECT_EQ(changed_bytes(before.mem, run.end.cpu_mem, sizeof before.mem), ">8374 >83C6 ");
    EXPECT_EQ(run.end.suppress_newline, site == 0x2A5C ? 1u : 0u);
  }
}

// Source file, then the RUN line, then the end of standard input: the run
// ends at the first key wait that finds nothing, and polls before it go on.
TEST_F(RomHookTest, SourceThenRunLineThenEndOfInput) {
  type_source("1\n");
  ChildRun run = run_in_child("", [] {
    const std::uint16_t sites[] = {0x47FC, 0x2A5C, 0x142D, 0x2A5C, 0x2A5C, 0x2A5C, 0x47FC, 0x47FC, 0x5789};
    int i = 0;
    for (std::uint16_t site : sites) {
      scan_at(site);
      rom_hook();
      cpu_mem[0x8380 + i++] = cpu_mem[KEY_CODE];
    }
    suppress_newline = 0;
    scan_at(0x2A5C);
    rom_hook();
    return 1;
  });
  EXPECT_TRUE(run.exited);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.end.returned, 0u);
  EXPECT_EQ(run.end.run_typed, 1u);
  EXPECT_EQ(run.end.suppress_newline, 1u);
  const std::uint8_t expected[] = {'1', 0x0D, 'R', 'U', 'N', 0x0D, 0xFF, 0xFF, 0xFF};
  for (int i = 0; i < 9; i++) EXPECT_EQ(run.end.cpu_mem[0x8380 + i], expected[i]) << i;
  EXPECT_EQ(run.out + run.err, "");
}

// ---------------------------------------------------------------------------
// Sound.

// Sets the workspace at wp with R3 pointing at a word holding list.
void sound_list_at(std::uint16_t workspace, std::uint16_t r3, std::uint16_t list) {
  wp = workspace;
  branch_target = 0x05D6;
  set_cpu_word(std::uint16_t(workspace + 6), r3);
  set_cpu_word(r3, list);
}

TEST_F(RomHookTest, StandardTonesRingTheBellUnlessMuted) {
  for (std::uint16_t list : {0x0479, 0x0484})
    for (std::uint16_t workspace : {0x83E0, 0x8300, 0x83C0}) {
      reset_automation_state();
      sound_list_at(workspace, 0x8340, list);
      output_muted = 0;
      before.take();
      int result = -1;
      Output o = output_of([&] { result = rom_hook(); });
      EXPECT_EQ(result, 1);
      EXPECT_EQ(o.out, "\a") << list << " wp " << workspace;
      EXPECT_EQ(o.err, "");
      EXPECT_EQ(changed_bytes(before.mem, cpu_mem, sizeof before.mem), "");

      output_muted = 1;
      o = output_of([&] { result = rom_hook(); });
      EXPECT_EQ(result, 1);
      EXPECT_EQ(o.out + o.err, "") << list;
    }
}

TEST_F(RomHookTest, OtherSoundListsWarnWhetherMutedOrNot) {
  for (std::uint32_t muted : {0u, 1u}) {
    reset_automation_state();
    sound_list_at(0x83E0, 0x8350, 0x1234);
    output_muted = muted;
    before.take();
    int result = -1;
    Output o = output_of([&] { result = rom_hook(); });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "warning: sound: 1234\n");
    EXPECT_EQ(changed_bytes(before.mem, cpu_mem, sizeof before.mem), "");
  }
  // The list is the word R3 points at, not R3 itself.
  reset_automation_state();
  output_muted = 0;
  sound_list_at(0x83E0, 0x0479, 0xABCD);
  Output o = output_of([] { rom_hook(); });
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "warning: sound: ABCD\n");
  // R3 of the workspace at wp, not of another one.
  reset_automation_state();
  output_muted = 0;
  sound_list_at(0x83E0, 0x8350, 0x0479);
  set_cpu_word(0x8306, 0x8360);  // R3 of a workspace at >8300
  set_cpu_word(0x8360, 0x0002);
  o = output_of([] { rom_hook(); });
  EXPECT_EQ(o.out, "\a");
  EXPECT_EQ(o.err, "");
  // Lists next to the standard ones are not standard.
  for (std::uint16_t list : {0x0478, 0x047A, 0x0483, 0x0485, 0x7904}) {
    reset_automation_state();
    output_muted = 0;
    sound_list_at(0x83E0, 0x8350, list);
    o = output_of([] { rom_hook(); });
    char expected[32];
    std::snprintf(expected, sizeof expected, "warning: sound: %04X\n", unsigned(list));
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, expected);
  }
}

// ---------------------------------------------------------------------------
// Host calls.

TEST_F(RomHookTest, IdleScanCallHasNoVisibleEffect) {
  for (unsigned a = 0x8300; a < 0x8400; a++) cpu_mem[a] = std::uint8_t(a);
  output_muted = 0;
  before.take();
  errno = 0;
  Output o = output_of([] { idle_scan_call(0, 1); });
  EXPECT_EQ(errno, 0);
  EXPECT_EQ(o.out + o.err, "");
  EXPECT_EQ(changed_bytes(before.mem, cpu_mem, sizeof before.mem), "");
  EXPECT_EQ(changed_bytes(before.video, vram, sizeof before.video), "");
}

// RANDOMIZE without a seed draws on the timer byte; the byte must vary both
// within a run and from one run to the next. Runs are stood in for by child
// processes, each taking its first value, a millisecond apart: a source that
// starts alike in every process, or that moves only once a second, gives
// the same byte every time.
TEST_F(RomHookTest, TimerByteVariesWithinARunAndBetweenRuns) {
  std::set<int> within;
  for (int i = 0; i < 64 && within.size() < 2; i++) {
    within.insert(timer_byte_source() & 0xFF);
    usleep(1000);
  }
  EXPECT_GE(within.size(), 2u);

  std::set<int> between;
  for (int i = 0; i < 16 && between.size() < 2; i++) {
    ChildRun run = run_in_child("", [] { return timer_byte_source() & 0xFF; });
    ASSERT_EQ(run.end.returned, 1u);
    between.insert(run.end.result);
    usleep(1000);
  }
  EXPECT_GE(between.size(), 2u);
}

}  // namespace
