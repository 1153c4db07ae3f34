// The peripheral access block (PAB) in VDP RAM: byte 0 the opcode, 1 the flag
// byte (error code in the top three bits, then the attributes), 2-3 the data
// buffer, 4 the record length, 5 the character count, 6-7 the record number
// (the byte count for LOAD and SAVE), 8 the status byte, 9 the name length,
// 10 on the name "DEVICE.FILE". The console's device search leaves in >8356
// the VDP address just past the device name and in >8354 its length.
#include "automation/disk_dsr.h"

#include <cstdint>
#include <cstring>

#include "host/disk_catalog.h"
#include "host/disk_files.h"
#include "host/program_image.h"
#include "machine/peripheral_card.h"
#include "machine/state.h"

namespace {

constexpr std::uint16_t NAME_END_POINTER = 0x8356;
constexpr std::uint16_t DEVICE_NAME_LENGTH = 0x8354;

enum Opcode { OPEN, CLOSE, READ, WRITE, REWIND, LOAD, SAVE, DELETE, SCRATCH, STATUS };

constexpr unsigned CASSETTE_RECORD_LENGTH = 64;
constexpr unsigned CASSETTE_MAX_RECORD_LENGTH = 192;

// The request being served.
std::uint16_t pab;
std::uint8_t attributes;
char file_name[256];
std::uint8_t record_data[256];
std::uint8_t program_data[16384];

std::uint8_t pab_byte(unsigned offset) { return vram[(pab + offset) & 0x3FFF]; }
void set_pab_byte(unsigned offset, std::uint8_t value) { vram[(pab + offset) & 0x3FFF] = value; }
std::uint16_t pab_word(unsigned offset) {
  return std::uint16_t(pab_byte(offset) << 8 | pab_byte(offset + 1));
}
void set_pab_word(unsigned offset, std::uint16_t value) {
  set_pab_byte(offset, std::uint8_t(value >> 8));
  set_pab_byte(offset + 1, std::uint8_t(value));
}

void copy_from_vram(std::uint16_t address, std::uint8_t* data, unsigned count) {
  for (unsigned i = 0; i < count; ++i) data[i] = vram[(address + i) & 0x3FFF];
}
void copy_to_vram(std::uint16_t address, const std::uint8_t* data, unsigned count) {
  for (unsigned i = 0; i < count; ++i) vram[(address + i) & 0x3FFF] = data[i];
}

int drive_of(int device) {
  switch (device) {
    case DSK1:
    case DSK1_LOWER: return 1;
    case DSK2:
    case DSK2_LOWER: return 2;
    case DSK3:
    case DSK3_LOWER: return 3;
    default: return 0;
  }
}

// What the request names.
enum Target { NOT_MINE, FILE, CATALOG };

// The host file the request names, the drive's catalog ("DSK1."), or a name
// no host file can have: then the request is not the card's.
Target requested_target(int device, HostFile& file) {
  if (device == CS1 || device == CS2) {
    file = cassette_file(device == CS1 ? 1 : 2);
    return FILE;
  }
  unsigned device_length = cpu_word(DEVICE_NAME_LENGTH);
  unsigned name_length = pab_byte(9);
  if (name_length < device_length + 1 || pab_byte(10 + device_length) != '.') return NOT_MINE;
  unsigned length = name_length - device_length - 1;
  if (length == 0) return CATALOG;
  std::uint8_t name[256];
  copy_from_vram(std::uint16_t(pab + 10 + device_length + 1), name, length);
  if (!is_host_file_name(name, length)) return NOT_MINE;
  std::memcpy(file_name, name, length);
  file_name[length] = '\0';
  file = drive_file(drive_of(device), file_name);
  return FILE;
}

// A cassette holds one sequential file of FIXED records, written or read
// from its start; the second unit can only record. Anything else is an
// illegal operation, as for the console's own cassette routine.
int check_cassette_request(int device, unsigned& record_length) {
  std::uint8_t mode = attributes & ATTR_MODE;
  if ((attributes & (ATTR_RELATIVE | ATTR_VARIABLE)) || (mode != MODE_INPUT && mode != MODE_OUTPUT))
    return ILLEGAL_OPERATION;
  if (device == CS2 && mode == MODE_INPUT) return ILLEGAL_OPERATION;
  if (record_length == 0) record_length = CASSETTE_RECORD_LENGTH;
  return record_length <= CASSETTE_MAX_RECORD_LENGTH ? FILE_OK : BAD_ATTRIBUTE;
}

int open_request(int device, HostFile file) {
  unsigned record_length = pab_byte(4);
  if (device == CS1 || device == CS2) {
    int checked = check_cassette_request(device, record_length);
    if (checked != FILE_OK) return checked;
  }
  int handle;
  int opened = file_open(file, attributes, record_length, handle);
  if (opened != FILE_OK) return opened;
  set_pab_byte(4, std::uint8_t(record_length));
  set_pab_word(6, 0);
  return FILE_OK;
}

int read_request(int handle) {
  std::uint16_t record = pab_word(6);
  unsigned length = 0;
  int read = file_read(handle, record, record_data, length);
  if (read != FILE_OK) return read;
  copy_to_vram(pab_word(2), record_data, length);
  set_pab_byte(5, std::uint8_t(length));
  set_pab_word(6, record);
  return FILE_OK;
}

int write_request(int handle) {
  std::uint16_t record = pab_word(6);
  unsigned length = pab_byte(5);
  copy_from_vram(pab_word(2), record_data, length);
  int written = file_write(handle, record, record_data, length);
  if (written == FILE_OK) set_pab_word(6, record);
  return written;
}

int load_request(HostFile file) {
  std::uint32_t capacity = pab_word(6), size = 0;
  if (capacity > sizeof program_data) capacity = sizeof program_data;
  int loaded = program_load(file, program_data, capacity, size);
  if (loaded == FILE_OK) copy_to_vram(pab_word(2), program_data, size);
  return loaded;
}

int save_request(HostFile file) {
  std::uint32_t size = pab_word(6);
  if (size > sizeof program_data) return OUT_OF_SPACE;
  copy_from_vram(pab_word(2), program_data, size);
  return program_save(file, program_data, size);
}

// Requests on a file that must be open.
int open_file_request(std::uint8_t opcode, int handle) {
  if (handle < 0) return FILE_ERROR;
  switch (opcode) {
    case CLOSE: return file_close(handle);
    case READ: return read_request(handle);
    case WRITE: return write_request(handle);
    case REWIND: return file_rewind(handle);
    default: return ILLEGAL_OPERATION;
  }
}

// DELETE on a cassette (CLOSE #1:DELETE) only closes the file: a tape is not
// erased.
int close_tape(HostFile file) {
  int handle = find_open_file(file);
  return handle >= 0 ? file_close(handle) : FILE_OK;
}

int serve(int device, HostFile file) {
  std::uint8_t opcode = pab_byte(0);
  bool cassette = device == CS1 || device == CS2;
  switch (opcode) {
    case OPEN: return open_request(device, file);
    case LOAD: return device == CS2 ? ILLEGAL_OPERATION : load_request(file);
    case SAVE: return save_request(file);
    case DELETE: return cassette ? close_tape(file) : file_delete(file);
    case STATUS: {
      int handle = find_open_file(file);
      set_pab_byte(8, handle >= 0 ? file_status(handle, pab_word(6)) : closed_file_status(file));
      return FILE_OK;
    }
    case CLOSE:
    case READ:
    case WRITE:
    case REWIND: return open_file_request(opcode, find_open_file(file));
    default: return ILLEGAL_OPERATION;
  }
}

// The catalog: read only, INTERNAL FIXED 38, sequential or relative.
int serve_catalog(int drive) {
  std::uint8_t opcode = pab_byte(0);
  if (opcode == OPEN) {
    unsigned record_length = pab_byte(4);
    std::uint8_t kind = attributes & (ATTR_MODE | ATTR_INTERNAL | ATTR_VARIABLE);
    bool fits = kind == (MODE_INPUT | ATTR_INTERNAL);
    if (!fits || (record_length != 0 && record_length != CATALOG_RECORD_LENGTH))
      return BAD_ATTRIBUTE;
    int opened = catalog_open(drive);
    if (opened != FILE_OK) return opened;
    set_pab_byte(4, CATALOG_RECORD_LENGTH);
    set_pab_word(6, 0);
    return FILE_OK;
  }
  bool needs_open = opcode == CLOSE || opcode == READ || opcode == REWIND || opcode == STATUS;
  if (needs_open && !catalog_is_open(drive)) return FILE_ERROR;
  std::uint16_t record = pab_word(6);
  switch (opcode) {
    case CLOSE: catalog_close(drive); return FILE_OK;
    case READ: {
      int read = catalog_read(drive, record, record_data);
      if (read != FILE_OK) return read;
      copy_to_vram(pab_word(2), record_data, CATALOG_RECORD_LENGTH);
      set_pab_byte(5, CATALOG_RECORD_LENGTH);
      set_pab_word(6, record);
      return FILE_OK;
    }
    case REWIND: return FILE_OK;
    case STATUS:
      set_pab_byte(8, STATUS_INTERNAL | (catalog_at_end(drive, record) ? STATUS_END_OF_FILE : 0));
      return FILE_OK;
    default: return ILLEGAL_OPERATION;
  }
}

}  // namespace

void disk_dsr(int device) {
  std::uint16_t return_address = reg(11);
  branch_target = return_address;  // not the card's, until found otherwise
  pab = std::uint16_t(cpu_word(NAME_END_POINTER) - cpu_word(DEVICE_NAME_LENGTH) - 10) & 0x3FFF;
  attributes = pab_byte(1) & 0x1F;
  int error;
  if (device == IMAGE) {  // the one OLD of a program image named on the command line
    if (!pending_program_image || pab_byte(0) != LOAD) return;
    error = load_request(path_file(pending_program_image));
    pending_program_image = nullptr;
  } else {
    HostFile file;
    Target target = requested_target(device, file);
    if (target == NOT_MINE) return;
    error = target == CATALOG ? serve_catalog(drive_of(device)) : serve(device, file);
  }
  set_pab_byte(1, std::uint8_t(attributes | error << 5));
  branch_target = std::uint16_t(return_address + 2);
}
