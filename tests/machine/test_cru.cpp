// CRU bit I/O: the keyboard lines and the peripheral-card switches answer
// silently, every other bit leaves a warning.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "machine/cru.h"
#include "machine_test_support.h"

namespace {

std::string cruout_warning(std::uint16_t address, int value) {
  char text[64];
  std::snprintf(text, sizeof text, "warning: cruout(>%04X, %d)\n", address, value);
  return text;
}

std::string cruin_warning(std::uint16_t address) {
  char text[64];
  std::snprintf(text, sizeof text, "warning: cruin(>%04X)\n", address);
  return text;
}

TEST(CruWrite, KeyboardSelectAndCardSwitchesAreSilent) {
  std::string err = stderr_of([] {
    for (int value = 0; value <= 1; ++value) {
      for (std::uint16_t address = 0x0012; address <= 0x0015; ++address) cru_write_bit(address, value);
      cru_write_bit(0x0780, value);
      // Card bases >1000->1FFE in R12 give bit addresses with >0800 set.
      for (std::uint16_t address : {0x0800, 0x0880, 0x0A00, 0x0F80, 0x0FFF, 0x0801, 0x1800, 0xF800})
        cru_write_bit(address, value);
    }
  });
  EXPECT_EQ(err, "");
}

TEST(CruWrite, OtherBitsWarnWithAddressAndValue) {
  struct Case {
    std::uint16_t address;
    int value;
  };
  for (Case c : {Case{0x0011, 1}, Case{0x0011, 0}, Case{0x0016, 0}, Case{0x0016, 1},
                 Case{0x0000, 1}, Case{0x0003, 0}, Case{0x077F, 1}, Case{0x0781, 1},
                 Case{0x07FF, 0}, Case{0x1000, 1}, Case{0x0700, 1}}) {
    SCOPED_TRACE(testing::Message() << std::hex << c.address << " " << c.value);
    std::string err = stderr_of([c] { cru_write_bit(c.address, c.value); });
    EXPECT_EQ(err, cruout_warning(c.address, c.value));
  }
}

TEST(CruRead, KeyboardRowsReadOneAndEverythingElseWarns) {
  std::string err = stderr_of([] {
    for (std::uint16_t address = 0x0003; address <= 0x000A; ++address)
      EXPECT_EQ(cru_read_bit(address), 1) << std::hex << address;
  });
  EXPECT_EQ(err, "");

  // Reads have no silent card range and no silent column lines.
  for (std::uint16_t address : {0x0000, 0x0002, 0x000B, 0x0012, 0x0780, 0x0800, 0x0F80, 0xFFFF}) {
    SCOPED_TRACE(testing::Message() << std::hex << address);
    int value = -1;
    err = stderr_of([&] { value = cru_read_bit(address); });
    EXPECT_EQ(value, 0);
    EXPECT_EQ(err, cruin_warning(address));
  }
}

}  // namespace
