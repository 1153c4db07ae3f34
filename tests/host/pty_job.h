// Runs a piece of code, or the ti99run binary, as a job on a fresh
// pseudo-terminal and watches it from the user's side: the terminal settings,
// what the job writes and reports, and how it ends (exit, death, stop).
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <string>

#include <gtest/gtest.h>

constexpr int TIMEOUT_MS = 10000;  // against hangs only; nothing here is timed
constexpr int NO_REPORT = -1000;   // next_report found nothing in time

extern int pty_master;                   // the user's side: writing here types
extern int pty_slave;                    // the job's terminal, held to read its settings
extern pid_t job_pid;
extern struct termios initial_settings;  // what the job finds at start

// Starts job() (which should end with exit) on a new pseudo-terminal set to
// initial_settings: the defaults with unusual VMIN and VTIME values and without
// ECHOCTL, so that restoring anything but the settings found shows. With
// under_shell the job gets a process group of its own, made the terminal's
// foreground group by a session leader that relays its wait statuses, as in
// an interactive shell; otherwise the job is the session leader itself.
void start_pty_job(void (*job)(), bool under_shell);

// Kills whatever is left of the job and closes the terminal.
void end_pty_job();

// In the job: sends value to the test.
void report(int value);

// The next value the job reported, or NO_REPORT after timeout_ms.
int next_report(int timeout_ms = TIMEOUT_MS);

// The next wait status of the job (with stops and continues), or -1.
int next_job_status(int timeout_ms = TIMEOUT_MS);

// Types text on the job's terminal.
void type(const std::string& text);

// What the job has written to its terminal, read until text shows or the
// timeout passes.
std::string read_output_until(const std::string& text, int timeout_ms = TIMEOUT_MS);

// The job terminal's settings now.
struct termios current_settings();

// initial_settings as a terminal mode changes them: 0 poll, 1 raw, 2 line.
struct termios mode_settings(int mode);

bool same_settings(const struct termios& a, const struct termios& b);

// The local flags, VMIN and VTIME of settings, for failure messages.
std::string describe(const struct termios& settings);

// Whether the job's terminal holds expected now, with the difference if not.
testing::AssertionResult terminal_holds(const struct termios& expected);

// A wait status in words: "exit 0", "killed by signal 15", "stopped by signal
// 20", "continued", or "no status" for -1.
std::string describe_status(int status);

// Waits until the job's terminal holds expected; false after timeout_ms.
bool wait_for_settings(const struct termios& expected, int timeout_ms = TIMEOUT_MS);
