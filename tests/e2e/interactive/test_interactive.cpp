// The ti99run binary used at a terminal: each run gets a fresh
// pseudo-terminal as its standard input, output and error, in a process group
// of its own that is the terminal's foreground group (as a shell starts it).
// The test types on the terminal like a user and reads the screen.
//
// Checked: the TI BASIC session without a program file (banner, prompt,
// commands, a program typed in and run, BYE); INPUT in a program file (the
// prompt is visible before anything is typed, the answer is echoed and edited
// by the terminal); CALL KEY (waits, no echo, the key's code); and the ways a
// user ends a run (Ctrl-C, Ctrl-D, Ctrl-Z and continuing), after each of which
// the terminal must hold the settings it had before the run.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/host/pty_job.h"

namespace {

std::vector<std::string> made_files;  // removed after each test
const char* run_argv[3];               // argv of the run: ti99run [program]
const char* stdout_path;               // standard output of the run, or null for the terminal

std::string screen;       // everything the run has written to its terminal
size_t screen_matched;    // the end of the last text found by screen_shows

void exec_ti99run() {
  if (stdout_path) {
    int out = open(stdout_path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || dup2(out, 1) < 0) _exit(126);
    close(out);
  }
  execv(TI99RUN_PATH, const_cast<char* const*>(run_argv));
  _exit(127);
}

// A file in the build tree holding text; removed after the test.
std::string make_file(const std::string& text) {
  std::string path = std::string(TI99_TEST_WORK_DIR) + "/interactive_XXXXXX";
  int fd = mkstemp(path.data());
  EXPECT_GE(fd, 0) << path;
  if (fd < 0) return path;
  made_files.push_back(path);
  EXPECT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size()));
  close(fd);
  return path;
}

std::string program_path;  // kept for the lifetime of the run's argv

// Starts ti99run on a fresh terminal, with the program text in a file, or
// without a file argument when program is null.
void start_run(const char* program) {
  run_argv[0] = "ti99run";
  run_argv[1] = nullptr;
  run_argv[2] = nullptr;
  if (program) {
    program_path = make_file(program);
    run_argv[1] = program_path.c_str();
  }
  screen.clear();
  screen_matched = 0;
  start_pty_job(exec_ti99run, true);
}

// Adds what the run has written to screen, waiting at most wait_ms for the
// first of it.
void read_screen(int wait_ms) {
  struct pollfd p = {pty_master, POLLIN, 0};
  while (poll(&p, 1, wait_ms) > 0) {
    char buffer[4096];
    ssize_t n = read(pty_master, buffer, sizeof buffer);
    if (n <= 0) return;
    screen.append(buffer, size_t(n));
    wait_ms = 0;
  }
}

// The text with control characters made visible, for failure messages.
std::string visible(const std::string& text) {
  std::string shown;
  for (unsigned char c : text) {
    if (c == '\n') {
      shown += "\\n\n";
    } else if (c < 0x20 || c >= 0x7f) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", c);
      shown += escape;
    } else {
      shown += char(c);
    }
  }
  return shown;
}

// Whether text shows on the screen after the text found last time; waits for
// it until the timeout. Found text moves the matching point past it, so
// successive calls check the order of what the run writes.
testing::AssertionResult screen_shows(const std::string& text, int timeout_ms = TIMEOUT_MS) {
  for (int waited = 0; waited <= timeout_ms; waited += 20) {
    size_t at = screen.find(text, screen_matched);
    if (at != std::string::npos) {
      screen_matched = at + text.size();
      return testing::AssertionSuccess();
    }
    read_screen(20);
  }
  return testing::AssertionFailure() << "\"" << visible(text) << "\" does not show after\n"
                                     << visible(screen.substr(0, screen_matched))
                                     << "\n---- in what came after it:\n"
                                     << visible(screen.substr(screen_matched));
}

