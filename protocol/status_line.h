// The status line and the other fixed screen elements the device composes
// its screen from: link bar, two numbers with their override texts, bar
// meter, mode field with arrow markers, flash text, busy indicator,
// self-test screen, idle screen, and the eight start-up custom characters.
//
// The bracketed routines (link bar, meter, numbers, mode field when it
// draws, flash text, idle screen) save the address counter first and restore
// it last with Set DDRAM address 0x80 | saved, so that device text continues
// at its own position. Like the cell primitives, nothing here locks or
// requests a repaint; each routine takes the controller it draws on and the
// composition state it reads or updates.
#pragma once

#include <array>
#include <cstdint>

#include "display/lcd_controller.h"

// State kept between calls of the status-line routines.
struct CompositionState {
    uint8_t last_mode_flags = 0;             // flags of the latest draw_mode_field call
    int32_t flash_countdown = 0;             // timer ticks until the mode field returns
    std::array<uint8_t, 4> left_override{};  // active while byte 0 is nonzero
    std::array<uint8_t, 4> right_override{};
    uint8_t busy_column = 0;  // cell of the busy indicator
    uint8_t busy_row = 0;
};

// Eight glyphs of eight dot rows each (bit 4 the leftmost dot), loaded into
// character-generator RAM at start-up. All but glyph 3 are underlined.
extern const std::array<uint8_t, 64> startup_glyphs;

void draw_link_bar(LcdController& lcd);
void draw_meter(LcdController& lcd, uint8_t level);
void draw_left_number(LcdController& lcd, const CompositionState& composition, uint8_t number);
void draw_right_number(LcdController& lcd, const CompositionState& composition, uint8_t number);
int32_t draw_left_override(LcdController& lcd, const CompositionState& composition);
int32_t draw_right_override(LcdController& lcd, const CompositionState& composition);
void draw_mode_field(LcdController& lcd, CompositionState& composition, uint8_t flags,
                     int32_t force, int32_t with_marker);
void show_flash_text(LcdController& lcd, CompositionState& composition, const uint8_t* text);
uint8_t draw_busy_step(LcdController& lcd, const CompositionState& composition, uint8_t step);
void draw_display_test(LcdController& lcd);
void draw_idle_screen(LcdController& lcd, const CompositionState& composition);
void load_custom_glyphs(LcdController& lcd);
