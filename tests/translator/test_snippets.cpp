// snippets/devices.hex, translated by the build and run on an empty machine
// against recording stand-ins for the device functions and rom_hook.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "automation/rom_hook.h"
#include "machine/memory_map.h"
#include "machine/state.h"

#ifdef TI99_COUNT_INSTRUCTIONS
std::uint64_t instruction_count;
#endif

int run_devices();

namespace {

std::string calls;  // every call of a stand-in, in order: "R9800 W8C00=C9 H6000 "
int hook_answer;    // what rom_hook answers once, then HOOK_NONE

void record(const char* format, unsigned a, unsigned b = 0) {
  char text[16];
  std::snprintf(text, sizeof text, format, a, b);
  calls += text;
}

}  // namespace

std::uint8_t mem_read_byte(std::uint16_t address) {
  if (address == 0x9000) set_reg(3, 0xA200);  // a device routine may change a register
  record("R%04X ", address);
  return std::uint8_t(address >> 8 ^ address);  // >9800 reads >98, >834A reads >C9
}
void mem_write_byte(std::uint16_t address, std::uint8_t value) {
  record("W%04X=%02X ", address, value);
}
int rom_hook() {
  record("H%04X ", branch_target);
  int answer = hook_answer;
  hook_answer = HOOK_NONE;
  return answer;  // HOOK_REDISPATCH leaves branch_target at >6000: the hook runs again
}

TEST(TranslatorSnippet, DevicePathOncePerOperandSourceFirstAndDispatch) {
  const struct { int answer; const char *after_hook, *not_found; } cases[] = {
      {HOOK_RESUME, "H7000 ", "7000"}, {HOOK_REDISPATCH, "H6000 ", "6000"}, {HOOK_NONE, "", "6000"}};
  for (auto c : cases) {
    std::memset(cpu_mem, 0, sizeof cpu_mem);
    wp = 0x83E0, hook_answer = c.answer, calls.clear();
    set_cpu_word(0x1FFE, 0x001F), set_cpu_word(0xA030, 0x0005), set_cpu_word(0xA032, 0x0003);
    testing::internal::CaptureStdout();
    EXPECT_EQ(run_devices(), 1);
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "not found: $" + std::string(c.not_found) + "\n");
    EXPECT_EQ(calls, std::string("R9800 R834A W8C00=C9 R834B R834C R8310 R9000 WA200=90 H6000 ") +
                         c.after_hook);
  }
  calls.clear();  // R2-R9 and R14, then the word at >8300
  for (unsigned address : {0x83E4, 0x83E6, 0x83E8, 0x83EA, 0x83EC, 0x83EE, 0x83F0, 0x83F2,
                           0x83FC, 0x8300})
    record("%04X ", cpu_word(std::uint16_t(address)));
  EXPECT_EQ(calls, "C300 A201 834D 9800 0010 9300 1F00 A034 C000 C300 ")
      << "MOVB R1,R2; R3 formed after the read of >9800; R4 stepped 3 times; MOVB *R13,R5 "
         "and @>8300(R6),R7 from devices, @>1FFF,R8 from cpu_mem; C *R9+,*R9+ stepping "
         "twice, STST R14 after it; MOVB R1,@>8300 to cpu_mem";
}
