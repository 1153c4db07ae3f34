// The VDP ports as the byte path sees them: the two-byte control latch, the
// read-ahead buffer of the data port and the 14-bit address counter.
#include <gtest/gtest.h>

#include "machine/memory_map.h"
#include "machine_test_support.h"

namespace {

using VdpPort = MachineTest;

void control(std::uint8_t first, std::uint8_t second) {
  mem_write_byte(0x8C02, first);
  mem_write_byte(0x8C02, second);
}

TEST_F(VdpPort, SetReadAddressPrefetchesAndDataReadsStream) {
  vram[0x1234] = 0xAB;
  vram[0x1235] = 0xCD;
  vram[0x1236] = 0xEF;
  std::string err = stderr_of([] {
    mem_write_byte(0x8C02, 0x34);
    EXPECT_EQ(vdp_latch_full, 1u);
    EXPECT_EQ(vdp_latch, 0x34);
    EXPECT_EQ(vdp_addr, 0x0000) << "a first control byte changes no address";
    mem_write_byte(0x8C02, 0x12);  // command 0: set read address >1234
  });
  EXPECT_EQ(err, "");
  EXPECT_EQ(vdp_latch_full, 0u);
  EXPECT_EQ(vdp_read_ahead, 0xAB);
  EXPECT_EQ(vdp_addr, 0x1235);

  EXPECT_EQ(mem_read_byte(0x8800), 0xAB);
  EXPECT_EQ(vdp_read_ahead, 0xCD);
  EXPECT_EQ(vdp_addr, 0x1236);
  EXPECT_EQ(mem_read_byte(0x8800), 0xCD);
  EXPECT_EQ(mem_read_byte(0x8800), 0xEF);
  EXPECT_EQ(vdp_addr, 0x1238);
}

TEST_F(VdpPort, SetWriteAddressAndDataWrites) {
  vdp_read_ahead = 0x99;
  vram[0x1235] = 0x77;
  control(0x34, 0x52);  // command 1: set write address >1234
  EXPECT_EQ(vdp_addr, 0x1234);
  EXPECT_EQ(vdp_read_ahead, 0x99) << "setting a write address fills no read-ahead";
  EXPECT_EQ(vdp_latch_full, 0u);

  std::string err = stderr_of([] { mem_write_byte(0x8C00, 0x41); });
  EXPECT_EQ(err, "");
  EXPECT_EQ(vram[0x1234], 0x41);
  EXPECT_EQ(vdp_read_ahead, 0x41);
  EXPECT_EQ(vdp_addr, 0x1235);
  EXPECT_EQ(vram[0x1235], 0x77);

  // A read right after a write returns the written byte, not VRAM at the counter.
  EXPECT_EQ(mem_read_byte(0x8800), 0x41);
  EXPECT_EQ(vdp_read_ahead, 0x77);
  EXPECT_EQ(vdp_addr, 0x1236);

  // The high address bits come only from the low six bits of the second byte.
  control(0xFF, 0x7F);
  EXPECT_EQ(vdp_addr, 0x3FFF);
  control(0x00, 0x40);
  EXPECT_EQ(vdp_addr, 0x0000);
}

TEST_F(VdpPort, AddressCounterWrapsAt14Bits) {
  vram[0x3FFF] = 0x5A;
  vram[0x0000] = 0xA5;
  control(0xFF, 0x3F);  // read address >3FFF: the prefetch itself wraps the counter
  EXPECT_EQ(vdp_read_ahead, 0x5A);
  EXPECT_EQ(vdp_addr, 0x0000);
  EXPECT_EQ(mem_read_byte(0x8800), 0x5A);
  EXPECT_EQ(vdp_read_ahead, 0xA5);
  EXPECT_EQ(vdp_addr, 0x0001);

  vdp_addr = 0x3FFF;
  mem_write_byte(0x8C00, 0x11);
  EXPECT_EQ(vram[0x3FFF], 0x11);
  EXPECT_EQ(vdp_addr, 0x0000);

  vdp_addr = 0x3FFF;
  vram[0x3FFF] = 0x22;
  vdp_read_ahead = 0;
  mem_read_byte(0x8800);
  EXPECT_EQ(vdp_read_ahead, 0x22);
  EXPECT_EQ(vdp_addr, 0x0000);
}

TEST_F(VdpPort, RegisterWritesAndTheirWarnings) {
  std::string err = stderr_of([] {
    control(0x01, 0x87);
    control(0xE0, 0x80);
    control(0xF5, 0x82);
  });
  EXPECT_EQ(err, "");
  EXPECT_EQ(vdp_regs[7], 0x01);
  EXPECT_EQ(vdp_regs[0], 0xE0);
  EXPECT_EQ(vdp_regs[2], 0xF5);
  EXPECT_EQ(vdp_regs[1], 0x00);
  EXPECT_EQ(vdp_addr, 0x0000) << "a register write leaves the address counter";
  EXPECT_EQ(vdp_latch_full, 0u);

  std::uint8_t before[8];
  std::memcpy(before, vdp_regs, sizeof before);
  err = stderr_of([] { control(0x01, 0x88); });
  EXPECT_EQ(err, "warning: VDP reg 8 = >01\n");
  err = stderr_of([] { control(0xAB, 0xBF); });
  EXPECT_EQ(err, "warning: VDP reg 63 = >AB\n");
  EXPECT_EQ(std::memcmp(before, vdp_regs, sizeof before), 0) << "registers above 7 are not stored";
  EXPECT_EQ(vdp_latch_full, 0u);

  err = stderr_of([] { control(0x00, 0xC5); });
  EXPECT_EQ(err, "warning: unknown VDP command 3: >05\n");
  err = stderr_of([] { control(0x12, 0xFF); });
  EXPECT_EQ(err, "warning: unknown VDP command 3: >3F\n");
  EXPECT_EQ(vdp_latch_full, 0u);
  EXPECT_EQ(vdp_addr, 0x0000);
  EXPECT_EQ(std::memcmp(before, vdp_regs, sizeof before), 0);

  // After a reported command the next byte is a first byte again.
  control(0x34, 0x52);
  EXPECT_EQ(vdp_addr, 0x1234);
}

TEST_F(VdpPort, DataAccessBetweenControlBytesRestartsThePair) {
  vram[0x0000] = 0x66;
  mem_write_byte(0x8C02, 0x34);
  EXPECT_EQ(vdp_latch_full, 1u);
  EXPECT_EQ(mem_read_byte(0x8800), 0x00);
  EXPECT_EQ(vdp_latch_full, 0u);
  mem_write_byte(0x8C02, 0x78);  // a first byte again, not the address command
  EXPECT_EQ(vdp_latch_full, 1u);
  EXPECT_EQ(vdp_latch, 0x78);
  EXPECT_EQ(vdp_addr, 0x0001);
  mem_write_byte(0x8C02, 0x56);
  EXPECT_EQ(vdp_addr, 0x1678);

  mem_write_byte(0x8C02, 0x10);
  mem_write_byte(0x8C00, 0x42);  // a data write restarts the pair as well
  EXPECT_EQ(vdp_latch_full, 0u);
  EXPECT_EQ(vram[0x1678], 0x42);
  mem_write_byte(0x8C02, 0x00);
  mem_write_byte(0x8C02, 0x40);
  EXPECT_EQ(vdp_addr, 0x0000);
}

TEST_F(VdpPort, OnlyTheExactPortAddressesReachTheVdp) {
  vram[0x0000] = 0x12;
  vdp_read_ahead = 0x34;
  std::string err = stderr_of([] {
    EXPECT_EQ(mem_read_byte(0x8C00), 0);
    EXPECT_EQ(mem_read_byte(0x8C02), 0);
    EXPECT_EQ(mem_read_byte(0x8802), 0);  // status port: not modelled
    EXPECT_EQ(mem_read_byte(0x8801), 0);
    mem_write_byte(0x8800, 0x55);
    mem_write_byte(0x8C01, 0x56);
    mem_write_byte(0x8C04, 0x57);
  });
  EXPECT_EQ(err,
            "warning: unhandled read [>8C00]\n"
            "warning: unhandled read [>8C02]\n"
            "warning: unhandled read [>8802]\n"
            "warning: unhandled read [>8801]\n"
            "warning: unhandled write [>8800] = >55\n"
            "warning: unhandled write [>8C01] = >56\n"
            "warning: unhandled write [>8C04] = >57\n");
  EXPECT_EQ(vdp_addr, 0x0000);
  EXPECT_EQ(vdp_read_ahead, 0x34);
  EXPECT_EQ(vdp_latch_full, 0u);
  EXPECT_EQ(vram[0x0000], 0x12);
}

}  // namespace