// The next wait status of the run, reading its output meanwhile so that a
// run blocked on a full terminal can still go on and end.
int run_status(int timeout_ms = TIMEOUT_MS) {
  for (int waited = 0; waited < timeout_ms; waited += 40) {
    read_screen(20);
    int status = next_job_status(20);
    if (status != -1) return status;
  }
  return -1;
}

// Waits until the run has ended and checks how, and that the terminal holds
// the settings it was found with.
void expect_end(const std::string& how) {
  EXPECT_EQ(describe_status(run_status()), how);
  EXPECT_TRUE(terminal_holds(initial_settings));
}

// The terminal's line-editing characters as set on the fresh terminal.
std::string erase_key() { return std::string(1, char(initial_settings.c_cc[VERASE])); }
std::string kill_key() { return std::string(1, char(initial_settings.c_cc[VKILL])); }
std::string eof_key() { return std::string(1, char(initial_settings.c_cc[VEOF])); }
std::string interrupt_key() { return std::string(1, char(initial_settings.c_cc[VINTR])); }
std::string suspend_key() { return std::string(1, char(initial_settings.c_cc[VSUSP])); }

// Whether the terminal reads keys one at a time without echo (the modes in
// which ti99run waits for or polls a single key).
testing::AssertionResult terminal_reads_keys() {
  struct termios now = current_settings();
  if ((now.c_lflag & (ICANON | ECHO)) == 0) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "the terminal has " << describe(now)
                                     << ", expected ICANON and ECHO off";
}

class InteractiveTest : public testing::Test {
 protected:
  void TearDown() override {
    end_pty_job();
    for (const std::string& path : made_files) unlink(path.c_str());
    made_files.clear();
    stdout_path = nullptr;
  }
};

// ---- The TI BASIC session: no program file --------------------------------

TEST_F(InteractiveTest, SessionShowsTheBannerAndAnswersACommand) {
  start_run(nullptr);
  ASSERT_TRUE(screen_shows("TI BASIC READY\r\n>"));
  EXPECT_EQ(screen.find("TI BASIC READY"), 0u) << "something before the banner:\n" << visible(screen);
  // Waiting for a command line: the terminal echoes and edits it.
  EXPECT_TRUE(wait_for_settings(mode_settings(2))) << describe(current_settings());
  type("PRINT 2+2\r");
  EXPECT_TRUE(screen_shows("PRINT 2+2\r\n"));  // the terminal's echo, once
  EXPECT_TRUE(screen_shows(" 4 \r\n"));
  EXPECT_TRUE(screen_shows(">"));
  EXPECT_EQ(screen.find("PRINT 2+2", screen.find("PRINT 2+2") + 1), std::string::npos)
      << "the command shows twice:\n" << visible(screen);
  type("BYE\r");
  EXPECT_TRUE(screen_shows("BYE\r\n"));
  expect_end("exit 0");
  read_screen(100);
  EXPECT_EQ(screen.substr(screen_matched), "") << "output after BYE";
}

TEST_F(InteractiveTest, SessionRunsAProgramTypedIn) {
  start_run(nullptr);
  ASSERT_TRUE(screen_shows(">"));
  for (const char* line : {"10 FOR I=1 TO 3", "20 PRINT I*I", "30 NEXT I"}) {
    type(std::string(line) + "\r");
    ASSERT_TRUE(screen_shows(std::string(line) + "\r\n>"));
  }
  type("RUN\r");
  EXPECT_TRUE(screen_shows("RUN\r\n 1 \r\n 4 \r\n 9 \r\n"));
  EXPECT_TRUE(screen_shows("** DONE **"));  // at the terminal the console's own end message shows
  EXPECT_TRUE(screen_shows(">"));
  type("LIST\r");
  EXPECT_TRUE(screen_shows("LIST\r\n10 FOR I=1 TO 3\r\n20 PRINT I*I\r\n30 NEXT I\r\n>"));
  // An error in a typed-in program brings the prompt back; the session goes on.
  type("40 GOTO 99\r");
  ASSERT_TRUE(screen_shows(">"));
  type("RUN\r");
  EXPECT_TRUE(screen_shows(" 9 \r\n"));
  EXPECT_TRUE(screen_shows("*\a BAD LINE NUMBER IN 40"));
  EXPECT_TRUE(screen_shows(">"));
  EXPECT_EQ(describe_status(run_status(300)), "no status") << "the session ended by itself";
  type("BYE\r");
  expect_end("exit 0");
}

