#include "host/disk_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "host/tifiles.h"

namespace {

constexpr unsigned MAX_VARIABLE_LENGTH = SECTOR_SIZE - 2;  // length byte and end mark
constexpr unsigned MAX_FIXED_LENGTH = 255;
constexpr std::uint8_t END_OF_SECTOR = 0xFF;

enum Kind { TEXT, FIXED, VARIABLE };

struct OpenFile {
  bool in_use;
  int fd;
  int folder;
  char name[PATH_MAX];  // as the program named it (a path for a cassette)
  dev_t device;
  ino_t inode;
  Kind kind;
  std::uint8_t attributes;
  unsigned record_length;
  TifilesHeader header;       // FIXED and VARIABLE
  std::uint64_t text_offset;  // TEXT: where the next line starts
  bool after_line_end;        // TEXT: text_offset is known to follow a line feed (or be 0)
  unsigned sector, offset;    // VARIABLE: where the next record starts
  int loaded_sector;          // VARIABLE: which sector sector_data holds, or -1
  std::uint8_t sector_data[SECTOR_SIZE];
};

OpenFile open_files[MAX_OPEN_FILES];
int drive_folders[3] = {AT_FDCWD, AT_FDCWD, AT_FDCWD};
const char* cassette_paths[2] = {"CS1", "CS2"};

int error_for_errno(int error) {
  switch (error) {
    case ENOENT:
    case ELOOP:
    case EISDIR:
    case ENOTDIR:
    case ENXIO:
    case ENAMETOOLONG: return FILE_ERROR;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY: return WRITE_PROTECTED;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return OUT_OF_SPACE;
    default: return DEVICE_ERROR;
  }
}

// Opens a plain file; anything else (a folder, a device, a pipe, a link of a
// confined name) is a file error. Never waits: a pipe is refused at once.
int open_plain(HostFile file, int flags, int& fd, struct stat& info) {
  flags |= O_CLOEXEC | O_NONBLOCK | (file.confined ? O_NOFOLLOW : 0);
  fd = openat(file.folder, file.name, flags, 0666);
  if (fd < 0) return error_for_errno(errno);
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return FILE_ERROR;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return FILE_OK;
}

bool read_exactly(int fd, void* data, std::size_t size, std::uint64_t at) {
  return pread(fd, data, size, off_t(at)) == ssize_t(size);
}

int write_exactly(int fd, const void* data, std::size_t size, std::uint64_t at) {
  ssize_t written = pwrite(fd, data, size, off_t(at));
  if (written == ssize_t(size)) return FILE_OK;
  return written < 0 ? error_for_errno(errno) : OUT_OF_SPACE;
}

int set_size(int fd, std::uint64_t size) {
  return ftruncate(fd, off_t(size)) == 0 ? FILE_OK : error_for_errno(errno);
}

std::uint64_t sector_position(unsigned sector) {
  return TIFILES_HEADER_SIZE + std::uint64_t(sector) * SECTOR_SIZE;
}

// The header of a TIFILES file of size bytes: 1 it is one, 0 the file has no
// TIFILES mark, -1 a malformed header.
int read_header(int fd, std::uint64_t size, TifilesHeader& header) {
  std::uint8_t raw[TIFILES_HEADER_SIZE] = {};
  if (size < 8 || !read_exactly(fd, raw, size < sizeof raw ? size : sizeof raw, 0)) return 0;
  if (!has_tifiles_mark(raw, sizeof raw)) return 0;
  return size >= sizeof raw && decode_tifiles_header(raw, size, header) ? 1 : -1;
}

// Whether the open file of size bytes is a TIFILES file marked protected.
bool has_protected_header(int fd, std::uint64_t size) {
  TifilesHeader header;
  return read_header(fd, size, header) > 0 && (header.flags & TIFILES_PROTECTED);
}

// The TI name kept in a TIFILES header: the host name without its folder.
const char* base_name(const char* name) {
  const char* slash = std::strrchr(name, '/');
  return slash ? slash + 1 : name;
}

int write_header(const OpenFile& f) {
  std::uint8_t raw[TIFILES_HEADER_SIZE];
  encode_tifiles_header(f.header, base_name(f.name), raw);
  return write_exactly(f.fd, raw, sizeof raw, 0);
}

Kind kind_of(const TifilesHeader& header) {
  return header.flags & TIFILES_VARIABLE ? VARIABLE : FIXED;
}

// The header of a new, empty data file with these attributes.
TifilesHeader new_header(std::uint8_t attributes, unsigned record_length) {
  TifilesHeader header;
  bool variable = attributes & ATTR_VARIABLE;
  header.flags = std::uint8_t((variable ? TIFILES_VARIABLE : 0) |
                              (attributes & ATTR_INTERNAL ? TIFILES_INTERNAL : 0));
  header.record_length = std::uint8_t(record_length);
  header.records_per_sector = std::uint8_t(records_per_sector(record_length, variable));
  return header;
}

// Whether an existing TIFILES data file is what the attributes ask for.
int check_attributes(const TifilesHeader& header, std::uint8_t attributes,
                     unsigned& record_length) {
  if (header.flags & TIFILES_PROGRAM) return FILE_ERROR;
  bool internal = header.flags & TIFILES_INTERNAL, variable = header.flags & TIFILES_VARIABLE;
  if (internal != bool(attributes & ATTR_INTERNAL) || variable != bool(attributes & ATTR_VARIABLE))
    return BAD_ATTRIBUTE;
  if (record_length == 0) record_length = header.record_length;
  if (record_length != header.record_length) return BAD_ATTRIBUTE;
  bool writes = (attributes & ATTR_MODE) != MODE_INPUT;
  return writes && (header.flags & TIFILES_PROTECTED) ? WRITE_PROTECTED : FILE_OK;
}

bool is_text(std::uint8_t attributes) {
  return (attributes & (ATTR_VARIABLE | ATTR_INTERNAL)) == ATTR_VARIABLE;
}

// A new, empty file with f's attributes.
int start_new_file(OpenFile& f) {
  if (f.record_length == 0) f.record_length = DEFAULT_RECORD_LENGTH;
  if (is_text(f.attributes)) {
    f.kind = TEXT;
    return FILE_OK;
  }
  f.kind = f.attributes & ATTR_VARIABLE ? VARIABLE : FIXED;
  f.header = new_header(f.attributes, f.record_length);
  return (f.attributes & ATTR_MODE) == MODE_INPUT ? FILE_OK : write_header(f);
}

// Fills in the kind, header and starting position of a file just opened:
// OUTPUT replaces what the file held; the other modes take it as it is.
int prepare_open_file(OpenFile& f, std::uint64_t size) {
  std::uint8_t mode = f.attributes & ATTR_MODE;
  TifilesHeader header;
  int found = read_header(f.fd, size, header);
  if (mode == MODE_OUTPUT) {
    if (found > 0 && (header.flags & TIFILES_PROTECTED)) return WRITE_PROTECTED;
    int emptied = set_size(f.fd, 0);
    return emptied == FILE_OK ? start_new_file(f) : emptied;
  }
  if (size == 0) return start_new_file(f);
  if (found < 0) return DEVICE_ERROR;
  if (found) {
    int checked = check_attributes(header, f.attributes, f.record_length);
    if (checked != FILE_OK) return checked;
    f.kind = kind_of(header);
    f.header = header;
  } else {
    if (!is_text(f.attributes)) return BAD_ATTRIBUTE;
    f.kind = TEXT;
    if (f.record_length == 0) f.record_length = DEFAULT_RECORD_LENGTH;
  }
  if (mode == MODE_APPEND) {
    if (f.kind == TEXT) f.text_offset = size;
    if (f.kind == VARIABLE && f.header.sectors != 0) {
      f.sector = f.header.sectors - 1u;
      f.offset = f.header.eof_offset ? f.header.eof_offset : SECTOR_SIZE;
    }
  }
  return FILE_OK;
}

// TEXT records.

int read_line(OpenFile& f, std::uint8_t* data, unsigned& length) {
  std::uint8_t line[MAX_FIXED_LENGTH + 2];
  unsigned want = f.record_length + 2;  // the record, a carriage return, the line feed
  ssize_t got = pread(f.fd, line, want, off_t(f.text_offset));
  if (got < 0) return error_for_errno(errno);
  if (got == 0) return PAST_END;
  auto end = static_cast<std::uint8_t*>(std::memchr(line, '\n', std::size_t(got)));
  if (!end && unsigned(got) == want) return BAD_ATTRIBUTE;
  unsigned used = end ? unsigned(end - line) + 1 : unsigned(got);
  length = end ? used - 1 : used;
  if (length > 0 && line[length - 1] == '\r') --length;
  if (length > f.record_length) return BAD_ATTRIBUTE;
  std::memcpy(data, line, length);
  f.text_offset += used;
  f.after_line_end = end != nullptr;
  return FILE_OK;
}

// Whether a line holds the record as it is: not when the record has a line
// feed, or ends in a carriage return (which reading would take for part of the
// line end).
bool fits_a_line(const std::uint8_t* data, unsigned length) {
  return !std::memchr(data, '\n', length) && !(length > 0 && data[length - 1] == '\r');
}

int write_line(OpenFile& f, const std::uint8_t* data, unsigned length) {
  if (!fits_a_line(data, length)) return DEVICE_ERROR;
  std::uint8_t line[MAX_FIXED_LENGTH + 2];
  unsigned used = 0;
  std::uint8_t before = '\n';
  if (!f.after_line_end && f.text_offset > 0 &&
      pread(f.fd, &before, 1, off_t(f.text_offset - 1)) != 1)
    before = '\n';
  if (before != '\n') line[used++] = '\n';  // a last line without its line end, from elsewhere
  std::memcpy(line + used, data, length);
  used += length;
  line[used++] = '\n';
  int written = write_exactly(f.fd, line, used, f.text_offset);
  if (written != FILE_OK) return written;
  f.text_offset += used;
  f.after_line_end = true;
  // In UPDATE mode a record written is the new last one.
  return (f.attributes & ATTR_MODE) == MODE_UPDATE ? set_size(f.fd, f.text_offset) : FILE_OK;
}

// FIXED records.

std::uint64_t fixed_position(const OpenFile& f, unsigned record) {
  unsigned per_sector = f.header.records_per_sector;
  return sector_position(record / per_sector) +
         std::uint64_t(record % per_sector) * f.record_length;
}

int read_fixed(OpenFile& f, std::uint16_t& record, std::uint8_t* data, unsigned& length) {
  if (record >= f.header.fixed_records) return PAST_END;
  if (!read_exactly(f.fd, data, f.record_length, fixed_position(f, record))) return DEVICE_ERROR;
  length = f.record_length;
  ++record;
  return FILE_OK;
}

int write_fixed(OpenFile& f, std::uint16_t& record, const std::uint8_t* data, unsigned length) {
  unsigned per_sector = f.header.records_per_sector;
  if (record == 0xFFFF || record / per_sector >= MAX_SECTORS) return OUT_OF_SPACE;
  std::uint8_t padded[MAX_FIXED_LENGTH] = {};
  std::memcpy(padded, data, length);
  if (record >= f.header.fixed_records) {
    f.header.fixed_records = std::uint16_t(record + 1);
    unsigned needed = (f.header.fixed_records + per_sector - 1) / per_sector;
    if (needed > f.header.sectors) f.header.sectors = std::uint16_t(needed);
    f.header.eof_offset = std::uint8_t(f.header.fixed_records % per_sector * f.record_length);
    int grown = set_size(f.fd, sector_position(f.header.sectors));
    if (grown != FILE_OK) return grown;
  }
  int written = write_exactly(f.fd, padded, f.record_length, fixed_position(f, record));
  if (written == FILE_OK) written = write_header(f);
  if (written == FILE_OK) ++record;
  return written;
}

// VARIABLE records: each sector holds records of a length byte and the
// bytes, and an end mark after the last.

int load_sector(OpenFile& f, unsigned sector) {
  if (f.loaded_sector == int(sector)) return FILE_OK;
  std::memset(f.sector_data, 0, SECTOR_SIZE);
  if (sector < f.header.sectors &&
      !read_exactly(f.fd, f.sector_data, SECTOR_SIZE, sector_position(sector)))
    return DEVICE_ERROR;
  f.loaded_sector = int(sector);
  return FILE_OK;
}

// Where the records of sector end.
unsigned sector_limit(const OpenFile& f, unsigned sector) {
  bool last = sector + 1 == f.header.sectors;
  return last && f.header.eof_offset ? f.header.eof_offset : SECTOR_SIZE;
}

// Moves past sector ends to the next record; false at the end of the file.
int next_variable_record(OpenFile& f, bool& found) {
  found = false;
  while (f.sector < f.header.sectors) {
    int loaded = load_sector(f, f.sector);
    if (loaded != FILE_OK) return loaded;
    if (f.offset < sector_limit(f, f.sector) && f.sector_data[f.offset] != END_OF_SECTOR) {
      found = true;
      return FILE_OK;
    }
    ++f.sector;
    f.offset = 0;
  }
  return FILE_OK;
}

int read_variable(OpenFile& f, std::uint8_t* data, unsigned& length) {
  bool found;
  int moved = next_variable_record(f, found);
  if (moved != FILE_OK) return moved;
  if (!found) return PAST_END;
  length = f.sector_data[f.offset];
  if (f.offset + 1 + length > SECTOR_SIZE || length > f.record_length) return DEVICE_ERROR;
  std::memcpy(data, f.sector_data + f.offset + 1, length);
  f.offset += 1 + length;
  return FILE_OK;
}

int write_variable(OpenFile& f, const std::uint8_t* data, unsigned length) {
  if (f.offset + 1 + length + 1 > SECTOR_SIZE && f.offset > 0) {
    ++f.sector;
    f.offset = 0;
  }
  if (f.sector >= MAX_SECTORS) return OUT_OF_SPACE;
  int loaded = load_sector(f, f.sector);
  if (loaded != FILE_OK) return loaded;
  f.sector_data[f.offset] = std::uint8_t(length);
  std::memcpy(f.sector_data + f.offset + 1, data, length);
  f.offset += 1 + length;
  if (f.offset < SECTOR_SIZE) f.sector_data[f.offset] = END_OF_SECTOR;
  // The record written is the new last record.
  bool resized = f.header.sectors != f.sector + 1 || (f.attributes & ATTR_MODE) == MODE_UPDATE;
  f.header.sectors = std::uint16_t(f.sector + 1);
  f.header.eof_offset = std::uint8_t(f.offset % SECTOR_SIZE);
  f.header.fixed_records = f.header.sectors;
  int written = write_exactly(f.fd, f.sector_data, SECTOR_SIZE, sector_position(f.sector));
  if (written == FILE_OK && resized) written = set_size(f.fd, sector_position(f.header.sectors));
  if (written == FILE_OK) written = write_header(f);
  return written;
}

bool at_end(OpenFile& f, std::uint16_t record) {
  switch (f.kind) {
    case TEXT: {
      struct stat info;
      return fstat(f.fd, &info) != 0 || std::uint64_t(info.st_size) <= f.text_offset;
    }
    case FIXED: return record >= f.header.fixed_records;
    default: {  // looks ahead, then stays where it was
      unsigned sector = f.sector, offset = f.offset;
      bool found;
      bool end = next_variable_record(f, found) != FILE_OK || !found;
      f.sector = sector, f.offset = offset;
      return end;
    }
  }
}

std::uint8_t status_of_header(const TifilesHeader& header) {
  if (header.flags & TIFILES_PROGRAM) return STATUS_PROGRAM;
  return std::uint8_t((header.flags & TIFILES_INTERNAL ? STATUS_INTERNAL : 0) |
                      (header.flags & TIFILES_VARIABLE ? STATUS_VARIABLE : 0) |
                      (header.flags & TIFILES_PROTECTED ? STATUS_PROTECTED : 0));
}

bool same_file(const OpenFile& f, HostFile file) {
  return f.in_use && f.folder == file.folder && std::strcmp(f.name, file.name) == 0;
}

OpenFile* open_file(int handle) {
  if (handle < 0 || unsigned(handle) >= MAX_OPEN_FILES || !open_files[handle].in_use)
    return nullptr;
  return &open_files[handle];
}

}  // namespace

