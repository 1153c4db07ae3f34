// TI files on host files, through the calls the disk card's routine makes: the
// bytes each host format gets, the rules for reading them back, and what a
// program may not reach.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/disk_catalog.h"
#include "host/disk_files.h"
#include "host/tifiles.h"

namespace {

constexpr std::uint8_t DIS_VAR = ATTR_VARIABLE, DIS_FIX = 0,
                       INT_VAR = ATTR_INTERNAL | ATTR_VARIABLE, INT_FIX = ATTR_INTERNAL,
                       REL = ATTR_RELATIVE;

struct Opened {
  int error, handle;
  unsigned record_length;
  std::uint16_t record;
};

struct DiskFiles : testing::Test {
  std::string dir;
  void SetUp() override {
    char name[] = "/tmp/ti99files.XXXXXX";
    dir = mkdtemp(name);
    ASSERT_TRUE(set_drive_folder(1, dir.c_str()));
  }
  void TearDown() override {
    for (unsigned h = 0; h < MAX_OPEN_FILES; ++h) file_close(int(h));
    std::system(("rm -rf " + dir).c_str());
  }
  std::string path(const char* name) { return dir + "/" + name; }
  std::string contents(const char* name) {
    std::ifstream in(path(name), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void put(const char* name, const std::string& bytes) {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  static Opened open(const char* name, std::uint8_t attributes, unsigned record_length = 0) {
    Opened o{};
    o.record_length = record_length;
    o.error = file_open(drive_file(1, name), attributes, o.record_length, o.handle);
    return o;
  }
  static int write(Opened& o, const std::string& record) {
    return file_write(o.handle, o.record, reinterpret_cast<const std::uint8_t*>(record.data()),
                      unsigned(record.size()));
  }
  // The next record as text, or "error N".
  static std::string read(Opened& o) {
    std::uint8_t data[256];
    unsigned length = 0;
    int error = file_read(o.handle, o.record, data, length);
    return error ? "error " + std::to_string(error) : std::string(data, data + length);
  }
  // Writes records with the attributes, closes, and gives the file's bytes.
  std::string written(const char* name, std::uint8_t attributes, unsigned record_length,
                      const std::vector<std::string>& records) {
    Opened o = open(name, std::uint8_t(attributes | MODE_OUTPUT), record_length);
    EXPECT_EQ(o.error, FILE_OK);
    for (const std::string& r : records) EXPECT_EQ(write(o, r), FILE_OK) << r;
    file_close(o.handle);
    return contents(name);
  }
  TifilesHeader header_of(const char* name) {
    std::string bytes = contents(name);
    std::uint8_t raw[TIFILES_HEADER_SIZE] = {};
    bytes.copy(reinterpret_cast<char*>(raw), sizeof raw);
    TifilesHeader h;
    EXPECT_TRUE(decode_tifiles_header(raw, bytes.size(), h));
    return h;
  }
};

TEST_F(DiskFiles, DisplayVariableRecordsAreTextLines) {
  EXPECT_EQ(written("T", DIS_VAR, 0, {"ONE", "", "TWO  THREE"}), "ONE\n\nTWO  THREE\n");
  Opened o = open("T", MODE_INPUT | DIS_VAR);
  EXPECT_EQ(o.record_length, DEFAULT_RECORD_LENGTH);
  for (const char* want : {"ONE", "", "TWO  THREE", "error 5"}) EXPECT_EQ(read(o), want);
  EXPECT_EQ(file_status(o.handle, o.record), STATUS_VARIABLE | STATUS_END_OF_FILE);
  EXPECT_EQ(file_rewind(o.handle), FILE_OK);
  EXPECT_EQ(file_status(o.handle, o.record), STATUS_VARIABLE);
  EXPECT_EQ(read(o), "ONE");
}

// Lines made by other tools: CR LF ends, no last line end, lines as long as
// the record length and one longer.
TEST_F(DiskFiles, TextLinesReadByTheirRecordLength) {
  const struct {
    std::string text;
    unsigned record_length;
    std::vector<std::string> reads;
  } cases[] = {
      {"A\r\nB", 0, {"A", "B", "error 5"}},
      {"ABC\r\nABCD\n", 3, {"ABC", "error 2", "error 2"}},
      {std::string(80, 'X') + "\n" + std::string(81, 'Y'), 0, {std::string(80, 'X'), "error 2"}},
      {std::string(81, 'Y') + "\n", 100, {std::string(81, 'Y'), "error 5"}},
      {"\n\nZ\n", 0, {"", "", "Z", "error 5"}}};
  for (const auto& c : cases) {
    put("T", c.text);
    Opened o = open("T", MODE_INPUT | DIS_VAR, c.record_length);
    ASSERT_EQ(o.error, FILE_OK);
    for (const std::string& want : c.reads) EXPECT_EQ(read(o), want) << c.text;
    file_close(o.handle);
  }
}

TEST_F(DiskFiles, TextWritesThatALineCannotHoldAreRefused) {
  Opened o = open("T", MODE_OUTPUT | DIS_VAR);
  EXPECT_EQ(write(o, "A\nB"), DEVICE_ERROR);
  EXPECT_EQ(write(o, "A\r"), DEVICE_ERROR);
  EXPECT_EQ(write(o, "A\rB"), FILE_OK);
  EXPECT_EQ(write(o, std::string(81, 'L')), BAD_ATTRIBUTE);  // longer than the record
  EXPECT_EQ(contents("T"), "A\rB\n");
}

TEST_F(DiskFiles, AppendAndUpdateOnText) {
  put("T", "A");  // no line end: appending must not join the lines
  Opened o = open("T", MODE_APPEND | DIS_VAR);
  EXPECT_EQ(read(o), "error 3");
  EXPECT_EQ(write(o, "B"), FILE_OK);
  file_close(o.handle);
  EXPECT_EQ(contents("T"), "A\nB\n");
  put("T", "A\nB\nC\n");  // a record written in UPDATE mode is the new last one
  o = open("T", MODE_UPDATE | DIS_VAR);
  EXPECT_EQ(read(o), "A");
  EXPECT_EQ(write(o, "X"), FILE_OK);
  EXPECT_EQ(contents("T"), "A\nX\n");
  file_close(o.handle);
  put("T", "A\nB");  // read to the end of a last line without its line end, then write
  o = open("T", MODE_UPDATE | DIS_VAR);
  EXPECT_EQ(read(o), "A");
  EXPECT_EQ(read(o), "B");
  EXPECT_EQ(write(o, "C"), FILE_OK);
  EXPECT_EQ(contents("T"), "A\nB\nC\n");
}

TEST_F(DiskFiles, OutputEmptiesTheFileAtOpenAndNotBefore) {
  put("T", "OLD\n");
  EXPECT_EQ(open("T", MODE_INPUT | INT_FIX).error, BAD_ATTRIBUTE);
  EXPECT_EQ(contents("T"), "OLD\n");
  Opened o = open("T", MODE_OUTPUT | DIS_VAR);
  EXPECT_EQ(contents("T"), "");
  EXPECT_EQ(write(o, "NEW"), FILE_OK);
  EXPECT_EQ(contents("T"), "NEW\n");  // written through at once, before any CLOSE
}

TEST_F(DiskFiles, FixedRecordsByNumberAndTheHeaderThatCountsThem) {
  Opened o = open("F", MODE_UPDATE | INT_FIX | REL, 20);
  ASSERT_EQ(o.error, FILE_OK);
  o.record = 3;
  EXPECT_EQ(write(o, "DDD"), FILE_OK);
  EXPECT_EQ(o.record, 4);
  o.record = 0;
  EXPECT_EQ(write(o, "AAA"), FILE_OK);
  TifilesHeader h = header_of("F");
  EXPECT_EQ(h.flags, TIFILES_INTERNAL);
  EXPECT_EQ(h.records_per_sector, 12);
  EXPECT_EQ(h.fixed_records, 4);
  EXPECT_EQ(h.sectors, 1);
  EXPECT_EQ(h.eof_offset, 80);
  EXPECT_EQ(contents("F").size(), TIFILES_HEADER_SIZE + SECTOR_SIZE);
  EXPECT_EQ(contents("F").substr(TIFILES_HEADER_SIZE + 60, 4), std::string("DDD\0", 4));
  o.record = 1;
  EXPECT_EQ(read(o), std::string(20, '\0'));
  o.record = 3;
  EXPECT_EQ(read(o), "DDD" + std::string(17, '\0'));
  EXPECT_EQ(read(o), "error 5");
  o.record = 299;  // past 255: the record count is stored low byte first
  EXPECT_EQ(write(o, "Z"), FILE_OK);
  std::string bytes = contents("F");
  EXPECT_EQ(bytes.substr(8, 8), std::string("\x00\x19\x02\x0C\x00\x14\x2C\x01", 8));
  EXPECT_EQ(bytes.size(), TIFILES_HEADER_SIZE + 25 * SECTOR_SIZE);
  file_close(o.handle);
  o = open("F", MODE_APPEND | INT_FIX | REL);
  o.record = 0;  // TI BASIC starts every open file at record 0: APPEND writes at the end anyway
  EXPECT_EQ(write(o, "LAST"), FILE_OK);
  EXPECT_EQ(header_of("F").fixed_records, 301);
  EXPECT_EQ(contents("F").substr(TIFILES_HEADER_SIZE, 3), std::string("AAA"));
}

TEST_F(DiskFiles, VariableRecordsFillSectorsAndEndWithAMark) {
  std::vector<std::string> records;
  for (char c = 'A'; c < 'K'; ++c) records.push_back(std::string(100, c));
  records.push_back("");
  std::string bytes = written("V", INT_VAR, 100, records);
  TifilesHeader h = header_of("V");
  EXPECT_EQ(h.flags, TIFILES_INTERNAL | TIFILES_VARIABLE);
  EXPECT_EQ(h.records_per_sector, 2);
  EXPECT_EQ(h.sectors, 5);  // two records of 101 bytes a sector, the empty one fits the last
  EXPECT_EQ(h.eof_offset, 203);
  EXPECT_EQ(bytes.size(), TIFILES_HEADER_SIZE + 5 * SECTOR_SIZE);
  EXPECT_EQ(std::uint8_t(bytes[TIFILES_HEADER_SIZE + 202]), 0xFF);
  Opened o = open("V", MODE_UPDATE | INT_VAR);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(read(o), records[i]);
  // At the end mark of the first sector: not the end of the file, and looking does not move.
  EXPECT_EQ(file_status(o.handle, o.record), STATUS_INTERNAL | STATUS_VARIABLE);
  EXPECT_EQ(read(o), records[2]);
  EXPECT_EQ(write(o, "NEW"), FILE_OK);  // the new last record
  file_close(o.handle);
  o = open("V", MODE_APPEND | INT_VAR);
  EXPECT_EQ(write(o, "END"), FILE_OK);
  file_close(o.handle);
  o = open("V", MODE_INPUT | INT_VAR);
  for (const std::string& want : {records[0], records[1], records[2], std::string("NEW"),
                                  std::string("END"), std::string("error 5")})
    EXPECT_EQ(read(o), want);
}

TEST_F(DiskFiles, AnExistingFileMustMatchTheAttributes) {
  written("DF", DIS_FIX, 80, {"X"});
  written("IV", INT_VAR, 40, {"X"});
  put("TXT", "X\n");
  std::uint8_t program[3] = {1, 2, 3};
  ASSERT_EQ(program_save(drive_file(1, "P"), program, 3), FILE_OK);
  const struct {
    const char* name;
    std::uint8_t attributes;
    unsigned length;
    int error;
  } cases[] = {{"DF", DIS_FIX, 0, FILE_OK},
               {"DF", DIS_FIX, 80, FILE_OK},
               {"DF", DIS_FIX, 40, BAD_ATTRIBUTE},
               {"DF", INT_FIX, 0, BAD_ATTRIBUTE},
               {"DF", DIS_VAR, 0, BAD_ATTRIBUTE},
               {"IV", INT_VAR, 0, FILE_OK},
               {"IV", INT_FIX, 40, BAD_ATTRIBUTE},
               {"TXT", DIS_VAR, 0, FILE_OK},
               {"TXT", DIS_FIX, 0, BAD_ATTRIBUTE},
               {"TXT", INT_VAR, 0, BAD_ATTRIBUTE},
               {"P", DIS_VAR, 0, FILE_ERROR},
               {"NONE", DIS_VAR, 0, FILE_ERROR},
               {"NEW", DIS_VAR, 255, BAD_ATTRIBUTE},
               {"NEW", DIS_FIX | REL | ATTR_VARIABLE, 0, BAD_ATTRIBUTE}};
  for (const auto& c : cases) {
    Opened o = open(c.name, MODE_INPUT | c.attributes, c.length);
    EXPECT_EQ(o.error, c.error) << c.name << " " << int(c.attributes) << " " << c.length;
    if (o.error == FILE_OK) {
      EXPECT_EQ(o.record_length, c.name[0] == 'D' ? 80u : c.name[0] == 'I' ? 40u : 80u);
      file_close(o.handle);
    }
  }
  EXPECT_EQ(open("MAX", MODE_OUTPUT | DIS_FIX, 255).error, FILE_OK);
}

TEST_F(DiskFiles, ProtectedFilesAreOnlyRead) {
  written("F", DIS_FIX, 80, {"KEEP"});
  std::string bytes = contents("F");
  bytes[10] = char(bytes[10] | TIFILES_PROTECTED);
  put("F", bytes);
  EXPECT_EQ(open("F", MODE_OUTPUT | DIS_FIX).error, WRITE_PROTECTED);
  EXPECT_EQ(open("F", MODE_UPDATE | DIS_FIX).error, WRITE_PROTECTED);
  EXPECT_EQ(file_delete(drive_file(1, "F")), WRITE_PROTECTED);
  Opened o = open("F", MODE_INPUT | DIS_FIX);
  EXPECT_EQ(read(o), "KEEP" + std::string(76, '\0'));
  EXPECT_EQ(file_status(o.handle, o.record), STATUS_PROTECTED | STATUS_END_OF_FILE);
  EXPECT_EQ(contents("F"), bytes);
}

// Only plain files in the folder itself: no links, folders, devices or pipes.
TEST_F(DiskFiles, OnlyPlainFilesOfTheFolder) {
  put("TARGET", "SECRET\n");
  ASSERT_EQ(symlink((dir + "/TARGET").c_str(), path("LINK").c_str()), 0);
  ASSERT_EQ(mkfifo(path("PIPE").c_str(), 0600), 0);
  ASSERT_EQ(mkdir(path("SUB").c_str(), 0700), 0);
  for (const char* name : {"LINK", "PIPE", "SUB"}) {
    for (std::uint8_t mode : {MODE_INPUT, MODE_OUTPUT, MODE_UPDATE})
      EXPECT_EQ(open(name, mode | DIS_VAR).error, FILE_ERROR) << name << " " << int(mode);
    EXPECT_EQ(file_delete(drive_file(1, name)), FILE_ERROR) << name;
    EXPECT_EQ(closed_file_status(drive_file(1, name)), STATUS_NO_FILE) << name;
  }
  EXPECT_EQ(contents("TARGET"), "SECRET\n");
  EXPECT_EQ(file_delete(drive_file(1, "TARGET")), FILE_OK);
  EXPECT_EQ(file_delete(drive_file(1, "TARGET")), FILE_ERROR);
  if (geteuid() != 0) {  // the superuser writes anyway
    put("RO", "X\n");
    chmod(path("RO").c_str(), 0444);
    EXPECT_EQ(open("RO", MODE_APPEND | DIS_VAR).error, WRITE_PROTECTED);
  }
}

TEST_F(DiskFiles, AFileIsOpenOnceAndSixteenFilesAtMost) {
  Opened first = open("A", MODE_OUTPUT | DIS_VAR);
  ASSERT_EQ(first.error, FILE_OK);
  EXPECT_EQ(open("A", MODE_INPUT | DIS_VAR).error, FILE_ERROR);
  ASSERT_TRUE(set_drive_folder(2, dir.c_str()));  // the same file through another drive
  Opened o{};
  EXPECT_EQ(
      file_open(drive_file(2, "A"), MODE_INPUT | DIS_VAR, o.record_length, o.handle),
      FILE_ERROR);
  for (unsigned i = 1; i < MAX_OPEN_FILES; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "F%u", i);
    EXPECT_EQ(open(name, MODE_OUTPUT | DIS_VAR).error, FILE_OK);
  }
  EXPECT_EQ(open("ONE_TOO_MANY", MODE_OUTPUT | DIS_VAR).error, OUT_OF_SPACE);
  EXPECT_EQ(file_delete(drive_file(1, "A")), FILE_OK);  // closes it first
  EXPECT_EQ(find_open_file(drive_file(1, "A")), -1);
  EXPECT_EQ(open("ONE_MORE", MODE_OUTPUT | DIS_VAR).error, FILE_OK);
}

TEST_F(DiskFiles, ProgramImagesKeepTheirLength) {
  std::uint8_t image[600], back[600];
  for (unsigned i = 0; i < sizeof image; ++i) image[i] = std::uint8_t(i * 7);
  const struct {
    std::uint32_t size;
    std::size_t file_size;
    int eof_offset;
  } cases[] = {{1, 384, 1}, {256, 384, 0}, {257, 640, 1}, {600, 896, 88}};
  for (const auto& c : cases) {
    ASSERT_EQ(program_save(drive_file(1, "P"), image, c.size), FILE_OK);
    EXPECT_EQ(contents("P").size(), c.file_size);
    EXPECT_EQ(std::uint8_t(contents("P")[12]), c.eof_offset);
    std::uint32_t size = 0;
    EXPECT_EQ(program_load(drive_file(1, "P"), back, c.size, size), FILE_OK);
    EXPECT_EQ(size, c.size);
    EXPECT_EQ(std::string(back, back + size), std::string(image, image + c.size));
    EXPECT_EQ(program_load(drive_file(1, "P"), back, c.size - 1, size), OUT_OF_SPACE);
  }
  EXPECT_EQ(closed_file_status(drive_file(1, "P")), STATUS_PROGRAM);
  written("D", INT_FIX, 10, {"X"});
  std::uint32_t size;
  EXPECT_EQ(program_load(drive_file(1, "D"), back, 600, size), FILE_ERROR);
  put("TXT", "10 PRINT 1\n");
  EXPECT_EQ(program_load(drive_file(1, "TXT"), back, 600, size), FILE_ERROR);
  EXPECT_EQ(program_load(drive_file(1, "NONE"), back, 600, size), FILE_ERROR);
}

// The catalog's numbers, as INTERNAL records carry them: radix 100, the first
// word negated for a negative number.
TEST(CatalogNumbers, RadixHundredWithTheExponentFirst) {
  const struct {
    long value;
    std::string bytes;
  } cases[] = {{0, std::string(8, '\0')},
               {7, std::string("\x40\x07\0\0\0\0\0\0", 8)},
               {100, std::string("\x41\x01\0\0\0\0\0\0", 8)},
               {358, std::string("\x41\x03\x3A\0\0\0\0\0", 8)},
               {-5, std::string("\xBF\xFB\0\0\0\0\0\0", 8)},
               {65535, std::string("\x42\x06\x37\x23\0\0\0\0", 8)}};
  for (const auto& c : cases) {
    std::uint8_t out[8];
    put_ti_number(out, c.value);
    EXPECT_EQ(std::string(out, out + 8), c.bytes) << c.value;
  }
}

TEST(FileNames, OnlyNamesAHostFolderHoldsAsTheyAre) {
  std::string longest(255, 'N');
  for (std::string name : {"A", "DATA_1", "~X", "a-b+c", longest.c_str()})
    EXPECT_TRUE(is_host_file_name(reinterpret_cast<const std::uint8_t*>(name.data()),
                                  unsigned(name.size())))
        << name;
  for (std::string name :
       {std::string(), std::string("A.B"), std::string(".."), std::string("A/B"), std::string("/"),
        std::string("A B"), std::string("\x7F"), std::string("\xC3\xA9"), std::string("A\0B", 3),
        std::string("\t"), longest + "N"})
    EXPECT_FALSE(is_host_file_name(reinterpret_cast<const std::uint8_t*>(name.data()),
                                   unsigned(name.size())))
        << name;
}

}  // namespace
