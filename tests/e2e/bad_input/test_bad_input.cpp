// The ti99run binary given input that it was not written for: binary garbage,
// NUL bytes, control characters and very long lines in the source file, a
// source file of a megabyte, source paths that cannot be read, odd standard
// input (empty, closed, NUL bytes, invalid UTF-8, 10,000-character answers),
// and standard output that goes away or cannot be written.
//
// Whatever comes in, a run must end by itself with one of the documented
// statuses (0, 1, or killed by SIGPIPE for a closed output pipe), write no
// warnings, never hang, and leave a terminal as it found it. Where the
// console's answer is known, the output is checked as well.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/host/pty_job.h"

using namespace std::string_literals;

namespace {

constexpr int RUN_TIMEOUT_MS = 30000;       // against hangs only
constexpr int BIG_RUN_TIMEOUT_MS = 60000;   // the megabyte sources

std::string work_dir;                 // this test's files, in the build tree
std::vector<std::string> work_files;  // removed with work_dir after the test

struct Outcome {
  int status = -1;         // wait status
  bool timed_out = false;  // killed by the test after the timeout
  std::string out, err;
  double seconds = 0;
};

// A file in work_dir holding bytes.
std::string make_file(const std::string& name, const std::string& bytes) {
  std::string path = work_dir + "/" + name;
  FILE* file = std::fopen(path.c_str(), "wb");
  EXPECT_NE(file, nullptr) << path;
  if (!file) return path;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  work_files.push_back(path);
  return path;
}

// A pipe whose ends are closed in a run, which gets only the ends it is
// given as its standard streams: a stray read end kept by the run would keep
// a closed output pipe from ever raising SIGPIPE.
bool make_pipe(int fds[2]) { return pipe2(fds, O_CLOEXEC) == 0; }

// Starts ti99run with arguments args. Standard input comes from stdin_path
// (closed when null), standard output goes to out_fd (closed when -1),
// standard error to err_fd. SIGPIPE is ignored in the run when
// ignore_sigpipe is set, as under a parent that ignores it.
pid_t start_ti99run(const std::vector<std::string>& args, const char* stdin_path, int out_fd,
                    int err_fd, bool ignore_sigpipe) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid != 0) return pid;
  signal(SIGPIPE, ignore_sigpipe ? SIG_IGN : SIG_DFL);
  if (out_fd >= 0) {
    dup2(out_fd, 1);
  } else {
    close(1);
  }
  dup2(err_fd, 2);
  close(0);
  if (stdin_path && open(stdin_path, O_RDONLY) != 0) _exit(126);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>("ti99run"));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execv(TI99RUN_PATH, argv.data());
  _exit(127);
}

