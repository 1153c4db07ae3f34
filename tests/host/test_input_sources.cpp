// The emulated keyboard's three sources in turn: the source file (after the
// skip of a "#" first line), the RUN line, standard input. Every case runs in
// a child process of its own, since the input state lives for a whole run;
// its standard input is a file, so the terminal is never involved.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/input.h"
#include "host/startup.h"
#include "host/terminal.h"
#include "machine/state.h"

namespace {

std::vector<std::string> temp_files;
std::string source;        // the source file of the current case
std::string other_source;  // a second file named on the command line

std::string write_temp(const std::string& text) {
  std::string path = testing::TempDir() + "ti99_input_XXXXXX";
  int fd = mkstemp(path.data());
  EXPECT_GE(fd, 0);
  EXPECT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size()));
  close(fd);
  temp_files.push_back(path);
  return path;
}

class InputSourcesTest : public testing::Test {
 protected:
  void TearDown() override {
    for (const std::string& path : temp_files) unlink(path.c_str());
    temp_files.clear();
  }
};

// Runs body in a child whose standard input reads stdin_text. The child
// prints its own assertion failures; any of them fails the test here.
void in_child(const std::string& stdin_text, void (*body)()) {
  std::string input = write_temp(stdin_text);
  std::fflush(nullptr);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    int fd = open(input.c_str(), O_RDONLY);
    dup2(fd, 0);
    close(fd);
    body();
    std::fflush(nullptr);
    _exit(testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  int waited = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (waited++ == 2000) {  // 20 s: a read that should not wait did
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      FAIL() << "the child hung";
    }
    usleep(10000);
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
}

void start_with(std::vector<std::string> args) {
  args.insert(args.begin(), "ti99run");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  machine_init(int(args.size()), argv.data());
}

// Everything the keyboard gets (in mode 1) until standard input ends.
std::string typed_until_end() {
  std::string typed;
  for (int c; typed.size() < 10000 && (c = next_input_char(TERM_RAW)) != -1;) typed += char(c);
  return typed;
}

TEST_F(InputSourcesTest, FileThenRunLineThenStandardInputInEveryMode) {
  source = write_temp("10 PRINT 1\n");
  in_child("ab", [] {
    start_with({source});
    EXPECT_EQ(have_source, 1u);
    EXPECT_EQ(output_muted, 1u);
    const std::string line = "10 PRINT 1\n";
    const int modes[] = {TERM_POLL, TERM_RAW, TERM_LINE};
    for (size_t i = 0; i < line.size(); i++) {
      EXPECT_EQ(next_input_char(modes[i % 3]), line[i]) << "character " << i;
      EXPECT_EQ(output_muted, 0u);
      EXPECT_EQ(run_typed, 0u);
    }
    EXPECT_NE(source_file, nullptr);
    EXPECT_EQ(next_input_char(TERM_POLL), 'R');  // the call that meets the end
    EXPECT_EQ(run_typed, 1u);
    EXPECT_EQ(source_file, nullptr);
    EXPECT_EQ(next_input_char(TERM_POLL), 'U');
    EXPECT_EQ(next_input_char(TERM_LINE), 'N');
    EXPECT_EQ(next_input_char(TERM_POLL), '\n');
    output_muted = 1;
    EXPECT_EQ(next_input_char(TERM_POLL), -1);  // standard input is no terminal
    EXPECT_EQ(output_muted, 0u);
    EXPECT_EQ(next_input_char(TERM_RAW), 'a');
    EXPECT_EQ(next_input_char(TERM_LINE), 'b');
    EXPECT_EQ(next_input_char(TERM_RAW), -1);
    EXPECT_EQ(run_index, -1);  // no second RUN line
    EXPECT_EQ(next_input_char(TERM_LINE), -1);
  });
}

TEST_F(InputSourcesTest, EmptyFileTypesRunAtOnce) {
  source = write_temp("");
  in_child("x", [] {
    start_with({source});
    EXPECT_EQ(next_input_char(TERM_POLL), 'R');
    EXPECT_EQ(run_typed, 1u);
    EXPECT_EQ(typed_until_end(), "UN\nx");
  });
}

// The last line is entered even without its line end, so RUN gets a line of
// its own; a line ended by a carriage return alone needs nothing more.
TEST_F(InputSourcesTest, UnterminatedLastLineIsEnteredBeforeRun) {
  const char* const cases[][2] = {
      {"10 END", "10 END\nRUN\nx"},
      {"10 A\n20 END", "10 A\n20 END\nRUN\nx"},
      {"10 END\r", "10 END\rRUN\nx"},
  };
  static std::string expected;
  for (const auto& [contents, typed] : cases) {
    SCOPED_TRACE(contents);
    source = write_temp(contents);
    expected = typed;
    in_child("x", [] {
      start_with({source});
      EXPECT_EQ(typed_until_end(), expected);
    });
  }
}

TEST_F(InputSourcesTest, WithoutFileOnlyStandardInputIsRead) {
  in_child("10 X\n", [] {
    start_with({});
    EXPECT_EQ(have_source, 0u);
    EXPECT_EQ(source_file, nullptr);
    EXPECT_EQ(typed_until_end(), "10 X\n");
    EXPECT_EQ(output_muted, 1u);  // left to the screen capture
    EXPECT_EQ(run_typed, 0u);
  });
}

TEST_F(InputSourcesTest, OnlyTheFirstArgumentIsRead) {
  source = write_temp("1\n");
  other_source = write_temp("2\n");
  in_child("", [] {
    start_with({source, other_source, "/no/such/file"});
    EXPECT_EQ(typed_until_end(), "1\nRUN\n");
  });
}

TEST_F(InputSourcesTest, FirstLineStartingWithHashIsSkipped) {
  struct Case {
    const char* file;
    const char* typed;  // before the RUN line
  };
  static const Case cases[] = {
      {"#!/usr/bin/ti99run\n10 END\n", "10 END\n"},
      {"#!x\r\n10 END\r\n", "\n10 END\r\n"},  // the CR ends the skip
      {"#!x\r10 END\n", "10 END\n"},
      {"#\n", ""},
      {"# no line end", ""},
      {"#", ""},
      {"10 REM\n#x\n", "10 REM\n#x\n"},  // only the first line
      {" #x\n", " #x\n"},
      {"\n#x\n", "\n#x\n"},
      {"1", "1\n"},  // the unterminated last line is entered
  };
  static const Case* current;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.file)));
    current = &c;
    source = write_temp(c.file);
    in_child("", [] {
      start_with({source});
      EXPECT_EQ(typed_until_end(), std::string(current->typed) + "RUN\n");
    });
  }
}

}  // namespace
