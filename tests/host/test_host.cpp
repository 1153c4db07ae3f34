// The ti99run binary on a fresh pseudo-terminal, in the foreground as a shell starts it, typed on
// like a user; however a run ends or stops, the terminal must hold the settings it was found with.
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr int TIMEOUT_MS = 10000;  // against hangs only; nothing here is timed

int master = -1, slave = -1;
pid_t leader = -1;      // the session leader standing in for a shell; ti99run is its child
struct termios found;   // the settings ti99run finds
std::string screen;     // all ti99run has written to the terminal
size_t seen = 0;        // where in screen the next text is looked for
bool ignore_hangup;     // start ti99run with SIGHUP ignored, as nohup does
const std::string program = testing::TempDir() + "host_" + std::to_string(getpid()) + ".bas";

bool wait_until(const std::function<bool()>& done, int ms = TIMEOUT_MS) {
  for (int waited = 0; !done(); waited += 5, usleep(5000))
    if (waited > ms) return false;
  return true;
}

struct termios settings() {
  struct termios now {};
  tcgetattr(slave, &now);
  return now;
}
tcflag_t echo_and_lines() { return settings().c_lflag & (ICANON | ECHO); }
bool as_found() {
  struct termios now = settings();
  return now.c_iflag == found.c_iflag && now.c_oflag == found.c_oflag &&
         now.c_lflag == found.c_lflag && std::memcmp(now.c_cc, found.c_cc, NCCS) == 0;
}

// Whether text shows on the terminal after the text found last, waiting for it.
testing::AssertionResult shows(const std::string& text, int ms = TIMEOUT_MS) {
  size_t at = std::string::npos;
  bool shown = wait_until([&] {
    char buffer[4096];
    struct pollfd p = {master, POLLIN, 0};
    ssize_t n = poll(&p, 1, 0) > 0 ? read(master, buffer, sizeof buffer) : 0;
    if (n > 0) screen.append(buffer, size_t(n));
    return (at = screen.find(text, seen)) != std::string::npos;
  }, ms);
  if (!shown) return testing::AssertionFailure() << testing::PrintToString(text) << " not in "
                                                 << testing::PrintToString(screen.substr(seen));
  seen = at + text.size();
  return testing::AssertionSuccess();
}

void type(const std::string& keys) {
  EXPECT_EQ(write(master, keys.data(), keys.size()), ssize_t(keys.size()));
}
// Types text once ti99run reads a line, which the terminal then echoes.
void type_line(const std::string& text) {
  EXPECT_TRUE(wait_until([] { return echo_and_lines() == (ICANON | ECHO); })) << "no line read";
  type(text);
}

// "exit 0", "killed by signal 2", or "running" when the run has not ended in time.
std::string end(int ms = TIMEOUT_MS) {
  int status = 0;
  if (!wait_until([&] { return waitpid(leader, &status, WNOHANG) > 0; }, ms)) return "running";
  leader = -1;
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return "exit " + std::to_string(WEXITSTATUS(status));
}

void stop_all() {
  pid_t job = leader > 0 ? tcgetpgrp(master) : -1;
  if (job > 0 && job != leader) kill(-job, SIGKILL);
  if (leader > 0) kill(leader, SIGKILL), waitpid(leader, nullptr, 0);
  if (master >= 0) close(master), close(slave);
  master = slave = leader = -1;
}

// Starts ti99run with path (none when null), holding text if given, and options on a new
// terminal, under a session leader that ends as ti99run ends.
void start(const char* path, const char* text = nullptr,
           std::vector<const char*> options = {}) {
  stop_all();
  if (text) std::ofstream(path) << text;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  tcgetattr(slave, &found);
  found.c_cc[VMIN] = 5, found.c_cc[VTIME] = 7;  // unlike any mode ti99run sets
  ASSERT_EQ(tcsetattr(slave, TCSANOW, &found), 0);
  screen.clear(), seen = 0;
  if ((leader = fork()) != 0) return;
  close(master);
  if (ignore_hangup) signal(SIGHUP, SIG_IGN);
  if (login_tty(slave) != 0) _exit(126);
  pid_t job = fork();
  if (job == 0) {  // a job of its own in the foreground, signals at their defaults
    signal(SIGTTOU, SIG_IGN), setpgid(0, 0), tcsetpgrp(0, getpid());
    for (int sig : {SIGINT, SIGTSTP, SIGCONT, SIGTTOU, SIGTTIN}) signal(sig, SIG_DFL);
    signal(SIGHUP, ignore_hangup ? SIG_IGN : SIG_DFL);
    options.insert(options.begin(), "ti99run");
    options.insert(options.end(), {path, nullptr});
    execv(TI99RUN_PATH, const_cast<char* const*>(options.data()));
    _exit(127);
  }
  int status = 0;
  waitpid(job, &status, 0);
  if (WIFSIGNALED(status)) signal(WTERMSIG(status), SIG_DFL), raise(WTERMSIG(status));
  _exit(WEXITSTATUS(status));
}

struct Host : testing::Test {
  void TearDown() override { stop_all(), std::remove(program.c_str()), ignore_hangup = false; }
};

// The prompt is out while INPUT waits; the answer is echoed, the CALL KEY key is not; Ctrl-D at
// INPUT ends the run.
TEST_F(Host, InputCallKeyAndCtrlD) {
  start(program.c_str(), "10 INPUT \"HOW MANY? \":N\n20 PRINT N*3;\n30 CALL KEY(0,K,S)\n"
                         "40 IF S=0 THEN 30\n50 PRINT K\n60 INPUT A\n70 PRINT 0\n");
  ASSERT_TRUE(shows("HOW MANY? "));
  type_line("14\r");
  EXPECT_TRUE(shows("14\r\n 42 "));
  EXPECT_EQ(end(300), "running") << "no wait for a key";
  type("q");
  EXPECT_TRUE(shows(" 113 \r\n?"));  // lower case stays lower case
  EXPECT_EQ(screen.find('q'), std::string::npos) << "the key was echoed";
  type_line("\x04");  // the end of input works in line mode only
  EXPECT_EQ(end(), "exit 0");
  EXPECT_TRUE(as_found());
  EXPECT_FALSE(shows(" 0 ", 100));
}

