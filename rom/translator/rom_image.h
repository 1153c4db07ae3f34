// Loading the ROM image that the translator works on.
#pragma once

#include <string>

#include "rom/translator/decode.h"

// A binary image, loaded at address 0.
bool load_binary_image(const std::string& path, RomImage& rom, std::string& error);

// A hand-assembled image in text: lines "AAAA: WWWW WWWW ..." place words from
// address AAAA on; anything after ";" is a comment. Unset bytes are 0.
bool load_hex_image(const std::string& path, RomImage& rom, std::string& error);