TEST_F(InteractiveTest, SessionCommandLineIsEditedByTheTerminal) {
  start_run(nullptr);
  ASSERT_TRUE(screen_shows(">"));
  type("PRINT 2+3" + erase_key() + "5\r");
  EXPECT_TRUE(screen_shows(" 7 \r\n"));
  ASSERT_TRUE(screen_shows(">"));
  type("PRINT 99" + kill_key() + "PRINT 6\r");
  EXPECT_TRUE(screen_shows(" 6 \r\n"));
  ASSERT_TRUE(screen_shows(">"));
  type("BYE\r");
  expect_end("exit 0");
}

TEST_F(InteractiveTest, SessionEndsAtEndOfInput) {
  start_run(nullptr);
  ASSERT_TRUE(screen_shows(">"));
  type(eof_key());
  expect_end("exit 0");
}

TEST_F(InteractiveTest, SessionIsKilledByCtrlC) {
  start_run(nullptr);
  ASSERT_TRUE(screen_shows(">"));
  type(interrupt_key());
  expect_end("killed by signal " + std::to_string(SIGINT));
}

// ---- INPUT in a program file -------------------------------------------------

const char* const INPUT_PROGRAM =
    "10 PRINT \"FIRST LINE\"\n"
    "20 INPUT \"HOW MANY? \":N\n"
    "30 PRINT N*3\n"
    "40 INPUT A$\n"
    "50 PRINT \"<\";A$;\">\"\n";

TEST_F(InteractiveTest, InputPromptShowsBeforeTypingAndTheAnswerIsEchoedAndEdited) {
  start_run(INPUT_PROGRAM);
  // Nothing is typed yet: the prompt, which has no line feed, must be out.
  ASSERT_TRUE(screen_shows("FIRST LINE\r\nHOW MANY? "));
  EXPECT_TRUE(wait_for_settings(mode_settings(2))) << describe(current_settings());
  type("12");
  EXPECT_TRUE(screen_shows("12"));  // echoed while typed, before ENTER
  type(erase_key() + "4");
  EXPECT_TRUE(screen_shows("\b \b4"));  // the terminal's erase
  type("\r");
  EXPECT_TRUE(screen_shows("\r\n 42 \r\n"));  // 14 * 3: the erased digit is gone
  ASSERT_TRUE(screen_shows("?\a "));
  type("HELLO" + kill_key() + "world\r");
  EXPECT_TRUE(screen_shows("world\r\n<world>\r\n"));
  expect_end("exit 0");
}

