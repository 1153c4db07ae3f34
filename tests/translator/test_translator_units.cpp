// The translator's parts in-process: instruction decoding and disassembly,
// the text image parser, the search for the translated set and its refusals,
// and the probe calls in the emitted code.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "rom/translator/decode.h"
#include "rom/translator/emit.h"
#include "rom/translator/reach.h"
#include "rom/translator/rom_image.h"

namespace {

// An image holding words from address on (zero elsewhere, up to its end).
RomImage image_with(std::uint16_t address, const std::vector<std::uint16_t>& words) {
  RomImage rom;
  rom.bytes.assign(address + 2 * words.size(), 0);
  for (std::size_t i = 0; i < words.size(); ++i) {
    rom.bytes[address + 2 * i] = std::uint8_t(words[i] >> 8);
    rom.bytes[address + 2 * i + 1] = std::uint8_t(words[i]);
  }
  return rom;
}

RomImage parsed(const std::string& text) {
  RomImage rom;
  std::string error;
  EXPECT_TRUE(parse_hex_image(text, rom, error)) << error;
  return rom;
}

std::string set_addresses(const TranslatedSet& set) {
  std::string text;
  char item[8];
  for (const auto& [address, in] : set) {
    std::snprintf(item, sizeof item, "%04X ", address);
    text += item;
  }
  return text;
}

// The error find_translated_set gives for an image that it must refuse.
std::string refusal(const std::string& text, std::vector<std::uint16_t> entries = {}) {
  TranslatedSet set;
  std::string error;
  if (find_translated_set(parsed(text), 0x0100, entries, set, error)) return "accepted";
  return error;
}

}  // namespace

