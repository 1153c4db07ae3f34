#pragma once

#include <cstdint>

// CRU single-bit traffic. The keyboard's column select and rows serve the
// console's break test (no key is down but CLEAR, when held); the
// peripheral-card switches are accepted silently; the disk card's switch turns
// its ROM on and off.
void cru_write_bit(std::uint16_t bit_address, int value);
int cru_read_bit(std::uint16_t bit_address);
