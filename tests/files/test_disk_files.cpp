// TI files on host files, through the calls the disk card's routine makes:
// where records land in the sectors of a TIFILES file, the error code of each
// kind of failure, and the names a program may use. What programs do with
// files end to end is in the cases tests/e2e/cases/file_*.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/disk_files.h"
#include "host/tifiles.h"

namespace {

constexpr std::uint8_t DIS_VAR = ATTR_VARIABLE, DIS_FIX = 0,
                       INT_VAR = ATTR_INTERNAL | ATTR_VARIABLE, INT_FIX = ATTR_INTERNAL,
                       REL = ATTR_RELATIVE;

std::string folder;  // drive 1's folder in the running test

std::string contents(const char* name) {
  std::stringstream text;
  text << std::ifstream(folder + "/" + name, std::ios::binary).rdbuf();
  return text.str();
}
void put(const char* name, const std::string& bytes) {
  std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
}
int open_error(const char* name, std::uint8_t attributes, unsigned record_length = 0,
               int drive = 1) {
  int handle;
  return file_open(drive_file(drive, name), attributes, record_length, handle);
}
int opened(const char* name, std::uint8_t attributes, unsigned record_length = 0) {
  int handle = -1;
  EXPECT_EQ(file_open(drive_file(1, name), attributes, record_length, handle), FILE_OK) << name;
  return handle;
}
int write(int handle, const std::string& record, std::uint16_t number = 0) {
  return file_write(handle, number, reinterpret_cast<const std::uint8_t*>(record.data()),
                    unsigned(record.size()));
}
// Record number (FIXED) or the next record (VARIABLE), or "error N".
std::string read(int handle, std::uint16_t number = 0) {
  std::uint8_t data[256];
  unsigned length = 0;
  int error = file_read(handle, number, data, length);
  return error ? "error " + std::to_string(error) : std::string(data, data + length);
}
int read_error(int handle) {
  std::uint8_t data[256];
  unsigned length;
  std::uint16_t number = 0;
  return file_read(handle, number, data, length);
}
int load(const char* name, std::uint32_t capacity = 16384) {
  static std::uint8_t image[16384];
  std::uint32_t size = 0;
  int error = program_load(drive_file(1, name), image, capacity, size);
  EXPECT_TRUE(error || size <= capacity);
  return error;
}
void close_all() {
  for (unsigned h = 0; h < MAX_OPEN_FILES; ++h) file_close(int(h));
}

struct DiskFiles : testing::Test {
  void SetUp() override {
    char name[] = "/tmp/ti99files.XXXXXX";
    folder = mkdtemp(name);
    ASSERT_TRUE(set_drive_folder(1, folder.c_str()));
  }
  void TearDown() override {
    close_all();
    std::filesystem::remove_all(folder);
  }
};

// Sectors, records a sector, end offset, records: the header's counts.
std::string counts(const char* name) {
  std::string bytes = contents(name);
  std::uint8_t raw[TIFILES_HEADER_SIZE] = {};
  bytes.copy(reinterpret_cast<char*>(raw), sizeof raw);
  TifilesHeader h;
  if (!decode_tifiles_header(raw, bytes.size(), h)) return "no header";
  std::ostringstream text;
  text << h.sectors << '/' << +h.records_per_sector << '/' << +h.eof_offset << '/'
       << h.fixed_records;
  return text.str();
}

// FIXED records go where their number puts them; VARIABLE records follow one
// another, each with its length byte, and a record that leaves no room for
// the end mark after it starts a new sector.
TEST_F(DiskFiles, RecordsFillSectorsToTheLastByte) {
  const struct {
    std::uint8_t attributes;
    unsigned record_length;
    std::vector<unsigned> records;  // lengths, written in order
    const char* counts;
    std::vector<unsigned> starts;  // of each record, from the first sector
    std::vector<unsigned> marks;   // VARIABLE: the end marks
  } cases[] = {{INT_FIX, 128, {128, 128}, "1/2/0/2", {0, 128}, {}},
               {INT_FIX, 128, {1, 1, 1}, "2/2/128/3", {0, 128, 256}, {}},
               {DIS_FIX, 255, {255, 3}, "2/1/0/2", {0, 256}, {}},
               {INT_VAR, 254, {254, 0}, "2/1/1/2", {0, 256}, {255, 257}},
               {INT_VAR, 100, {100, 100, 52, 1}, "2/2/2/2", {0, 101, 202, 256}, {255, 258}},
               {INT_VAR, 100, {100, 100, 53}, "2/2/54/2", {0, 101, 256}, {202, 310}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.counts);
    bool variable = c.attributes & ATTR_VARIABLE;
    int handle = opened("F", MODE_OUTPUT | c.attributes, c.record_length);
    for (unsigned i = 0; i < c.records.size(); ++i)
      EXPECT_EQ(write(handle, std::string(c.records[i], char('A' + i)), std::uint16_t(i)), FILE_OK);
    file_close(handle);
    EXPECT_EQ(counts("F"), c.counts);
    std::string data = contents("F").substr(TIFILES_HEADER_SIZE);
    EXPECT_EQ(data.size(), SECTOR_SIZE * unsigned(c.counts[0] - '0'));
    for (unsigned i = 0; i < c.records.size(); ++i) {
      std::string record(c.records[i], char('A' + i));
      if (variable) record.insert(0, 1, char(record.size()));
      EXPECT_EQ(data.substr(c.starts[i], record.size()), record) << i;
    }
    for (unsigned at : c.marks) EXPECT_EQ(std::uint8_t(data[at]), 0xFF) << at;
    handle = opened("F", MODE_INPUT | c.attributes);
    for (unsigned i = 0; i < c.records.size(); ++i)
      EXPECT_EQ(read(handle, std::uint16_t(i)).substr(0, c.records[i]),
                std::string(c.records[i], char('A' + i)));
    EXPECT_EQ(read(handle, std::uint16_t(c.records.size())), "error 5");
    file_close(handle);
  }
}

// Each kind of failure answers its own code: the console shows it to the
// program as the second digit of * I/O ERROR.
TEST_F(DiskFiles, EachFailureHasItsCode) {
  int handle = opened("DF", MODE_OUTPUT | DIS_FIX, 80);
  write(handle, "X");
  close_all();
  handle = opened("V", MODE_OUTPUT | INT_VAR, 254);
  write(handle, std::string(10, 'R'));
  write(handle, "END");
  close_all();
  std::string past = contents("V");
  past[TIFILES_HEADER_SIZE + 11] = char(250);  // the second record's length: past its sector
  put("V", past);
  put("TXT", "X\n");
  std::uint8_t program[3] = {1, 2, 3};
  ASSERT_EQ(program_save(drive_file(1, "P"), program, 3), FILE_OK);
  ASSERT_EQ(symlink("TXT", (folder + "/LINK").c_str()), 0);
  ASSERT_EQ(mkfifo((folder + "/PIPE").c_str(), 0600), 0);
  ASSERT_TRUE(set_drive_folder(2, folder.c_str()));  // the same files through drive 2
  ASSERT_TRUE(set_drive_folder(3, "/sys"));          // where not even the superuser makes a file
  const struct {
    const char* what;
    std::function<int()> attempt;
    int error;
  } cases[] = {
      {"a folder the host keeps", [] { return open_error("NEW", MODE_OUTPUT | DIS_VAR, 0, 3); },
       WRITE_PROTECTED},
      {"another record length", [] { return open_error("DF", MODE_INPUT | DIS_FIX, 40); },
       BAD_ATTRIBUTE},
      {"INTERNAL for DISPLAY", [] { return open_error("DF", MODE_INPUT | INT_FIX); },
       BAD_ATTRIBUTE},
      {"VARIABLE for FIXED", [] { return open_error("DF", MODE_INPUT | DIS_VAR); }, BAD_ATTRIBUTE},
      {"VARIABLE 255", [] { return open_error("NEW", MODE_OUTPUT | DIS_VAR, 255); }, BAD_ATTRIBUTE},
      {"RELATIVE VARIABLE", [] { return open_error("NEW", MODE_OUTPUT | INT_VAR | REL); },
       BAD_ATTRIBUTE},
      {"a record longer than its file's",
       [] { return write(opened("NEW", MODE_OUTPUT | INT_FIX, 10), std::string(11, 'L')); },
       BAD_ATTRIBUTE},
      {"reading in APPEND mode", [] { return read_error(opened("TXT", MODE_APPEND | DIS_VAR)); },
       ILLEGAL_OPERATION},
      {"reading in OUTPUT mode", [] { return read_error(opened("NEW", MODE_OUTPUT | INT_VAR)); },
       ILLEGAL_OPERATION},
      {"RESTORE in APPEND mode", [] { return file_rewind(opened("TXT", MODE_APPEND | DIS_VAR)); },
       ILLEGAL_OPERATION},
      {"writing in INPUT mode", [] { return write(opened("TXT", MODE_INPUT | DIS_VAR), "X"); },
       ILLEGAL_OPERATION},
      {"a program bigger than memory", [] { return load("P", 2); }, OUT_OF_SPACE},
      {"record 65535",
       [] { return write(opened("FAR", MODE_UPDATE | INT_FIX | REL, 1), "X", 0xFFFF); },
       OUT_OF_SPACE},
      {"a record past its sector",
       [] {
         int h = opened("V", MODE_INPUT | INT_VAR);
         read_error(h);
         return read_error(h);
       },
       DEVICE_ERROR},
      {"no such file", [] { return open_error("NONE", MODE_INPUT | DIS_VAR); }, FILE_ERROR},
      {"open already, through another drive",
       [] {
         opened("TXT", MODE_INPUT | DIS_VAR);
         return open_error("TXT", MODE_INPUT | DIS_VAR, 0, 2);
       },
       FILE_ERROR},
      {"data as a program", [] { return load("DF"); }, FILE_ERROR},
      {"a link", [] { return open_error("LINK", MODE_INPUT | DIS_VAR); }, FILE_ERROR},
      {"a pipe, at once", [] { return open_error("PIPE", MODE_INPUT | DIS_VAR); }, FILE_ERROR},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.attempt(), c.error) << c.what;
    close_all();
  }
}

