// The byte path and the CRU as the console ROM sees them: the VDP and GROM
// ports, the rest of the address map, the CRU bits and transfers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "rom/tms9900_ops.h"

namespace {

// Every object the devices touch at its start-up value; have_source and
// output_muted keep VDP data writes away from standard output.
struct Devices : testing::Test {
  void SetUp() override {
    std::memset(cpu_mem, 0, sizeof cpu_mem);
    std::memset(vram, 0, sizeof vram);
    std::memset(vdp_regs, 0, sizeof vdp_regs);
    vdp_addr = vdp_read_ahead = vdp_latch = grom_addr = 0;
    vdp_latch_full = grom_read_toggle = grom_write_toggle = 0;
    have_source = output_muted = 1;
    wp = 0x83E0;
  }
};

template <class F>
std::string stderr_of(F f) {
  testing::internal::CaptureStderr();
  f();
  return testing::internal::GetCapturedStderr();
}

// printf into a string, for expected warning lines.
template <class... A>
std::string text(const char* format, A... args) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

// The ports: VDP control, data write, data read; GROM address write, data
// write, data read, address read.
enum : std::uint16_t { VC = 0x8C02, VW = 0x8C00, VR = 0x8800 };
enum : std::uint16_t { GA = 0x9C02, GW = 0x9C00, GD = 0x9800, GR = 0x9802 };

// Writes value to port, or reads port and expects value; then expects the
// address counter of the port's device to hold after.
struct Step { std::uint16_t port; int value; std::uint16_t after; };

void run_steps(const std::vector<Step>& steps) {
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Step& s = steps[i];
    SCOPED_TRACE(testing::Message() << "step " << i + 1 << std::hex << ", port >" << s.port);
    if (s.port == VR || (s.port & 0xFC01) == 0x9800)
      EXPECT_EQ(mem_read_byte(s.port), s.value);
    else
      mem_write_byte(s.port, std::uint8_t(s.value));
    EXPECT_EQ(s.port < 0x9000 ? vdp_addr : grom_addr, s.after);
  }
}

TEST_F(Devices, VdpPorts) {
  vram[0x1234] = 0xAB, vram[0x1235] = 0xCD, vram[0x1236] = 0xEF, vram[0x3FFF] = 0x5A;
  std::string err = stderr_of([] {
    run_steps({
        // a first control byte sets nothing; command 0 prefetches
        {VC, 0x34, 0x0000}, {VC, 0x12, 0x1235}, {VR, 0xAB, 0x1236}, {VR, 0xCD, 0x1237},
        // command 1 does not prefetch; a data write fills the read-ahead
        {VC, 0x34, 0x1237}, {VC, 0x52, 0x1234}, {VR, 0xEF, 0x1235}, {VW, 0x41, 0x1236},
        {VR, 0x41, 0x1237},
        // the counter wraps at 14 bits; six bits of the second byte count
        {VC, 0xFF, 0x1237}, {VC, 0x3F, 0x0000}, {VR, 0x5A, 0x0001}, {VC, 0xFF, 0x0001},
        {VC, 0x7F, 0x3FFF}, {VW, 0x11, 0x0000},
        // a data read or write between control bytes restarts the pair
        {VC, 0x34, 0x0000}, {VR, 0x11, 0x0001}, {VC, 0x78, 0x0001}, {VC, 0x56, 0x1678},
        {VC, 0x10, 0x1678}, {VW, 0x42, 0x1679}, {VC, 0x00, 0x1679}, {VC, 0x40, 0x0000},
        // register writes (above 7 refused) and command 3 leave the counter
        {VC, 0x01, 0}, {VC, 0x87, 0}, {VC, 0xE0, 0}, {VC, 0x80, 0}, {VC, 0xF5, 0}, {VC, 0x82, 0},
        {VC, 0x01, 0}, {VC, 0x88, 0}, {VC, 0xAB, 0}, {VC, 0xBF, 0}, {VC, 0x00, 0}, {VC, 0xC5, 0},
        {VC, 0x12, 0}, {VC, 0xFF, 0}, {VC, 0x34, 0}, {VC, 0x52, 0x1234}});
  });
  EXPECT_EQ(err,
            "warning: VDP reg 8 = >01\nwarning: VDP reg 63 = >AB\n"
            "warning: unknown VDP command 3: >05\nwarning: unknown VDP command 3: >3F\n");
  const std::uint8_t stored[8] = {0xE0, 0, 0xF5, 0, 0, 0, 0, 0x01};
  EXPECT_EQ(std::memcmp(vdp_regs, stored, 8), 0);
  EXPECT_EQ(vram[0x1235], 0x41);
  EXPECT_EQ(vram[0x3FFF], 0x11);
  EXPECT_EQ(vram[0x1678], 0x42);
}

