// The screen capture's edge rules on a cleared machine, what the end-to-end cases cannot pin down
// to the single screen write, and the key units.
#include <gtest/gtest.h>

#include <cstring>

#include "machine/keyboard.h"
#include "automation/screen_capture.h"
#include "machine/state.h"

namespace {

constexpr std::uint16_t NL = 0x56DF;  // the scroll's right-border writes: the newline events

struct Automation : testing::Test {
  void SetUp() override {
    std::memset(cpu_mem, 0, sizeof cpu_mem), std::memset(vdp_regs, 0, sizeof vdp_regs);
    branch_target = run_typed = output_muted = suppress_newline = newline_phase = 0;
    line_key = typed_row_full = 0;
    have_source = 1, capture_last_addr = 0xFFFF, cpu_mem[0x8373] = 0x7E;  // GPL stack top >837E
  }
};

// What f writes to standard output, then to standard error.
template <class F>
std::string output_of(F f) {
  testing::internal::CaptureStdout(), testing::internal::CaptureStderr();
  f();
  std::fflush(stdout);
  std::string err = testing::internal::GetCapturedStderr();
  return testing::internal::GetCapturedStdout() + err;
}

// Writes screen code v at VRAM address addr in GROM context ctx.
std::string write(std::uint16_t ctx, std::uint16_t addr, std::uint8_t v = 0xA8) {
  return output_of([=] { grom_addr = ctx, vdp_addr = addr, screen_capture(v); });
}

TEST_F(Automation, SkippedPositionsOnTheRowAreBlanksOtherRowsNone) {
  struct Case { std::uint16_t last, addr; const char* out; };
  for (Case c : {Case{0x110, 0x111, "H"}, {0x110, 0x112, " H"}, {0x110, 0x114, "   H"},
                 {0x2E1, 0x2E5, "   H"}, {0x11E, 0x121, "H"}, {0x112, 0x110, "H"},
                 {0xFFFF, 0x001, "H"}}) {
    capture_last_addr = c.last;
    EXPECT_EQ(write(0x1000, c.addr), c.out) << std::hex << c.last << " " << c.addr;
    EXPECT_EQ(capture_last_addr, c.addr);
  }
}

TEST_F(Automation, TwoBorderWritesAreOneNewlineUnlessSuppressedOrAWrap) {
  EXPECT_EQ(write(NL, 0x2FF), "");
  EXPECT_EQ(write(NL, 0x2FF), "\n");
  EXPECT_EQ(capture_last_addr, 0x02E1);
  suppress_newline = 1, capture_last_addr = 0x110;
  EXPECT_EQ(write(NL, 0x2FF) + write(NL, 0x2FF), "");
  EXPECT_EQ(capture_last_addr, 0x02E1);
  EXPECT_EQ(suppress_newline, 0u);
  set_cpu_word(0x837E, 0x4C03), set_cpu_word(0x837C, 0x4C8A);  // GPL stack: PRINT changes rows
  cpu_mem[0x8351] = 40, cpu_mem[0x830C] = 12;  // 28 of the item's 40 characters are out: a wrap
  EXPECT_EQ(write(NL, 0x2FF) + write(NL, 0x2FF), "");
  EXPECT_EQ(newline_phase, 0u);
  cpu_mem[0x830C] = 40;  // an item that does not fit the room left, even none, moves to a new line
  EXPECT_EQ(write(NL, 0x2FF) + write(NL, 0x2FF), "\n");
}

// A typed line's scrolls write no line feed, except the ENTER after a key that took the line on
// to a new row: that row stays empty. Keys typed on the new row, or typing the listing, do not.
TEST_F(Automation, TypedLineThatFillsItsRowLeavesAnEmptyRow) {
  // Per key: its code (13 ENTER, 2 CLEAR), whether the editor scrolls for it.
  auto type = [](std::initializer_list<std::pair<int, int>> keys) {
    std::string out;
    for (auto [key, scrolls] : keys) {
      suppress_newline = 1, line_key = std::uint32_t(key);
      if (key != 13) typed_row_full = 0;
      if (scrolls) out += write(NL, 0x2FF) + write(NL, 0x2FF);
    }
    return out;
  };
  run_typed = 1;
  EXPECT_EQ(type({{'A', 0}, {13, 1}}), "");                      // the row not filled
  EXPECT_EQ(type({{'A', 1}, {13, 1}}), "\n");                    // filled by the last key
  EXPECT_EQ(type({{'A', 1}, {'B', 0}, {13, 1}}), "");            // a key typed on the new row
  EXPECT_EQ(type({{'A', 1}, {'B', 0}, {'C', 1}, {13, 1}}), "\n");  // two rows filled
  EXPECT_EQ(type({{13, 1}, {13, 1}}), "");                       // ENTER alone, twice
  EXPECT_EQ(type({{'A', 1}, {2, 1}, {13, 1}}), "");              // CLEAR, then an empty line
  run_typed = 0;
  EXPECT_EQ(type({{'A', 1}, {13, 1}}), "");  // a line of the listing
  have_source = 0;
  EXPECT_EQ(type({{'A', 1}, {13, 1}}), "\n");  // a line typed at the prompt
}

// The tests made before anything is output: a muted run stays silent until the READY banner
// of an interactive session, wherever the banner's first byte lands; the screen fill loop and
// dropped contexts make no output; off the screen nothing counts.
TEST_F(Automation, MutedFillLoopDroppedAndOffScreenWritesMakeNoOutput) {
  struct Case { std::uint32_t muted, source; std::uint16_t ctx, addr, branch; const char* out;
                std::uint32_t muted_after; };
  for (Case c : {Case{1, 0, 0x20CC, 0x0300, 0, "", 0}, {1, 0, 0x20CC, 0x0110, 0, "H", 0},
                 {1, 1, 0x20CC, 0x0110, 0, "", 1}, {1, 0, 0x1000, 0x0110, 0, "", 1},
                 {0, 1, 0x1000, 0x0110, 0x05A8, "", 0}, {0, 1, 0x56D4, 0x0110, 0, "", 0},
                 {0, 1, 0x3634, 0x0110, 0, "", 0}, {0, 1, 0x1000, 0x0300, 0, "", 0},
                 {0, 1, 0x1000, 0x02FF, 0, "H", 0}}) {
    output_muted = c.muted, have_source = c.source, branch_target = c.branch;
    capture_last_addr = 0xFFFF;
    EXPECT_EQ(write(c.ctx, c.addr), c.out) << std::hex << c.ctx << " " << c.addr;
    EXPECT_EQ(output_muted, c.muted_after) << std::hex << c.ctx << " " << c.addr;
  }
  vdp_regs[2] = 0x01;  // the screen table moves to >0400
  EXPECT_EQ(write(0x1000, 0x0110) + write(0x1000, 0x0410), "H");
}

TEST_F(Automation, ScreenCodesAreTiBasicsCharactersWithRegister4Zero) {
  EXPECT_EQ(write(0x1000, 0x110, 0xA8) + write(0x1000, 0x110, 0x41), "H.");
  vdp_regs[4] = 1;
  EXPECT_EQ(write(0x1000, 0x110, 0x41) + write(0x1000, 0x110, 0x1F), "A.");
}

// Every unit but 5 rewrites codes; the console's GROM tables decide the split halves.
TEST(KeyUnits, EachUnitSeesTheTypedKeyAsTheConsoleDoes) {
  struct Case { char typed; int unit, code; };
  for (Case c : {Case{'a', 5, 'a'}, {'a', 3, 'A'}, {'~', 3, NO_KEY}, {'`', 3, NO_KEY},
                 {'_', 3, '_'}, {0x08, 3, 0x08}, {char(0x81), 3, NO_KEY},  // CTRL-A
                 {0x08, 4, 0x88}, {0x0D, 4, 0x0D}, {char(0x81), 4, 0x01}, {'a', 4, 'a'},
                 {'x', 1, 0}, {'X', 1, 0}, {'!', 1, 19}, {'~', 1, 4}, {'l', 1, NO_KEY},
                 {'l', 2, 12}, {'(', 2, 9}, {'x', 2, NO_KEY}, {' ', 2, NO_KEY}, {0x0D, 1, NO_KEY},
                 {char(0xC8), 1, NO_KEY}, {char(0xFF), 2, NO_KEY}})
    EXPECT_EQ(code_for_unit(std::uint8_t(c.typed), c.unit), c.code)
        << "byte " << int(std::uint8_t(c.typed)) << " unit " << c.unit;
  EXPECT_EQ(key_unit(0, 0), 3);
  EXPECT_EQ(key_unit(0, 2), 5);
  EXPECT_EQ(key_unit(1, 2), 1);
}

}  // namespace
