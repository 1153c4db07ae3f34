#include "machine/cru.h"

#include "host/warn.h"
#include "machine/keyboard.h"
#include "machine/peripheral_card.h"

void cru_write_bit(std::uint16_t bit_address, int value) {
  if (bit_address == CARD_SWITCH_BIT) return card_switch(value);
  if (is_key_column_bit(bit_address)) return select_key_column(bit_address, value);
  bool first_card_base = bit_address == 0x0780;
  bool card_range = (bit_address & 0x0800) != 0;
  if (bit_address == ALPHA_LOCK_BIT || first_card_base || card_range) return;
  warn("cruout(>%04X, %d)", bit_address, value);
}

int cru_read_bit(std::uint16_t bit_address) {
  if (is_key_row_bit(bit_address)) return key_row_bit(bit_address);
  warn("cruin(>%04X)", bit_address);
  return 0;
}
