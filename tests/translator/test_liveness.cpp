// Flag liveness: a snippet with dead and live flags, emitted, keeps exactly
// the flag stores that a later jump, STST or computed branch can read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "translator/emit.h"

namespace {

// address, words, the call its emitted code must hold (nullptr: no flags)
const struct {
  std::uint16_t address;
  std::vector<std::uint16_t> words;
  const char* call;
} SNIPPET[] = {
    {0x0100, {0x0201, 0x0005}, "move_word<0>("},                     // LI R1,>0005: A overwrites
    {0x0104, {0xA042}, "add_words<FLAG_C | FLAG_OV>("},              // A R2,R1: JOC; OV to B *R11
    {0x0106, {0x8042}, "compare_words<FLAG_AGT | FLAG_EQ>("},        // C R2,R1: JLT; SRL, INC kill L>
    {0x0108, {0x1803}, nullptr},                                     // JOC >0110
    {0x010A, {0x1102}, nullptr},                                     // JLT >0110
    {0x010C, {0x0913}, "shift_right_logical<FLAG_LGT | FLAG_AGT | FLAG_EQ | FLAG_C>("},  // SRL R3,1
    {0x010E, {0x045B}, nullptr},                                     // B *R11: reads every flag
    {0x0110, {0x0584}, "increment_word<FLAG_EQ>("},                  // INC R4: only JNE reads
    {0x0112, {0x16FE}, nullptr},                                     // JNE >0110
    {0x0114, {0x10FF}, nullptr},                                     // JMP >0114: reads nothing
};

struct Translated {
  TranslatedSet set;
  std::string code;
};

Translated translate(const std::vector<std::uint16_t>& probes) {
  RomImage rom;
  rom.bytes.assign(0x0100, 0);
  for (const auto& line : SNIPPET)
    for (std::uint16_t w : line.words)
      rom.bytes.insert(rom.bytes.end(), {std::uint8_t(w >> 8), std::uint8_t(w)});
  Translated t;
  std::string error;
  EXPECT_TRUE(find_translated_set(rom, 0x0100, {}, t.set, error)) << error;
  EmitOptions options;
  options.start = options.resume = 0x0100;
  options.probes = probes;
  t.code = emit_translation(t.set, {}, find_flag_liveness(t.set, probes), options);
  return t;
}

// The emitted statements of the instruction at address.
std::string code_of(const std::string& code, std::uint16_t address) {
  char comment[16];
  std::snprintf(comment, sizeof comment, "// >%04X ", unsigned(address));
  std::size_t at = code.find(comment);
  if (at == std::string::npos) return "";
  std::size_t begin = code.find('\n', at) + 1;
  return code.substr(begin, code.find('\n', begin) - begin);
}

TEST(FlagLiveness, SnippetKeepsExactlyTheLiveFlagStores) {
  Translated t = translate({});
  ASSERT_EQ(t.set.size(), std::size(SNIPPET));
  for (const auto& line : SNIPPET) {
    std::string code = code_of(t.code, line.address);
    if (line.call)
      EXPECT_NE(code.find(line.call), std::string::npos) << code;
    else
      EXPECT_EQ(code.find("FLAG_"), std::string::npos) << code;
  }
  EXPECT_EQ(count_flag_stores(t.set, find_flag_liveness(t.set)).stored, 2u + 2 + 4 + 1);
}

TEST(FlagLiveness, AProbeReadsEveryFlag) {
  Translated t = translate({0x0104});
  EXPECT_NE(code_of(t.code, 0x0100).find("move_word<FLAG_LGT | FLAG_AGT | FLAG_EQ>("),
            std::string::npos);
}

}  // namespace