// Collects what the run writes on out_fd and err_fd (either may be -1) until
// both are closed and the run has ended, or kills it after timeout_ms. With
// keep_lines >= 0, the read end of standard output is closed as soon as that
// many lines have come, like `ti99run ... | head -n keep_lines`.
Outcome finish_run(pid_t pid, int out_fd, int err_fd, int timeout_ms, int keep_lines = -1) {
  Outcome run;
  auto start = std::chrono::steady_clock::now();
  auto elapsed_ms = [&] {
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start)
                   .count());
  };
  int lines = 0;
  if (keep_lines == 0 && out_fd >= 0) {
    close(out_fd);
    out_fd = -1;
  }
  struct pollfd streams[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  std::string* texts[2] = {&run.out, &run.err};
  while ((streams[0].fd >= 0 || streams[1].fd >= 0) && elapsed_ms() < timeout_ms) {
    if (poll(streams, 2, 100) <= 0) continue;
    for (int i = 0; i < 2; i++) {
      if (streams[i].fd < 0 || !streams[i].revents) continue;
      char buffer[65536];
      ssize_t n = read(streams[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        close(streams[i].fd);
        streams[i].fd = -1;
        continue;
      }
      texts[i]->append(buffer, size_t(n));
      if (i == 0 && keep_lines > 0) {
        for (ssize_t k = 0; k < n; k++) lines += buffer[k] == '\n';
        if (lines >= keep_lines) {
          close(streams[0].fd);
          streams[0].fd = -1;
        }
      }
    }
  }
  for (const pollfd& stream : streams)
    if (stream.fd >= 0) close(stream.fd);
  for (;;) {
    pid_t r = waitpid(pid, &run.status, WNOHANG);
    if (r == pid) break;
    if (elapsed_ms() >= timeout_ms) {
      run.timed_out = true;
      kill(pid, SIGKILL);
      waitpid(pid, &run.status, 0);
      break;
    }
    usleep(2000);
  }
  run.seconds = elapsed_ms() / 1000.0;
  return run;
}

// Runs ti99run with args and standard input from stdin_path (closed when
// null), collecting both output streams.
Outcome run_ti99run(const std::vector<std::string>& args, const char* stdin_path,
                int timeout_ms = RUN_TIMEOUT_MS) {
  int out[2], err[2];
  if (!make_pipe(out) || !make_pipe(err)) return Outcome{};
  pid_t pid = start_ti99run(args, stdin_path, out[1], err[1], false);
  close(out[1]);
  close(err[1]);
  return finish_run(pid, out[0], err[0], timeout_ms);
}

// Runs the BASIC source with standard input holding input.
Outcome run_program(const std::string& source, const std::string& input = "",
                int timeout_ms = RUN_TIMEOUT_MS) {
  std::string program = make_file("program.bas", source);
  std::string answers = make_file("input.txt", input);
  return run_ti99run({program}, answers.c_str(), timeout_ms);
}

// The text with every byte visible, for failure messages.
std::string visible(const std::string& text, size_t limit = 600) {
  std::string shown;
  for (unsigned char c : text.substr(0, limit)) {
    if (c == '\n') {
      shown += "\\n";
    } else if (c < 0x20 || c >= 0x7f) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", c);
      shown += escape;
    } else {
      shown += char(c);
    }
  }
  if (text.size() > limit) shown += "... (" + std::to_string(text.size()) + " bytes)";
  return shown;
}

// A run that ended by itself, with exit status 0 or 1 and nothing on
// standard error.
testing::AssertionResult ended_cleanly(const Outcome& run) {
  if (run.timed_out)
    return testing::AssertionFailure() << "no end after " << run.seconds << " s; output so far: "
                                       << visible(run.out);
  if (!WIFEXITED(run.status) || WEXITSTATUS(run.status) > 1)
    return testing::AssertionFailure() << describe_status(run.status)
                                       << "; standard error: " << visible(run.err);
  if (!run.err.empty())
    return testing::AssertionFailure() << "standard error: " << visible(run.err);
  return testing::AssertionSuccess();
}

// Output holds only what the screen capture can produce: line feeds, bells
// and the character bytes >20->9F. Anything else (an escape, a carriage
// return, a NUL) would reach the user's terminal as a control code.
testing::AssertionResult only_screen_bytes(const std::string& out) {
  for (size_t i = 0; i < out.size(); i++) {
    unsigned char c = out[i];
    if (c != '\n' && c != '\a' && (c < 0x20 || c > 0x9f))
      return testing::AssertionFailure() << "byte " << int(c) << " at " << i << " in "
                                         << visible(out.substr(i > 40 ? i - 40 : 0, 80));
  }
  return testing::AssertionSuccess();
}

std::string without_bells(const std::string& text) {
  std::string kept;
  for (char c : text)
    if (c != '\a') kept += c;
  return kept;
}

size_t count_of(const std::string& text, char c) {
  size_t n = 0;
  for (char x : text) n += x == c;
  return n;
}

// size pseudo-random bytes, the same for the same seed everywhere.
std::string random_bytes(unsigned seed, size_t size) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = char(generator() & 0xff);
  return bytes;
}

// size pseudo-random bytes drawn from pool.
std::string random_text(unsigned seed, size_t size, const std::string& pool) {
  std::mt19937 generator(seed);
  std::string text(size, ' ');
  for (char& c : text) c = pool[generator() % pool.size()];
  return text;
}

