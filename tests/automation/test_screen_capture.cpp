// The screen output capture: which VDP data writes become standard output, how
// screen codes become characters, how scrolls become line feeds and gaps
// spaces, and the two ends of a run that it detects.
#include <cstdint>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "automation/screen_capture.h"
#include "machine/memory_map.h"
#include "machine/state.h"
#include "tests/automation/automation_test_support.h"

namespace {

constexpr std::uint16_t NEWLINE = 0x56DF;  // the scroll's right border writes
constexpr std::uint16_t PROMPT = 0x21DD;
constexpr std::uint16_t CURSOR = 0x2A5A;
constexpr std::uint16_t BANNER = 0x20CC;
constexpr std::uint16_t ORDINARY = 0x1000;
constexpr std::uint16_t TIMER = 0x8379;

const std::uint16_t DROPPED[] = {0x00EE, 0x56D4, 0x56DB, 0x56DD, 0x2A83, 0x2B84,
                                 0x2FB7, 0x2FF3, 0x42C6, 0x4BEE, 0x44F9, 0x4506};

class ScreenCaptureTest : public testing::Test {
 protected:
  void SetUp() override {
    guard_exits();
    reset_automation_state();
    output_muted = 0;
    set_gpl_stack(0x7E, 0x1111, 0x2222);
  }
  void TearDown() override {
    reset_automation_state();
    release_exits();
  }

 public:
  // Puts a return address top and the one below it on the GPL stack, whose
  // top is at >8300 + pointer.
  static void set_gpl_stack(std::uint8_t pointer, std::uint16_t top, std::uint16_t below) {
    cpu_mem[0x8373] = pointer;
    unsigned at = 0x8300u | pointer;
    cpu_mem[at] = std::uint8_t(top >> 8);
    cpu_mem[at + 1] = std::uint8_t(top);
    cpu_mem[at - 2] = std::uint8_t(below >> 8);
    cpu_mem[at - 1] = std::uint8_t(below);
  }
};

// What one capture call in context at address writes to standard output.
std::string put(std::uint16_t context, std::uint16_t address, std::uint8_t value) {
  grom_addr = context;
  vdp_addr = address;
  Output o = output_of([&] { screen_capture(value); });
  EXPECT_EQ(o.err, "");
  return o.out;
}

std::string hex(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, ">%04X", value);
  return text;
}

// ---------------------------------------------------------------------------
// What is looked at, in order.

TEST_F(ScreenCaptureTest, MutedWritesNothingAndChangesNothingInAnyContext) {
  output_muted = 1;
  have_source = 1;
  run_typed = 1;  // the two ends of a run must not be reached either
  suppress_newline = 1;
  capture_last_addr = 0x0100;
  cpu_mem[TIMER] = 0x5A;
  set_gpl_stack(0x7E, 0x4E62, 0x0000);
  for (std::uint16_t context : {ORDINARY, NEWLINE, PROMPT, CURSOR, BANNER, std::uint16_t(0x0000)})
    for (int i = 0; i < 2; i++) {
      EXPECT_EQ(put(context, 0x0102, 0xA8), "") << hex(context);
      EXPECT_EQ(newline_phase, 0u) << hex(context);
      EXPECT_EQ(capture_last_addr, 0x0100) << hex(context);
      EXPECT_EQ(suppress_newline, 1u) << hex(context);
      EXPECT_EQ(output_muted, 1u) << hex(context);
      EXPECT_EQ(cpu_mem[TIMER], 0x5A) << hex(context);
    }
}

TEST_F(ScreenCaptureTest, ReadyBannerUnmutesOnlyARunWithoutSourceFile) {
  output_muted = 1;
  EXPECT_EQ(put(BANNER, 0x0100, 0xA8), "H");  // unmuted, then captured
  EXPECT_EQ(output_muted, 0u);
  EXPECT_EQ(put(ORDINARY, 0x0101, 0xA9), "I");

  // The unmuting comes before every other test.
  reset_automation_state();
  output_muted = 1;
  branch_target = 0x05A8;
  EXPECT_EQ(put(BANNER, 0x0300, 0xA8), "");
  EXPECT_EQ(output_muted, 0u);

  reset_automation_state();
  output_muted = 1;
  have_source = 1;
  EXPECT_EQ(put(BANNER, 0x0100, 0xA8), "");
  EXPECT_EQ(output_muted, 1u);
  EXPECT_EQ(capture_last_addr, 0xFFFF);
}

