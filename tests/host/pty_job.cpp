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

int pty_master = -1, pty_slave = -1;
pid_t job_pid = -1;
struct termios initial_settings;

static pid_t relay_pid = -1;        // the job's parent, passing its wait statuses on
static int reports[2] = {-1, -1};   // job -> test
static int statuses[2] = {-1, -1};  // relay -> test: the job's pid, then its statuses

// Reads or writes all of size bytes; a read waits at most timeout_ms each time.
static bool transfer(bool reading, int fd, void* data, size_t size, int timeout_ms = 0) {
  for (char* at = static_cast<char*>(data); size > 0;) {
    struct pollfd p = {fd, POLLIN, 0};
    if (reading && poll(&p, 1, timeout_ms) <= 0) return false;
    ssize_t n = reading ? read(fd, at, size) : write(fd, at, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += n;
    size -= size_t(n);
  }
  return true;
}

static int next_int(int fd, int timeout_ms, int none) {
  int value;
  return transfer(true, fd, &value, sizeof value, timeout_ms) ? value : none;
}

// The relay: under_shell, the session leader putting the job in the foreground
// as a shell does. The job gets the signals as a shell leaves them (a test run
// in the background may have SIGINT ignored) and no core files.
[[noreturn]] static void relay(void (*job)(), bool under_shell) {
  if (under_shell && login_tty(pty_slave) != 0) _exit(127);
  pid_t pid = fork();
  if (pid == 0) {
    if (under_shell) signal(SIGTTOU, SIG_IGN), setpgid(0, 0), tcsetpgrp(0, getpid());
    else if (login_tty(pty_slave) != 0) _exit(127);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGTSTP, SIGCONT, SIGTTIN, SIGTTOU})
      signal(sig, SIG_DFL);
    struct rlimit no_core = {0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    job();
    std::exit(0);
  }
  close(reports[1]);
  transfer(false, statuses[1], &pid, sizeof pid);
  for (int status; waitpid(pid, &status, WUNTRACED | WCONTINUED) == pid;) {
    transfer(false, statuses[1], &status, sizeof status);
    if (WIFEXITED(status) || WIFSIGNALED(status)) break;
  }
  _exit(0);
}

void start_pty_job(void (*job)(), bool under_shell) {
  end_pty_job();
  ASSERT_EQ(openpty(&pty_master, &pty_slave, nullptr, nullptr, nullptr), 0) << std::strerror(errno);
  initial_settings = current_settings();
  initial_settings.c_cc[VMIN] = 5;
  initial_settings.c_cc[VTIME] = 7;
  initial_settings.c_lflag &= ~tcflag_t(ECHOCTL);
  ASSERT_EQ(tcsetattr(pty_slave, TCSANOW, &initial_settings), 0);
  initial_settings = current_settings();
  ASSERT_EQ(pipe(reports) | pipe(statuses), 0);
  std::fflush(nullptr);
  if ((relay_pid = fork()) == 0) {
    close(pty_master);
    relay(job, under_shell);
  }
  job_pid = next_int(statuses[0], TIMEOUT_MS, -1);
  for (int t = 0; job_pid > 0 && tcgetpgrp(pty_master) != job_pid && t < TIMEOUT_MS; t++)
    usleep(1000);  // until the job has the terminal
  ASSERT_GT(job_pid, 0) << "no job";
}

void end_pty_job() {
  if (job_pid > 0) kill(job_pid, SIGKILL);
  if (relay_pid > 0) kill(relay_pid, SIGKILL), waitpid(relay_pid, nullptr, 0);
  job_pid = relay_pid = -1;
  for (int* fd : {&pty_master, &pty_slave, &reports[0], &reports[1], &statuses[0], &statuses[1]}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

void report(int value) { transfer(false, reports[1], &value, sizeof value); }

int next_report(int timeout_ms) { return next_int(reports[0], timeout_ms, NO_REPORT); }
int next_job_status(int timeout_ms) { return next_int(statuses[0], timeout_ms, -1); }

void type(const std::string& text) {
  transfer(false, pty_master, const_cast<char*>(text.data()), text.size());
}

std::string read_output_until(const std::string& text, int timeout_ms) {
  std::string output;
  char buffer[256];
  for (int t = 0; output.find(text) == std::string::npos && t < timeout_ms; t += 50) {
    struct pollfd p = {pty_master, POLLIN, 0};
    ssize_t n = poll(&p, 1, 50) > 0 ? read(pty_master, buffer, sizeof buffer) : 0;
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

std::string describe(const struct termios& s) {
  return "lflag " + std::to_string(s.c_lflag) + " VMIN " + std::to_string(s.c_cc[VMIN]) +
         " VTIME " + std::to_string(s.c_cc[VTIME]);
}

static bool same_settings(const struct termios& a, const struct termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
         cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

testing::AssertionResult terminal_holds(const struct termios& expected) {
  struct termios now = current_settings();
  if (same_settings(now, expected)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "the terminal has " << describe(now) << ", expected "
                                     << describe(expected);
}

bool wait_for_settings(const struct termios& expected, int timeout_ms) {
  for (int waited = 0; waited < timeout_ms; waited += 5, usleep(5000))
    if (same_settings(current_settings(), expected)) return true;
  return false;
}

std::string describe_status(int status) {
  if (status == -1) return "no status";
  if (WIFEXITED(status)) return "exit " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  if (WIFSTOPPED(status)) return "stopped by signal " + std::to_string(WSTOPSIG(status));
  return WIFCONTINUED(status) ? "continued" : "status " + std::to_string(status);
}