bool set_drive_folder(int drive, const char* path) {
  int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  if (drive_folders[drive - 1] != AT_FDCWD) close(drive_folders[drive - 1]);
  drive_folders[drive - 1] = fd;
  return true;
}

int drive_folder(int drive) { return drive_folders[drive - 1]; }

void set_cassette_file(int unit, const char* path) { cassette_paths[unit - 1] = path; }

bool is_host_file_name(const std::uint8_t* name, unsigned length) {
  if (length == 0 || length > 255) return false;
  for (unsigned i = 0; i < length; ++i)
    if (name[i] <= ' ' || name[i] >= 0x7F || name[i] == '.' || name[i] == '/') return false;
  return true;
}

HostFile drive_file(int drive, const char* name) { return {drive_folders[drive - 1], name, true}; }

HostFile cassette_file(int unit) { return path_file(cassette_paths[unit - 1]); }

HostFile path_file(const char* path) { return {AT_FDCWD, path, false}; }

int file_open(HostFile file, std::uint8_t attributes, unsigned& record_length, int& handle) {
  bool variable = attributes & ATTR_VARIABLE;
  if ((attributes & ATTR_RELATIVE) && variable) return BAD_ATTRIBUTE;
  if (record_length > (variable ? MAX_VARIABLE_LENGTH : MAX_FIXED_LENGTH)) return BAD_ATTRIBUTE;
  if (find_open_file(file) >= 0) return FILE_ERROR;
  handle = -1;
  for (unsigned i = 0; i < MAX_OPEN_FILES && handle < 0; ++i)
    if (!open_files[i].in_use) handle = int(i);
  if (handle < 0) return OUT_OF_SPACE;
  std::uint8_t mode = attributes & ATTR_MODE;
  int fd;
  struct stat info;
  int opened = open_plain(file, mode == MODE_INPUT ? O_RDONLY : O_RDWR | O_CREAT, fd, info);
  if (opened != FILE_OK) return opened;
  for (const OpenFile& other : open_files)
    if (other.in_use && other.device == info.st_dev && other.inode == info.st_ino) {
      close(fd);
      return FILE_ERROR;
    }
  OpenFile& f = open_files[handle];
  f = OpenFile{};
  f.fd = fd;
  f.folder = file.folder;
  std::strncpy(f.name, file.name, sizeof f.name - 1);
  f.device = info.st_dev;
  f.inode = info.st_ino;
  f.attributes = attributes;
  f.record_length = record_length;
  f.loaded_sector = -1;
  int prepared = prepare_open_file(f, std::uint64_t(info.st_size));
  if (prepared != FILE_OK) {
    close(fd);
    return prepared;
  }
  f.in_use = true;
  record_length = f.record_length;
  return FILE_OK;
}

