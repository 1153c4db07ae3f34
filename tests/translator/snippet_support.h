// Support for running translated TMS9900 snippets: recording stand-ins for
// the device functions and rom_hook, machine reset, and a run that captures
// the not-found line. The snippet test program links these instead of the
// real devices.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// One call of a device function, in the order the translated code made it.
struct DeviceCall {
  char kind;              // 'R' mem_read_byte, 'W' mem_write_byte, 'r' cru_read_bit, 'w' cru_write_bit
  std::uint16_t address;  // memory address or CRU bit address
  int value;              // the byte or bit read or written
  bool operator==(const DeviceCall&) const = default;
};

extern std::vector<DeviceCall> device_calls;

// What mem_read_byte answers, one value per call in order; 0 once used up.
extern std::vector<std::uint8_t> read_answers;

// When mem_read_byte reads this address, it first sets register
// side_effect_register to side_effect_value, as a device routine may change
// cpu_mem under the translated code's feet. Disarmed with address 0.
extern std::uint16_t side_effect_address;
extern unsigned side_effect_register;
extern std::uint16_t side_effect_value;

// What cru_read_bit answers per CRU bit address (0 when absent).
extern std::map<std::uint16_t, int> cru_inputs;

// rom_hook records branch_target on each call and answers from
// hook_answers in order, then 0.
extern std::vector<std::uint16_t> hook_targets;
extern std::vector<int> hook_answers;

constexpr std::uint16_t SNIPPET_WP = 0x83E0;

// Clears memory, flags, branch_target and the recordings; wp = SNIPPET_WP.
void reset_machine();

struct SnippetRun {
  int status;          // what the translated routine returned
  std::string output;  // what it wrote to standard output
};

SnippetRun run_snippet(int (*routine)());

// Helpers over cpu_mem, in the console's ">XXXX" notation for readable failures.
std::string hex(unsigned value);
std::uint16_t word_at(std::uint16_t address);
void put_word(std::uint16_t address, std::uint16_t value);
std::string describe(const std::vector<DeviceCall>& calls);