// Every way of opening a file for reading, and OLD, on files whose header and
// first sector are mutated at random: the answers are error codes or records
// no longer than the record length, and the sanitizers see no access outside
// the buffers. Deterministic: a fixed seed.
TEST_F(DiskFiles, TwelveThousandMutatedFilesAreReadSafely) {
  std::vector<std::string> originals;  // files of each kind, as the writer makes them
  for (auto [attributes, length] :
       {std::pair{DIS_FIX, 80}, {INT_FIX, 20}, {INT_VAR, 100}, {INT_VAR, 10}}) {
    int handle = opened("M", MODE_OUTPUT | attributes, unsigned(length));
    for (int i = 0; i < 30; ++i)
      write(handle, std::string(i % 7 * 13 % length, 'R'), std::uint16_t(i));
    file_close(handle);
    originals.push_back(contents("M"));
  }
  std::uint8_t program[700] = {};
  ASSERT_EQ(program_save(drive_file(1, "M"), program, sizeof program), FILE_OK);
  originals.push_back(contents("M"));
  std::mt19937 random(99);
  unsigned files = 0, records = 0, programs = 0;
  for (int n = 0; n < 12000; ++n) {
    std::string bytes = originals[random() % originals.size()];
    for (unsigned changes = 1 + random() % 4; changes > 0; --changes) {
      unsigned at =
          random() % 4 ? 8 + random() % 8 : random() % (TIFILES_HEADER_SIZE + SECTOR_SIZE);
      if (at < bytes.size())
        bytes[at] = char(random() % 3 ? random() : bytes[at] ^ (1 << random() % 8));
    }
    if (random() % 5 == 0) bytes.resize(random() % bytes.size());
    put("M", bytes);
    for (std::uint8_t way : {DIS_FIX, INT_FIX, DIS_VAR, INT_VAR}) {
      unsigned length = random() % 3 ? 0 : random() % 256;
      int handle, error = file_open(drive_file(1, "M"), MODE_INPUT | way, length, handle);
      ASSERT_LE(error, FILE_ERROR);
      if (error) continue;
      ++files;
      std::uint16_t record = 0;
      for (int r = 0; r < 300 && error == FILE_OK; ++r) {
        if (random() % 50 == 0) record = std::uint16_t(random());
        std::uint8_t data[256];
        unsigned got = 0;
        error = file_read(handle, record, data, got);
        ASSERT_LE(error, FILE_ERROR);
        ASSERT_TRUE(error || got <= length);
        records += error == FILE_OK;
      }
      file_status(handle, record);
      file_close(handle);
    }
    programs += load("M", random() % 2 ? 16384 : random() % 1000) == FILE_OK;
  }
  std::printf("12000 mutated files: %u opened for reading, %u records read, %u programs loaded\n",
              files, records, programs);
  EXPECT_GT(files, 1000u);  // many stay readable, so that the reads are exercised
  EXPECT_GT(programs, 100u);
}

TEST(FileNames, OnlyNamesAHostFolderHoldsAsTheyAre) {
  const std::string longest(255, 'N');
  const struct {
    std::string name;
    bool allowed;
  } cases[] = {{"A", true},     {"DATA_1", true},       {"a-b+c~", true},
               {longest, true}, {longest + "N", false}, {"", false},
               {"A.B", false},  {"..", false},          {"A/B", false},
               {"/", false},    {"A B", false},         {"\t", false},
               {"\x7F", false}, {"\xC3\xA9", false},    {std::string("A\0B", 3), false}};
  for (const auto& c : cases)
    EXPECT_EQ(is_host_file_name(reinterpret_cast<const std::uint8_t*>(c.name.data()),
                                unsigned(c.name.size())),
              c.allowed)
        << c.name;
}

}  // namespace
