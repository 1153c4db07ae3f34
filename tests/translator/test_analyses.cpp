// The translator's analyses on snippets: flag liveness (the emitted code keeps
// exactly the flag stores that a later jump, STST or computed branch can
// read) and the destinations of computed branches.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "rom/translator/emit.h"

namespace {

// A line of a snippet: its address, its words, and for the flag-liveness snippet the call its
// emitted code must hold (nullptr: no flags).
struct Line {
  std::uint16_t address;
  std::vector<std::uint16_t> words;
  const char* call = nullptr;
};

RomImage image(const std::vector<Line>& lines) {
  RomImage rom;
  for (const Line& line : lines) {
    rom.bytes.resize(std::max<std::size_t>(rom.bytes.size(), line.address + 2 * line.words.size()));
    for (std::size_t i = 0; i < line.words.size(); ++i) {
      rom.bytes[line.address + 2 * i] = std::uint8_t(line.words[i] >> 8);
      rom.bytes[line.address + 2 * i + 1] = std::uint8_t(line.words[i]);
    }
  }
  return rom;
}

const std::vector<Line> SNIPPET = {
    {0x0100, {0x0201, 0x0005}, "move_word<0>("},               // LI R1,>0005: A overwrites
    {0x0104, {0xA042}, "add_words<FLAG_C | FLAG_OV>("},        // A R2,R1: JOC; OV to B *R11
    {0x0106, {0x8042}, "compare_words<FLAG_AGT | FLAG_EQ>("},  // C R2,R1: JLT; SRL, INC kill L>
    {0x0108, {0x1803}},                                        // JOC >0110
    {0x010A, {0x1102}},                                        // JLT >0110
    {0x010C, {0x0913}, "shift_right_logical<FLAG_LGT | FLAG_AGT | FLAG_EQ | FLAG_C>("},  // SRL R3,1
    {0x010E, {0x045B}},                              // B *R11: reads every flag
    {0x0110, {0x0584}, "increment_word<FLAG_EQ>("},  // INC R4: only JNE reads
    {0x0112, {0x16FE}},                              // JNE >0110
    {0x0114, {0x10FF}},                              // JMP >0114: reads nothing
};

// The snippet's emitted code with probes at the given addresses, and how many flag stores it
// keeps.
std::string translate(const std::vector<std::uint16_t>& probes, unsigned* stored = nullptr) {
  Translation t;
  std::string error;
  EXPECT_TRUE(find_translated_set(image(SNIPPET), 0x0100, {}, t.set, error)) << error;
  t.options.start = t.options.resume = 0x0100;
  t.options.probes = probes;
  t.liveness = find_flag_liveness(t.set, probes);
  if (stored) *stored = count_flag_stores(t.set, t.liveness).stored;
  return emit_translation(t);
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
  unsigned stored = 0;
  std::string translated = translate({}, &stored);
  for (const auto& line : SNIPPET) {
    std::string code = code_of(translated, line.address);
    ASSERT_NE(code, "") << "no code for " << line.address;
    if (line.call)
      EXPECT_NE(code.find(line.call), std::string::npos) << code;
    else
      EXPECT_EQ(code.find("FLAG_"), std::string::npos) << code;
  }
  EXPECT_EQ(stored, 2u + 2 + 4 + 1);
}

TEST(FlagLiveness, AProbeReadsEveryFlag) {
  EXPECT_NE(code_of(translate({0x0104}), 0x0100).find("move_word<FLAG_LGT | FLAG_AGT | FLAG_EQ>("),
            std::string::npos);
}

// Returns of a routine called from three places, one of them a routine that
// keeps its own return address in R10 across that call; a table indexed by a
// register of known range and one indexed by an unknown register; a branch
// through a register that nothing sets; a loaded continuation whose register
// still holds it where the branch to it lands.
TEST(BranchTargets, ReturnsTablesAndUnknownSites) {
  const std::vector<std::uint16_t> entries = {0x0104, 0x0108, 0x010C, 0x0118, 0x0130,
                                              0x0138, 0x0216, 0x0220};
  RomImage rom = image({
      {0x0000, {0x83E0, 0x0100}},          // workspace >83E0
      {0x0100, {0x06A0, 0x0200}},          // BL @>0200
      {0x0104, {0x06A0, 0x0200}},          // BL @>0200
      {0x0108, {0x06A0, 0x0210}},          // BL @>0210
      {0x010C, {0xD120, 0x8300}},          // MOVB @>8300,R4
      {0x0110, {0x09F4}},                  // SRL R4,15: 0 or 1
      {0x0112, {0xC164, 0x0300}},          // MOV @>0300(R4),R5: the first word of the table
      {0x0116, {0x0455}},                  // B *R5
      {0x0118, {0xC1A7, 0x0300}},          // MOV @>0300(R7),R6: any word of the table
      {0x011C, {0x0456}},                  // B *R6
      {0x0130, {0xC1A0, 0x0310}},          // MOV @>0310,R6: >0138
      {0x0134, {0x0456}},                  // B *R6
      {0x0138, {0x0456}},                  // B *R6: reached with R6 = >0138 only
      {0x0200, {0x045B}},                  // B *R11
      {0x0210, {0xC28B}},                  // MOV R11,R10
      {0x0212, {0x06A0, 0x0200}},          // BL @>0200
      {0x0216, {0x045A}},                  // B *R10
      {0x0220, {0x0453}},                  // B *R3
      {0x0300, {0x0104, 0x0108, 0x0400}},  // a table of two entries, then something else
      {0x0310, {0x0138}},
  });
  TranslatedSet set;
  std::string error;
  ASSERT_TRUE(find_translated_set(rom, 0x0100, entries, set, error)) << error;
  SiteTargets expected = {{0x0116, {0x0104}}, {0x011C, {0x0104, 0x0108}}, {0x0134, {0x0138}},
                          {0x0138, {0x0138}}, {0x0200, {0x0104, 0x0108, 0x0216}},
                          {0x0216, {0x010C}}};
  EXPECT_EQ(find_site_targets(rom, set, entries, 0x0100, 0x83E0), expected);
}

}  // namespace
