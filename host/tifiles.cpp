#include "host/tifiles.h"

#include <cstring>

namespace {

constexpr std::uint8_t MARK[8] = {0x07, 'T', 'I', 'F', 'I', 'L', 'E', 'S'};
constexpr unsigned NAME_FIELD = 0x10;

bool fixed_records_fit(const TifilesHeader& h) {
  return h.records_per_sector != 0 && h.records_per_sector * h.record_length <= SECTOR_SIZE &&
         h.fixed_records <= unsigned(h.sectors) * h.records_per_sector;
}

}  // namespace

bool has_tifiles_mark(const std::uint8_t* bytes, unsigned count) {
  return count >= sizeof MARK && std::memcmp(bytes, MARK, sizeof MARK) == 0;
}

bool decode_tifiles_header(const std::uint8_t (&raw)[TIFILES_HEADER_SIZE], std::uint64_t file_size,
                           TifilesHeader& header) {
  if (!has_tifiles_mark(raw, TIFILES_HEADER_SIZE)) return false;
  header.sectors = std::uint16_t(raw[8] << 8 | raw[9]);
  header.flags = raw[10];
  header.records_per_sector = raw[11];
  header.eof_offset = raw[12];
  header.record_length = raw[13];
  header.fixed_records = std::uint16_t(raw[15] << 8 | raw[14]);
  if (header.flags & TIFILES_PROGRAM)
    return program_size(header) != 0 && TIFILES_HEADER_SIZE + program_size(header) <= file_size;
  if (TIFILES_HEADER_SIZE + std::uint64_t(header.sectors) * SECTOR_SIZE > file_size) return false;
  if (header.record_length == 0) return false;
  if (header.flags & TIFILES_VARIABLE) return header.record_length < SECTOR_SIZE - 1;
  return fixed_records_fit(header);
}

void encode_tifiles_header(const TifilesHeader& header, const char* name,
                           std::uint8_t (&raw)[TIFILES_HEADER_SIZE]) {
  std::memset(raw, 0, sizeof raw);
  std::memcpy(raw, MARK, sizeof MARK);
  raw[8] = std::uint8_t(header.sectors >> 8);
  raw[9] = std::uint8_t(header.sectors);
  raw[10] = header.flags;
  raw[11] = header.records_per_sector;
  raw[12] = header.eof_offset;
  raw[13] = header.record_length;
  raw[14] = std::uint8_t(header.fixed_records);
  raw[15] = std::uint8_t(header.fixed_records >> 8);
  std::memset(raw + NAME_FIELD, ' ', TI_NAME_LENGTH);
  for (unsigned i = 0; i < TI_NAME_LENGTH && name[i]; ++i)
    raw[NAME_FIELD + i] = std::uint8_t(name[i]);
}

unsigned records_per_sector(unsigned record_length, bool variable) {
  if (record_length == 0) return 0;
  return variable ? (SECTOR_SIZE - 1) / (record_length + 1) : SECTOR_SIZE / record_length;
}

std::uint32_t program_size(const TifilesHeader& header) {
  if (header.sectors == 0) return 0;
  return std::uint32_t(header.sectors - 1) * SECTOR_SIZE +
         (header.eof_offset ? header.eof_offset : SECTOR_SIZE);
}

TifilesHeader program_header(std::uint32_t size) {
  TifilesHeader header;
  header.flags = TIFILES_PROGRAM;
  header.sectors = std::uint16_t((size + SECTOR_SIZE - 1) / SECTOR_SIZE);
  header.eof_offset = std::uint8_t(size % SECTOR_SIZE);
  return header;
}