int find_open_file(HostFile file) {
  for (unsigned i = 0; i < MAX_OPEN_FILES; ++i)
    if (same_file(open_files[i], file)) return int(i);
  return -1;
}

int file_close(int handle) {
  OpenFile* f = open_file(handle);
  if (!f) return FILE_ERROR;
  f->in_use = false;
  return close(f->fd) == 0 ? FILE_OK : error_for_errno(errno);
}

int file_read(int handle, std::uint16_t& record, std::uint8_t* data, unsigned& length) {
  OpenFile* f = open_file(handle);
  if (!f) return FILE_ERROR;
  std::uint8_t mode = f->attributes & ATTR_MODE;
  if (mode == MODE_OUTPUT || mode == MODE_APPEND) return ILLEGAL_OPERATION;
  if (f->kind == FIXED) return read_fixed(*f, record, data, length);
  int read = f->kind == TEXT ? read_line(*f, data, length) : read_variable(*f, data, length);
  if (read == FILE_OK) ++record;
  return read;
}

int file_write(int handle, std::uint16_t& record, const std::uint8_t* data, unsigned length) {
  OpenFile* f = open_file(handle);
  if (!f) return FILE_ERROR;
  if ((f->attributes & ATTR_MODE) == MODE_INPUT) return ILLEGAL_OPERATION;
  if (length > f->record_length) return BAD_ATTRIBUTE;  // never cut a record short
  if (f->kind == FIXED && (f->attributes & ATTR_MODE) == MODE_APPEND)
    record = f->header.fixed_records;  // whatever record the request names
  if (f->kind == FIXED) return write_fixed(*f, record, data, length);
  int written = f->kind == TEXT ? write_line(*f, data, length) : write_variable(*f, data, length);
  if (written == FILE_OK) ++record;
  return written;
}