TEST_F(ScreenCaptureTest, OnlyTheScreenImageTableIsCaptured) {
  struct Case {
    std::uint8_t reg2;
    std::uint16_t address;
    bool captured;
  };
  const Case cases[] = {
      {0x00, 0x0000, true},  {0x00, 0x02FF, true},  {0x00, 0x0300, false}, {0x00, 0x0400, false},
      {0x00, 0x3FFF, false}, {0x01, 0x03FF, false}, {0x01, 0x0000, false}, {0x01, 0x0400, true},
      {0x01, 0x06FF, true},  {0x01, 0x0700, false}, {0xF1, 0x0400, true},  {0xF1, 0x0100, false},
      {0x0F, 0x3C00, true},  {0x0F, 0x3EFF, true},  {0x0F, 0x3F00, false}, {0x0F, 0x02E1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("register 2 " + hex(c.reg2) + ", address " + hex(c.address));
    reset_automation_state();
    output_muted = 0;
    vdp_regs[2] = c.reg2;
    capture_last_addr = std::uint16_t(c.address - 2);  // a gap space if captured
    const char* gap_and_char = c.address >= 2 ? " H" : "H";  // >FFFE + 2 is no address
    EXPECT_EQ(put(ORDINARY, c.address, 0xA8), c.captured ? gap_and_char : "");
    EXPECT_EQ(capture_last_addr, c.captured ? c.address : std::uint16_t(c.address - 2));

    // Outside the table nothing else happens either: no newline event, no
    // cursor position, no end of the run at the prompt.
    if (c.captured) continue;
    capture_last_addr = 0x0100;
    run_typed = 1;
    have_source = 1;
    newline_phase = 1;
    EXPECT_EQ(put(NEWLINE, c.address, 0x7F), "");
    EXPECT_EQ(newline_phase, 1u);
    EXPECT_EQ(put(PROMPT, c.address, 0x9E), "");
    EXPECT_EQ(put(CURSOR, c.address, 0x80), "");
    EXPECT_EQ(capture_last_addr, 0x0100);
  }
}

TEST_F(ScreenCaptureTest, WritesOfTheScreenFillLoopAreNeverCaptured) {
  branch_target = 0x05A8;
  run_typed = 1;
  have_source = 1;
  capture_last_addr = 0x0100;
  EXPECT_EQ(put(ORDINARY, 0x0102, 0xA8), "");
  EXPECT_EQ(put(CURSOR, 0x0102, 0x80), "");
  EXPECT_EQ(put(PROMPT, 0x02E1, 0x9E), "");  // no end of the run either
  newline_phase = 1;
  EXPECT_EQ(put(NEWLINE, 0x02FF, 0x7F), "");
  EXPECT_EQ(newline_phase, 1u);
  EXPECT_EQ(capture_last_addr, 0x0100);

  for (std::uint16_t target : {0x05A6, 0x05AA, 0x0000}) {
    branch_target = target;
    capture_last_addr = 0x0100;
    EXPECT_EQ(put(ORDINARY, 0x0101, 0xA8), "H") << hex(target);
  }
}

TEST_F(ScreenCaptureTest, DroppedContextsWriteNothingAndLeaveTheFlags) {
  for (std::uint16_t context : DROPPED) {
    capture_last_addr = 0x0100;
    suppress_newline = 1;
    newline_phase = 1;
    EXPECT_EQ(put(context, 0x0102, 0xA8), "") << hex(context);
    EXPECT_EQ(capture_last_addr, 0x0100) << hex(context);
    EXPECT_EQ(suppress_newline, 1u) << hex(context);
    EXPECT_EQ(newline_phase, 1u) << hex(context);
  }
  // Their neighbours are ordinary contexts.
  for (std::uint16_t context : DROPPED)
    for (int step : {-1, 1}) {
      std::uint16_t near = std::uint16_t(context + step);
      bool special = near == NEWLINE || near == PROMPT || near == CURSOR || near == BANNER;
      for (std::uint16_t dropped : DROPPED) special = special || near == dropped;
      if (special) continue;
      capture_last_addr = 0x0200;
      suppress_newline = 1;
      EXPECT_EQ(put(near, 0x0100, 0xA8), "H") << hex(near);
      EXPECT_EQ(capture_last_addr, 0x0100);
      EXPECT_EQ(suppress_newline, 0u);
    }
}

// ---------------------------------------------------------------------------
// Newline events.

TEST_F(ScreenCaptureTest, EverySecondScrollBorderWriteIsANewline) {
  capture_last_addr = 0x0100;
  suppress_newline = 0;
  cpu_mem[TIMER] = 0x5A;
  EXPECT_EQ(put(NEWLINE, 0x02FE, 0x7F), "");
  EXPECT_EQ(newline_phase, 1u);
  EXPECT_EQ(capture_last_addr, 0x0100);
  EXPECT_EQ(cpu_mem[TIMER], 0x5A);
  EXPECT_EQ(put(NEWLINE, 0x02FF, 0x7F), "\n");
  EXPECT_EQ(newline_phase, 0u);
  EXPECT_EQ(capture_last_addr, 0x02E1);
  EXPECT_EQ(put(NEWLINE, 0x02FE, 0x7F), "");
  EXPECT_EQ(newline_phase, 1u);
  EXPECT_EQ(put(NEWLINE, 0x02FF, 0x7F), "\n");

  // After a newline the prompt position counts as the last one written.
  EXPECT_EQ(put(ORDINARY, 0x02E3, 0xA8), " H");
  EXPECT_EQ(put(NEWLINE, 0x02FE, 0x7F) + put(NEWLINE, 0x02FF, 0x7F), "\n");
  EXPECT_EQ(put(ORDINARY, 0x02E2, 0xA8), "H");
}

TEST_F(ScreenCaptureTest, SuppressedNewlineStillMovesToThePromptPosition) {
  suppress_newline = 1;
  capture_last_addr = 0x0100;
  EXPECT_EQ(put(NEWLINE, 0x02FE, 0x7F), "");
  EXPECT_EQ(suppress_newline, 1u);  // the first write is no event
  EXPECT_EQ(put(NEWLINE, 0x02FF, 0x7F), "");
  EXPECT_EQ(suppress_newline, 0u);
  EXPECT_EQ(capture_last_addr, 0x02E1);
  EXPECT_EQ(newline_phase, 0u);
  // Only one line feed is suppressed.
  EXPECT_EQ(put(NEWLINE, 0x02FE, 0x7F) + put(NEWLINE, 0x02FF, 0x7F), "\n");
}

// The timer byte is stored at every newline event, suppressed or not. Its
// value is not known, so the events alternate what >8379 held before: a byte
// that is never written keeps matching.
TEST_F(ScreenCaptureTest, NewlineEventsStoreTheTimerByte) {
  for (std::uint32_t suppress : {0u, 1u}) {
    int kept = 0;
    for (int i = 0; i < 16; i++) {
      std::uint8_t before = i % 2 ? 0xFF : 0x00;
      cpu_mem[TIMER] = before;
      put(NEWLINE, 0x02FE, 0x7F);
      EXPECT_EQ(cpu_mem[TIMER], before) << "written at the first write";
      suppress_newline = suppress;
      put(NEWLINE, 0x02FF, 0x7F);
      kept += cpu_mem[TIMER] == before;
    }
    EXPECT_LT(kept, 16) << "suppress_newline " << suppress;
  }
}

TEST_F(ScreenCaptureTest, WrappingScrollsOfTheRowChangeRoutineAreNoNewlines) {
  struct Case {
    std::uint16_t top;
    std::uint16_t below;
    bool newline;
  };
  const Case cases[] = {
      {0x4C03, 0x4C8A, false}, {0x4C03, 0x2FEB, false}, {0x4C03, 0x1234, true},
      {0x4C03, 0x4C03, true},  {0x4C8A, 0x4C03, true},  {0x2FEB, 0x4C03, true},
      {0x4C02, 0x4C8A, true},  {0x4C03, 0x4C8B, true},  {0x4C03, 0x2FEA, true},
      {0x4E62, 0x4C8A, true},  {0x1234, 0x4E62, true},
  };
  for (std::uint8_t pointer : {0x7E, 0x20, 0x00, 0xFE})
    for (const Case& c : cases) {
      SCOPED_TRACE("pointer " + hex(pointer) + " top " + hex(c.top) + " below " + hex(c.below));
      reset_automation_state();
      output_muted = 0;
      have_source = 1;
      set_gpl_stack(pointer, c.top, c.below);
      capture_last_addr = 0x0100;
      for (std::uint32_t phase : {0u, 1u}) {
        newline_phase = phase;
        std::string out = put(NEWLINE, 0x02FF, 0x7F);
        if (c.newline) {
          EXPECT_EQ(newline_phase, 1 - phase);
          EXPECT_EQ(out, phase ? "\n" : "");
        } else {
          EXPECT_EQ(newline_phase, phase);
          EXPECT_EQ(out, "");
          EXPECT_EQ(capture_last_addr, 0x0100);
        }
      }
    }
}

// The scroll before the end-of-program message after RUN ends the run with
// status 0: the phase does not flip, no line feed is written, the byte never
// reaches VDP RAM, and what was written before is flushed.
TEST_F(ScreenCaptureTest, EndOfProgramScrollAfterRunEndsTheRun) {
  for (std::uint32_t phase : {0u, 1u}) {
    reset_automation_state();
    output_muted = 0;
    have_source = 1;
    run_typed = 1;
    newline_phase = phase;
    set_gpl_stack(0x7E, 0x4E62, 0x1234);
    vram[0x02FE] = 0x33;
    ChildRun run = run_in_child("", [] {
      grom_addr = ORDINARY;
      vdp_addr = 0x0100;
      mem_write_byte(0x8C00, 0xA8);
      grom_addr = NEWLINE;
      vdp_addr = 0x02FE;
      mem_write_byte(0x8C00, 0x7F);
      return 0;
    });
    SCOPED_TRACE("phase " + std::to_string(phase));
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.end.returned, 0u);
    EXPECT_EQ(run.out, "H");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.end.newline_phase, phase);
    EXPECT_EQ(run.end.vram[0x0100], 0xA8);
    EXPECT_EQ(run.end.vram[0x02FE], 0x33);
  }
  // Before RUN, the same scroll is an ordinary newline event.
  reset_automation_state();
  output_muted = 0;
  have_source = 1;
  set_gpl_stack(0x7E, 0x4E62, 0x1234);
  EXPECT_EQ(put(NEWLINE, 0x02FE, 0x7F) + put(NEWLINE, 0x02FF, 0x7F), "\n");
}

