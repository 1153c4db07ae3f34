// The ti99run binary on a fresh pseudo-terminal, in the foreground as a shell starts it, typed
// on like a user; however a run ends, the terminal must hold the settings it was found with.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "host/terminal.h"
#include "tests/host/pty_job.h"

namespace {

const char* run_argv[3] = {"ti99run", nullptr, nullptr};
const char* run_output;  // the run's standard output when not the terminal
std::string program_path;

struct Stream { int fd; std::string text = ""; size_t seen = 0; } screen{-1};

// Whether text shows in what is read from s after the text found last, waiting for it.
testing::AssertionResult shows(const std::string& text, Stream& s = screen, int ms = TIMEOUT_MS) {
  size_t at;
  for (int waited = 0; (at = s.text.find(text, s.seen)) == std::string::npos; waited += 5) {
    if (waited > ms)
      return testing::AssertionFailure() << testing::PrintToString(text) << " not in "
                                         << testing::PrintToString(s.text.substr(s.seen));
    char buffer[4096];
    struct pollfd p = {s.fd, POLLIN, 0};
    ssize_t n = poll(&p, 1, 0) > 0 ? read(s.fd, buffer, sizeof buffer) : 0;
    if (n > 0) s.text.append(buffer, size_t(n)); else usleep(5000);
  }
  return s.seen = at + text.size(), testing::AssertionSuccess();
}

void expect_end(const std::string& how) {
  EXPECT_EQ(describe_status(next_job_status()), how);
  EXPECT_TRUE(terminal_holds(initial_settings));
}

// Types text once the run reads a line, which the terminal echoes and edits.
void type_line(const std::string& text) {
  EXPECT_TRUE(wait_for_settings(mode_settings(TERM_LINE))) << describe(current_settings());
  type(text);
}

struct Interactive : testing::Test {
  std::string dir = std::string(TI99_TEST_WORK_DIR) + "/interactive_XXXXXX";
  void SetUp() override { ASSERT_NE(mkdtemp(dir.data()), nullptr); }
  void TearDown() override {
    end_pty_job();
    std::filesystem::remove_all(dir);
  }
  // Starts ti99run with program in a file (none when null), standard output to output.
  void start(const char* program, const char* output = nullptr) {
    run_output = output;
    program_path = dir + "/program.bas";
    if (program) std::ofstream(program_path) << program;
    run_argv[1] = program ? program_path.c_str() : nullptr;
    start_pty_job([] {
      int out = run_output ? open(run_output, O_WRONLY) : 1;
      if (out < 0 || dup2(out, 1) < 0) _exit(126);
      execv(TI99RUN_PATH, const_cast<char* const*>(run_argv));
      _exit(127);
    }, true);
    screen = {pty_master};
  }
};

TEST_F(Interactive, SessionAnswersACommandAndRunsATypedProgram) {
  start(nullptr);
  ASSERT_TRUE(shows("TI BASIC READY\r\n>"));
  type_line("PRINT 2+2\r");
  EXPECT_TRUE(shows("PRINT 2+2\r\n 4 \r\n"));  // echoed once, by the terminal
  for (const std::string line : {"10 FOR I=1 TO 3", "20 PRINT I*I", "30 NEXT I", "RUN"}) {
    ASSERT_TRUE(shows(">"));
    type_line(line + "\r");
  }
  EXPECT_TRUE(shows("RUN\r\n 1 \r\n 4 \r\n 9 \r\n"));
  ASSERT_TRUE(shows(">"));
  type_line("BYE\r");
  expect_end("exit 0");
}

// INPUT and CALL KEY with standard output the terminal, a pipe (ti99run prog.bas | tee log)
// or a file: what is printed before the run waits is out while it waits, the answer is
// echoed and edited by the terminal, the key is not echoed.
TEST_F(Interactive, InputAndCallKeyWithOutputToTheTerminalAPipeOrAFile) {
  const char* program = "10 PRINT \"FIRST LINE\"\n20 INPUT \"HOW MANY? \":N\n30 PRINT N*3;\n"
                        "40 CALL KEY(0,K,S)\n50 IF S=0 THEN 40\n60 PRINT K\n";
  for (const std::string kind : {"terminal", "pipe", "file"}) {
    SCOPED_TRACE(kind);
    std::string path = dir + "/" + kind, eol = kind == "terminal" ? "\r\n" : "\n";
    ASSERT_EQ(kind == "pipe" ? mkfifo(path.c_str(), 0600) : close(creat(path.c_str(), 0600)), 0);
    start(program, kind == "terminal" ? nullptr : path.c_str());
    Stream written = {open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    Stream& out = run_output ? written : screen;
    ASSERT_TRUE(shows("FIRST LINE" + eol + "HOW MANY? \a", out));  // before anything is typed
    type_line("12\x7f" "4\r");  // DEL: the terminal's erase
    EXPECT_TRUE(shows("12\b \b4\r\n"));
    EXPECT_TRUE(shows(" 42 ", out));
    EXPECT_EQ(describe_status(next_job_status(300)), "no status") << "no wait for a key";
    EXPECT_EQ(current_settings().c_lflag & (ICANON | ECHO), 0u) << describe(current_settings());
    type("q");
    EXPECT_TRUE(shows(" 113 " + eol, out));  // lower case stays lower case
    expect_end("exit 0");
    screen.seen = 0;  // anywhere on the screen
    EXPECT_FALSE(shows("q", screen, 100)) << "the key was echoed";
    close(written.fd);
  }
}

// Ctrl-C in a running loop or at the command prompt, Ctrl-D at INPUT.
TEST_F(Interactive, CtrlCAndCtrlDEndTheRunLeavingTheTerminalAsFound) {
  const std::string killed = "killed by signal " + std::to_string(SIGINT);
  const struct { const char *program, *shown, *typed; std::string end; } cases[] = {
      {"10 PRINT \"LOOPING\"\n20 GOTO 20\n", "LOOPING\r\n", "\x03", killed},
      {nullptr, "TI BASIC READY\r\n>", "\x03", killed},
      {"10 INPUT A\n20 PRINT \"NEVER\"\n", "?\a ", "\x04", "exit 0"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    start(c.program);
    ASSERT_TRUE(shows(c.shown));
    c.typed[0] == 4 ? type_line(c.typed) : type(c.typed);  // Ctrl-D works in line mode only
    expect_end(c.end);
    EXPECT_FALSE(shows("NEVER", screen, 100));
  }
}

}  // namespace
