// The TIFILES header: which headers a file can hold.
#include <gtest/gtest.h>

#include "host/tifiles.h"

namespace {

TifilesHeader fixed_header() {  // DIS/FIX 80: 3 records a sector, 5 records in 2 sectors
  TifilesHeader h;
  h.sectors = 2, h.records_per_sector = 3, h.record_length = 80, h.fixed_records = 5;
  h.eof_offset = 160;
  return h;
}

bool accepted(const TifilesHeader& h, std::uint64_t file_size) {
  std::uint8_t raw[TIFILES_HEADER_SIZE];
  encode_tifiles_header(h, "X", raw);
  TifilesHeader back;
  return decode_tifiles_header(raw, file_size, back);
}

TEST(TifilesHeader, OnlyHeadersThatFitTheirFile) {
  const std::uint64_t two_sectors = TIFILES_HEADER_SIZE + 2 * SECTOR_SIZE;
  struct Case {
    const char* what;
    void (*change)(TifilesHeader&);
    std::uint64_t size;
    bool ok;
  };
  const Case cases[] = {
      {"as made", [](TifilesHeader&) {}, two_sectors, true},
      {"a sector beyond the file", [](TifilesHeader&) {}, two_sectors - 1, false},
      {"record length 0", [](TifilesHeader& h) { h.record_length = 0; }, two_sectors, false},
      {"no records a sector", [](TifilesHeader& h) { h.records_per_sector = 0; }, two_sectors,
       false},
      {"records overflow a sector", [](TifilesHeader& h) { h.records_per_sector = 4; }, two_sectors,
       false},
      {"more records than sectors", [](TifilesHeader& h) { h.fixed_records = 7; }, two_sectors,
       false},
      {"all sectors full", [](TifilesHeader& h) { h.fixed_records = 6; }, two_sectors, true},
      {"variable 254", [](TifilesHeader& h) { h.flags = TIFILES_VARIABLE, h.record_length = 254; },
       two_sectors, true},
      {"variable 255", [](TifilesHeader& h) { h.flags = TIFILES_VARIABLE, h.record_length = 255; },
       two_sectors, false},
      {"program of no bytes", [](TifilesHeader& h) { h = program_header(0); }, two_sectors, false},
      {"program of 266 bytes", [](TifilesHeader& h) { h = program_header(266); },
       TIFILES_HEADER_SIZE + 266, true},
      {"program cut short", [](TifilesHeader& h) { h = program_header(266); },
       TIFILES_HEADER_SIZE + 265, false},
      {"65535 sectors", [](TifilesHeader& h) { h.sectors = 0xFFFF; }, two_sectors, false}};
  for (const Case& c : cases) {
    TifilesHeader h = fixed_header();
    c.change(h);
    EXPECT_EQ(accepted(h, c.size), c.ok) << c.what;
  }
}

}  // namespace
