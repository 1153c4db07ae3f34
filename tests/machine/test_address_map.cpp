// The address map of the byte path outside the VDP and GROM ports: ROM and
// scratchpad, the silent sound, speech and card-header addresses, and the
// warnings for everything else.
#include <gtest/gtest.h>

#include <string>

#include "machine/memory_map.h"
#include "machine_test_support.h"

namespace {

class AddressMap : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    // Every byte non-zero, so a read that should give 0 cannot get it from memory.
    for (unsigned a = 0; a < 0x10000; ++a) cpu_mem[a] = std::uint8_t(a * 7 + 1) | 0x01;
    std::memcpy(snapshot, cpu_mem, sizeof snapshot);
  }
  std::uint8_t snapshot[65536];
};

std::string read_warning(std::uint16_t address) {
  char text[64];
  std::snprintf(text, sizeof text, "warning: unhandled read [>%04X]\n", address);
  return text;
}

std::string write_warning(std::uint16_t address, std::uint8_t value) {
  char text[64];
  std::snprintf(text, sizeof text, "warning: unhandled write [>%04X] = >%02X\n", address, value);
  return text;
}

TEST_F(AddressMap, RomAndScratchpadReadAsMemory) {
  std::string err = stderr_of([this] {
    for (std::uint16_t address : {0x0000, 0x0001, 0x1000, 0x1FFE, 0x1FFF, 0x8300, 0x8301, 0x83E0,
                                  0x83FF})
      EXPECT_EQ(mem_read_byte(address), snapshot[address]) << std::hex << address;
  });
  EXPECT_EQ(err, "");
}

TEST_F(AddressMap, SilentAddressesReadZero) {
  std::string err = stderr_of([] {
    for (std::uint16_t address : {0x4000, 0x6000, 0x8400, 0x9400})
      EXPECT_EQ(mem_read_byte(address), 0) << std::hex << address;
  });
  EXPECT_EQ(err, "");
}

TEST_F(AddressMap, EveryOtherReadWarnsAndGivesZero) {
  // Neighbours of the mapped ranges and of the silent addresses, and the
  // area just below the scratchpad, which does not mirror it.
  for (std::uint16_t address : {0x2000, 0x3FFF, 0x4001, 0x4002, 0x5FFF, 0x6001, 0x6002, 0x8000,
                                0x8001, 0x80FF, 0x8100, 0x82FF, 0x8401, 0x8402, 0x8500,
                                0x9000, 0x93FF, 0x9401, 0x9402, 0xA000, 0xFFFF}) {
    SCOPED_TRACE(testing::Message() << std::hex << address);
    std::uint8_t value = 0xEE;
    std::string err = stderr_of([&] { value = mem_read_byte(address); });
    EXPECT_EQ(value, 0);
    EXPECT_EQ(err, read_warning(address));
  }
  EXPECT_EQ(std::memcmp(snapshot, cpu_mem, sizeof snapshot), 0);
}

TEST_F(AddressMap, ScratchpadWritesStoreAndNothingElseDoes) {
  std::string err = stderr_of([] {
    mem_write_byte(0x8300, 0x12);
    mem_write_byte(0x83FF, 0x34);
    mem_write_byte(0x834A, 0x00);
  });
  EXPECT_EQ(err, "");
  EXPECT_EQ(cpu_mem[0x8300], 0x12);
  EXPECT_EQ(cpu_mem[0x83FF], 0x34);
  EXPECT_EQ(cpu_mem[0x834A], 0x00);
  EXPECT_EQ(mem_read_byte(0x8300), 0x12);
  snapshot[0x8300] = 0x12;
  snapshot[0x83FF] = 0x34;
  snapshot[0x834A] = 0x00;

  // Sound and speech take writes silently and store nothing.
  err = stderr_of([] {
    mem_write_byte(0x8400, 0x9F);
    mem_write_byte(0x9400, 0x9F);
  });
  EXPECT_EQ(err, "");

  for (std::uint16_t address : {0x0000, 0x1000, 0x1FFF, 0x2000, 0x4000, 0x6000, 0x8000, 0x8001,
                                0x82FF, 0x8401, 0x8402, 0x9401, 0xFFFF}) {
    SCOPED_TRACE(testing::Message() << std::hex << address);
    std::string warning = stderr_of([address] { mem_write_byte(address, 0x12); });
    EXPECT_EQ(warning, write_warning(address, 0x12));
  }
  EXPECT_EQ(std::memcmp(snapshot, cpu_mem, sizeof snapshot), 0)
      << "only the scratchpad writes may change memory";
}

TEST_F(AddressMap, RomIsWriteProtectedOnTheBytePath) {
  std::uint8_t rom_byte = cpu_mem[0x1000];
  ASSERT_NE(rom_byte, 0x12);
  std::string err = stderr_of([] { mem_write_byte(0x1000, 0x12); });
  EXPECT_EQ(err, "warning: unhandled write [>1000] = >12\n");
  EXPECT_EQ(mem_read_byte(0x1000), rom_byte);

  // >8000 is no scratchpad mirror, in either direction.
  err = stderr_of([] { mem_write_byte(0x8000, 0xAA); });
  EXPECT_EQ(err, "warning: unhandled write [>8000] = >AA\n");
  EXPECT_EQ(cpu_mem[0x8000], snapshot[0x8000]);
  EXPECT_EQ(cpu_mem[0x8300], snapshot[0x8300]);
  mem_write_byte(0x8300, 0x5C);
  err = stderr_of([] { EXPECT_EQ(mem_read_byte(0x8000), 0); });
  EXPECT_EQ(err, "warning: unhandled read [>8000]\n");
}

TEST_F(AddressMap, DevicePortsTakePrecedenceOverMemoryBytes) {
  // The port addresses read their device, never the cpu_mem byte behind them.
  vdp_read_ahead = 0x00;
  grom_addr = 0x6000;  // beyond the image: the data port answers 0
  EXPECT_EQ(mem_read_byte(0x8800), 0x00);
  EXPECT_EQ(mem_read_byte(0x9800), 0x00);
  EXPECT_EQ(mem_read_byte(0x9802), 0x60);
  mem_write_byte(0x8C02, 0x00);
  mem_write_byte(0x8C02, 0x40);
  mem_write_byte(0x8C00, 0x3C);
  EXPECT_EQ(vram[0x0000], 0x3C);
  EXPECT_EQ(std::memcmp(snapshot, cpu_mem, sizeof snapshot), 0);
}

}  // namespace
