// The host side as the user sees it, on pseudo-terminals: the keyboard's sources,
// modes, the settings coming back however the process ends or stops, start-up.
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "host/input.h"
#include "host/startup.h"
#include "host/terminal.h"
#include "tests/host/pty_job.h"

namespace {

struct Host : testing::Test { void TearDown() override { end_pty_job(); } };

const char *source, *input;  // the texts of the source file (null: none) and standard input

// A pipe holding text, or the end of this process; returns its read end.
int pipe_holding(const char* text) {
  int fds[2];
  if (pipe(fds) != 0 || write(fds[1], text, std::strlen(text)) < 0) std::exit(2);
  close(fds[1]);
  return fds[0];
}

// Standard input and the source file (named before a missing file that must not
// be read) pipes; reports a poll, then keys in modes 1, 3, 2 in turn until none.
void read_input() {
  dup2(pipe_holding(input), 0);
  std::string path = "/dev/fd/" + std::to_string(pipe_holding(source ? source : ""));
  char* argv[] = {const_cast<char*>("ti99run"), path.data(), const_cast<char*>("/no/file")};
  machine_init(source ? 3 : 1, argv);
  report(next_input_char(TERM_POLL));
  const int modes[] = {TERM_RAW, TERM_KEY, TERM_LINE};
  for (int i = 0, c = 0; c >= 0; i++) report(c = next_input_char(modes[i % 3]));
  pause();
}

// A poll takes a character of the source file or RUN line, never of a pipe; key
// requests do. The terminal stays untouched and SIGINT keeps its default action.
TEST_F(Host, SourceThenRunLineThenStandardInput) {
  const struct { const char* source; const char* input; const char* typed; } cases[] = {
      {"10 PRINT 1\n", "ab", "10 PRINT 1\nRUN\nab"}, {nullptr, "10 X\n", "10 X\n"},
      {"", "x", "RUN\nx"}, {"10 END", "x", "10 END\nRUN\nx"},  // the last line is entered
      {"10 A\n20 END", "", "10 A\n20 END\nRUN\n"}, {"10 END\r", "", "10 END\rRUN\n"},
      {"#!/usr/bin/ti99run\n10 END\n", "", "10 END\nRUN\n"},  // a "#" first line is skipped
      {"#!x\r\n10 END\r\n", "", "\n10 END\r\nRUN\n"}, {"#!x\r10 END\n", "", "10 END\nRUN\n"},
      {"#\n", "", "RUN\n"}, {"# no line end", "", "RUN\n"},
      {"10 REM\n#x\n", "", "10 REM\n#x\nRUN\n"}, {" #x\n", "", " #x\nRUN\n"},  // only at the start
      {"\n#x\n", "", "\n#x\nRUN\n"}};
  for (auto c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.source ? c.source : "(no file)"));
    source = c.source, input = c.input;
    start_pty_job(read_input, true);
    int polled = next_report();
    EXPECT_EQ(polled < 0, c.source == nullptr);
    std::string typed = polled < 0 ? "" : std::string(1, char(polled));
    for (int ch; (ch = next_report()) >= 0;) typed += char(ch);
    EXPECT_EQ(typed, c.typed);
    EXPECT_TRUE(terminal_holds(initial_settings));
    kill(job_pid, SIGINT);
    EXPECT_EQ(describe_status(next_job_status()), "killed by signal 2");
  }
}

int read_mode, ignored_at_start;  // read_keys' mode, and a signal it ignores as under nohup

// Starts the machine (resting in mode 1) and reports 0; reads keys in read_mode
// and reports each until a "." or the end of input; rests until one more key.
// Mode -1: hands the terminal back to the shell, as a job put in the background.
void read_keys() {
  if (ignored_at_start) signal(ignored_at_start, SIG_IGN);
  char* argv[] = {const_cast<char*>("ti99run"), nullptr};
  machine_init(1, argv);
  if (read_mode < 0) { tcsetpgrp(0, getppid()); report(0); pause(); }
  report(0);
  for (int c = 0; c != '.' && c >= 0;) report(c = console_getc(read_mode));
  console_getc(TERM_RAW);
}

TEST_F(Host, PollAndKeyRequestsAtATerminalNeverWait) {
  start_pty_job(
      [] {
        terminal_setup(TERM_RAW);
        for (int mode : {TERM_POLL, TERM_KEY}) report(console_getc(mode));  // KEY: a poll here
        int c;
        while ((c = console_getc(TERM_POLL)) < 0) usleep(1000);
        report(c);
        for (int mode : {TERM_KEY, TERM_RAW}) report(console_getc(mode));
      },
      true);
  for (int c : {-1, -1}) EXPECT_EQ(next_report(), c);
  EXPECT_TRUE(terminal_holds(mode_settings(TERM_RAW)));
  type("kyx");  // the switch to poll mode must not discard typed keys
  for (int c : {'k', 'y', 'x'}) EXPECT_EQ(next_report(), c);
}

