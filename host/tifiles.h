// The TIFILES format of TI files kept on a host: a 128-byte header that
// carries the disk's file descriptor, then the file's 256-byte sectors as the
// disk holds them.
#pragma once

#include <cstdint>

constexpr unsigned TIFILES_HEADER_SIZE = 128;
constexpr unsigned SECTOR_SIZE = 256;
constexpr unsigned MAX_SECTORS = 0xFFFF;
constexpr unsigned TI_NAME_LENGTH = 10;  // the characters of a file name a TI disk keeps

// Flag bits of the file type byte.
constexpr std::uint8_t TIFILES_PROGRAM = 0x01;
constexpr std::uint8_t TIFILES_INTERNAL = 0x02;
constexpr std::uint8_t TIFILES_PROTECTED = 0x08;
constexpr std::uint8_t TIFILES_VARIABLE = 0x80;

struct TifilesHeader {
  std::uint16_t sectors = 0;            // sectors that follow the header
  std::uint8_t flags = 0;               // TIFILES_ bits
  std::uint8_t records_per_sector = 0;  // 0 for programs
  std::uint8_t eof_offset = 0;          // first unused byte of the last sector; 0: all used
  std::uint8_t record_length = 0;       // 0 for programs
  std::uint16_t fixed_records = 0;      // FIXED files: records in the file (stored little-endian)
};

// Whether the first bytes of a file (count of them) are the TIFILES mark.
bool has_tifiles_mark(const std::uint8_t* bytes, unsigned count);

// Reads the header of a file of file_size bytes. False when the header is not
// one the file can hold: no mark, sectors beyond the file, a data file with
// a record length of 0 or records that do not fit their sectors, a program of
// no bytes.
bool decode_tifiles_header(const std::uint8_t (&raw)[TIFILES_HEADER_SIZE], std::uint64_t file_size,
                           TifilesHeader& header);

// The header bytes for header, with the TI file name (cut to 10 characters).
void encode_tifiles_header(const TifilesHeader& header, const char* name,
                           std::uint8_t (&raw)[TIFILES_HEADER_SIZE]);

// Records of record_length that one sector holds in a FIXED or VARIABLE file.
unsigned records_per_sector(unsigned record_length, bool variable);

// The bytes of a program file's image.
std::uint32_t program_size(const TifilesHeader& header);

// The header of a program image of size bytes (at most MAX_SECTORS sectors).
TifilesHeader program_header(std::uint32_t size);