// Ctrl-Z in a running loop gives the settings back while stopped, SIGCONT takes raw mode again;
// Ctrl-C kills the run by SIGINT.
TEST_F(Host, CtrlZThenCtrlCInALoop) {
  start(program.c_str(), "10 PRINT \"LOOPING\"\n20 GOTO 20\n");
  ASSERT_TRUE(shows("LOOPING\r\n"));
  pid_t job = tcgetpgrp(master);
  type("\x1a");
  EXPECT_TRUE(wait_until([job] {
    std::string text;
    std::getline(std::ifstream("/proc/" + std::to_string(job) + "/stat"), text);
    return text.find(") T ") != std::string::npos;
  })) << "not stopped";
  EXPECT_TRUE(as_found());
  kill(job, SIGCONT);
  EXPECT_TRUE(wait_until([] { return echo_and_lines() == 0; })) << "no raw mode";
  type("\x03");
  EXPECT_EQ(end(), "killed by signal " + std::to_string(SIGINT));
  EXPECT_TRUE(as_found());
}

// A stop signal or the time limit while ti99run waits for a key or a line, or polls for one: the
// run ends through the exit path (the screen file written) with the terminal as found. A source
// that cannot be read ends the run at once, after the terminal was set up.
TEST_F(Host, EndsAtWaitsForInputWriteTheScreenAndRestoreTheTerminal) {
  const std::string screen_file = program + ".screen";
  const char* wait_for_line = "10 INPUT \"NAME\":A$\n20 PRINT A$\n";
  const char* poll_for_key = "10 PRINT \"POLLING\"\n20 CALL KEY(0,K,S)\n30 GOTO 20\n";
  const struct { const char *text, *shown; int signal; const char *limit, *end; } cases[] = {
      {wait_for_line, "NAME", SIGINT, nullptr, "killed by signal 2"},  // Ctrl-C at a line wait
      {wait_for_line, "NAME", SIGTERM, nullptr, "killed by signal 15"},
      {wait_for_line, "NAME", 0, "0.5", "exit 3"},
      {poll_for_key, "POLLING", SIGHUP, nullptr, "killed by signal 1"},
      {nullptr, "reading BASIC source file: Is a directory\r\n", 0, nullptr, "exit 1"}};
  for (auto c : cases) {
    SCOPED_TRACE(c.end);
    std::remove(screen_file.c_str());
    std::vector<const char*> options = {"--screen", screen_file.c_str()};
    if (c.limit) options.insert(options.end(), {"--time-limit", c.limit});
    start(c.text ? program.c_str() : "/", c.text, options);
    ASSERT_TRUE(shows(c.shown));
    usleep(100000);  // into the wait
    if (c.signal == SIGINT) type("\x03");
    if (c.signal && c.signal != SIGINT) kill(tcgetpgrp(master), c.signal);
    EXPECT_EQ(end(), c.end);
    EXPECT_TRUE(as_found());
    std::stringstream rows;
    rows << std::ifstream(screen_file).rdbuf();
    EXPECT_TRUE(!c.text || rows.str().find(c.shown) != std::string::npos) << rows.str();
  }
  std::remove(screen_file.c_str());
}

// Without a program, Ctrl-C is the console's CLEAR key: a running program stops at a
// breakpoint, INPUT too, a line being typed is wiped, and the session goes on to BYE.
TEST_F(Host, CtrlCInASessionIsTheClearKey) {
  start(nullptr);
  ASSERT_TRUE(shows("TI BASIC READY\r\n>"));
  type_line("PRINT 2+2\r");
  EXPECT_TRUE(shows("PRINT 2+2\r\n 4 \r\n"));  // echoed once, by the terminal
  type_line("10 GOTO 10\r");
  type_line("RUN\r");
  usleep(100000);  // into the loop
  type("\x03");
  EXPECT_TRUE(shows("* BREAKPOINT AT 10"));
  type_line("20 INPUT A\r");
  type_line("RUN 20\r");
  EXPECT_TRUE(shows("?"));
  usleep(100000);  // into the wait for the line
  type("\x03");
  EXPECT_TRUE(shows("* BREAKPOINT AT 20"));
  type_line("PRINT 1");
  type("\x03");
  type_line("PRINT 6*7\r");
  EXPECT_TRUE(shows(" 42 "));
  EXPECT_EQ(end(300), "running");
  type_line("BYE\r");
  EXPECT_EQ(end(), "exit 0");
  EXPECT_TRUE(as_found());
}

// A terminal that goes away with SIGHUP ignored (nohup, a closed terminal window) is the end of
// input: a CALL KEY loop ends instead of polling a dead terminal for ever.
TEST_F(Host, HungUpTerminalEndsTheInput) {
  ignore_hangup = true;
  start(program.c_str(), "10 PRINT \"POLLING\"\n20 CALL KEY(0,K,S)\n30 IF S=0 THEN 20\n");
  ASSERT_TRUE(shows("POLLING"));
  pid_t job = tcgetpgrp(master);
  close(master), master = -1;
  EXPECT_EQ(end(), "exit 0");
  if (job > 0) kill(-job, SIGKILL);  // a run that did not end must not outlive the test
}

}  // namespace