// ---------------------------------------------------------------------------
// The command prompt.

TEST_F(ScreenCaptureTest, PromptAfterRunEndsTheRunWithStatusOne) {
  have_source = 1;
  run_typed = 1;
  vram[0x02E1] = 0x33;
  ChildRun run = run_in_child("", [] {
    grom_addr = ORDINARY;
    vdp_addr = 0x02C1;
    mem_write_byte(0x8C00, 0xA8);
    grom_addr = PROMPT;
    vdp_addr = 0x02E1;
    mem_write_byte(0x8C00, 0x9E);
    return 0;
  });
  EXPECT_TRUE(run.exited);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.end.returned, 0u);
  EXPECT_EQ(run.out, "H");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.end.vram[0x02E1], 0x33);
  EXPECT_EQ(run.end.capture_last_addr, 0x02C1);
}

TEST_F(ScreenCaptureTest, PromptIsDroppedWhileTypingAndWrittenWithoutSource) {
  have_source = 1;
  capture_last_addr = 0x02DF;  // a gap space would come before it
  suppress_newline = 1;
  EXPECT_EQ(put(PROMPT, 0x02E1, 0x9E), "");
  EXPECT_EQ(capture_last_addr, 0x02DF);
  EXPECT_EQ(suppress_newline, 1u);

  have_source = 0;
  EXPECT_EQ(put(PROMPT, 0x02E1, 0x9E), " >");
  EXPECT_EQ(capture_last_addr, 0x02E1);
  EXPECT_EQ(suppress_newline, 0u);
}

