// The GROM port: address loading high byte first, data reads over the console
// GROM image, the address read-back, the two toggles and the port mirrors.
#include <gtest/gtest.h>

#include "machine/memory_map.h"
#include "machine_test_support.h"

namespace {

using GromPort = MachineTest;

TEST_F(GromPort, LoadAddressReadDataAndReadBack) {
  std::string err = stderr_of([] {
    mem_write_byte(0x9C02, 0x12);
    EXPECT_EQ(grom_write_toggle, 1u);
    mem_write_byte(0x9C02, 0x34);
    EXPECT_EQ(grom_write_toggle, 0u);
    EXPECT_EQ(grom_addr, 0x1234);
    EXPECT_EQ(mem_read_byte(0x9800), console_grom[0x1234]);
    EXPECT_EQ(mem_read_byte(0x9800), console_grom[0x1235]);
    EXPECT_EQ(grom_addr, 0x1236);
    EXPECT_EQ(mem_read_byte(0x9802), 0x12);
    EXPECT_EQ(grom_read_toggle, 1u);
    EXPECT_EQ(mem_read_byte(0x9802), 0x37);
    EXPECT_EQ(grom_read_toggle, 0u);
    EXPECT_EQ(grom_addr, 0x1236) << "reading the address is not destructive";
    // The read-back is address + 1, with the carry reaching the high byte.
    grom_addr = 0x12FF;
    EXPECT_EQ(mem_read_byte(0x9802), 0x13);
    EXPECT_EQ(mem_read_byte(0x9802), 0x00);
    EXPECT_EQ(grom_addr, 0x12FF);
  });
  EXPECT_EQ(err, "");

  // Data bytes come from the image at every address up to the last one.
  for (std::uint16_t address : {0x0000, 0x0001, 0x2000, 0x5FFE, 0x5FFF}) {
    SCOPED_TRACE(address);
    grom_addr = address;
    EXPECT_EQ(mem_read_byte(0x9800), console_grom[address]);
    EXPECT_EQ(grom_addr, std::uint16_t(address + 1));
  }
}

TEST_F(GromPort, ToggleTransitions) {
  grom_addr = 0x1234;
  mem_write_byte(0x9C02, 0xAB);  // replaces the high byte, keeps the low one
  EXPECT_EQ(grom_addr, 0xAB34);
  EXPECT_EQ(grom_write_toggle, 1u);
  mem_write_byte(0x9C02, 0xCD);  // replaces the low byte, keeps the high one
  EXPECT_EQ(grom_addr, 0xABCD);
  EXPECT_EQ(grom_write_toggle, 0u);

  // A data read between the two address bytes restarts the pair.
  mem_write_byte(0x9C02, 0x56);
  EXPECT_EQ(grom_write_toggle, 1u);
  mem_read_byte(0x9800);
  EXPECT_EQ(grom_write_toggle, 0u);
  mem_write_byte(0x9C02, 0x10);
  EXPECT_EQ(grom_addr >> 8, 0x10) << "the next address byte is a high byte again";

  // Address writes leave the read toggle; address reads leave the write toggle.
  grom_addr = 0x2000;
  grom_write_toggle = 0;
  mem_read_byte(0x9802);
  EXPECT_EQ(grom_read_toggle, 1u);
  mem_write_byte(0x9C02, 0x30);
  EXPECT_EQ(grom_read_toggle, 1u);
  EXPECT_EQ(grom_write_toggle, 1u);
  mem_read_byte(0x9802);
  EXPECT_EQ(grom_read_toggle, 0u);
  EXPECT_EQ(grom_write_toggle, 1u);

  // A data read clears both toggles.
  mem_read_byte(0x9802);
  ASSERT_EQ(grom_read_toggle, 1u);
  mem_read_byte(0x9800);
  EXPECT_EQ(grom_read_toggle, 0u);
  EXPECT_EQ(grom_write_toggle, 0u);

  // So does a (refused) data write.
  mem_read_byte(0x9802);
  mem_write_byte(0x9C02, 0x44);
  ASSERT_EQ(grom_read_toggle, 1u);
  ASSERT_EQ(grom_write_toggle, 1u);
  stderr_of([] { mem_write_byte(0x9C00, 0x00); });
  EXPECT_EQ(grom_read_toggle, 0u);
  EXPECT_EQ(grom_write_toggle, 0u);
}

TEST_F(GromPort, AddressesBeyondTheImage) {
  std::string err = stderr_of([] {
    grom_addr = 0x5FFF;
    EXPECT_EQ(mem_read_byte(0x9800), console_grom[0x5FFF]);
    EXPECT_EQ(grom_addr, 0x6000);
    EXPECT_EQ(mem_read_byte(0x9800), 0);
    EXPECT_EQ(grom_addr, 0x6001);

    grom_addr = 0xFFFF;
    EXPECT_EQ(mem_read_byte(0x9802), 0x00) << "high byte of >10000 without a 16-bit wrap";
    EXPECT_EQ(mem_read_byte(0x9802), 0x00);
    EXPECT_EQ(grom_addr, 0xFFFF);
    EXPECT_EQ(mem_read_byte(0x9800), 0);
    EXPECT_EQ(grom_addr, 0x0000);
    EXPECT_EQ(mem_read_byte(0x9800), console_grom[0x0000]);
    EXPECT_EQ(grom_addr, 0x0001);

    grom_addr = 0xFFFE;
    EXPECT_EQ(mem_read_byte(0x9802), 0xFF);
    EXPECT_EQ(mem_read_byte(0x9802), 0xFF);
  });
  EXPECT_EQ(err, "");
}

TEST_F(GromPort, DataWritesAreRefusedAndAdvanceTheAddress) {
  grom_addr = 0x1234;
  std::string err = stderr_of([] { mem_write_byte(0x9C00, 0x55); });
  EXPECT_EQ(err, "warning: attempt to write to GROM[>1234]\n");
  EXPECT_EQ(grom_addr, 0x1235);

  grom_addr = 0xFFFF;
  err = stderr_of([] { mem_write_byte(0x9C3C, 0x00); });
  EXPECT_EQ(err, "warning: attempt to write to GROM[>FFFF]\n");
  EXPECT_EQ(grom_addr, 0x0000);
}

TEST_F(GromPort, EachPortAnswersAtItsSixteenMirrors) {
  for (std::uint16_t step = 0; step <= 0x3C; step += 4) {
    SCOPED_TRACE(testing::Message() << "offset " << step);
    reset_machine_state();
    std::string err = stderr_of([step] {
      mem_write_byte(std::uint16_t(0x9C02 + step), 0x21);
      mem_write_byte(std::uint16_t(0x9C02 + step), 0x43);
      EXPECT_EQ(grom_addr, 0x2143);
      EXPECT_EQ(mem_read_byte(std::uint16_t(0x9800 + step)), console_grom[0x2143]);
      EXPECT_EQ(grom_addr, 0x2144);
      EXPECT_EQ(mem_read_byte(std::uint16_t(0x9802 + step)), 0x21);
      EXPECT_EQ(mem_read_byte(std::uint16_t(0x9802 + step)), 0x45);
    });
    EXPECT_EQ(err, "");
    err = stderr_of([step] { mem_write_byte(std::uint16_t(0x9C00 + step), 0x00); });
    EXPECT_EQ(err, "warning: attempt to write to GROM[>2144]\n");
    EXPECT_EQ(grom_addr, 0x2145);
  }
}

TEST_F(GromPort, AddressesOutsideTheMirrorsAreNoPorts) {
  grom_addr = 0x1234;
  // Odd addresses, addresses past the 16 mirrors and the wrong direction.
  std::string err = stderr_of([] {
    for (std::uint16_t address : {0x9801, 0x9803, 0x983D, 0x9840, 0x9842, 0x9C00, 0x9C02})
      EXPECT_EQ(mem_read_byte(address), 0) << std::hex << address;
    for (std::uint16_t address : {0x9800, 0x9802, 0x9C01, 0x9C03, 0x9C40, 0x9C42})
      mem_write_byte(address, 0x77);
  });
  EXPECT_EQ(err,
            "warning: unhandled read [>9801]\n"
            "warning: unhandled read [>9803]\n"
            "warning: unhandled read [>983D]\n"
            "warning: unhandled read [>9840]\n"
            "warning: unhandled read [>9842]\n"
            "warning: unhandled read [>9C00]\n"
            "warning: unhandled read [>9C02]\n"
            "warning: unhandled write [>9800] = >77\n"
            "warning: unhandled write [>9802] = >77\n"
            "warning: unhandled write [>9C01] = >77\n"
            "warning: unhandled write [>9C03] = >77\n"
            "warning: unhandled write [>9C40] = >77\n"
            "warning: unhandled write [>9C42] = >77\n");
  EXPECT_EQ(grom_addr, 0x1234);
  EXPECT_EQ(grom_read_toggle, 0u);
  EXPECT_EQ(grom_write_toggle, 0u);
}

}  // namespace
