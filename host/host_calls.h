// The two host routines that the automation calls for the console's sake.
#pragma once

// The console's interrupt timer byte (>8379), which TI BASIC's RANDOMIZE
// without a seed reads. Interrupts are not emulated, so the capture stores the
// low byte of this value at each newline event instead: it differs from run
// to run, so an unseeded RANDOMIZE gives new numbers each time, while RND
// without RANDOMIZE and RANDOMIZE with a seed stay reproducible.
int timer_byte_source();

// Made at the three scans where the console expects no key. Nothing in the
// emulated machine depends on it; it must stay harmless and cheap.
int idle_scan_call(int first, int second);