// ---------------------------------------------------------------------------
// Gaps and the cursor.

TEST_F(ScreenCaptureTest, ExactlyOneSkippedPositionBecomesASpace) {
  struct Case {
    std::uint16_t last;
    std::uint16_t address;
    const char* out;
  };
  const Case cases[] = {
      {0x02E5, 0x02E7, " H"}, {0x02E5, 0x02E8, "H"}, {0x02E5, 0x02E6, "H"}, {0x02E5, 0x02E5, "H"},
      {0x02E5, 0x02E3, "H"},  {0xFFFF, 0x0001, "H"}, {0xFFFF, 0x0000, "H"}, {0xFFFE, 0x0000, "H"},
      {0x0000, 0x0002, " H"}, {0x02FD, 0x02FF, " H"},
  };
  for (const Case& c : cases) {
    capture_last_addr = c.last;
    EXPECT_EQ(put(ORDINARY, c.address, 0xA8), c.out) << hex(c.last) << " then " << hex(c.address);
    EXPECT_EQ(capture_last_addr, c.address);
  }
  // The start value never gives a space, whatever the screen base.
  reset_automation_state();
  output_muted = 0;
  vdp_regs[2] = 1;
  EXPECT_EQ(put(ORDINARY, 0x0401, 0xA8), "H");
}