int file_rewind(int handle) {
  OpenFile* f = open_file(handle);
  if (!f) return FILE_ERROR;
  if ((f->attributes & ATTR_MODE) == MODE_APPEND) return ILLEGAL_OPERATION;
  f->text_offset = 0;
  f->after_line_end = false;
  f->sector = f->offset = 0;
  return FILE_OK;
}

std::uint8_t file_status(int handle, std::uint16_t record) {
  OpenFile* f = open_file(handle);
  if (!f) return STATUS_NO_FILE;
  std::uint8_t status = f->kind == TEXT ? STATUS_VARIABLE : status_of_header(f->header);
  return std::uint8_t(status | (at_end(*f, record) ? STATUS_END_OF_FILE : 0));
}

namespace {

// The TIFILES header of a file that is not open: 1 when it has one, 0 for a
// plain file, below 0 for a bad header, and -2 when it cannot be opened.
int header_of_closed_file(HostFile file, TifilesHeader& header, struct stat& info) {
  int fd;
  if (open_plain(file, O_RDONLY, fd, info) != FILE_OK) return -2;
  int found = read_header(fd, std::uint64_t(info.st_size), header);
  close(fd);
  return found;
}

}  // namespace

std::uint8_t closed_file_status(HostFile file) {
  TifilesHeader header;
  struct stat info;
  int found = header_of_closed_file(file, header, info);
  if (found == -2) return STATUS_NO_FILE;
  return found > 0 ? status_of_header(header) : STATUS_VARIABLE;
}