TEST(TranslatorDecode, EveryFormatAndItsDisassembly) {
  struct Case {
    std::uint16_t address;
    std::vector<std::uint16_t> words;
    const char* text;
    bool translatable;
  };
  const Case cases[] = {
      // Format I: every opcode, every operand mode, operand words in order
      {0x0100, {0x4081}, "SZC R1,R2", true},
      {0x0100, {0x5081}, "SZCB R1,R2", true},
      {0x0100, {0x6081}, "S R1,R2", true},
      {0x0100, {0x7081}, "SB R1,R2", true},
      {0x0100, {0x8CB2}, "C *R2+,*R2+", true},
      {0x0100, {0x9081}, "CB R1,R2", true},
      {0x0100, {0xA081}, "A R1,R2", true},
      {0x0100, {0xB556}, "AB *R6,*R5", true},
      {0x0100, {0xC4C1}, "MOV R1,*R3", true},
      {0x005C, {0xD11D}, "MOVB *R13,R4", true},
      {0x0100, {0xE081}, "SOC R1,R2", true},
      {0x0100, {0xF801, 0x0400}, "SOCB R1,@>0400", true},
      {0x0056, {0xC90D, 0x8300}, "MOV R13,@>8300(R4)", true},
      {0x0064, {0xDB60, 0x83ED, 0x0402}, "MOVB @>83ED,@>0402(R13)", true},
      {0x006A, {0x5820, 0x011B, 0x837C}, "SZCB @>011B,@>837C", true},
      // Format II: jumps with their destinations, CRU bits
      {0x0034, {0x1013}, "JMP >005C", true},
      {0x0100, {0x10FF}, "JMP >0100", true},
      {0x0100, {0x1180}, "JLT >0002", true},
      {0x0100, {0x127F}, "JLE >0200", true},
      {0x0100, {0x1301}, "JEQ >0104", true},
      {0x0100, {0x1401}, "JHE >0104", true},
      {0x0100, {0x1501}, "JGT >0104", true},
      {0x04DA, {0x16FD}, "JNE >04D6", true},
      {0x0100, {0x1701}, "JNC >0104", true},
      {0x0100, {0x1801}, "JOC >0104", true},
      {0x0100, {0x1901}, "JNO >0104", true},
      {0x0100, {0x1A01}, "JL >0104", true},
      {0x0100, {0x1B01}, "JH >0104", true},
      {0x0100, {0x1C01}, "JOP >0104", false},
      {0x0100, {0x1D00}, "SBO 0", true},
      {0x0100, {0x1EFE}, "SBZ -2", true},
      {0x0100, {0x1F05}, "TB 5", false},
      // Formats III and IX
      {0x0100, {0x2209}, "COC R9,R8", true},
      {0x0100, {0x2620, 0x0030}, "CZC @>0030,R8", true},
      {0x0100, {0x2B3B}, "XOR *R11+,R12", true},
      {0x0100, {0x2C81}, "XOP R1,2", false},
      {0x0100, {0x30E0, 0xA0F0}, "LDCR @>A0F0,3", true},
      {0x0100, {0x360C}, "STCR R12,8", true},
      {0x0100, {0x3920, 0x83C0}, "MPY @>83C0,R4", true},
      {0x0100, {0x3E02}, "DIV R2,R8", true},
      // Format V
      {0x0100, {0x0802}, "SRA R2,0", true},
      {0x0100, {0x0981}, "SRL R1,8", true},
      {0x0100, {0x0A1A}, "SLA R10,1", true},
      {0x0100, {0x0B7C}, "SRC R12,7", true},
      // Format VI
      {0x0100, {0x0420, 0x0200}, "BLWP @>0200", false},
      {0x0100, {0x045B}, "B *R11", true},
      {0x0100, {0x046B, 0x0002}, "B @>0002(R11)", true},
      {0x0100, {0x0481}, "X R1", false},
      {0x0100, {0x04C5}, "CLR R5", true},
      {0x0100, {0x0502}, "NEG R2", true},
      {0x0100, {0x0542}, "INV R2", true},
      {0x0100, {0x05BB}, "INC *R11+", true},
      {0x0100, {0x05C2}, "INCT R2", true},
      {0x0100, {0x0602}, "DEC R2", true},
      {0x0100, {0x0642}, "DECT R2", true},
      {0x004E, {0x06A0, 0x0864}, "BL @>0864", true},
      {0x1172, {0x0693}, "BL *R3", true},
      {0x0100, {0x06C2}, "SWPB R2", true},
      {0x0100, {0x072B, 0x0002}, "SETO @>0002(R11)", true},
      {0x0100, {0x0742}, "ABS R2", true},
      // Format VIII
      {0x0024, {0x020D, 0x9800}, "LI R13,>9800", true},
      {0x0100, {0x0223, 0x0001}, "AI R3,>0001", true},
      {0x0100, {0x0242, 0x0F0F}, "ANDI R2,>0F0F", true},
      {0x0100, {0x0262, 0x8000}, "ORI R2,>8000", true},
      {0x0100, {0x0282, 0x0002}, "CI R2,>0002", true},
      {0x0100, {0x02A1}, "STWP R1", false},
      {0x0100, {0x02CB}, "STST R11", true},
      {0x0100, {0x02E0, 0x83E0}, "LWPI >83E0", false},
      {0x0100, {0x0300, 0x0002}, "LIMI >0002", true},
      {0x0100, {0x0340}, "IDLE", false},
      {0x0100, {0x0360}, "RSET", false},
      {0x0100, {0x0380}, "RTWP", false},
      {0x0100, {0x03A0}, "CKON", false},
      {0x0100, {0x03C0}, "CKOF", false},
      {0x0100, {0x03E0}, "LREX", false},
  };
  for (const Case& c : cases) {
    RomImage rom = image_with(c.address, c.words);
    Instruction in;
    std::string error;
    ASSERT_TRUE(decode_instruction(rom, c.address, in, error)) << c.text << ": " << error;
    EXPECT_EQ(disassemble(in), c.text);
    EXPECT_EQ(in.address, c.address) << c.text;
    EXPECT_EQ(in.length, int(2 * c.words.size())) << c.text;
    EXPECT_EQ(is_translatable(in.op), c.translatable) << c.text;
  }
}

