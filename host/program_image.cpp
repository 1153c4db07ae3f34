#include "host/program_image.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "host/source.h"
#include "host/tifiles.h"

const char* pending_program_image;

namespace {

const char OLD_IMAGE_LINE[] = "OLD IMAGE\n";

// Why the TIFILES file source_file is no program image, or nullptr.
const char* image_problem() {
  std::uint8_t raw[TIFILES_HEADER_SIZE] = {};
  struct stat info;
  if (std::fread(raw, 1, sizeof raw, source_file) != sizeof raw ||
      fstat(fileno(source_file), &info))
    return "a TIFILES file too short for its header";
  TifilesHeader header;
  if (!decode_tifiles_header(raw, std::uint64_t(info.st_size), header))
    return "a TIFILES header that does not fit the file";
  if (!(header.flags & TIFILES_PROGRAM)) return "a TIFILES data file, not a program image";
  return nullptr;
}

// Whether the source file is a plain file that starts with the TIFILES mark.
// Only its first byte is looked at otherwise: a pipe cannot be read twice.
bool source_has_tifiles_mark() {
  int first = std::getc(source_file);
  if (first == EOF) return false;
  std::ungetc(first, source_file);
  struct stat info;
  if (first != 0x07 || fstat(fileno(source_file), &info) != 0 || !S_ISREG(info.st_mode))
    return false;
  std::uint8_t mark[8];
  std::size_t got = std::fread(mark, 1, sizeof mark, source_file);
  std::rewind(source_file);
  return has_tifiles_mark(mark, unsigned(got));
}

}  // namespace

void take_program_image(const char* path) {
  if (!source_has_tifiles_mark()) return;
  if (const char* problem = image_problem()) {
    std::fprintf(stderr, "reading program image %s: %s\n", path, problem);
    std::exit(1);
  }
  std::fclose(source_file);
  source_file = fmemopen(const_cast<char*>(OLD_IMAGE_LINE), sizeof OLD_IMAGE_LINE - 1, "r");
  pending_program_image = path;
}
