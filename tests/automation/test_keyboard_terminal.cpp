// The keyboard scan at a terminal: each scan site reads standard input in its
// own terminal mode. Key waits take one key as it is typed, the line input
// wait switches to line mode (echo, the line handed out after ENTER), and
// poll sites, CALL KEY's included, never wait. The job runs on a fresh
// pseudo-terminal in a process of its own.
#include <poll.h>

#include <cstdint>
#include <cstdlib>

#include <gtest/gtest.h>

#include "automation/rom_hook.h"
#include "host/terminal.h"
#include "machine/state.h"
#include "tests/automation/automation_test_support.h"
#include "tests/host/pty_job.h"

namespace {

class KeyboardTerminalTest : public testing::Test {
 protected:
  void SetUp() override { guard_exits(); }
  void TearDown() override {
    end_pty_job();
    release_exits();
  }
};

// One scan at site; the key delivered, or -1 for no key.
int scan(std::uint16_t site) {
  branch_target = 0x02AE;
  grom_addr = std::uint16_t(site + 1);
  cpu_mem[0x8374] = 0;
  if (rom_hook() != 1) return -100;
  return (cpu_mem[0x837C] & 0x20) ? cpu_mem[0x8375] : -1;
}

void wait_for_a_key() {
  struct pollfd key = {0, POLLIN, 0};
  poll(&key, 1, TIMEOUT_MS);
}

void scan_job() {
  release_exits();  // this process is the job: its exit is expected
  reset_automation_state();
  terminal_setup(TERM_RAW);  // the resting mode, as at start-up
  report(scan(0x47FC));
  report(scan(0x5789));
  report(-2);
  report(scan(0x142D));
  report(scan(0x2A5C));
  report(int(suppress_newline));
  report(scan(0x2A5C));  // the rest of the line, without a new read
  report(scan(0x1528));
  wait_for_a_key();
  report(scan(0x47FC));
  wait_for_a_key();
  report(scan(0x5789));
  std::exit(0);
}

TEST_F(KeyboardTerminalTest, EachSiteReadsInItsOwnMode) {
  start_pty_job(scan_job, true);
  EXPECT_EQ(next_report(), -1) << "a poll site waited or took a key";
  EXPECT_EQ(next_report(), -1) << "the CALL KEY site waited or took a key";
  ASSERT_EQ(next_report(), -2);

  // >142D: one key, no ENTER needed.
  EXPECT_TRUE(terminal_holds(mode_settings(TERM_RAW)));
  type("k");
  EXPECT_EQ(next_report(), 'k');

  // >2A5C: line mode while it waits, with echo; the line after ENTER.
  ASSERT_TRUE(wait_for_settings(mode_settings(TERM_LINE)));
  type("a");
  EXPECT_NE(read_output_until("a").find('a'), std::string::npos) << "no echo";
  type("\r");
  EXPECT_EQ(next_report(), 'a');
  EXPECT_EQ(next_report(), 1);  // suppress_newline
  EXPECT_EQ(next_report(), 0x0D);
  EXPECT_TRUE(wait_for_settings(mode_settings(TERM_RAW)));

  // >1528: one key again.
  type("q");
  EXPECT_EQ(next_report(), 'q');

  // A key typed before a poll is taken by it.
  type("p");
  EXPECT_EQ(next_report(), 'p');
  type("c");
  EXPECT_EQ(next_report(), 'c');

  EXPECT_EQ(describe_status(next_job_status()), "exit 0");
  EXPECT_TRUE(terminal_holds(initial_settings));
}

}  // namespace