TEST(TranslatorDecode, OperandFieldsAndSizes) {
  Instruction in;
  std::string error;
  ASSERT_TRUE(decode_instruction(image_with(0x0064, {0xDB60, 0x83ED, 0x0402}), 0x0064, in, error));
  EXPECT_EQ(in.op, Op::MOVB);
  EXPECT_EQ(in.src.mode, 2);
  EXPECT_EQ(in.src.reg, 0);
  EXPECT_EQ(in.src.word, 0x83ED);
  EXPECT_EQ(in.dst.mode, 2);
  EXPECT_EQ(in.dst.reg, 13);
  EXPECT_EQ(in.dst.word, 0x0402);
  EXPECT_TRUE(is_byte_instruction(in));

  ASSERT_TRUE(decode_instruction(image_with(0x0100, {0x8CB2}), 0x0100, in, error));
  EXPECT_EQ(in.src.mode, 3);
  EXPECT_EQ(in.src.reg, 2);
  EXPECT_EQ(in.dst.mode, 3);
  EXPECT_EQ(in.dst.reg, 2);
  EXPECT_FALSE(is_byte_instruction(in));

  ASSERT_TRUE(decode_instruction(image_with(0x0100, {0x0B7C}), 0x0100, in, error));
  EXPECT_EQ(in.reg, 12);
  EXPECT_EQ(in.count, 7);

  ASSERT_TRUE(decode_instruction(image_with(0x0100, {0x0282, 0xABCD}), 0x0100, in, error));
  EXPECT_EQ(in.reg, 2);
  EXPECT_EQ(in.immediate, 0xABCD);

  // LDCR and STCR are byte instructions for 1 to 8 bits; a count of 0 means 16.
  const std::pair<std::uint16_t, bool> cru_sizes[] = {
      {0x3040, true}, {0x30C0, true}, {0x3200, true}, {0x3240, false}, {0x3000, false},
      {0x3600, true}, {0x3400, false}};
  for (auto [word, byte] : cru_sizes) {
    ASSERT_TRUE(decode_instruction(image_with(0x0100, {word}), 0x0100, in, error));
    EXPECT_EQ(is_byte_instruction(in), byte) << disassemble(in);
  }
  const std::uint16_t byte_ops[] = {0x5081, 0x7081, 0x9081, 0xB081, 0xD081, 0xF081};
  const std::uint16_t word_ops[] = {0x4081, 0x6081, 0x8081, 0xA081, 0xC081, 0xE081, 0x2881};
  for (std::uint16_t word : byte_ops) {
    ASSERT_TRUE(decode_instruction(image_with(0x0100, {word}), 0x0100, in, error));
    EXPECT_TRUE(is_byte_instruction(in)) << disassemble(in);
  }
  for (std::uint16_t word : word_ops) {
    ASSERT_TRUE(decode_instruction(image_with(0x0100, {word}), 0x0100, in, error));
    EXPECT_FALSE(is_byte_instruction(in)) << disassemble(in);
  }
}

TEST(TranslatorDecode, NonInstructionsAndTruncation) {
  const std::uint16_t data_words[] = {0x0000, 0x0001, 0x01FF, 0x0320, 0x033F,
                                      0x0780, 0x07FF, 0x0C00, 0x0FFF};
  for (std::uint16_t word : data_words) {
    Instruction in;
    std::string error;
    EXPECT_FALSE(decode_instruction(image_with(0x0200, {word}), 0x0200, in, error)) << word;
    char expected[64];
    std::snprintf(expected, sizeof expected, "word >%04X at >0200 is no TMS9900 instruction", word);
    EXPECT_EQ(error, expected);
  }
  Instruction in;
  std::string error;
  EXPECT_FALSE(decode_instruction(image_with(0x0100, {0x0201}), 0x0100, in, error));
  EXPECT_EQ(error, "instruction at >0100 runs past the end of the ROM");
  EXPECT_FALSE(decode_instruction(image_with(0x0100, {0xDB60, 0x83ED}), 0x0100, in, error));
  EXPECT_EQ(error, "instruction at >0100 runs past the end of the ROM");
  EXPECT_FALSE(decode_instruction(image_with(0x0100, {0x045B, 0x045B}), 0x0101, in, error));
  EXPECT_EQ(error, "address >0101 is odd or outside the ROM");
  EXPECT_FALSE(decode_instruction(image_with(0x0100, {0x045B}), 0x0102, in, error));
  EXPECT_EQ(error, "address >0102 is odd or outside the ROM");
}

TEST(TranslatorHexImage, ParsesWordsCommentsAndGaps) {
  RomImage rom = parsed(
      "; a comment line\n"
      "\n"
      "0100: 0201 1234       ; LI R1,>1234\n"
      "  0104: abcd\n"
      "0010: FFFF 0001\n"
      "0100: 0202\n");  // a later line overrides
  ASSERT_EQ(rom.bytes.size(), 0x106u);
  EXPECT_EQ(rom.word(0x0100), 0x0202);
  EXPECT_EQ(rom.word(0x0102), 0x1234);
  EXPECT_EQ(rom.word(0x0104), 0xABCD);
  EXPECT_EQ(rom.word(0x0010), 0xFFFF);
  EXPECT_EQ(rom.word(0x0012), 0x0001);
  EXPECT_EQ(rom.word(0x0014), 0x0000);
  EXPECT_EQ(rom.word(0x0000), 0x0000);

  RomImage empty = parsed("; nothing\n");
  EXPECT_TRUE(empty.bytes.empty());
}

