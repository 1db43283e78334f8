// placeholder, replaced by the status line
#include "protocol/status_line.h"
const std::array<uint8_t, 64> startup_glyphs{};
void draw_link_bar() {}
void draw_meter(uint8_t) {}
void draw_left_number(uint8_t) {}
void draw_right_number(uint8_t) {}
int32_t draw_left_override() { return 0; }
int32_t draw_right_override() { return 0; }
void draw_mode_field(uint8_t, int32_t, int32_t) {}
void show_flash_text(const uint8_t*) {}
uint8_t draw_busy_step(uint8_t) { return 0; }
void draw_display_test() {}
void draw_idle_screen() {}
void load_custom_glyphs() {}
