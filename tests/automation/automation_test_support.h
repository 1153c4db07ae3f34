// Helpers shared by the automation tests: a known machine and input state
// before each case, the output of a piece of code, and runs in a child process
// for the paths that end the process or read standard input.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/input.h"
#include "machine/state.h"

// Every object the hooks and the capture read or write, back to its start-up
// value; the input sources empty (no source file, no RUN line pending).
inline void reset_automation_state() {
  std::memset(cpu_mem, 0, sizeof cpu_mem);
  std::memset(vram, 0, sizeof vram);
  std::memset(vdp_regs, 0, sizeof vdp_regs);
  vdp_addr = 0;
  vdp_read_ahead = 0;
  vdp_latch = 0;
  vdp_latch_full = 0;
  grom_addr = 0;
  grom_read_toggle = 0;
  grom_write_toggle = 0;
  wp = 0x83E0;
  branch_target = 0;
  have_source = 0;
  run_typed = 0;
  output_muted = 1;
  suppress_newline = 0;
  capture_last_addr = 0xFFFF;
  newline_phase = 0;
  if (source_file) std::fclose(source_file);
  source_file = nullptr;
  run_index = -1;
}

// Makes text the rest of the source file being typed (have_source 1).
inline void type_source(const std::string& text) {
  if (source_file) std::fclose(source_file);
  source_file = std::tmpfile();
  ASSERT_NE(source_file, nullptr);
  std::fwrite(text.data(), 1, text.size(), source_file);
  std::rewind(source_file);
  have_source = 1;
}

// What f wrote to standard output and standard error.
struct Output {
  std::string out;
  std::string err;
};

template <class F>
Output output_of(F f) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  f();
  std::fflush(stdout);
  std::fflush(stderr);
  Output o;
  o.out = testing::internal::GetCapturedStdout();
  o.err = testing::internal::GetCapturedStderr();
  return o;
}

// The machine and run flags as the child left them when it ended.
struct EndState {
  std::uint8_t cpu_mem[65536];
  std::uint8_t vram[16384];
  std::uint32_t output_muted;
  std::uint32_t suppress_newline;
  std::uint32_t newline_phase;
  std::uint32_t run_typed;
  std::uint16_t capture_last_addr;
  std::uint32_t returned;  // 1 when body returned instead of ending the process
  int result;              // body's result when it returned
};

// How a run in a child process went.
struct ChildRun {
  bool exited = false;  // ended through exit (not a signal, not a hang)
  int status = -1;      // its exit status
  std::string out;      // everything written to standard output
  std::string err;      // everything written to standard error
  EndState end{};       // the state at exit
};

namespace child_detail {

inline bool in_child = false;
inline int end_state_fd = -1;
inline EndState end_state;

inline void save_end_state() {
  std::memcpy(end_state.cpu_mem, cpu_mem, sizeof cpu_mem);
  std::memcpy(end_state.vram, vram, sizeof vram);
  end_state.output_muted = output_muted;
  end_state.suppress_newline = suppress_newline;
  end_state.newline_phase = newline_phase;
  end_state.run_typed = run_typed;
  end_state.capture_last_addr = capture_last_addr;
  const char* at = reinterpret_cast<const char*>(&end_state);
  size_t left = sizeof end_state;
  while (left > 0) {
    ssize_t n = write(end_state_fd, at, left);
    if (n <= 0) break;
    at += n;
    left -= size_t(n);
  }
}

inline int temp_fd(std::string& path) {
  path = testing::TempDir() + "ti99_automation_XXXXXX";
  int fd = mkstemp(path.data());
  if (fd >= 0) unlink(path.c_str());  // stays open, disappears with the last descriptor
  return fd;
}

inline std::string read_all(int fd) {
  std::string text;
  lseek(fd, 0, SEEK_SET);
  char buffer[4096];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, size_t(n));
  return text;
}

}  // namespace child_detail

// Runs body in a child process whose standard input reads stdin_text from a
// file (no terminal), with standard output and error collected, and reports
// how it ended and the state it left. body runs on the state of the parent
// as it was at the call; its result is kept when it returns.
inline ChildRun run_in_child(const std::string& stdin_text, int (*body)()) {
  using namespace child_detail;
  ChildRun run;
  std::string path;
  int in = temp_fd(path), out = temp_fd(path), err = temp_fd(path), state = temp_fd(path);
  EXPECT_TRUE(in >= 0 && out >= 0 && err >= 0 && state >= 0);
  EXPECT_EQ(write(in, stdin_text.data(), stdin_text.size()), ssize_t(stdin_text.size()));
  lseek(in, 0, SEEK_SET);
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    in_child = true;
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    end_state_fd = state;
    std::atexit(save_end_state);  // runs before the streams are flushed
    end_state.result = body();
    end_state.returned = 1;
    std::exit(0);
  }
  EXPECT_GT(pid, 0);
  int wait_status = 0;
  for (int waited = 0; waitpid(pid, &wait_status, WNOHANG) == 0; waited++) {
    if (waited == 2000) {  // 20 s: against a read that waits for ever
      kill(pid, SIGKILL);
      waitpid(pid, &wait_status, 0);
      ADD_FAILURE() << "the child hung";
      break;
    }
    usleep(10000);
  }
  run.exited = WIFEXITED(wait_status);
  run.status = run.exited ? WEXITSTATUS(wait_status) : -1;
  run.out = read_all(out);
  run.err = read_all(err);
  std::string saved = read_all(state);
  if (saved.size() == sizeof run.end)
    std::memcpy(&run.end, saved.data(), sizeof run.end);
  else
    ADD_FAILURE() << "the child saved no state at its end";
  for (int fd : {in, out, err, state}) close(fd);
  return run;
}

// The code under test may end the process. Inside a test of the test
// process itself (not of a child of run_in_child) that is always a fault, and
// it must not pass for a success when the status happens to be 0. The
// fixtures call guard_exits in SetUp and release_exits in TearDown.
inline std::string test_running;

inline void fail_on_exit_inside_a_test() {
  if (child_detail::in_child || test_running.empty()) return;
  std::fprintf(stderr, "the process ended inside %s\n", test_running.c_str());
  _exit(1);
}

inline void guard_exits() {
  static bool registered = false;
  if (!registered) std::atexit(fail_on_exit_inside_a_test);
  registered = true;
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  test_running = std::string(test->test_suite_name()) + "." + test->name();
}

inline void release_exits() { test_running.clear(); }

// Addresses of cpu_mem whose bytes differ between a and b, as ">XXXX" list.
inline std::string changed_bytes(const std::uint8_t* a, const std::uint8_t* b, size_t size) {
  std::string changed;
  char name[8];
  for (size_t i = 0; i < size; i++)
    if (a[i] != b[i]) {
      std::snprintf(name, sizeof name, ">%04X ", unsigned(i));
      changed += name;
    }
  return changed;
}
