#include "rom/translator/rom_image.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

bool read_whole_file(const std::string& path, std::string& contents, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// Exactly four hexadecimal digits: strtoul alone would also take a sign or a
// "0x" prefix ("-001", "0x12") and quietly make another word of it.
bool parse_hex_word(const std::string& token, unsigned& value) {
  if (token.size() != 4) return false;
  for (char c : token)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  value = unsigned(std::strtoul(token.c_str(), nullptr, 16));
  return true;
}

bool parse_hex_image(const std::string& text, RomImage& rom, std::string& error) {
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    line = line.substr(0, line.find(';'));
    std::istringstream tokens(line);
    std::string token;
    if (!(tokens >> token)) continue;
    unsigned address, word;
    if (token.back() != ':' || !parse_hex_word(token.substr(0, token.size() - 1), address) ||
        (address & 1)) {
      error = "line " + std::to_string(number) + ": expected an even address 'AAAA:'";
      return false;
    }
    while (tokens >> token) {
      if (!parse_hex_word(token, word) || address > 0xFFFE) {
        error = "line " + std::to_string(number) + ": bad word '" + token + "'";
        return false;
      }
      if (rom.bytes.size() < address + 2) rom.bytes.resize(address + 2, 0);
      rom.bytes[address] = std::uint8_t(word >> 8);
      rom.bytes[address + 1] = std::uint8_t(word);
      address += 2;
    }
  }
  return true;
}

}  // namespace

bool load_binary_image(const std::string& path, RomImage& rom, std::string& error) {
  std::string contents;
  if (!read_whole_file(path, contents, error)) return false;
  if (contents.empty() || contents.size() > 0x10000) {
    error = path + ": not a ROM image";
    return false;
  }
  rom.bytes.assign(contents.begin(), contents.end());
  return true;
}


bool load_hex_image(const std::string& path, RomImage& rom, std::string& error) {
  std::string contents;
  if (!read_whole_file(path, contents, error)) return false;
  if (!parse_hex_image(contents, rom, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}
