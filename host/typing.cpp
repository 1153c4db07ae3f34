#include "host/typing.h"

#include <cstdio>

#include "machine/keyboard.h"

namespace {

// The length of the UTF-8 character of more than one byte that starts at i,
// or 0. Some of those bytes are codes the keyboard has (FCTN and CTRL keys
// give >80->9F and >B0->C6), but a listing holds them as text written
// elsewhere: an accented letter, a pound sign, a typographic quote.
std::size_t utf8_character_at(const std::string& line, std::size_t i) {
  unsigned char lead = line[i];
  std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4                            ? 4
                                                                                 : 0;
  if (length == 0 || i + length > line.size()) return 0;
  for (std::size_t k = 1; k < length; ++k)
    if ((static_cast<unsigned char>(line[i + k]) & 0xC0) != 0x80) return 0;
  return length;
}

}  // namespace

std::size_t first_untypeable(const std::string& line) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    unsigned char byte = line[i];
    if (byte == '\n' || byte == '\r') continue;
    if (!keyboard_can_type(byte) || utf8_character_at(line, i)) return i;
  }
  return ALL_TYPEABLE;
}

void report_left_out(const char* where, long number, const std::string& line, std::size_t column) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s:%ld:%zu: ", where, number, column + 1);
  if (std::size_t length = utf8_character_at(line, column))
    std::fprintf(stderr, "the character '%.*s'", int(length), line.c_str() + column);
  else
    std::fprintf(stderr, "byte 0x%02X", unsigned(static_cast<unsigned char>(line[column])));
  std::fputs(" cannot be typed on the console's keyboard; the line is left out\n", stderr);
}

bool too_long_to_type(const std::string& line) {
  std::size_t length = line.size();
  while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) --length;
  return length > INPUT_LINE_LENGTH;
}

void report_cut(const char* where, long number, std::size_t kept) {
  std::fflush(stdout);
  std::fprintf(stderr,
               "%s:%ld:%zu: the line is longer than the %zu characters of the console's input "
               "field; the console cuts it\n",
               where, number, kept + 1, kept);
}
