// The ti99run binary given garbage, NUL bytes, control characters, huge lines and files as
// source, paths it cannot read, odd standard input, standard output that goes away or cannot
// be written. Every run must end by itself, without a crash, with the documented status and
// nothing on standard error but the documented messages.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>

#include <gtest/gtest.h>

using namespace std::string_literals;

namespace {

enum Sink { PIPE, HEAD, HEAD_SIGPIPE_IGNORED, DEV_FULL };  // HEAD: | head -1

struct Case {
  std::string what, source;
  const char* status;              // null: exit 0 or 1
  std::optional<std::string> out;  // without the bells; none: any, but no control codes
  std::optional<std::string> input = "";  // none: standard input closed
  std::string err = "";
  Sink sink = PIPE;
  std::string path = "";  // the argument instead of a file holding source
};

void check(const Case& c) {
  SCOPED_TRACE(c.what);
  std::string dir = TI99_TEST_WORK_DIR "/bad_input_XXXXXX"s;  // the run's files
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  std::string program = c.path.empty() ? dir + "/program.bas" : c.path, err = dir + "/err";
  if (c.path.empty()) std::ofstream(program, std::ios::binary) << c.source;
  std::ofstream(dir + "/input", std::ios::binary) << c.input.value_or("");
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
  pid_t pid = fork();
  if (pid == 0) {
    signal(SIGPIPE, c.sink == HEAD_SIGPIPE_IGNORED ? SIG_IGN : SIG_DFL);
    dup2(c.sink == DEV_FULL ? open("/dev/full", O_WRONLY) : fds[1], 1);
    dup2(creat(err.c_str(), 0600), 2);
    c.input ? dup2(open((dir + "/input").c_str(), O_RDONLY), 0) : close(0);
    execl(TI99RUN_PATH, "ti99run", program.c_str(), nullptr);
    _exit(127);
  }
  close(fds[1]);
  std::string out;  // to its end, or for head -1 to the first line end
  struct pollfd p = {fds[0], POLLIN, 0};
  for (char ch = 0; (c.sink == PIPE || ch != '\n') && poll(&p, 1, 60000) > 0;)
    if (read(fds[0], &ch, 1) == 1) out += ch; else break;
  close(fds[0]);
  int status = 0;
  for (int ms = 0; waitpid(pid, &status, WNOHANG) == 0; ms++, usleep(1000))
    if (ms == 60000) kill(pid, SIGKILL);  // hung
  std::string how = WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status))
                                      : "killed by signal " + std::to_string(WTERMSIG(status));
  EXPECT_TRUE(c.status ? how == c.status : how == "exit 0" || how == "exit 1")
      << how << ", expected " << (c.status ? c.status : "exit 0 or 1");
  std::ifstream err_file(err, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(err_file), {}), c.err);
  std::erase(out, '\a');  // the bells are left to other tests
  EXPECT_EQ(out, c.out.value_or(out));
  auto shown = [](unsigned char b) { return b == '\n' || (b >= 32 && b < 160); };
  EXPECT_TRUE(std::ranges::all_of(out, shown)) << "a control code for the user's terminal in "
                                                << testing::PrintToString(out);
  std::filesystem::remove_all(dir);
}

// 16 KB of pseudo-random bytes, or of pieces of BASIC (none that loop for ever).
std::string garbage(unsigned seed, bool basic) {
  const char* pieces[] = {"\n", "\n10 ", "PRINT ", "FOR I=1 TO 3", "NEXT I", "INPUT A$", "DIM A(",
                          "CALL KEY(0,K,S)", "READ ", "DATA 1,", "LIST", "\"", ",", ";", "=", "9"};
  std::mt19937 r(seed);
  std::string text;
  while (text.size() < 16384) text += basic ? pieces[r() % std::size(pieces)] : ""s + char(r());
  return text;
}

