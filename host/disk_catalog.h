// A drive's catalog, the file "DSKn." of a TI disk: INTERNAL FIXED 38 records,
// the first for the volume (its name, 0, the sectors in all and free), then
// one for each file in name order (its name, type, sectors and record length;
// the type negative when the file is protected), then one with an empty name.
// A catalog is made when it is opened and stays as it was until closed.
#pragma once

#include <cstdint>

constexpr unsigned CATALOG_RECORD_LENGTH = 38;
constexpr unsigned CATALOG_MAX_FILES = 127;  // what a TI disk's directory holds

// Opens drive 1-3's catalog; FILE_ERROR when it is open already.
int catalog_open(int drive);
bool catalog_is_open(int drive);
void catalog_close(int drive);
// Record number record (then the next) into data: CATALOG_RECORD_LENGTH bytes.
int catalog_read(int drive, std::uint16_t& record, std::uint8_t* data);
bool catalog_at_end(int drive, std::uint16_t record);

// A number as TI BASIC keeps it: eight bytes of radix 100, the exponent byte
// first (>40 for 100 to the power 0), a negative number's first word negated.
void put_ti_number(std::uint8_t* out, long value);
