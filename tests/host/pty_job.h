// Runs code, or the ti99run binary, as a job on a fresh pseudo-terminal and
// watches it as the user would: settings, output, reports, how it ends.
#pragma once

#include <termios.h>

#include <string>

#include <gtest/gtest.h>

constexpr int TIMEOUT_MS = 10000;  // against hangs only; nothing here is timed
constexpr int NO_REPORT = -1000;   // next_report found nothing in time

extern int pty_master, pty_slave;  // the user's side (writing types), the job's terminal
extern pid_t job_pid;
extern struct termios initial_settings;  // found by the job: no ECHOCTL, VMIN 5, VTIME 7

// Starts job() on a new terminal, in a process group of its own in the
// foreground as under an interactive shell, or else as the session leader.
void start_pty_job(void (*job)(), bool under_shell);
void end_pty_job();  // kills what is left of the job; closes the terminal

void report(int value);                            // in the job: sends value to the test
int next_report(int timeout_ms = TIMEOUT_MS);      // or NO_REPORT
int next_job_status(int timeout_ms = TIMEOUT_MS);  // a wait status, stops included, or -1
void type(const std::string& text);
// What the job writes to its terminal, read until text shows or time runs out.
std::string read_output_until(const std::string& text, int timeout_ms = TIMEOUT_MS);

struct termios current_settings();
struct termios mode_settings(int mode);                // initial_settings in a TERM_* mode
std::string describe(const struct termios& settings);  // local flags, VMIN and VTIME
testing::AssertionResult terminal_holds(const struct termios& expected);
bool wait_for_settings(const struct termios& expected, int timeout_ms = TIMEOUT_MS);
// "exit 0", "killed by signal 15", "stopped by signal 20", "continued"; -1: "no status".
std::string describe_status(int status);
