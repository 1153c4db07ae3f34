#include "tests/host/pty_job.h"

#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

int pty_master = -1;
int pty_slave = -1;
pid_t job_pid = -1;
struct termios initial_settings;

static pid_t shell_pid = -1;   // the relaying session leader, under_shell only
static int report_read = -1;   // job -> test
static int report_write = -1;  // kept by the job
static int status_read = -1;   // shell -> test: job pid, then wait statuses

// Reads exactly size bytes from fd, waiting at most timeout_ms.
static bool read_within(int fd, void* data, size_t size, int timeout_ms) {
  char* at = static_cast<char*>(data);
  while (size > 0) {
    struct pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) return false;
    ssize_t n = read(fd, at, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += n;
    size -= size_t(n);
  }
  return true;
}

static void write_all(int fd, const void* data, size_t size) {
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, at, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    at += n;
    size -= size_t(n);
  }
}

// In the job's process: the signals as a shell leaves them for a foreground
// job (a test run in the background may have SIGINT and SIGQUIT ignored), no
// core files from SIGQUIT, then the job itself.
[[noreturn]] static void run_job(void (*job)()) {
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGTSTP, SIGCONT, SIGTTIN, SIGTTOU})
    signal(sig, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  struct rlimit no_core = {0, 0};
  setrlimit(RLIMIT_CORE, &no_core);
  job();
  std::exit(0);
}

// The session leader of under_shell: puts the job into the foreground and
// passes on its wait statuses until it has ended.
[[noreturn]] static void run_shell(void (*job)(), int status_write) {
  int go[2];
  if (pipe(go) != 0) _exit(127);
  pid_t pid = fork();
  if (pid == 0) {
    close(status_write);
    close(go[1]);
    setpgid(0, 0);
    char byte;
    while (read(go[0], &byte, 1) < 0 && errno == EINTR) {
    }
    close(go[0]);
    run_job(job);
  }
  close(go[0]);
  close(report_write);
  setpgid(pid, pid);
  tcsetpgrp(0, pid);
  write_all(status_write, &pid, sizeof pid);
  close(go[1]);  // the job starts once it is in the foreground
  for (;;) {
    int status;
    if (waitpid(pid, &status, WUNTRACED | WCONTINUED) < 0) {
      if (errno == EINTR) continue;
      _exit(1);
    }
    write_all(status_write, &status, sizeof status);
    if (WIFEXITED(status) || WIFSIGNALED(status)) _exit(0);
  }
}

void start_pty_job(void (*job)(), bool under_shell) {
  end_pty_job();
  ASSERT_EQ(openpty(&pty_master, &pty_slave, nullptr, nullptr, nullptr), 0) << std::strerror(errno);
  ASSERT_EQ(tcgetattr(pty_slave, &initial_settings), 0);
  initial_settings.c_cc[VMIN] = 5;
  initial_settings.c_cc[VTIME] = 7;
  initial_settings.c_lflag &= ~tcflag_t(ECHOCTL);
  ASSERT_EQ(tcsetattr(pty_slave, TCSANOW, &initial_settings), 0);
  ASSERT_EQ(tcgetattr(pty_slave, &initial_settings), 0);

  int reports[2], statuses[2];
  ASSERT_EQ(pipe(reports), 0);
  ASSERT_EQ(pipe(statuses), 0);
  report_read = reports[0];
  report_write = reports[1];
  status_read = statuses[0];
  std::fflush(nullptr);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    close(pty_master);
    close(report_read);
    close(status_read);
    if (login_tty(pty_slave) != 0) _exit(127);
    if (under_shell) run_shell(job, statuses[1]);
    close(statuses[1]);
    run_job(job);
  }
  close(report_write);
  report_write = -1;
  close(statuses[1]);
  if (under_shell) {
    shell_pid = pid;
    ASSERT_TRUE(read_within(status_read, &job_pid, sizeof job_pid, TIMEOUT_MS))
        << "the shell did not start the job";
  } else {
    job_pid = pid;
  }
}

void end_pty_job() {
  if (job_pid > 0) kill(job_pid, SIGKILL);
  if (shell_pid > 0) {
    kill(shell_pid, SIGKILL);
    waitpid(shell_pid, nullptr, 0);
  } else if (job_pid > 0) {
    waitpid(job_pid, nullptr, 0);
  }
  job_pid = shell_pid = -1;
  for (int* fd : {&pty_master, &pty_slave, &report_read, &report_write, &status_read}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

void report(int value) { write_all(report_write, &value, sizeof value); }

int next_report(int timeout_ms) {
  int value;
  return read_within(report_read, &value, sizeof value, timeout_ms) ? value : NO_REPORT;
}

int next_job_status(int timeout_ms) {
  int status;
  if (shell_pid > 0)
    return read_within(status_read, &status, sizeof status, timeout_ms) ? status : -1;
  for (int waited = 0; waited < timeout_ms; waited += 5) {
    pid_t r = waitpid(job_pid, &status, WNOHANG | WUNTRACED | WCONTINUED);
    if (r == job_pid) {
      if (WIFEXITED(status) || WIFSIGNALED(status)) job_pid = -1;
      return status;
    }
    if (r < 0 && errno != EINTR) return -1;
    usleep(5000);
  }
  return -1;
}

void type(const std::string& text) { write_all(pty_master, text.data(), text.size()); }

std::string read_output_until(const std::string& text, int timeout_ms) {
  std::string output;
  for (int waited = 0; output.find(text) == std::string::npos && waited < timeout_ms; waited += 50) {
    struct pollfd p = {pty_master, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    char buffer[256];
    ssize_t n = read(pty_master, buffer, sizeof buffer);
    if (n > 0) output.append(buffer, size_t(n));
  }
  return output;
}

struct termios current_settings() {
  struct termios settings {};
  EXPECT_EQ(tcgetattr(pty_slave, &settings), 0);
  return settings;
}

struct termios mode_settings(int mode) {
  struct termios settings = initial_settings;
  settings.c_lflag &= ~tcflag_t(ICANON | ECHO);
  if (mode == 2) settings.c_lflag |= ICANON | ECHO;
  settings.c_cc[VMIN] = mode == 0 ? 0 : 1;
  settings.c_cc[VTIME] = 0;
  return settings;
}

bool same_settings(const struct termios& a, const struct termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
         cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

std::string describe(const struct termios& settings) {
  char text[80];
  std::snprintf(text, sizeof text, "lflag %#lx VMIN %d VTIME %d", (unsigned long)settings.c_lflag,
                settings.c_cc[VMIN], settings.c_cc[VTIME]);
  return text;
}

testing::AssertionResult terminal_holds(const struct termios& expected) {
  struct termios now = current_settings();
  if (same_settings(now, expected)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "the terminal has " << describe(now) << ", expected "
                                     << describe(expected);
}

std::string describe_status(int status) {
  if (status == -1) return "no status";
  if (WIFEXITED(status)) return "exit " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  if (WIFSTOPPED(status)) return "stopped by signal " + std::to_string(WSTOPSIG(status));
  if (WIFCONTINUED(status)) return "continued";
  return "status " + std::to_string(status);
}

bool wait_for_settings(const struct termios& expected, int timeout_ms) {
  for (int waited = 0; waited < timeout_ms; waited += 5) {
    if (same_settings(current_settings(), expected)) return true;
    usleep(5000);
  }
  return false;
}
