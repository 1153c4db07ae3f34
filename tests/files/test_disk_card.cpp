// The disk card as the console's device search sees it: its header and device
// list at >4000 while its CRU bit is on, nothing there while off.
#include <gtest/gtest.h>

#include <string>

#include "machine/cru.h"
#include "machine/memory_map.h"
#include "machine/peripheral_card.h"
#include "machine/state.h"

namespace {

TEST(DiskCard, HeaderAndDeviceListWhileOnNothingWhileOff) {
  testing::internal::CaptureStderr();
  cru_write_bit(0x0880, 1);  // R12 >1100, bit 0: as the console turns a card on
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
  cru_write_bit(0x0880, 0);
  EXPECT_EQ(mem_read_byte(0x4000), 0);
  EXPECT_EQ(cpu_word(0x4008), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