TEST_F(ScreenCaptureTest, CursorWritesOnlyMoveThePosition) {
  capture_last_addr = 0x0100;
  suppress_newline = 1;
  EXPECT_EQ(put(CURSOR, 0x0102, 0xA8), " ");  // the gap, not the byte
  EXPECT_EQ(capture_last_addr, 0x0102);
  EXPECT_EQ(suppress_newline, 1u);
  EXPECT_EQ(put(CURSOR, 0x0200, 0xA8), "");
  EXPECT_EQ(capture_last_addr, 0x0200);
  EXPECT_EQ(suppress_newline, 1u);
  EXPECT_EQ(put(ORDINARY, 0x0202, 0xA9), " I");
  EXPECT_EQ(put(CURSOR, 0x0203, 0xA9), "");
  EXPECT_EQ(put(ORDINARY, 0x0204, 0xA9), "I");
}

// ---------------------------------------------------------------------------
// Characters.

TEST_F(ScreenCaptureTest, ScreenCodesBecomeCharacters) {
  struct Case {
    std::uint8_t reg4;
    std::uint8_t value;
    std::uint8_t out;
  };
  const Case cases[] = {
      // The TI BASIC character set: offset >60, below a space a full stop.
      {0x00, 0xA8, 'H'},  {0x00, 0x80, ' '},  {0x00, 0x41, '.'},  {0x00, 0xE5, 0x85},
      {0x00, 0x90, '0'},  {0x00, 0xA1, 'A'},  {0x00, 0xC1, 'a'},  {0x00, 0xDF, 0x7F},
      {0x00, 0xFF, 0x9F}, {0x00, 0xE0, 0x80}, {0x00, 0x7F, '.'},  {0x00, 0x60, '.'},
      {0x00, 0x00, '.'},  {0x00, 0x20, '.'},  {0x08, 0xA8, 'H'},  {0xF0, 0x41, '.'},
      // Any other register 4 value: the bytes themselves.
      {0x01, 0x41, 'A'},  {0x01, 0x1F, '.'},  {0x01, 0x00, '.'},  {0x01, 0x20, ' '},
      {0x01, 0xFF, 0xFF}, {0x01, 0xA8, 0xA8}, {0x02, 0x41, 'A'},  {0x04, 0x7F, 0x7F},
      {0x07, 0x41, 'A'},  {0xFF, 0x41, 'A'},  {0x09, 0x1F, '.'},
  };
  for (const Case& c : cases) {
    vdp_regs[4] = c.reg4;
    capture_last_addr = 0x0000;
    suppress_newline = 1;
    EXPECT_EQ(put(ORDINARY, 0x0100, c.value), std::string(1, char(c.out)))
        << "register 4 " << hex(c.reg4) << " value " << hex(c.value);
    EXPECT_EQ(suppress_newline, 0u);
    EXPECT_EQ(capture_last_addr, 0x0100);
  }
}

// Through the VDP data port: the capture sees the address before the port
// moves it on, and the byte is stored afterwards whatever was captured.
TEST_F(ScreenCaptureTest, DataPortWritesPassTheCaptureFirst) {
  grom_addr = ORDINARY;
  vdp_addr = 0x0100;
  Output o = output_of([] {
    for (std::uint8_t v : {0xA8, 0xA5, 0xAC, 0xAC, 0xAF}) mem_write_byte(0x8C00, v);
    vdp_addr = 0x0106;
    mem_write_byte(0x8C00, 0xB7);
    grom_addr = 0x2B84;  // an echo: stored, not captured
    mem_write_byte(0x8C00, 0xA1);
  });
  EXPECT_EQ(o.out, "HELLO W");
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(vram[0x0100], 0xA8);
  EXPECT_EQ(vram[0x0104], 0xAF);
  EXPECT_EQ(vram[0x0106], 0xB7);
  EXPECT_EQ(vram[0x0107], 0xA1);
  EXPECT_EQ(vdp_addr, 0x0108);
  EXPECT_EQ(capture_last_addr, 0x0106);
}

}  // namespace