// A killed process dies by the signal, settings back. A stop gives them back and
// continuing the mode, also after a shell set its own, and when the stop of a
// session leader (whose group is orphaned) is discarded and no SIGCONT follows.
TEST_F(Host, SignalsAndStopsGiveTheSettingsBack) {
  // sig: sent (below 0: ignored from the start); end: killed by, stopped by (below 0) or 0
  const struct { int mode; bool shell; int sig; const char* typed; int end; } cases[] = {
      {TERM_RAW, true, SIGINT, "", SIGINT},  {TERM_RAW, true, SIGTERM, "", SIGTERM},
      {TERM_RAW, true, SIGHUP, "", SIGHUP},  {TERM_RAW, true, SIGQUIT, "", SIGQUIT},
      {TERM_RAW, true, SIGPIPE, "", SIGPIPE}, {TERM_RAW, true, 0, "\x03", SIGINT},
      {TERM_LINE, true, 0, "\x03", SIGINT},  {TERM_RAW, true, -SIGHUP, "", 0},
      {TERM_RAW, true, 0, "\x1a", -SIGTSTP}, {TERM_LINE, true, 0, "\x1a", -SIGTSTP},
      {TERM_LINE, true, SIGSTOP, "", -SIGSTOP}, {TERM_RAW, false, 0, "\x1a", 0},
      {-1, true, SIGTERM, "", SIGTERM}};  // in the background: the terminal is not its own
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << &c - cases);
    read_mode = c.mode;
    ignored_at_start = c.sig < 0 ? -c.sig : 0;
    start_pty_job(read_keys, c.shell);
    ASSERT_EQ(next_report(), 0);
    ASSERT_TRUE(wait_for_settings(mode_settings(c.mode)));
    if (c.sig) kill(job_pid, std::abs(c.sig));
    type(c.typed);
    if (c.end) {
      std::string how = c.end > 0 ? "killed by signal " : "stopped by signal ";
      ASSERT_EQ(describe_status(next_job_status()), how + std::to_string(std::abs(c.end)));
      bool untouched = c.sig == SIGSTOP || c.mode < 0;  // no handler ran, or not its terminal
      EXPECT_TRUE(terminal_holds(untouched ? mode_settings(c.mode) : initial_settings));
      if (c.end > 0) continue;
      ASSERT_EQ(tcsetattr(pty_slave, TCSANOW, &initial_settings), 0);  // as a shell does
      kill(job_pid, SIGCONT);
      EXPECT_EQ(describe_status(next_job_status()), "continued");
    }
    EXPECT_TRUE(wait_for_settings(mode_settings(c.mode))) << describe(current_settings());
    type("z.");  // the interrupted read goes on; a line read echoes and waits for ENTER
    if (c.mode == TERM_LINE) {
      EXPECT_NE(read_output_until("z.").find("z."), std::string::npos) << "no echo";
      EXPECT_EQ(next_report(300), NO_REPORT) << "a character before ENTER";
      type("\r");
    }
    EXPECT_EQ(next_report(), 'z');
    EXPECT_EQ(next_report(), '.');
    EXPECT_TRUE(terminal_holds(mode_settings(TERM_RAW))) << "not resting in mode 1";
    type("x");
    EXPECT_EQ(describe_status(next_job_status()), "exit 0");
    EXPECT_TRUE(terminal_holds(initial_settings));
  }
}

const char* binary_args[3] = {"ti99run"};

// The binary on the terminal: a source file that cannot be read ends the run
// at once with a message; any run ends with the terminal as it was found.
TEST_F(Host, BinaryStartsAndEndsLeavingTheTerminal) {
  const struct { const char* source; const char* status; const char* output; } cases[] = {
      {"/no/such/file", "exit 1", "opening BASIC source file: No such file or directory\r\n"},
      {"/", "exit 1", "reading BASIC source file: Is a directory\r\n"},
      {"/dev/null", "exit 1", ""}};  // an empty program: RUN cannot do that
  for (auto c : cases) {
    SCOPED_TRACE(c.source);
    binary_args[1] = c.source;
    start_pty_job([] { execv(TI99RUN_PATH, const_cast<char* const*>(binary_args)); }, true);
    EXPECT_EQ(describe_status(next_job_status()), c.status);
    EXPECT_EQ(read_output_until(c.output).find(c.output), 0u);
    EXPECT_TRUE(terminal_holds(initial_settings));
  }
}

}  // namespace