// Data from the image up to >5FFF, 0 beyond; the read-back is the address + 1,
// high byte first; each port answers at 16 mirrors, 4 apart.
TEST_F(Devices, GromAddressDataReadBackTogglesAndMirrors) {
  grom_addr = 0x1234;
  const std::uint8_t* g = console_grom;
  std::string err = stderr_of([g] {
    run_steps({
        // address bytes replace the high, then the low byte
        {GA, 0xAB, 0xAB34}, {GA, 0xCD, 0xABCD}, {GA, 0x12, 0x12CD}, {GA, 0xFF, 0x12FF},
        {GR, 0x13, 0x12FF}, {GR, 0x00, 0x12FF}, {GD, g[0x12FF], 0x1300},
        {GA, 0x5F, 0x5F00}, {GA, 0xFF, 0x5FFF}, {GD, g[0x5FFF], 0x6000}, {GD, 0, 0x6001},
        {GA, 0xFF, 0xFF01}, {GA, 0xFE, 0xFFFE}, {GR, 0xFF, 0xFFFE}, {GR, 0xFF, 0xFFFE},
        {GD, 0, 0xFFFF}, {GR, 0x00, 0xFFFF}, {GR, 0x00, 0xFFFF}, {GD, 0, 0x0000},
        {GD, g[0], 0x0001}, {GW, 0x55, 0x0002},
        // a data read between address bytes restarts the pair; address
        // reads leave the write toggle and address writes the read toggle
        {GA, 0x56, 0x5602}, {GD, g[0x5602], 0x5603}, {GA, 0x10, 0x1003}, {GR, 0x10, 0x1003},
        {GA, 0x20, 0x1020}, {GR, 0x21, 0x1020},
        // a data read or a refused data write clears both toggles
        {GR, 0x10, 0x1020}, {GA, 0x44, 0x4420}, {GD, g[0x4420], 0x4421}, {GR, 0x44, 0x4421},
        {GA, 0x30, 0x3021}, {GW, 0x00, 0x3022}, {GR, 0x30, 0x3022}, {GA, 0x40, 0x4022},
        {GA + 0x04, 0x43, 0x4043}, {GD + 0x20, g[0x4043], 0x4044}, {GR + 0x3C, 0x40, 0x4044},
        {GR + 0x08, 0x45, 0x4044}, {GW + 0x3C, 0x00, 0x4045}, {GA + 0x3C, 0xFF, 0xFF45},
        {GA + 0x10, 0xFF, 0xFFFF}, {GW + 0x04, 0x00, 0x0000}});
  });
  EXPECT_EQ(err,
            "warning: attempt to write to GROM[>0001]\nwarning: attempt to write to GROM[>3021]\n"
            "warning: attempt to write to GROM[>4044]\nwarning: attempt to write to GROM[>FFFF]\n");
}

// Each address is read, then written. MEM: memory, writes store. ZERO: silent,
// reads give 0. WARN: a warning, reads give 0. PORT: a port that way, not tried.
enum Access { MEM, ZERO, WARN, PORT };

