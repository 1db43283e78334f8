// placeholder, replaced by the cell primitives
#include "protocol/cell_primitives.h"
void goto_cell(uint8_t, uint8_t) {}
void put_char_at(uint8_t, uint8_t, uint8_t) {}
uint8_t get_char_at(uint8_t, uint8_t) { return 0; }
int32_t get_address() { return 0; }
void put_char(uint8_t) {}
void put_string(const uint8_t*) {}
void put_string(const char*) {}
void clear_screen() {}
void clear_row(uint8_t) {}
void put_centered(uint8_t, const uint8_t*) {}
void put_centered(uint8_t, const char*) {}
void set_cursor_style(uint8_t) {}
void scroll_up(uint8_t) {}
void scroll_down(uint8_t) {}
