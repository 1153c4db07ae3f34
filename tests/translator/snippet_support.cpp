#include "tests/translator/snippet_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "automation/rom_hook.h"
#include "machine/cru.h"
#include "machine/memory_map.h"
#include "machine/state.h"

// The snippets run on an empty console: no firmware image is ever used here.
const std::uint8_t console_rom[8192] = {};
const std::uint8_t console_grom[24576] = {};

#ifdef TI99_COUNT_INSTRUCTIONS
std::uint64_t instruction_count;
#endif

std::vector<DeviceCall> device_calls;
std::vector<std::uint8_t> read_answers;
std::uint16_t side_effect_address;
unsigned side_effect_register;
std::uint16_t side_effect_value;
std::map<std::uint16_t, int> cru_inputs;
std::vector<std::uint16_t> hook_targets;
std::vector<int> hook_answers;

namespace {
std::size_t reads_answered;
}

std::uint8_t mem_read_byte(std::uint16_t address) {
  if (side_effect_address != 0 && address == side_effect_address)
    set_reg(side_effect_register, side_effect_value);
  std::uint8_t value = reads_answered < read_answers.size() ? read_answers[reads_answered] : 0;
  ++reads_answered;
  device_calls.push_back({'R', address, value});
  return value;
}

void mem_write_byte(std::uint16_t address, std::uint8_t value) {
  device_calls.push_back({'W', address, value});
}

int cru_read_bit(std::uint16_t bit_address) {
  auto it = cru_inputs.find(bit_address);
  int value = it == cru_inputs.end() ? 0 : it->second;
  device_calls.push_back({'r', bit_address, value});
  return value;
}

void cru_write_bit(std::uint16_t bit_address, int value) {
  device_calls.push_back({'w', bit_address, value});
}

int rom_hook() {
  std::size_t call = hook_targets.size();
  hook_targets.push_back(branch_target);
  return call < hook_answers.size() ? hook_answers[call] : 0;
}

void reset_machine() {
  std::memset(cpu_mem, 0, sizeof cpu_mem);
  std::memset(vram, 0, sizeof vram);
  wp = SNIPPET_WP;
  branch_target = 0;
  st_lgt = st_agt = st_eq = st_c = st_ov = st_op = st_x = 0;
  st_mask = 0;
  device_calls.clear();
  read_answers.clear();
  reads_answered = 0;
  side_effect_address = 0;
  cru_inputs.clear();
  hook_targets.clear();
  hook_answers.clear();
}

SnippetRun run_snippet(int (*routine)()) {
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  int status = routine();
  std::fflush(stdout);
  return {status, testing::internal::GetCapturedStdout()};
}

std::string hex(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, ">%04X", value & 0xFFFF);
  return text;
}

std::uint16_t word_at(std::uint16_t address) { return cpu_word(address); }

void put_word(std::uint16_t address, std::uint16_t value) { set_cpu_word(address, value); }

std::string describe(const std::vector<DeviceCall>& calls) {
  std::string text;
  char item[32];
  for (const DeviceCall& call : calls) {
    std::snprintf(item, sizeof item, "%c %04X %02X\n", call.kind, call.address, call.value);
    text += item;
  }
  return text;
}