TEST(BadInput, EveryRunEndsCleanly) {
  const std::string empty = "\n* CAN'T DO THAT\n\n", asks = "10 PRINT 1\n20 INPUT A\n30 PRINT 3";
  const std::string printer = "10 PRINT I\n20 I=I+1\n30 GOTO 10", why = "writing standard output: ";
  const std::string answers = "10 INPUT A$\n20 PRINT LEN(A$);A$\n30 GOTO 10\n";
  std::string megabyte;
  while (megabyte.size() < 1u << 20) megabyte += "10 REM " + std::string(90, 'M') + "\n";
  std::vector<Case> cases = {
      {"NUL bytes", "1\0" "0 PR\0INT \"A\0B\"\n\0\0\0" "20 PRINT 2\n"s, "exit 0", "AB\n 2 \n"},
      {"only NUL bytes", std::string(65536, '\0'), "exit 1", empty},
      {"control characters", "\f10\tPRINT\t\"A\tB\"\n20 PRINT \"\x1b[1mX\x7f\"\r30 PRINT 12\b3\v"
       "40 PRINT 5\n50 PRINT \x02 \"X\"\n\x1a", "exit 0",  // \x02, CLEAR, wipes the line
       "\n* INCORRECT STATEMENT\n\nA B\n[1mX\x7f\n 13 \n 5 \n"},
      {"10,000-character line", "10 PRINT \"" + std::string(10000, 'A') + "\"\n20 PRINT 99\n",
       "exit 0", std::string(101, 'A') + "\n 99 \n"},
      {"a megabyte", megabyte + "10 PRINT \"LAST\"\n", "exit 0", "LAST\n"},
      {"lower case", "10 for i=1 to 2\n20 print i;\n30 next i\n40 input n$\n50 Print seg$(n$,1,2)",
       "exit 0", " 1  2 ? xy\n", "xyz\n"},
      {"only #!", "#!/usr/bin/env ti99run\n", "exit 1", empty},
      {"only #!, no line end", "#!", "exit 1", empty},
      {"directory", "", "exit 1", "", "", "reading BASIC source file: Is a directory\n", PIPE, "/"},
      {"missing", "", "exit 1", "", "", "opening BASIC source file: No such file or directory\n",
       PIPE, TI99_TEST_WORK_DIR "/none.bas"},
      {"empty input", asks, "exit 0", " 1 \n? "},
      {"closed input", asks, "exit 0", " 1 \n? ", std::nullopt},
      {"10,000-character answer", answers, "exit 0", "?  110 " + std::string(110, 'B') +
       "\n?  4 NEXT\n? ", std::string(10000, 'B') + "\nNEXT\n"},
      {"NUL and invalid UTF-8 in answers", answers, "exit 0", "?  2 AB\n?  3 ..C\n?  2 ..\n"
       "?  3 [2J\n?  0 \n? ", "A\0B\n\xff\xfe" "C\n\xc3\xa9\n\x1b[2J\n\0\n"s},
      {"CLEAR at INPUT", "10 INPUT A$\n", "exit 1", "? * BREAKPOINT AT 10\n", "AB\x02" "CD\n"},
      {"CALL KEY after the end of input", "10 PRINT 1\n20 CALL KEY(0,K,S)\n30 IF S=0 THEN 20\n",
       "exit 0", " 1 \n"},
      {"| head -1", printer, "killed by signal 13", " 0 \n", "", "", HEAD},
      {"| head -1, SIGPIPE ignored", printer, "exit 1", " 0 \n", "", why + "Broken pipe\n",
       HEAD_SIGPIPE_IGNORED},
      {"/dev/full", "10 PRINT 1\n", "exit 1", "", "", why + "No space left on device\n", DEV_FULL},
      {"/dev/full, printing", printer, "exit 1", "", "", why + "No space left on device\n",
       DEV_FULL}};
  for (unsigned seed = 1; seed <= 8; seed++)
    cases.push_back({"garbage " + std::to_string(seed), garbage(seed, seed % 2), nullptr, {},
                     garbage(seed + 100, seed % 2)});
  for (const Case& c : cases) check(c);
}

// CALL KEY takes every byte of standard input as a key code (a line feed is ENTER, 13).
// Codes of 128 and up come from no key of the console and may confuse its code.
TEST(BadInput, CallKeyTakesEveryByteValue) {
  for (int byte = 0; byte < 256; byte++) {
    Case c = {"key " + std::to_string(byte), "10 CALL KEY(0,K,S)\n20 PRINT K;S\n", "exit 0",
              " " + std::to_string(byte == '\n' ? 13 : byte) + "  1 \n", ""s + char(byte)};
    if (byte >= 128) c.status = nullptr, c.out.reset();
    check(c);
  }
}

}  // namespace