bool describe_file(HostFile file, FileDescription& description) {
  TifilesHeader header;
  struct stat info;
  int found = header_of_closed_file(file, header, info);
  if (found == -2) return false;
  if (found <= 0) {
    description = {2, false, unsigned((info.st_size + SECTOR_SIZE - 1) / SECTOR_SIZE) + 1,
                   DEFAULT_RECORD_LENGTH};
    return true;
  }
  bool program = header.flags & TIFILES_PROGRAM;
  description.type = program ? 5
                             : 1 + (header.flags & TIFILES_VARIABLE ? 1 : 0) +
                                   (header.flags & TIFILES_INTERNAL ? 2 : 0);
  description.is_protected = header.flags & TIFILES_PROTECTED;
  description.sectors = header.sectors + 1u;
  description.record_length = program ? 0 : header.record_length;
  return true;
}

int file_delete(HostFile file) {
  int handle = find_open_file(file);
  if (handle >= 0) file_close(handle);
  int fd;
  struct stat info;
  int opened = open_plain(file, O_RDONLY, fd, info);
  if (opened != FILE_OK) return opened;
  bool is_protected = has_protected_header(fd, std::uint64_t(info.st_size));
  close(fd);
  if (is_protected) return WRITE_PROTECTED;
  return unlinkat(file.folder, file.name, 0) == 0 ? FILE_OK : error_for_errno(errno);
}

