// Helpers shared by the machine tests: a known machine state before each case
// and the text that a piece of code writes to standard error.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "machine/state.h"

// Puts every object that the devices and the instruction helpers touch back to
// its start-up value. output_muted stays 1 so that data writes to the VDP never
// reach standard output, whatever the screen capture does.
inline void reset_machine_state() {
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
  st_lgt = st_agt = st_eq = st_c = st_ov = st_op = st_x = 0;
  st_mask = 0;
  wp = 0x83E0;
  branch_target = 0;
  have_source = 0;
  run_typed = 0;
  output_muted = 1;
  suppress_newline = 0;
  capture_last_addr = 0xFFFF;
  newline_phase = 0;
}

// Runs f and returns everything it wrote to standard error.
template <class F>
std::string stderr_of(F f) {
  testing::internal::CaptureStderr();
  f();
  return testing::internal::GetCapturedStderr();
}

class MachineTest : public testing::Test {
 protected:
  void SetUp() override { reset_machine_state(); }
};
