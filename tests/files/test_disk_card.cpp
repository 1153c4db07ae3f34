// The card as the console's device search sees it, and its routine serving a
// peripheral access block as the console sets one up.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "automation/rom_hook.h"
#include "host/disk_files.h"
#include "machine/cru.h"
#include "machine/memory_map.h"
#include "machine/peripheral_card.h"
#include "machine/state.h"

namespace {

// Walks the device list the way the console's search does, card on.
TEST(DiskCard, HeaderAndDeviceListWhileOnNothingWhileOff) {
  testing::internal::CaptureStderr();
  cru_write_bit(0x0880, 1);  // CRU base >1100, bit 0
  EXPECT_EQ(mem_read_byte(0x4000), 0xAA);
  std::uint16_t entry = cpu_word(0x4008);
  for (int device = 0; device < CARD_DEVICE_COUNT; ++device) {
    ASSERT_NE(entry, 0) << device;
    ASSERT_EQ(entry % 2, 0);
    unsigned length = mem_read_byte(std::uint16_t(entry + 4));
    std::string name;
    for (unsigned i = 0; i < length; ++i) name += char(mem_read_byte(std::uint16_t(entry + 5 + i)));
    EXPECT_EQ(name, card_device_names[device]);
    EXPECT_EQ(card_routine_device(cpu_word(std::uint16_t(entry + 2))), device);
    entry = cpu_word(entry);
  }
  EXPECT_EQ(entry, 0);
  EXPECT_EQ(card_routine_device(CARD_ROUTINES + 1), -1);
  EXPECT_EQ(card_routine_device(CARD_ROUTINES + 2 * CARD_DEVICE_COUNT), -1);
  cru_write_bit(0x0880, 0);
  EXPECT_EQ(mem_read_byte(0x4000), 0);
  EXPECT_EQ(cpu_word(0x4008), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

struct DiskRoutine : testing::Test {
  std::string dir;
  static constexpr std::uint16_t PAB = 0x1000, BUFFER = 0x2000, RETURN = 0x0B14;
  void SetUp() override {
    char name[] = "/tmp/ti99card.XXXXXX";
    dir = mkdtemp(name);
    ASSERT_TRUE(set_drive_folder(1, dir.c_str()));
    wp = 0x83E0;
    cru_write_bit(0x0880, 1);
  }
  void TearDown() override {
    for (unsigned h = 0; h < MAX_OPEN_FILES; ++h) file_close(int(h));
    cru_write_bit(0x0880, 0);
    std::system(("rm -rf " + dir).c_str());
  }
  // Sets up the PAB and the search's scratchpad words for name, calls the
  // device's routine; returns where the console goes on.
  std::uint16_t call(int device, std::uint8_t opcode, std::uint8_t flags, const std::string& name,
                     const std::string& data = "") {
    std::uint8_t pab[10] = {opcode,      flags,
                            BUFFER >> 8, BUFFER & 0xFF,
                            0,           std::uint8_t(data.size()),
                            0,           0,
                            0x60,        std::uint8_t(name.size())};
    std::memcpy(&vram[PAB], pab, sizeof pab);
    std::memcpy(&vram[PAB + 10], name.data(), name.size());
    std::memcpy(&vram[BUFFER], data.data(), data.size());
    unsigned device_length = unsigned(std::strlen(card_device_names[device]));
    set_cpu_word(0x8354, std::uint16_t(device_length));
    set_cpu_word(0x8356, std::uint16_t(PAB + 10 + device_length));
    set_reg(11, RETURN);
    branch_target = std::uint16_t(CARD_ROUTINES + 2 * device);
    EXPECT_EQ(rom_hook(), HOOK_REDISPATCH);
    return branch_target;
  }
  std::string contents(const char* name) {
    std::stringstream text;
    text << std::ifstream(dir + "/" + name).rdbuf();
    return text.str();
  }
};

TEST_F(DiskRoutine, ServesRequestsAndAnswersInTheBlock) {
  EXPECT_EQ(call(DSK1, 0, MODE_OUTPUT | ATTR_VARIABLE, "DSK1.T"), RETURN + 2);
  EXPECT_EQ(vram[PAB + 1], MODE_OUTPUT | ATTR_VARIABLE);  // no error bits
  EXPECT_EQ(vram[PAB + 4], 80);                           // the default record length
  EXPECT_EQ(call(DSK1_LOWER, 3, MODE_OUTPUT | ATTR_VARIABLE, "dsk1.T", "HELLO"), RETURN + 2);
  EXPECT_EQ(contents("T"), "HELLO\n");
  EXPECT_EQ(call(DSK1, 1, 0, "DSK1.T"), RETURN + 2);
  EXPECT_EQ(call(DSK1, 0, MODE_INPUT | ATTR_VARIABLE, "DSK1.T"), RETURN + 2);
  EXPECT_EQ(call(DSK1, 2, MODE_INPUT | ATTR_VARIABLE, "DSK1.T"), RETURN + 2);
  EXPECT_EQ(std::string(&vram[BUFFER], &vram[BUFFER + vram[PAB + 5]]), "HELLO");
  EXPECT_EQ(vram[PAB + 7], 1);  // the record number goes on
  EXPECT_EQ(call(DSK1, 9, MODE_INPUT | ATTR_VARIABLE, "DSK1.T"), RETURN + 2);
  EXPECT_EQ(vram[PAB + 8], STATUS_VARIABLE | STATUS_END_OF_FILE);
  EXPECT_EQ(call(DSK1, 2, MODE_INPUT | ATTR_VARIABLE, "DSK1.T"), RETURN + 2);
  EXPECT_EQ(vram[PAB + 1], PAST_END << 5 | MODE_INPUT | ATTR_VARIABLE);
}

// A name no host file can have is not the card's: the search goes on, and
// the console ends it with its own "no such device" error.
TEST_F(DiskRoutine, NamesThatAreNotTheCardsAndErrors) {
  for (const char* name : {"DSK1.A/B", "DSK1..", "DSK1", "DSK1.A B"})
    EXPECT_EQ(call(DSK1, 0, MODE_OUTPUT | ATTR_VARIABLE, name), RETURN) << name;
  EXPECT_EQ(call(IMAGE, 5, 0, "IMAGE"), RETURN);  // no program image waiting
  EXPECT_EQ(call(DSK1, 0, MODE_INPUT, "DSK1.NONE"), RETURN + 2);
  EXPECT_EQ(vram[PAB + 1], FILE_ERROR << 5 | MODE_INPUT);
  EXPECT_EQ(call(CS1, 0, MODE_OUTPUT | ATTR_VARIABLE, "CS1"), RETURN + 2);
  EXPECT_EQ(vram[PAB + 1], ILLEGAL_OPERATION << 5 | MODE_OUTPUT | ATTR_VARIABLE);
  EXPECT_EQ(call(CS2, 0, MODE_INPUT, "CS2"), RETURN + 2);  // the second unit only records
  EXPECT_EQ(vram[PAB + 1], ILLEGAL_OPERATION << 5 | MODE_INPUT);
  EXPECT_EQ(call(DSK1, 0, MODE_OUTPUT | ATTR_INTERNAL, "DSK1."), RETURN + 2);  // the catalog
  EXPECT_EQ(vram[PAB + 1], BAD_ATTRIBUTE << 5 | MODE_OUTPUT | ATTR_INTERNAL);
  EXPECT_EQ(call(DSK1, 8, 0, "DSK1.T"), RETURN + 2);
  EXPECT_EQ(vram[PAB + 1], ILLEGAL_OPERATION << 5);
}

}  // namespace
