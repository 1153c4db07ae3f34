// The terminal of standard input as the user sees it: modes of the reads,
// echo, and the settings found at start coming back however the process ends
// or stops. Each job runs in a process of its own on a fresh pseudo-terminal.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include <gtest/gtest.h>

#include "host/startup.h"
#include "host/terminal.h"
#include "tests/host/pty_job.h"

namespace {

class TerminalTest : public testing::Test {
 protected:
  void TearDown() override { end_pty_job(); }
};

int read_mode;  // the mode in which read_keys reads

// Rests in mode 1 and reports 0, then reads keys in read_mode and reports each
// until a "." or the end of input.
void read_keys() {
  terminal_setup(TERM_RAW);
  report(0);
  for (;;) {
    int c = console_getc(read_mode);
    report(c);
    if (c == '.' || c < 0) std::exit(0);
  }
}

void expect_normal_end_with_settings_restored() {
  EXPECT_EQ(describe_status(next_job_status()), "exit 0");
  EXPECT_TRUE(terminal_holds(initial_settings));
}

TEST_F(TerminalTest, PollNeverWaitsAndKeepsWhatIsTyped) {
  start_pty_job(
      [] {
        terminal_setup(TERM_RAW);
        report(console_getc(TERM_POLL));
        report(console_getc(TERM_KEY));  // a key request polls a terminal too
        struct pollfd key = {0, POLLIN, 0};
        poll(&key, 1, TIMEOUT_MS);
        report(console_getc(TERM_POLL));
        report(console_getc(TERM_KEY));
        report(console_getc(TERM_RAW));
      },
      true);
  EXPECT_EQ(next_report(), -1);
  EXPECT_EQ(next_report(), -1);
  EXPECT_TRUE(terminal_holds(mode_settings(TERM_RAW)));
  type("kyx");  // the switch to poll mode must not discard typed keys
  EXPECT_EQ(next_report(), 'k');
  EXPECT_EQ(next_report(), 'y');
  EXPECT_EQ(next_report(), 'x');
  expect_normal_end_with_settings_restored();
}

TEST_F(TerminalTest, LineReadEchoesAndHandsOutTheLineAfterEnter) {
  start_pty_job(
      [] {
        terminal_setup(TERM_RAW);
        report(0);
        for (int i = 0; i < 3; i++) report(console_getc(TERM_LINE));
        report(console_getc(TERM_RAW));
      },
      true);
  ASSERT_EQ(next_report(), 0);
  ASSERT_TRUE(wait_for_settings(mode_settings(TERM_LINE)));
  type("hi");
  EXPECT_NE(read_output_until("hi").find("hi"), std::string::npos) << "no echo";
  EXPECT_EQ(next_report(300), NO_REPORT) << "a character before ENTER";
  type("\r");
  EXPECT_EQ(next_report(), 'h');
  EXPECT_EQ(next_report(), 'i');   // the rest of the line, without a new read
  EXPECT_EQ(next_report(), '\n');
  EXPECT_TRUE(terminal_holds(mode_settings(TERM_RAW)));
  type(".");
  EXPECT_EQ(next_report(), '.');
  expect_normal_end_with_settings_restored();
}

TEST_F(TerminalTest, FatalSignalsRestoreTheSettingsAndStillKill) {
  read_mode = TERM_RAW;
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
    SCOPED_TRACE(sig);
    start_pty_job(read_keys, true);
    ASSERT_EQ(next_report(), 0);
    ASSERT_TRUE(terminal_holds(mode_settings(TERM_RAW)));
    kill(job_pid, sig);
    EXPECT_EQ(describe_status(next_job_status()), "killed by signal " + std::to_string(sig));
    EXPECT_TRUE(terminal_holds(initial_settings));
  }
}

TEST_F(TerminalTest, CtrlCKillsInEveryModeAndRestoresTheSettings) {
  for (int mode : {TERM_RAW, TERM_LINE}) {
    SCOPED_TRACE(mode);
    read_mode = mode;
    start_pty_job(read_keys, true);
    ASSERT_EQ(next_report(), 0);
    ASSERT_TRUE(wait_for_settings(mode_settings(mode)));
    type("\x03");
    EXPECT_EQ(describe_status(next_job_status()), "killed by signal " + std::to_string(SIGINT));
    EXPECT_TRUE(terminal_holds(initial_settings));
  }
}

TEST_F(TerminalTest, CtrlZRestoresTheSettingsAndContinuingBringsTheModeBack) {
  for (int mode : {TERM_RAW, TERM_LINE}) {
    SCOPED_TRACE(mode);
    read_mode = mode;
    start_pty_job(read_keys, true);
    ASSERT_EQ(next_report(), 0);
    ASSERT_TRUE(wait_for_settings(mode_settings(mode)));
    type("\x1a");
    ASSERT_EQ(describe_status(next_job_status()), "stopped by signal " + std::to_string(SIGTSTP));
    EXPECT_TRUE(terminal_holds(initial_settings));
    kill(job_pid, SIGCONT);
    EXPECT_EQ(describe_status(next_job_status()), "continued");
    EXPECT_TRUE(wait_for_settings(mode_settings(mode))) << describe(current_settings());
    type(mode == TERM_LINE ? "z.\r" : "z.");  // the interrupted read goes on
    EXPECT_EQ(next_report(), 'z');
    EXPECT_EQ(next_report(), '.');
    expect_normal_end_with_settings_restored();
  }
}