int program_load(HostFile file, std::uint8_t* data, std::uint32_t capacity, std::uint32_t& size) {
  int fd;
  struct stat info;
  int opened = open_plain(file, O_RDONLY, fd, info);
  if (opened != FILE_OK) return opened;
  TifilesHeader header;
  int found = read_header(fd, std::uint64_t(info.st_size), header);
  int result = FILE_OK;
  if (found < 0)
    result = DEVICE_ERROR;
  else if (found == 0 || !(header.flags & TIFILES_PROGRAM))
    result = FILE_ERROR;
  else if (program_size(header) > capacity)
    result = OUT_OF_SPACE;
  else if (!read_exactly(fd, data, program_size(header), TIFILES_HEADER_SIZE))
    result = DEVICE_ERROR;
  size = program_size(header);
  close(fd);
  return result;
}

int program_save(HostFile file, const std::uint8_t* data, std::uint32_t size) {
  if (size == 0 || size > MAX_SECTORS * SECTOR_SIZE) return OUT_OF_SPACE;
  if (find_open_file(file) >= 0) return FILE_ERROR;
  int fd;
  struct stat info;
  int opened = open_plain(file, O_RDWR | O_CREAT, fd, info);
  if (opened != FILE_OK) return opened;
  if (has_protected_header(fd, std::uint64_t(info.st_size))) {
    close(fd);
    return WRITE_PROTECTED;
  }
  TifilesHeader header = program_header(size);
  std::uint8_t raw[TIFILES_HEADER_SIZE];
  encode_tifiles_header(header, base_name(file.name), raw);
  int result = set_size(fd, 0);
  if (result == FILE_OK) result = write_exactly(fd, raw, sizeof raw, 0);
  if (result == FILE_OK) result = write_exactly(fd, data, size, TIFILES_HEADER_SIZE);
  if (result == FILE_OK) result = set_size(fd, sector_position(header.sectors));
  if (close(fd) != 0 && result == FILE_OK) result = error_for_errno(errno);
  return result;
}