// ti99run prog.bas > file at a terminal: the prompt and the results go to the
// file, the typed answer is echoed on the terminal.
TEST_F(InteractiveTest, InputWithOutputToAFile) {
  std::string out_file = make_file("");
  stdout_path = out_file.c_str();
  start_run("10 PRINT \"FIRST LINE\"\n20 INPUT \"HOW MANY? \":N\n30 PRINT N*3\n");
  ASSERT_TRUE(wait_for_settings(mode_settings(2))) << describe(current_settings());
  type("5\r");
  EXPECT_TRUE(screen_shows("5\r\n"));  // the echo goes to the terminal
  expect_end("exit 0");
  read_screen(100);
  EXPECT_EQ(screen, "5\r\n") << "only the echo belongs on the terminal";
  FILE* file = std::fopen(out_file.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  std::string written;
  for (int c; (c = std::fgetc(file)) != EOF;) written += char(c);
  std::fclose(file);
  EXPECT_EQ(written, "FIRST LINE\nHOW MANY? \a 15 \n");
}

// ti99run prog.bas | tee log at a terminal: standard output is a pipe, which
// the C library does not flush by itself before reading the terminal; the
// prompt, and the output before a key wait, must reach the pipe before the
// user has to answer.
TEST_F(InteractiveTest, InputPromptReachesAnOutputPipeBeforeTyping) {
  std::string fifo = std::string(TI99_TEST_WORK_DIR) + "/interactive_fifo_XXXXXX";
  int placeholder = mkstemp(fifo.data());
  ASSERT_GE(placeholder, 0);
  close(placeholder);
  unlink(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  made_files.push_back(fifo);
  stdout_path = fifo.c_str();
  start_run(
      "10 PRINT \"FIRST LINE\"\n"
      "20 INPUT \"HOW MANY? \":N\n"
      "30 PRINT N*3;\n"
      "40 CALL KEY(0,K,S)\n"
      "50 IF S=0 THEN 40\n"
      "60 PRINT K\n");
  int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  std::string piped;
  auto pipe_shows = [&](const std::string& text) {
    for (int waited = 0; waited < TIMEOUT_MS; waited += 5) {
      if (piped.find(text) != std::string::npos) return true;
      char buffer[256];
      ssize_t n = read(reader, buffer, sizeof buffer);
      if (n > 0) {
        piped.append(buffer, size_t(n));
      } else {
        usleep(5000);
      }
    }
    return false;
  };
  EXPECT_TRUE(pipe_shows("FIRST LINE\nHOW MANY? \a")) << visible(piped);
  EXPECT_TRUE(wait_for_settings(mode_settings(2))) << describe(current_settings());
  type("5\r");
  EXPECT_TRUE(screen_shows("5\r\n"));  // the echo goes to the terminal
  // The same for a key: what is printed so far shows while the program waits.
  EXPECT_TRUE(pipe_shows(" 15 ")) << visible(piped);
  type("a");
  EXPECT_TRUE(pipe_shows(" 15  97 \n")) << visible(piped);
  expect_end("exit 0");
  close(reader);
}

TEST_F(InteractiveTest, EndOfInputAtInputEndsTheRunWithStatus0) {
  start_run("10 PRINT \"WAITING\"\n20 INPUT A\n30 PRINT \"NEVER\"\n");
  ASSERT_TRUE(screen_shows("WAITING\r\n?\a "));
  type(eof_key());
  expect_end("exit 0");
  EXPECT_EQ(screen.find("NEVER"), std::string::npos) << visible(screen);
}

TEST_F(InteractiveTest, EndOfInputAfterAPartAnswerEndsTheRunWithStatus0) {
  start_run("10 INPUT A\n20 PRINT \"NEVER\"\n");
  ASSERT_TRUE(screen_shows("?\a "));
  type("12" + eof_key());  // hands over "12" without a line end
  EXPECT_TRUE(screen_shows("12"));
  EXPECT_EQ(describe_status(run_status(300)), "no status") << "ended before the end of input";
  type(eof_key());
  expect_end("exit 0");
  EXPECT_EQ(screen.find("NEVER"), std::string::npos) << visible(screen);
}

// ---- CALL KEY at the terminal ----------------------------------------------

TEST_F(InteractiveTest, CallKeyWaitsForAKeyAndDoesNotEchoIt) {
  start_run(
      "10 PRINT \"PRESS A KEY\"\n"
      "20 CALL KEY(0,K,S)\n"
      "30 IF S=0 THEN 20\n"
      "40 PRINT \"CODE\";K\n"
      "50 CALL KEY(0,K,S)\n"
      "60 IF S=0 THEN 50\n"
      "70 PRINT \"CODE\";K\n");
  ASSERT_TRUE(screen_shows("PRESS A KEY\r\n"));
  // No key yet: the loop goes on, prints nothing, and keys are not echoed.
  EXPECT_EQ(describe_status(run_status(500)), "no status");
  EXPECT_EQ(screen.substr(screen_matched), "");
  EXPECT_TRUE(terminal_reads_keys());
  type("q");
  EXPECT_TRUE(screen_shows("CODE 113 \r\n"));  // lower case stays lower case
  EXPECT_EQ(screen.find('q'), std::string::npos) << "the key was echoed:\n" << visible(screen);
  type("\r");  // ENTER
  EXPECT_TRUE(screen_shows("CODE 13 \r\n"));
  expect_end("exit 0");
}

TEST_F(InteractiveTest, CallKeyThenInputSwitchBetweenKeysAndLines) {
  start_run(
      "10 PRINT \"KEY?\"\n"
      "20 CALL KEY(0,K,S)\n"
      "30 IF S=0 THEN 20\n"
      "40 INPUT \"LINE? \":A$\n"
      "50 PRINT CHR$(K);\"/\";A$\n");
  ASSERT_TRUE(screen_shows("KEY?\r\n"));
  EXPECT_TRUE(terminal_reads_keys());
  type("x");
  ASSERT_TRUE(screen_shows("LINE? \a"));
  EXPECT_TRUE(wait_for_settings(mode_settings(2))) << describe(current_settings());
  type("yes\r");
  EXPECT_TRUE(screen_shows("yes\r\nx/yes\r\n"));
  EXPECT_EQ(screen.find('x'), screen.find("x/yes")) << "the key was echoed:\n" << visible(screen);
  expect_end("exit 0");
}

// ---- Ending and stopping a run --------------------------------------------

TEST_F(InteractiveTest, CtrlCKillsAnEndlessLoop) {
  start_run("10 PRINT \"LOOPING\"\n20 GOTO 20\n");
  ASSERT_TRUE(screen_shows("LOOPING\r\n"));
  EXPECT_TRUE(terminal_reads_keys());
  type(interrupt_key());
  expect_end("killed by signal " + std::to_string(SIGINT));
}

TEST_F(InteractiveTest, CtrlCKillsALoopThatKeepsPrinting) {
  start_run("10 PRINT I\n20 I=I+1\n30 GOTO 10\n");
  ASSERT_TRUE(screen_shows(" 100 \r\n"));
  type(interrupt_key());
  expect_end("killed by signal " + std::to_string(SIGINT));
}

TEST_F(InteractiveTest, CtrlCKillsAtAnInputPrompt) {
  start_run("10 INPUT A\n20 PRINT A\n");
  ASSERT_TRUE(screen_shows("?\a "));
  type("12" + interrupt_key());
  expect_end("killed by signal " + std::to_string(SIGINT));
}

TEST_F(InteractiveTest, CtrlZAtAnInputPromptStopsAndTheRunGoesOnWhenContinued) {
  start_run("10 INPUT A\n20 PRINT A*3\n");
  ASSERT_TRUE(screen_shows("?\a "));
  ASSERT_TRUE(wait_for_settings(mode_settings(2))) << describe(current_settings());
  type(suspend_key());
  ASSERT_EQ(describe_status(run_status()), "stopped by signal " + std::to_string(SIGTSTP));
  EXPECT_TRUE(terminal_holds(initial_settings));  // the shell gets its terminal back
  kill(job_pid, SIGCONT);
  EXPECT_EQ(describe_status(run_status()), "continued");
  EXPECT_TRUE(wait_for_settings(mode_settings(2))) << describe(current_settings());
  type("5\r");
  EXPECT_TRUE(screen_shows("5\r\n 15 \r\n"));
  expect_end("exit 0");
}

TEST_F(InteractiveTest, ProgramEndLeavesTheTerminalAsFound) {
  start_run("10 PRINT \"DONE\"\n");
  EXPECT_TRUE(screen_shows("DONE\r\n"));
  expect_end("exit 0");
  // The error end (status 1) restores it as well.
  start_run("10 PRINT \"BEFORE\"\n20 GOTO 99\n");
  EXPECT_TRUE(screen_shows("*\a BAD LINE NUMBER IN 20"));
  expect_end("exit 1");
}

}  // namespace
