// Keeps the user's terminal usable when a signal kills or stops the process:
// the settings found at start come back before it dies or stops, and the mode
// it was in comes back when it continues.
#pragma once

// Handles SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE (restore the settings,
// then die by the signal as before), SIGTSTP (restore, then stop) and SIGCONT
// (put terminal_mode back). A signal ignored at start stays ignored. Called
// once, by the terminal_setup that saves the settings.
void install_terminal_signal_handlers();