TEST_F(Devices, AddressMapOutsideThePorts) {
  for (unsigned a = 0; a < 0x10000; ++a) cpu_mem[a] = std::uint8_t(a * 7) | 1;  // never 0
  std::uint8_t expected[65536];
  std::memcpy(expected, cpu_mem, sizeof expected);
  vdp_read_ahead = 0x34;
  grom_addr = 0x1234;
  const struct { std::uint16_t address; Access read, write; } cases[] = {
      {0x0000, MEM, WARN},  {0x1FFF, MEM, WARN},  {0x2000, WARN, WARN}, {0x4000, ZERO, WARN},
      {0x4001, WARN, WARN}, {0x6000, ZERO, WARN}, {0x6002, WARN, WARN}, {0x8000, WARN, WARN},
      {0x82FF, WARN, WARN}, {0x8300, MEM, MEM},   {0x83FF, MEM, MEM},   {0x8400, ZERO, ZERO},
      {0x8401, WARN, WARN}, {0x8800, PORT, WARN}, {0x8801, WARN, WARN}, {0x8802, WARN, WARN},
      {0x8C00, WARN, PORT}, {0x8C01, WARN, WARN}, {0x8C02, WARN, PORT}, {0x9400, ZERO, ZERO},
      {0x9402, WARN, WARN}, {0x9800, PORT, WARN}, {0x9801, WARN, WARN}, {0x9802, PORT, WARN},
      {0x9840, WARN, WARN}, {0x9C00, WARN, PORT}, {0x9C02, WARN, PORT}, {0x9C03, WARN, WARN},
      {0x8803, WARN, WARN}, {0x8C03, WARN, WARN}, {0xA000, WARN, WARN}, {0xFFFF, WARN, WARN}};
  for (auto c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.address);
    int value = -1;
    if (c.read != PORT) {
      std::string err = stderr_of([&] { value = mem_read_byte(c.address); });
      EXPECT_EQ(value, c.read == MEM ? cpu_mem[c.address] : 0);
      EXPECT_EQ(err, c.read == WARN ? text("warning: unhandled read [>%04X]\n", c.address) : "");
    }
    if (c.write != PORT) {
      EXPECT_EQ(stderr_of([&] { mem_write_byte(c.address, 0x5A); }),
                c.write == WARN ? text("warning: unhandled write [>%04X] = >5A\n", c.address) : "");
    }
    if (c.write == MEM) expected[c.address] = 0x5A;
  }
  EXPECT_EQ(std::memcmp(expected, cpu_mem, sizeof expected), 0) << "only scratchpad writes store";
  EXPECT_EQ(vdp_addr + vdp_latch_full + grom_read_toggle + grom_write_toggle, 0u);
  EXPECT_EQ(vdp_read_ahead, 0x34);
  EXPECT_EQ(grom_addr, 0x1234);
}

// Reads: the keyboard rows give 1 silently. Writes: the keyboard column select
// and the card switches (bit addresses with >0800 set) are silent.
TEST_F(Devices, CruBitsSilentOrWarning) {
  const struct { std::uint16_t bit; int read; bool silent_write; } cases[] = {
      {0x0000, 0, false}, {0x0002, 0, false}, {0x0003, 1, false}, {0x000A, 1, false},
      {0x000B, 0, false}, {0x0011, 0, false}, {0x0012, 0, true},  {0x0015, 0, true},
      {0x0016, 0, false}, {0x077F, 0, false}, {0x0780, 0, true},  {0x0781, 0, false},
      {0x0800, 0, true},  {0x0FFF, 0, true},  {0x1000, 0, false}, {0xF800, 0, true}};
  for (auto c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.bit);
    int value = -1;
    EXPECT_EQ(stderr_of([&] { value = cru_read_bit(c.bit); }),
              c.read ? "" : text("warning: cruin(>%04X)\n", c.bit));
    EXPECT_EQ(value, c.read);
    for (int v : {0, 1})
      EXPECT_EQ(stderr_of([&] { cru_write_bit(c.bit, v); }),
                c.silent_write ? "" : text("warning: cruout(>%04X, %d)\n", c.bit, v));
  }
}

TEST_F(Devices, CruTransfersFromR12) {
  std::string err = stderr_of([] {
    set_reg(12, 0x0041);  // base >0020; bit 0 of R12 is no part of it
    load_cru(0x00F6, 3);  // LDCR: least significant bit first, ascending
    set_reg(12, 0x000C);  // STCR of 8 bits from >0006: rows >0006->000A read 1
    EXPECT_EQ(store_cru(8), 0x001F);
    set_reg(12, 0x0026);  // base >0013: SBO and SBZ add a signed displacement
    cru_set_bit(-1, 1);
    cru_set_bit(-19, 0);
    set_reg(12, 0xFFFE);  // base >0FFF: 12 bits, the displacement added after
    cru_set_bit(1, 1);
  });
  EXPECT_EQ(err,
            "warning: cruout(>0020, 0)\nwarning: cruout(>0021, 1)\nwarning: cruout(>0022, 1)\n"
            "warning: cruin(>000B)\nwarning: cruin(>000C)\nwarning: cruin(>000D)\n"
            "warning: cruout(>0000, 0)\nwarning: cruout(>1000, 1)\n");
}

}  // namespace