TEST(TranslatorHexImage, Errors) {
  const std::pair<const char*, const char*> cases[] = {
      {"0100 0201\n", "line 1: expected an even address 'AAAA:'"},
      {"0101: 0201\n", "line 1: expected an even address 'AAAA:'"},
      {"100: 0201\n", "line 1: expected an even address 'AAAA:'"},
      {"0100:0201\n", "line 1: expected an even address 'AAAA:'"},
      {"01G0: 0201\n", "line 1: expected an even address 'AAAA:'"},
      {"0100: 0201\n; fine\n0104: 020\n", "line 3: bad word '020'"},
      {"0100: 02011\n", "line 1: bad word '02011'"},
      {"0100: 0X01\n", "line 1: bad word '0X01'"},
      {"0100: 0x01\n", "line 1: bad word '0x01'"},
      {"0100: -001\n", "line 1: bad word '-001'"},
      {"0100: +FFF\n", "line 1: bad word '+FFF'"},
      {"0x10: 0201\n", "line 1: expected an even address 'AAAA:'"},
      {"0100: 0201 @>1234\n", "line 1: bad word '@>1234'"},
      {"FFFE: 1234 5678\n", "line 1: bad word '5678'"},
  };
  for (auto [text, message] : cases) {
    RomImage rom;
    std::string error;
    EXPECT_FALSE(parse_hex_image(text, rom, error)) << text;
    EXPECT_EQ(error, message) << text;
  }
  RomImage rom;
  std::string error;
  EXPECT_FALSE(load_hex_image("/nonexistent/snippet.hex", rom, error));
  EXPECT_EQ(error, "cannot open /nonexistent/snippet.hex");
}

TEST(TranslatorReach, FollowsDirectTransfersButNeverFallsPastBranches) {
  RomImage rom = parsed(
      "0100: 1302            ; JEQ >0106\n"
      "0102: 0460 0200       ; B @>0200\n"
      "0106: 06A0 0301       ; BL @>0301: bit 0 cleared\n"
      "010A: 0000            ; data after BL\n"
      "0200: 1001            ; JMP >0204\n"
      "0202: 0000            ; data after JMP\n"
      "0204: 045B            ; B *R11\n"
      "0206: 0000            ; data after B *R11\n"
      "0300: 0201 0001       ; LI R1,1\n"
      "0304: 0460 0100       ; B @>0100: back, already in the set\n"
      "0308: 0000\n"
      "0400: 0693            ; BL *R3: an entry\n"
      "0402: 0000            ; data after BL *R3\n"
      "0404: 0200 045B       ; LI R0,>045B: an entry\n"
      "0408: 13FE            ; JEQ >0406: into the immediate word\n"
      "040A: 046B 0002       ; B @>0002(R11)\n"
      "040E: 0000\n");
  TranslatedSet set;
  std::string error;
  ASSERT_TRUE(find_translated_set(rom, 0x0100, {0x0400, 0x0404}, set, error)) << error;
  EXPECT_EQ(set_addresses(set), "0100 0102 0106 0200 0204 0300 0304 0400 0404 0406 0408 040A ");
  EXPECT_EQ(disassemble(set.at(0x0406)), "B *R11");

  std::uint16_t destination = 0;
  EXPECT_TRUE(direct_destination(set.at(0x0106), destination));
  EXPECT_EQ(destination, 0x0300);
  EXPECT_FALSE(direct_destination(set.at(0x0204), destination));
  EXPECT_FALSE(direct_destination(set.at(0x040A), destination));
  EXPECT_FALSE(falls_through(set.at(0x0400)));
  EXPECT_TRUE(falls_through(set.at(0x0100)));
  EXPECT_TRUE(falls_through(set.at(0x0300)));
}

