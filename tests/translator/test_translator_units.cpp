// The translator's parts in-process: decoding and disassembly, the text
// image parser, and the search for the translated set with its refusals.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "rom/translator/decode.h"
#include "rom/translator/reach.h"
#include "rom/translator/rom_image.h"

namespace {

// find_translated_set from >0100 over an image in text: the addresses of the
// set, or the refusal.
std::string translated_set(const std::string& text, std::vector<std::uint16_t> entries = {}) {
  RomImage rom;
  TranslatedSet set;
  std::string error;
  if (!parse_hex_image(text, rom, error)) return "bad image: " + error;
  if (!find_translated_set(rom, 0x0100, entries, set, error)) return error;
  std::string addresses;
  char item[8];
  for (const auto& [address, in] : set) {
    std::snprintf(item, sizeof item, "%04X ", address);
    addresses += item;
  }
  return addresses;
}

}  // namespace

TEST(TranslatorUnits, DecodesEveryFormat) {
  struct Case {
    const char* image;  // one instruction
    const char* text;
    bool translatable, byte;
  };
  const Case cases[] = {
      {"0100: 8F7D", "C *R13+,*R13+", true, false},  // format I
      {"0064: DB60 83ED 0402", "MOVB @>83ED,@>0402(R13)", true, true},
      {"0100: B79F", "AB *R15,*R14", true, true},
      {"0034: 1013", "JMP >005C", true, false},  // format II
      {"04DA: 16FD", "JNE >04D6", true, false},
      {"0100: 1DFE", "SBO -2", true, false},
      {"0100: 1F05", "TB 5", false, false},
      {"0100: 2B3B", "XOR *R11+,R12", true, false},  // formats III and IX
      {"0100: 2C81", "XOP R1,2", false, false},
      {"0100: 30F3", "LDCR *R3+,3", true, true},
      {"0100: 3406", "STCR R6,0", true, false},
      {"0100: 3E02", "DIV R2,R8", true, false},
      {"0100: 0B7C", "SRC R12,7", true, false},  // format V
      {"0100: 0420 0200", "BLWP @>0200", false, false},  // format VI
      {"0100: 046B 0002", "B @>0002(R11)", true, false},
      {"1172: 0693", "BL *R3", true, false},
      {"0024: 020D 9800", "LI R13,>9800", true, false},  // format VIII
      {"0100: 02CE", "STST R14", true, false},
      {"0100: 02E0 83E0", "LWPI >83E0", false, false},
      {"0100: 0300 0002", "LIMI >0002", true, false},
  };
  for (const Case& c : cases) {
    RomImage rom;
    Instruction in;
    std::string error;
    ASSERT_TRUE(parse_hex_image(c.image, rom, error)) << error;
    std::uint16_t address = std::uint16_t(std::stoul(c.image, nullptr, 16));
    ASSERT_TRUE(decode_instruction(rom, address, in, error)) << c.text << ": " << error;
    EXPECT_EQ(disassemble(in), c.text);
    EXPECT_EQ(in.length, int(std::strlen(c.image) - 5) / 5 * 2) << c.text;
    EXPECT_EQ(is_translatable(in.op), c.translatable) << c.text;
    EXPECT_EQ(is_byte_instruction(in), c.byte) << c.text;
  }
}

TEST(TranslatorUnits, HexImageErrors) {
  EXPECT_EQ(translated_set("0101: 045B\n"), "bad image: line 1: expected an even address 'AAAA:'");
  EXPECT_EQ(translated_set("0100: 045B\n; fine\n0104: 020\n"), "bad image: line 3: bad word '020'");
  EXPECT_EQ(translated_set("FFFE: 1234 5678\n"), "bad image: line 1: bad word '5678'");
}

TEST(TranslatorUnits, SetFollowsDirectTransfersButNeverFallsPastBranches) {
  EXPECT_EQ(translated_set("0100: 1302            ; JEQ >0106\n"
                           "0102: 0460 0200       ; B @>0200\n"
                           "0106: 06A0 0301       ; BL @>0301: bit 0 cleared\n"
                           "010A: 0000\n"
                           "0200: 1001            ; JMP >0204\n"
                           "0202: 0000\n"
                           "0204: 045B            ; B *R11\n"
                           "0206: 0000\n"
                           "0300: 0460 0100       ; B @>0100: already in the set\n"
                           "0304: 0000\n"
                           "0400: 0693            ; BL *R3, an entry\n"
                           "0402: 0000\n",
                           {0x0400}),
            "0100 0102 0106 0200 0204 0300 0400 ");
}

TEST(TranslatorUnits, RefusalsNameTheAddress) {
  EXPECT_EQ(translated_set("0100: 0201 0005\n0104: 0000\n"),
            "word >0000 at >0104 is no TMS9900 instruction (reached from >0100)");
  EXPECT_EQ(translated_set("0100: 045B\n0110: 1001\n0112: 0000\n0114: 0420 0200\n", {0x0110}),
            "BLWP @>0200 at >0114 (reached from >0110) "
            "is not an instruction of the translated set");
  EXPECT_EQ(translated_set("0100: 0201 0005\n0104: 0460 2000\n"),
            "B @>2000 at >0104 jumps outside the ROM");
}