// A shell that gets the terminal back after a stop sets its own settings;
// whatever stopped the process, continuing brings its mode back.
TEST_F(TerminalTest, ContinuingAfterAnyStopBringsTheModeBack) {
  read_mode = TERM_LINE;
  start_pty_job(read_keys, true);
  ASSERT_EQ(next_report(), 0);
  ASSERT_TRUE(wait_for_settings(mode_settings(TERM_LINE)));
  kill(job_pid, SIGSTOP);
  ASSERT_EQ(describe_status(next_job_status()), "stopped by signal " + std::to_string(SIGSTOP));
  ASSERT_EQ(tcsetattr(pty_slave, TCSANOW, &initial_settings), 0);
  kill(job_pid, SIGCONT);
  EXPECT_EQ(describe_status(next_job_status()), "continued");
  EXPECT_TRUE(wait_for_settings(mode_settings(TERM_LINE))) << describe(current_settings());
  type(".\r");
  EXPECT_EQ(next_report(), '.');
  expect_normal_end_with_settings_restored();
}

// A session leader's process group is orphaned: the stop after Ctrl-Z is
// discarded, no SIGCONT follows, and the run must go on in its mode.
TEST_F(TerminalTest, CtrlZThatCannotStopLeavesTheModeInPlace) {
  read_mode = TERM_RAW;
  start_pty_job(read_keys, false);
  ASSERT_EQ(next_report(), 0);
  type("\x1a" "x");
  EXPECT_EQ(next_report(), 'x');
  EXPECT_TRUE(terminal_holds(mode_settings(TERM_RAW)));
  type(".");
  EXPECT_EQ(next_report(), '.');
  expect_normal_end_with_settings_restored();
}

// A copy of the process in a background group is killed: it must die without
// touching the terminal, which belongs to the foreground (here the job, in
// mode 1); touching it would stop the copy with SIGTTOU instead.
TEST_F(TerminalTest, BackgroundProcessDiesWithoutTouchingTheTerminal) {
  start_pty_job(
      [] {
        terminal_setup(TERM_RAW);
        pid_t copy = fork();
        if (copy == 0) {
          setpgid(0, 0);
          for (;;) pause();
        }
        setpgid(copy, copy);
        kill(copy, SIGTERM);
        int status;
        waitpid(copy, &status, WUNTRACED);
        if (WIFSTOPPED(status)) kill(copy, SIGKILL);
        report(status);
        report(console_getc(TERM_RAW));
      },
      true);
  EXPECT_EQ(describe_status(next_report()), "killed by signal " + std::to_string(SIGTERM));
  EXPECT_TRUE(terminal_holds(mode_settings(TERM_RAW)));
  type("x");
  EXPECT_EQ(next_report(), 'x');
  expect_normal_end_with_settings_restored();
}

TEST_F(TerminalTest, SignalIgnoredAtStartStaysIgnored) {
  start_pty_job(
      [] {
        signal(SIGHUP, SIG_IGN);  // as under nohup
        terminal_setup(TERM_RAW);
        raise(SIGHUP);
        report(console_getc(TERM_RAW));
      },
      true);
  type("x");
  EXPECT_EQ(next_report(), 'x');
  expect_normal_end_with_settings_restored();
}

// Standard input is a pipe while the terminal is still standard output, error
// and the controlling terminal: nothing may change it, and SIGINT keeps its
// plain default action.
TEST_F(TerminalTest, PipedInputLeavesTheTerminalAndTheSignalsAlone) {
  start_pty_job(
      [] {
        int input[2];
        if (pipe(input) != 0 || write(input[1], "abc", 3) != 3) std::exit(2);
        close(input[1]);
        dup2(input[0], 0);
        char name[] = "ti99run";
        char* argv[] = {name, nullptr};
        machine_init(1, argv);
        report(int(term_saved));
        report(console_getc(TERM_POLL));
        report(console_getc(TERM_KEY));
        report(console_getc(TERM_RAW));
        report(console_getc(TERM_LINE));
        report(console_getc(TERM_KEY));
        report(console_getc(TERM_RAW));
        for (;;) pause();
      },
      true);
  EXPECT_EQ(next_report(), 0);
  EXPECT_EQ(next_report(), -1);   // a poll never reads a redirected input
  EXPECT_EQ(next_report(), 'a');  // a key request takes the next typed-ahead character
  EXPECT_EQ(next_report(), 'b');
  EXPECT_EQ(next_report(), 'c');
  EXPECT_EQ(next_report(), -1);  // end of input
  EXPECT_EQ(next_report(), -1);
  EXPECT_TRUE(terminal_holds(initial_settings));
  kill(job_pid, SIGINT);
  EXPECT_EQ(describe_status(next_job_status()), "killed by signal " + std::to_string(SIGINT));
  EXPECT_TRUE(terminal_holds(initial_settings));
}

}  // namespace
