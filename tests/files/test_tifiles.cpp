// The TIFILES header: which headers a file can hold, and a reader that never
// reads outside the file, whatever the header says.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "host/disk_files.h"
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
  std::uint8_t raw[TIFILES_HEADER_SIZE];
  encode_tifiles_header(fixed_header(), "LONGERTHANTEN", raw);
  EXPECT_EQ(std::string(raw + 16, raw + 28), std::string("LONGERTHAN\0\0", 12));
  raw[1] = 't';
  TifilesHeader back;
  EXPECT_FALSE(decode_tifiles_header(raw, two_sectors, back));
}

// Every way of opening a file for reading, and OLD, on files whose first
// sectors are mutated at random: the answers are error codes or records no
// longer than the record length, and the sanitizers see no access outside
// the buffers. Deterministic: a fixed seed.
TEST(TifilesReader, TwelveThousandMutatedFiles) {
  char dir_name[] = "/tmp/ti99fuzz.XXXXXX";
  std::string dir = mkdtemp(dir_name);
  ASSERT_TRUE(set_drive_folder(1, dir.c_str()));
  // Files of every kind, made by the writer, as the material to mutate.
  const struct {
    const char* name;
    std::uint8_t attributes;
    unsigned length;
  } kinds[] = {{"DF", 0, 80},
               {"IF", ATTR_INTERNAL, 20},
               {"DV", ATTR_VARIABLE | ATTR_INTERNAL, 100},
               {"IV", ATTR_VARIABLE | ATTR_INTERNAL, 10}};
  std::vector<std::string> originals;
  for (const auto& k : kinds) {
    unsigned length = k.length;
    std::uint16_t record = 0;
    int handle;
    ASSERT_EQ(file_open(drive_file(1, k.name), k.attributes | MODE_OUTPUT, length, handle),
              0);
    std::uint8_t data[100] = {1, 2, 3};
    for (int i = 0; i < 30; ++i) file_write(handle, record, data, unsigned(i % 7 * 13 % length));
    file_close(handle);
    std::ifstream in(dir + "/" + k.name, std::ios::binary);
    originals.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::uint8_t program[700] = {};
  ASSERT_EQ(program_save(drive_file(1, "P"), program, sizeof program), 0);
  std::ifstream in(dir + "/P", std::ios::binary);
  originals.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());

  std::mt19937 random(99);
  const std::uint8_t ways[] = {0, ATTR_INTERNAL, ATTR_VARIABLE, ATTR_VARIABLE | ATTR_INTERNAL};
  unsigned opened = 0, records = 0, loaded = 0;
  for (int n = 0; n < 12000; ++n) {
    std::string bytes = originals[random() % originals.size()];
    unsigned changes = 1 + random() % 4;
    for (unsigned i = 0; i < changes; ++i) {
      unsigned at =
          random() % 4 ? 8 + random() % 8 : random() % (TIFILES_HEADER_SIZE + SECTOR_SIZE);
      if (at < bytes.size())
        bytes[at] = char(random() % 3 ? random() : bytes[at] ^ (1 << random() % 8));
    }
    if (random() % 5 == 0) bytes.resize(random() % bytes.size());
    std::ofstream(dir + "/M", std::ios::binary | std::ios::trunc) << bytes;
    for (std::uint8_t way : ways) {
      unsigned length = random() % 3 ? 0 : random() % 256;
      std::uint16_t record = 0;
      int handle;
      int error = file_open(drive_file(1, "M"), way | MODE_INPUT, length, handle);
      ASSERT_LE(error, 7);
      if (error) continue;
      ++opened;
      std::uint8_t data[256];
      for (int r = 0; r < 300; ++r) {
        if (random() % 50 == 0) record = std::uint16_t(random());
        unsigned got = 0;
        error = file_read(handle, record, data, got);
        ASSERT_LE(error, 7);
        if (error) break;
        ASSERT_LE(got, length);
        ++records;
      }
      file_status(handle, record);
      file_close(handle);
    }
    std::uint8_t image[16384];
    std::uint32_t size = 0;
    std::uint32_t capacity = random() % 2 ? sizeof image : random() % 1000;
    if (program_load(drive_file(1, "M"), image, capacity, size) == 0) {
      ASSERT_LE(size, capacity);
      ++loaded;
    }
  }
  std::printf("12000 mutated files: %u opened for reading, %u records read, %u programs loaded\n",
              opened, records, loaded);
  EXPECT_GT(opened, 1000u);  // the mutations leave many files readable, so the reads are exercised
  EXPECT_GT(loaded, 100u);
  std::system(("rm -rf " + dir).c_str());
}

}  // namespace