const std::string EMPTY_PROGRAM_OUTPUT = "\n*\a CAN'T DO THAT\n\n";

class BadInputTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = std::string(TI99_TEST_WORK_DIR) + "/bad_input_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
    work_dir = pattern;
  }
  void TearDown() override {
    end_pty_job();
    for (const std::string& path : work_files) {
      chmod(path.c_str(), 0600);
      unlink(path.c_str());
      rmdir(path.c_str());
    }
    work_files.clear();
    rmdir(work_dir.c_str());
  }
};

// ---- The source file's bytes ---------------------------------------------

TEST_F(BadInputTest, BinaryGarbageSourceEndsCleanly) {
  for (unsigned seed = 1; seed <= 8; seed++) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Outcome run = run_program(random_bytes(seed, 16384));
    EXPECT_TRUE(ended_cleanly(run));
    EXPECT_TRUE(only_screen_bytes(run.out));
  }
}

// Lines of random keywords, digits and punctuation: the console's error
// messages, but never a crash, a hang or a warning.
TEST_F(BadInputTest, RandomTokenSourceEndsCleanly) {
  const std::string pool = "0123456789 \"$(),;:=+-*/^<>&.ABCDEFGHIJKLMNOPQRSTUVWXYZ\n\n\n";
  for (unsigned seed = 1; seed <= 8; seed++) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::string source;
    std::mt19937 generator(seed);
    const char* words[] = {"PRINT ", "GOTO ", "GOSUB ", "FOR ", "NEXT ", "IF ", "THEN ",
                           "INPUT ", "LIST\n", "CALL KEY(", "RETURN\n", "DIM ", "DATA ",
                           "READ ", "REM ", "STOP\n", "END\n", "NEW\n"};
    while (source.size() < 8000) {
      source += std::to_string(generator() % 200) + " ";
      source += words[generator() % (sizeof words / sizeof *words)];
      source += random_text(generator(), generator() % 20, pool) + "\n";
    }
    Outcome run = run_program(source, random_text(seed, 2000, pool));
    EXPECT_TRUE(ended_cleanly(run));
    EXPECT_TRUE(only_screen_bytes(run.out));
  }
}

TEST_F(BadInputTest, NulBytesInTheSourceAreSkipped) {
  Outcome run = run_program("1\0" "0 PR\0INT \"A\0B\"\n\0\0\0" "20 PRINT 2\n"s);
  EXPECT_TRUE(ended_cleanly(run));
  EXPECT_EQ(describe_status(run.status), "exit 0");
  EXPECT_EQ(visible(run.out), visible("AB\n 2 \n"));

  run = run_program(std::string(65536, '\0'));  // nothing but NULs: no program
  EXPECT_EQ(describe_status(run.status), "exit 1");
  EXPECT_EQ(visible(run.out), visible(EMPTY_PROGRAM_OUTPUT));
  EXPECT_EQ(run.err, "");
}

