// TI files kept as host files: the folders of the three disk drives, the
// files of the two cassette units, and the files a program has open on them.
// Every operation answers a TI file error code: FILE_OK or one of the codes
// a peripheral puts into the error bits of a peripheral access block.
//
// Host formats: a DISPLAY VARIABLE file is a text file, one record per line
// ending in a line feed (a carriage return before the line feed is not part
// of the record); every other file, and any program, is a TIFILES file. Any
// TIFILES data file can be read as what its header says; a file without the
// TIFILES mark reads as DISPLAY VARIABLE. Every write goes straight to the
// host file, so nothing written is lost however the run ends.
#pragma once

#include <cstdint>

constexpr int FILE_OK = 0;
constexpr int WRITE_PROTECTED = 1;    // a protected TIFILES file, or the host refuses access
constexpr int BAD_ATTRIBUTE = 2;      // attributes that do not fit the file, a line too long
constexpr int ILLEGAL_OPERATION = 3;  // e.g. reading a file opened for OUTPUT
constexpr int OUT_OF_SPACE = 4;       // host disk full, too many open files, program too big
constexpr int PAST_END = 5;           // reading past the last record
constexpr int DEVICE_ERROR = 6;       // a malformed TIFILES file, a host I/O error
constexpr int FILE_ERROR = 7;         // no such file, already open, not a plain file, wrong kind

// Attribute bits of a file (the flag byte of a peripheral access block).
constexpr std::uint8_t ATTR_RELATIVE = 0x01;
constexpr std::uint8_t ATTR_MODE = 0x06;
constexpr std::uint8_t ATTR_INTERNAL = 0x08;
constexpr std::uint8_t ATTR_VARIABLE = 0x10;
constexpr std::uint8_t MODE_UPDATE = 0x00;
constexpr std::uint8_t MODE_OUTPUT = 0x02;
constexpr std::uint8_t MODE_INPUT = 0x04;
constexpr std::uint8_t MODE_APPEND = 0x06;

// Bits of the status byte that a status request answers.
constexpr std::uint8_t STATUS_NO_FILE = 0x80;
constexpr std::uint8_t STATUS_PROTECTED = 0x40;
constexpr std::uint8_t STATUS_INTERNAL = 0x10;
constexpr std::uint8_t STATUS_PROGRAM = 0x08;
constexpr std::uint8_t STATUS_VARIABLE = 0x04;
constexpr std::uint8_t STATUS_END_OF_FILE = 0x01;

constexpr unsigned MAX_OPEN_FILES = 16;
constexpr unsigned DEFAULT_RECORD_LENGTH = 80;

// A host file: the folder it is in (a descriptor, or AT_FDCWD) and its name
// there. A confined file is one a program named: it is never reached through
// a symbolic link.
struct HostFile {
  int folder;
  const char* name;
  bool confined;
};

// Sets the folder of drive 1-3 (all three are the current directory until
// then). False, with errno set, when path is no folder that can be opened.
bool set_drive_folder(int drive, const char* path);
// Sets the host file of cassette unit 1-2 (CS1 and CS2 until then).
void set_cassette_file(int unit, const char* path);

// The folder of drive 1-3: a descriptor, or AT_FDCWD.
int drive_folder(int drive);

// Whether a TI file name of length bytes can be a file name in a drive's
// folder: 1-255 printable ASCII characters without a space, "." or "/".
bool is_host_file_name(const std::uint8_t* name, unsigned length);

// The file name (already checked) in drive 1-3's folder; the cassette unit's
// file. The name must stay valid while the file is in use.
HostFile drive_file(int drive, const char* name);
HostFile cassette_file(int unit);
// A file the user named by its path (on the command line).
HostFile path_file(const char* path);

// Opens a file with attributes (ATTR_ bits). record_length 0 asks for the
// file's own or the default; the length in effect comes back in it.
int file_open(HostFile file, std::uint8_t attributes, unsigned& record_length, int& handle);
// The handle of the open file, or -1.
int find_open_file(HostFile file);
int file_close(int handle);

// Reads the next record into data (room for 255 bytes). record is the
// record to read in a FIXED file; it comes back as the one after the record.
// A write in APPEND mode goes to the end of the file, whatever record says.
int file_read(int handle, std::uint16_t& record, std::uint8_t* data, unsigned& length);
int file_write(int handle, std::uint16_t& record, const std::uint8_t* data, unsigned length);
// Back to the first record of a VARIABLE file (a FIXED file goes on at the
// record its next request names).
int file_rewind(int handle);
// STATUS_ bits of an open file, record being the next record of a FIXED file.
std::uint8_t file_status(int handle, std::uint16_t record);
// STATUS_ bits of a file that is not open.
std::uint8_t closed_file_status(HostFile file);
// What a disk catalog tells of a file: its type (1 DISPLAY FIXED, 2 DISPLAY
// VARIABLE, 3 INTERNAL FIXED, 4 INTERNAL VARIABLE, 5 PROGRAM), whether it is
// protected, the sectors it would take on a disk (with its descriptor) and
// its record length. A text file is DISPLAY VARIABLE 80. False for anything
// but a plain file.
struct FileDescription {
  int type;
  bool is_protected;
  unsigned sectors;
  unsigned record_length;
};
bool describe_file(HostFile file, FileDescription& description);
// Deletes a file, closing it first if it is open.
int file_delete(HostFile file);

// A program image: at most capacity bytes into data; size is its length.
int program_load(HostFile file, std::uint8_t* data, std::uint32_t capacity, std::uint32_t& size);
int program_save(HostFile file, const std::uint8_t* data, std::uint32_t size);