TEST(TranslatorReach, RefusesWithTheOffendingAddress) {
  struct Case {
    const char* image;
    std::string message;
  };
  const Case cases[] = {
      {"0100: 0201 0005\n0104: 0000\n",
       "word >0000 at >0104 is no TMS9900 instruction (reached from >0100)"},
      {"0100: 1301\n0102: 045B\n0104: 0C00\n",
       "word >0C00 at >0104 is no TMS9900 instruction (reached from >0100)"},
      {"0100: 0460 0110\n0110: 0320\n",
       "word >0320 at >0110 is no TMS9900 instruction (reached from >0100)"},
      {"0100: 0420 0200\n", "BLWP @>0200 at >0100 (reached from >0100) is not an instruction of the translated set"},
      {"0100: 1001\n0102: 0000\n0104: 0481\n",
       "X R1 at >0104 (reached from >0100) is not an instruction of the translated set"},
      {"0100: 0380\n", "RTWP at >0100 (reached from >0100) is not an instruction of the translated set"},
      {"0100: 06A0 0200\n0200: 02E0 83E0\n",
       "LWPI >83E0 at >0200 (reached from >0100) is not an instruction of the translated set"},
      {"0100: 1F00\n", "TB 0 at >0100 (reached from >0100) is not an instruction of the translated set"},
      {"0100: 02A1\n", "STWP R1 at >0100 (reached from >0100) is not an instruction of the translated set"},
      {"0100: 2C81\n", "XOP R1,2 at >0100 (reached from >0100) is not an instruction of the translated set"},
      {"0100: 1C00\n", "JOP >0102 at >0100 (reached from >0100) is not an instruction of the translated set"},
      {"0100: 0340\n", "IDLE at >0100 (reached from >0100) is not an instruction of the translated set"},
      {"0100: 0360\n", "RSET at >0100 (reached from >0100) is not an instruction of the translated set"},
      {"0100: 03A0\n", "CKON at >0100 (reached from >0100) is not an instruction of the translated set"},
      {"0100: 03C0\n", "CKOF at >0100 (reached from >0100) is not an instruction of the translated set"},
      {"0100: 03E0\n", "LREX at >0100 (reached from >0100) is not an instruction of the translated set"},
      {"0100: 0460 2000\n", "B @>2000 at >0100 jumps outside the ROM"},
      {"0100: 06A0 FFFE\n", "BL @>FFFE at >0100 jumps outside the ROM"},
      {"0100: 107F\n", "JMP >0200 at >0100 jumps outside the ROM"},
      {"0100: 1080\n0102: 045B\n",
       "word >0000 at >0002 is no TMS9900 instruction (reached from >0100)"},
      {"0100: 0201 0005\n", "address >0104 is odd or outside the ROM (reached from >0100)"},
      {"0100: 0201\n", "instruction at >0100 runs past the end of the ROM (reached from >0100)"},
  };
  for (const Case& c : cases) EXPECT_EQ(refusal(c.image), c.message) << c.image;

  EXPECT_EQ(refusal("0100: 045B\n0110: 045B 045B\n", {0x0111}),
            "address >0111 is odd or outside the ROM (reached from >0111)");
  EXPECT_EQ(refusal("0100: 045B\n0110: 0000\n", {0x0110}),
            "word >0000 at >0110 is no TMS9900 instruction (reached from >0110)");
}

TEST(TranslatorEmit, ProbeCallsOnlyWhereAsked) {
  RomImage rom = parsed("0100: 0201 0005\n0104: 0581\n0106: 045B\n");
  TranslatedSet set;
  std::string error;
  ASSERT_TRUE(find_translated_set(rom, 0x0100, {0x0104}, set, error)) << error;
  EmitOptions options;
  options.start = 0x0100;
  options.resume = 0x0104;
  std::string plain = emit_translation(set, {0x0104}, options);
  EXPECT_EQ(plain.find("translation_probe"), std::string::npos);

  options.probes = {0x0104};
  std::string probed = emit_translation(set, {0x0104}, options);
  EXPECT_NE(probed.find("void translation_probe(std::uint16_t);"), std::string::npos);
  std::size_t label = probed.find("L_0104:");
  std::size_t call = probed.find("translation_probe(0x0104);");
  std::size_t increment = probed.find("add_words(", label);
  ASSERT_NE(label, std::string::npos);
  ASSERT_NE(call, std::string::npos);
  EXPECT_LT(label, call) << "the probe belongs to the instruction at >0104";
  EXPECT_LT(call, increment) << "the probe comes before the instruction's effects";
  EXPECT_EQ(probed.find("translation_probe(0x0100)"), std::string::npos);
  EXPECT_EQ(probed.find("translation_probe(0x0106)"), std::string::npos);
}
