// Start-up of the ti99run binary: a source file that cannot be opened or read
// ends the run at once, and whatever way a run ends, the terminal of standard
// input is left as it was found.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "tests/host/pty_job.h"

namespace {

const char* binary_args[4];  // argv of exec_binary

void exec_binary() {
  execv(TI99RUN_PATH, const_cast<char* const*>(binary_args));
  _exit(127);
}

void exec_binary_reading_a_pipe() {
  int input[2];
  if (pipe(input) != 0) _exit(126);
  close(input[1]);  // standard input ends at once
  dup2(input[0], 0);
  exec_binary();
}

void set_args(const char* source) {
  binary_args[0] = "ti99run";
  binary_args[1] = source;
  binary_args[2] = nullptr;
}

struct Outcome {
  int status = -1;
  std::string out, err;
};

// Runs the binary with binary_args, standard input from /dev/null, and
// collects both output streams.
Outcome run_binary() {
  Outcome outcome;
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) return outcome;
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_RDONLY);
    dup2(null, 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    exec_binary();
  }
  close(out[1]);
  close(err[1]);
  struct pollfd streams[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* texts[2] = {&outcome.out, &outcome.err};
  for (int open_streams = 2; open_streams > 0;) {
    if (poll(streams, 2, TIMEOUT_MS) <= 0) {
      ADD_FAILURE() << "ti99run hangs";
      kill(pid, SIGKILL);
      break;
    }
    for (int i = 0; i < 2; i++) {
      if (streams[i].fd < 0 || !streams[i].revents) continue;
      char buffer[512];
      ssize_t n = read(streams[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        texts[i]->append(buffer, size_t(n));
      } else {
        close(streams[i].fd);
        streams[i].fd = -1;
        open_streams--;
      }
    }
  }
  for (const pollfd& stream : streams)
    if (stream.fd >= 0) close(stream.fd);
  waitpid(pid, &outcome.status, 0);
  return outcome;
}

TEST(StartupTest, MissingSourceFileIsReportedAndEndsTheRun) {
  set_args("/no/such/file");
  Outcome outcome = run_binary();
  EXPECT_EQ(describe_status(outcome.status), "exit 1");
  EXPECT_EQ(outcome.err, "opening BASIC source file: No such file or directory\n");
  EXPECT_EQ(outcome.out, "");
}

TEST(StartupTest, UnreadableSourceFileIsReportedAndEndsTheRun) {
  set_args("/");
  Outcome outcome = run_binary();
  EXPECT_EQ(describe_status(outcome.status), "exit 1");
  EXPECT_EQ(outcome.err, "reading BASIC source file: Is a directory\n");
  EXPECT_EQ(outcome.out, "");
}

class StartupOnTerminalTest : public testing::Test {
 protected:
  void TearDown() override { end_pty_job(); }
};

TEST_F(StartupOnTerminalTest, FailedStartLeavesTheTerminalUntouched) {
  for (const char* source : {"/no/such/file", "/"}) {
    SCOPED_TRACE(source);
    set_args(source);
    start_pty_job(exec_binary, true);
    EXPECT_EQ(describe_status(next_job_status()), "exit 1");
    EXPECT_NE(read_output_until("BASIC source file").find("BASIC source file"), std::string::npos);
    EXPECT_TRUE(terminal_holds(initial_settings));
  }
}

// Waits for the run to end by itself; a run still going after the timeout
// (waiting for a key, say) is ended with SIGTERM. Either way the terminal
// must be as it was found.
void expect_run_to_end_with_settings_restored() {
  int status = next_job_status();
  if (status == -1) {
    kill(job_pid, SIGTERM);
    status = next_job_status();
  }
  EXPECT_TRUE(WIFEXITED(status) || (WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM))
      << describe_status(status);
  EXPECT_TRUE(terminal_holds(initial_settings));
}

TEST_F(StartupOnTerminalTest, RunOnTheTerminalLeavesItAsFound) {
  char path[] = "/tmp/ti99_startup_XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "10 END\n", 7), 7);
  close(fd);
  set_args(path);
  start_pty_job(exec_binary, true);
  expect_run_to_end_with_settings_restored();
  unlink(path);
}

TEST_F(StartupOnTerminalTest, RunReadingAPipeLeavesTheTerminalAsFound) {
  set_args(nullptr);
  start_pty_job(exec_binary_reading_a_pipe, true);
  expect_run_to_end_with_settings_restored();
}

}  // namespace