// Control characters are keys of the console: a tab moves the cursor right
// over a blank, a backspace moves it left, escape and form feed do nothing,
// a carriage return is ENTER, DEL is the character 127.
TEST_F(BadInputTest, ControlCharactersInTheSource) {
  struct Case {
    const char* what;
    std::string source, out;
  } cases[] = {
      {"tabs", "10\tPRINT\t\"A\tB\"\n", "A B\n"},
      {"escape sequences", "10 PRINT \"\x1b[1mBOLD\x1b[0m\"\n20 PRINT 2\x1b\n", "[1mBOLD[0m\n 2 \n"},
      {"form feeds", "\f10 PRINT 1\n\f\n20 PRINT 2\f\n", " 1 \n 2 \n"},
      {"DEL", "10 PRINT \"A\x7f" "B\"\n", "A\x7f" "B\n"},
      {"backspace", "10 PRINT 12\b3\n", " 13 \n"},
      {"carriage returns only", "10 PRINT 1\r20 PRINT 2\r", " 1 \n 2 \n"},
      {"vertical tab (up arrow) ends the line", "10 PRINT 3\x0b" "20 PRINT 4\n", " 3 \n 4 \n"},
      {"Ctrl-Z at the end", "10 PRINT 5\n\x1a", " 5 \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Outcome run = run_program(c.source);
    EXPECT_TRUE(ended_cleanly(run));
    EXPECT_EQ(describe_status(run.status), "exit 0");
    EXPECT_EQ(visible(run.out), visible(c.out));
  }
}

// CLEAR (Ctrl-B, the console's FCTN 4) wipes the line typed so far.
TEST_F(BadInputTest, ClearKeyInTheSourceWipesTheLine) {
  Outcome run = run_program("10 PRINT \x02 \"X\"\n20 PRINT 2\n");
  EXPECT_TRUE(ended_cleanly(run));
  EXPECT_EQ(visible(run.out), visible("\n*\a INCORRECT STATEMENT\n\n 2 \n"));
}

// The console takes a line of at most four screen rows and beeps for every
// further key; the next line is typed as usual.
TEST_F(BadInputTest, TenThousandCharacterLines) {
  Outcome run = run_program("10 PRINT \"" + std::string(10000, 'A') + "\"\n20 PRINT 99\n");
  EXPECT_TRUE(ended_cleanly(run));
  EXPECT_EQ(describe_status(run.status), "exit 0");
  std::string out = without_bells(run.out);
  size_t kept = out.find('\n');
  ASSERT_NE(kept, std::string::npos) << visible(out);
  EXPECT_EQ(out.substr(0, kept), std::string(kept, 'A'));
  EXPECT_GE(kept, 90u);
  EXPECT_LE(kept, 112u);
  EXPECT_EQ(visible(out.substr(kept)), visible("\n 99 \n"));
  EXPECT_GT(count_of(run.out, '\a'), 9800u);  // one beep per key that did not fit

  run = run_program("10 REM " + std::string(10000, 'R') + "\n20 PRINT 99\n");
  EXPECT_TRUE(ended_cleanly(run));
  EXPECT_EQ(visible(without_bells(run.out)), visible(" 99 \n"));

  run = run_program(std::string(10000, 'X') + "\n20 PRINT 99\n");  // a command, not a line
  EXPECT_TRUE(ended_cleanly(run));
  EXPECT_EQ(visible(without_bells(run.out)), visible("* BAD NAME\n\n 99 \n"));

  run = run_program("10 PRINT 1" + std::string(10000, ' ') + "\n20 PRINT 99\n");
  EXPECT_TRUE(ended_cleanly(run));
  EXPECT_EQ(visible(without_bells(run.out)), visible(" 1 \n 99 \n"));
}

// A byte-order mark is typed like any other bytes: the first line becomes a
// command the console refuses, which the user is shown; the rest runs.
TEST_F(BadInputTest, ByteOrderMarkSpoilsOnlyTheFirstLine) {
  Outcome run = run_program("\xef\xbb\xbf" "10 PRINT 1\n20 PRINT 2\n");
  EXPECT_TRUE(ended_cleanly(run));
  EXPECT_EQ(visible(run.out), visible("*\a BAD NAME\n\n 2 \n"));
}

TEST_F(BadInputTest, LowerAndMixedCaseKeywords) {
  Outcome run = run_program(
      "10 option base 1\n"
      "20 dim a(3)\n"
      "30 for i=1 to 3 step 1\n"
      "40 read a(i)\n"
      "50 next i\n"
      "60 data 4,5,6\n"
      "70 def f(x)=x*2\n"
      "80 gosub 200\n"
      "90 On 2 GoTo 100,110\n"
      "100 stop\n"
      "110 if a(2)=5 then 120 else 100\n"
      "120 call key(0,k,s)\n"
      "130 input \"name? \":n$\n"
      "140 print seg$(n$,1,2);chr$(65);len(N$);f(a(3));k;s\n"
      "150 Print \"Mixed Case\"\n"
      "160 goto 300\n"
      "200 print \"sub\"\n"
      "210 return\n"
      "300 end\n",
      "xyz\n");
  EXPECT_TRUE(ended_cleanly(run));
  EXPECT_EQ(describe_status(run.status), "exit 0");
  EXPECT_EQ(visible(run.out), visible("sub\nname? \ayzA 2  12  120  1 \nMixed Case\n"));
}

// ---- A megabyte of source -------------------------------------------------

// One line typed over and over (each replaces the last), then the program.
TEST_F(BadInputTest, MegabyteSourceFile) {
  std::string line = "10 REM " + random_text(7, 90, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ") + "\n";
  std::string source;
  while (source.size() < (1u << 20)) source += line;
  source += "10 PRINT \"LAST\"\n";
  Outcome run = run_program(source, "", BIG_RUN_TIMEOUT_MS);
  EXPECT_TRUE(ended_cleanly(run));
  EXPECT_EQ(describe_status(run.status), "exit 0");
  EXPECT_EQ(visible(run.out), visible("LAST\n"));
  std::printf("a %zu-byte source ran in %.1f s\n", source.size(), run.seconds);
}

TEST_F(BadInputTest, MegabyteOfGarbage) {
  Outcome run = run_program(random_bytes(99, 1u << 20), "", BIG_RUN_TIMEOUT_MS);
  EXPECT_TRUE(ended_cleanly(run));
  EXPECT_TRUE(only_screen_bytes(run.out));
  std::printf("a megabyte of garbage ran in %.1f s\n", run.seconds);
}

// ---- Source paths ---------------------------------------------------------

void expect_refused(const std::vector<std::string>& args, const std::string& message) {
  Outcome run = run_ti99run(args, "/dev/null");
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(describe_status(run.status), "exit 1");
  EXPECT_EQ(run.err, message);
  EXPECT_EQ(visible(run.out), "");
}

TEST_F(BadInputTest, SourcePathThatIsADirectory) {
  expect_refused({work_dir}, "reading BASIC source file: Is a directory\n");
  expect_refused({work_dir + "/"}, "reading BASIC source file: Is a directory\n");
}

TEST_F(BadInputTest, SourcePathThatDoesNotExist) {
  expect_refused({work_dir + "/missing.bas"}, "opening BASIC source file: No such file or directory\n");
  expect_refused({""}, "opening BASIC source file: No such file or directory\n");
  expect_refused({work_dir + "/missing/prog.bas"},
                 "opening BASIC source file: No such file or directory\n");
}

TEST_F(BadInputTest, SourcePathThatCannotBeRead) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads files whatever their mode";
  std::string path = make_file("locked.bas", "10 PRINT 1\n");
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  expect_refused({path}, "opening BASIC source file: Permission denied\n");
}

TEST_F(BadInputTest, SourceThatIsEmpty) {
  Outcome run = run_ti99run({"/dev/null"}, "/dev/null");
  EXPECT_TRUE(ended_cleanly(run));
  EXPECT_EQ(describe_status(run.status), "exit 1");
  EXPECT_EQ(visible(run.out), visible(EMPTY_PROGRAM_OUTPUT));
}

TEST_F(BadInputTest, SourceWithOnlyAnInterpreterLine) {
  for (const char* source : {"#!/usr/bin/env ti99run\n", "#!", "#!/usr/bin/env ti99run",
                             "#!/usr/bin/env ti99run\r"}) {
    SCOPED_TRACE(visible(source));
    Outcome run = run_program(source);
    EXPECT_TRUE(ended_cleanly(run));
    EXPECT_EQ(describe_status(run.status), "exit 1");
    EXPECT_EQ(visible(run.out), visible(EMPTY_PROGRAM_OUTPUT));
  }
}

// ---- Standard input -------------------------------------------------------

const char* const ASKING_PROGRAM = "10 PRINT \"ASKING\"\n20 INPUT A\n30 PRINT \"NEVER\"\n";

TEST_F(BadInputTest, NoInputForInputEndsTheRunWithStatus0) {
  std::string program = make_file("asking.bas", ASKING_PROGRAM);
  std::string empty = make_file("empty.txt", "");
  for (const char* input : {"/dev/null", empty.c_str(), static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(input ? input : "standard input closed");
    Outcome run = run_ti99run({program}, input);
    EXPECT_TRUE(ended_cleanly(run));
    EXPECT_EQ(describe_status(run.status), "exit 0");
    EXPECT_EQ(visible(run.out), visible("ASKING\n?\a "));
  }
  // A directory as standard input: its read fails like an end of input.
  Outcome run = run_ti99run({program}, work_dir.c_str());
  EXPECT_TRUE(ended_cleanly(run));
  EXPECT_EQ(describe_status(run.status), "exit 0");
  EXPECT_EQ(visible(run.out), visible("ASKING\n?\a "));
}

// An answer longer than the input field: the field takes what fits (with a
// beep for each further key), the rest of the line is dropped, and the next
// INPUT reads the next line.
TEST_F(BadInputTest, TenThousandCharacterAnswer) {
  Outcome run = run_program(
      "10 INPUT A$\n20 PRINT LEN(A$)\n30 PRINT SEG$(A$,1,3)\n40 INPUT B$\n50 PRINT B$\n",
      std::string(10000, 'B') + "\nSECOND\n");
  EXPECT_TRUE(ended_cleanly(run));
  EXPECT_EQ(describe_status(run.status), "exit 0");
  std::string out = without_bells(run.out);
  ASSERT_EQ(out.substr(0, 3), "?  ") << visible(out);
  int length = std::atoi(out.c_str() + 3);
  EXPECT_GE(length, 90);
  EXPECT_LE(length, 112);
  EXPECT_EQ(visible(out), visible("?  " + std::to_string(length) + " \nBBB\n? SECOND\n"));

  run = run_program("10 INPUT N\n20 PRINT N>1E50\n", std::string(10000, '9') + "\n");
  EXPECT_TRUE(ended_cleanly(run));
  EXPECT_EQ(visible(without_bells(run.out)), visible("? -1 \n"));
}

// Every byte of an answer is a key: NULs and line-editing keys do nothing,
// other bytes (invalid UTF-8 included) become characters of the string.
TEST_F(BadInputTest, NulBytesAndInvalidUtf8InAnswers) {
  Outcome run = run_program("10 INPUT A$\n20 PRINT LEN(A$)\n30 GOTO 10\n",
                        "A\0B\n\xff\xfe" "C\n\xc3\xa9\n\xe2\x82\xac!\n\0\0\0\n\x80\x9f\xa0\n"s);
  EXPECT_TRUE(ended_cleanly(run));
  EXPECT_EQ(describe_status(run.status), "exit 0");
  EXPECT_EQ(visible(run.out),
            visible("?\a  2 \n?\a  3 \n?\a  2 \n?\a  4 \n?\a  0 \n?\a  3 \n?\a "));
  EXPECT_TRUE(only_screen_bytes(run.out));

  run = run_program("10 INPUT A$\n20 PRINT A$\n30 GOTO 10\n", "\xc3\xa9t\xc3\xa9\n\x1b[2J\n");
  EXPECT_TRUE(ended_cleanly(run));
  EXPECT_TRUE(only_screen_bytes(run.out));  // no escape reaches the terminal
  EXPECT_EQ(visible(run.out), visible("?\a ..t..\n?\a [2J\n?\a "));
}

// CLEAR (Ctrl-B) is the console's break key, also inside an answer.
TEST_F(BadInputTest, ClearKeyInAnAnswerBreaksTheProgram) {
  Outcome run = run_program("10 INPUT A$\n20 PRINT A$\n", "AB\x02" "CD\n");
  EXPECT_TRUE(ended_cleanly(run));
  EXPECT_EQ(describe_status(run.status), "exit 1");
  // The line end after the answer is not output, as after every answer read
  // from a file or pipe.
  EXPECT_EQ(visible(run.out), visible("?\a \a* BREAKPOINT AT 10\n"));
}

// CALL KEY hands the program every byte of standard input as a key code (a
// line feed is ENTER, 13). Codes no key of the console gives confuse the
// console's own code (a message and status 1 for some); the run must still end
// cleanly, with nothing on standard error.
TEST_F(BadInputTest, CallKeyTakesEveryByteValue) {
  std::string program = make_file("key.bas", "10 CALL KEY(0,K,S)\n20 PRINT K;S\n");
  std::string wrong;
  for (int byte = 0; byte < 256; byte++) {
    std::string input = make_file("key.txt", std::string(1, char(byte)));
    Outcome run = run_ti99run({program}, input.c_str());
    int code = byte == '\n' ? 13 : byte;
    std::string expected = " " + std::to_string(code) + "  1 \n";
    bool keyboard_byte = byte < 128;
    bool clean = !run.timed_out && WIFEXITED(run.status) && WEXITSTATUS(run.status) <= 1;
    if (!clean || !run.err.empty() || (keyboard_byte && run.out != expected))
      wrong += "\n  " + std::to_string(byte) + ": " + describe_status(run.status) + ", " +
               visible(run.out, 40) + (run.err.empty() ? "" : ", stderr " + visible(run.err, 40));
  }
  EXPECT_TRUE(wrong.empty()) << "bytes whose key the program did not get as expected:" << wrong;
}

// A CALL KEY loop waiting for a key after redirected input has run out ends
// the run with status 0, as a line request does.
TEST_F(BadInputTest, CallKeyWaitAtEndOfInputEndsTheRun) {
  Outcome run = run_program("10 PRINT \"PRESS A KEY\"\n20 CALL KEY(0,K,S)\n30 IF S=0 THEN 20\n", "",
                        10000);
  EXPECT_TRUE(ended_cleanly(run));
  EXPECT_EQ(describe_status(run.status), "exit 0");
  EXPECT_EQ(run.out, "PRESS A KEY\n");
}

// ---- Standard output ------------------------------------------------------

const char* const ENDLESS_PRINTER = "10 PRINT I\n20 I=I+1\n30 GOTO 10\n";

// Like `ti99run prog.bas | head -1`: the next write after the reader has gone
// kills the run by SIGPIPE.
TEST_F(BadInputTest, OutputPipeClosedEarlyEndsTheRunBySigpipe) {
  std::string program = make_file("printer.bas", ENDLESS_PRINTER);
  int out[2], err[2];
  ASSERT_TRUE(make_pipe(out));
  ASSERT_TRUE(make_pipe(err));
  pid_t pid = start_ti99run({program}, "/dev/null", out[1], err[1], false);
  close(out[1]);
  close(err[1]);
  Outcome run = finish_run(pid, out[0], err[0], RUN_TIMEOUT_MS, 1);
  EXPECT_FALSE(run.timed_out) << "no end after " << run.seconds << " s";
  EXPECT_EQ(describe_status(run.status), "killed by signal " + std::to_string(SIGPIPE));
  EXPECT_EQ(run.out.substr(0, 4), " 0 \n");
  EXPECT_EQ(run.err, "");
}

// With SIGPIPE ignored (a parent that ignores it passes that on), writes to
// the closed pipe fail; the run must still end, and not with success.
TEST_F(BadInputTest, OutputPipeClosedEarlyEndsTheRunWithSigpipeIgnored) {
  std::string program = make_file("printer.bas", ENDLESS_PRINTER);
  int out[2], err[2];
  ASSERT_TRUE(make_pipe(out));
  ASSERT_TRUE(make_pipe(err));
  pid_t pid = start_ti99run({program}, "/dev/null", out[1], err[1], true);
  close(out[1]);
  close(err[1]);
  Outcome run = finish_run(pid, out[0], err[0], 10000, 1);
  EXPECT_FALSE(run.timed_out) << "still running after " << run.seconds
                              << " s, writing to a pipe nobody reads";
  EXPECT_FALSE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << describe_status(run.status);
}

// Output that cannot be written (a full disk: /dev/full) must not pass for a
// successful run, and an endless printer must not go on for ever.
TEST_F(BadInputTest, OutputThatCannotBeWrittenEndsTheRun) {
  int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (full < 0) GTEST_SKIP() << "no /dev/full";
  int err[2];
  ASSERT_TRUE(make_pipe(err));
  std::string printer = make_file("printer.bas", ENDLESS_PRINTER);
  pid_t pid = start_ti99run({printer}, "/dev/null", full, err[1], false);
  close(err[1]);
  Outcome run = finish_run(pid, -1, err[0], 10000);
  EXPECT_FALSE(run.timed_out) << "still running after " << run.seconds
                              << " s, writing to a full device";
  EXPECT_FALSE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << describe_status(run.status);

  ASSERT_TRUE(make_pipe(err));
  std::string hello = make_file("hello.bas", "10 PRINT \"HELLO\"\n");
  pid = start_ti99run({hello}, "/dev/null", full, err[1], false);
  close(err[1]);
  close(full);
  run = finish_run(pid, -1, err[0], RUN_TIMEOUT_MS);
  EXPECT_FALSE(run.timed_out);
  EXPECT_NE(describe_status(run.status), "exit 0") << "the output was lost, yet the run succeeded";
}

// ---- At a terminal --------------------------------------------------------

const char* terminal_run_argv[3];
const char* terminal_run_output;  // standard output of the run when not the terminal

void exec_on_terminal() {
  if (terminal_run_output) {
    int out = open(terminal_run_output, O_WRONLY);
    if (out < 0 || dup2(out, 1) < 0) _exit(126);
    close(out);
  }
  execv(TI99RUN_PATH, const_cast<char* const*>(terminal_run_argv));
  _exit(127);
}

// Reads what the run writes to the terminal until it ends; its wait status.
int terminal_run_status(std::string& screen) {
  for (int waited = 0; waited < RUN_TIMEOUT_MS; waited += 20) {
    struct pollfd p = {pty_master, POLLIN, 0};
    if (poll(&p, 1, 10) > 0) {
      char buffer[4096];
      ssize_t n = read(pty_master, buffer, sizeof buffer);
      if (n > 0) screen.append(buffer, size_t(n));
    }
    int status = next_job_status(10);
    if (status != -1) return status;
  }
  return -1;
}

TEST_F(BadInputTest, GarbageSourceAtATerminalLeavesItAsFound) {
  std::string path = make_file("garbage.bas", random_bytes(3, 16384));
  terminal_run_argv[0] = "ti99run";
  terminal_run_argv[1] = path.c_str();
  terminal_run_argv[2] = nullptr;
  terminal_run_output = nullptr;
  start_pty_job(exec_on_terminal, true);
  std::string screen;
  int status = terminal_run_status(screen);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1) << describe_status(status);
  EXPECT_TRUE(terminal_holds(initial_settings));
  EXPECT_EQ(screen.find("warning"), std::string::npos) << visible(screen);
}

// `ti99run prog.bas | head -1` typed at a terminal: SIGPIPE ends the run and
// the terminal (its standard input) gets its settings back.
TEST_F(BadInputTest, OutputPipeClosedEarlyAtATerminalLeavesItAsFound) {
  std::string path = make_file("printer.bas", ENDLESS_PRINTER);
  terminal_run_argv[0] = "ti99run";
  terminal_run_argv[1] = path.c_str();
  terminal_run_argv[2] = nullptr;
  // A named pipe, opened by the run only: a pipe made here would stay open
  // for reading in the processes that start_pty_job forks.
  std::string fifo = work_dir + "/output";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  work_files.push_back(fifo);
  terminal_run_output = fifo.c_str();
  start_pty_job(exec_on_terminal, true);
  terminal_run_output = nullptr;
  int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  std::string first;
  for (int waited = 0; first.find('\n') == std::string::npos && waited < RUN_TIMEOUT_MS; waited += 5) {
    char c;
    if (read(reader, &c, 1) == 1) {
      first += c;
    } else {
      usleep(5000);
    }
  }
  EXPECT_EQ(first, " 0 \n");
  close(reader);
  std::string screen;
  EXPECT_EQ(describe_status(terminal_run_status(screen)),
            "killed by signal " + std::to_string(SIGPIPE));
  EXPECT_TRUE(terminal_holds(initial_settings));
  EXPECT_EQ(visible(screen), "");
}

}  // namespace
