#include "host/disk_catalog.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "host/disk_files.h"
#include "host/tifiles.h"

namespace {

constexpr long MAX_SECTORS_SHOWN = 65535;

struct Catalog {
  bool open;
  unsigned records;
  std::uint8_t record[CATALOG_MAX_FILES + 2][CATALOG_RECORD_LENGTH];
};
Catalog catalogs[3];

// The first CATALOG_MAX_FILES names of a folder in order: those a TI disk
// could hold (10 characters at most).
char names[CATALOG_MAX_FILES][256];
unsigned name_count;

void keep_in_order(const char* name) {
  unsigned at = name_count;
  while (at > 0 && std::strcmp(names[at - 1], name) > 0) --at;
  if (at == CATALOG_MAX_FILES) return;
  unsigned last = name_count < CATALOG_MAX_FILES ? name_count : CATALOG_MAX_FILES - 1;
  std::memmove(names[at + 1], names[at], (last - at) * sizeof names[0]);
  std::strcpy(names[at], name);
  if (name_count < CATALOG_MAX_FILES) ++name_count;
}

void collect_names(int folder) {
  name_count = 0;
  int fd = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* entries = fd >= 0 ? fdopendir(fd) : nullptr;
  if (!entries) {
    if (fd >= 0) close(fd);
    return;
  }
  while (const dirent* entry = readdir(entries)) {
    const char* name = entry->d_name;
    unsigned length = unsigned(std::strlen(name));
    if (length <= TI_NAME_LENGTH &&
        is_host_file_name(reinterpret_cast<const std::uint8_t*>(name), length))
      keep_in_order(name);
  }
  closedir(entries);
}

// A record of a string and three numbers, as INTERNAL records hold them.
void put_record(std::uint8_t* record, const char* name, long a, long b, long c) {
  std::memset(record, 0, CATALOG_RECORD_LENGTH);
  unsigned length = unsigned(std::strlen(name));
  if (length > TI_NAME_LENGTH) length = TI_NAME_LENGTH;
  record[0] = std::uint8_t(length);
  std::memcpy(record + 1, name, length);
  std::uint8_t* at = record + 1 + length;
  for (long value : {a, b, c}) {
    *at = 8;
    put_ti_number(at + 1, value);
    at += 9;
  }
}

// The host's free space in sectors, as much as a disk can count besides the
// files' sectors.
long free_sectors(int folder, long used) {
  struct statvfs space {};
  int fd = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fstatvfs(fd, &space);
    close(fd);
  }
  unsigned long long sectors = std::uint64_t(space.f_bavail) * space.f_frsize / SECTOR_SIZE;
  long room = used < MAX_SECTORS_SHOWN ? MAX_SECTORS_SHOWN - used : 0;
  return sectors > std::uint64_t(room) ? room : long(sectors);
}

// The volume's name: the last part of the folder's path.
void volume_name(int folder, char* name, std::size_t size) {
  char path[PATH_MAX] = ".";
  char link[64];
  if (folder == AT_FDCWD) {
    if (!getcwd(path, sizeof path)) std::strcpy(path, ".");
  } else {
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", folder);
    ssize_t got = readlink(link, path, sizeof path - 1);
    path[got > 0 ? got : 0] = '\0';
  }
  const char* slash = std::strrchr(path, '/');
  std::snprintf(name, size, "%s", slash && slash[1] ? slash + 1 : "HOST");
}

}  // namespace

void put_ti_number(std::uint8_t* out, long value) {
  std::memset(out, 0, 8);
  if (value == 0) return;
  unsigned long magnitude = value < 0 ? 0UL - static_cast<unsigned long>(value) : value;
  std::uint8_t digits[8];
  int count = 0;
  for (; magnitude && count < 7; magnitude /= 100) digits[count++] = std::uint8_t(magnitude % 100);
  out[0] = std::uint8_t(0x40 + count - 1);
  for (int i = 0; i < count; ++i) out[1 + i] = digits[count - 1 - i];
  if (value < 0) {
    unsigned word = (0x10000u - (out[0] << 8 | out[1])) & 0xFFFF;
    out[0] = std::uint8_t(word >> 8);
    out[1] = std::uint8_t(word);
  }
}

int catalog_open(int drive) {
  Catalog& catalog = catalogs[drive - 1];
  if (catalog.open) return FILE_ERROR;
  int folder = drive_folder(drive);
  char volume[TI_NAME_LENGTH + 1];
  volume_name(folder, volume, sizeof volume);
  collect_names(folder);
  catalog.records = 1;
  long used = 0;
  for (unsigned i = 0; i < name_count; ++i) {
    FileDescription d;
    if (!describe_file(drive_file(drive, names[i]), d)) continue;
    put_record(catalog.record[catalog.records++], names[i], d.is_protected ? -d.type : d.type,
               d.sectors, d.record_length);
    used += d.sectors;
  }
  put_record(catalog.record[catalog.records++], "", 0, 0, 0);
  long free = free_sectors(folder, used);
  put_record(catalog.record[0], volume, 0, used + free, free);
  catalog.open = true;
  return FILE_OK;
}

bool catalog_is_open(int drive) { return catalogs[drive - 1].open; }

void catalog_close(int drive) { catalogs[drive - 1].open = false; }

int catalog_read(int drive, std::uint16_t& record, std::uint8_t* data) {
  const Catalog& catalog = catalogs[drive - 1];
  if (record >= catalog.records) return PAST_END;
  std::memcpy(data, catalog.record[record], CATALOG_RECORD_LENGTH);
  ++record;
  return FILE_OK;
}

bool catalog_at_end(int drive, std::uint16_t record) {
  return record >= catalogs[drive - 1].records;
}
