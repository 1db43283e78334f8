// The status line (row 1) and the other fixed screen elements, drawn through
// the cell primitives.
//
// Row 1 layout: "RX" (1-2), left number (3-4), arrow marker (5), meter
// (6-10), glyph 2 (11), mode field or flash text (12-15), second marker or
// closing cell (16), "TX" (17-18), right number (19-20). Glyph 2, an
// underline, is the blank of the status line.
//
// The routines that draw on the status line are wrapped in an address
// bracket (AddressBracket): the address counter is read on entry and
// restored with Set DDRAM address on exit, so text the device is writing
// elsewhere continues at its own position. The state kept between calls is
// the session's CompositionState; the session holds its lock around each
// routine.
#include "protocol/status_line.h"

#include <array>
#include <cstdio>

#include "protocol/cell_primitives.h"

const std::array<uint8_t, 64> startup_glyphs = {
    0x1C, 0x1C, 0x1C, 0x1C, 0x1C, 0x1C, 0x00, 0x1F,  // 0: part-filled bar cell
    0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x00, 0x1F,  // 1: full bar cell
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F,  // 2: underline only
    0x00, 0x00, 0x10, 0x08, 0x04, 0x02, 0x01, 0x00,  // 3: backslash, no underline
    0x00, 0x04, 0x08, 0x1F, 0x08, 0x04, 0x00, 0x1F,  // 4: arrow pointing left
    0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E, 0x1F,  // 5: digit one
    0x00, 0x00, 0x0A, 0x15, 0x11, 0x0E, 0x04, 0x1F,  // 6: heart outline
    0x1F, 0x1F, 0x15, 0x1B, 0x1B, 0x1F, 0x11, 0x1F,  // 7: face in inverse
};

namespace {

constexpr uint8_t glyph_blank = 0x02;
constexpr uint8_t glyph_arrow = 0x04;
constexpr uint8_t glyph_one = 0x05;
// The busy indicator's fifth step: a character code of the ROM font.
constexpr uint8_t busy_rom_character = 0xA5;  // not a command byte

// Saves the address counter (low 8 bits) and restores it as a display-RAM
// address when it goes out of scope; the restoring instruction is the last
// controller operation of the bracketed routine.
class AddressBracket {
public:
    explicit AddressBracket(LcdController& lcd)
        : lcd_(lcd), saved_(static_cast<uint8_t>(get_address(lcd))) {}
    ~AddressBracket() { lcd_command(lcd_, static_cast<uint8_t>(0x80 | saved_)); }
    AddressBracket(const AddressBracket&) = delete;
    AddressBracket& operator=(const AddressBracket&) = delete;

private:
    LcdController& lcd_;
    uint8_t saved_;
};

// An override's four bytes at row 1 from the given column, if it is active.
int32_t draw_override(LcdController& lcd, const std::array<uint8_t, 4>& text, uint8_t column) {
    if (text[0] == 0) return 0;
    goto_cell(lcd, column, 1);
    for (uint8_t ch : text) put_char(lcd, ch);
    return 1;
}

// A number in "%02d" form from the given column; 100..255 take three cells.
void draw_number(LcdController& lcd, uint8_t number, uint8_t column) {
    std::array<char, 4> digits{};
    std::snprintf(digits.data(), digits.size(), "%02d", number);
    goto_cell(lcd, column, 1);
    put_string(lcd, digits.data());
}

}  // namespace

void draw_link_bar(LcdController& lcd) {
    AddressBracket bracket(lcd);
    goto_cell(lcd, 1, 1);
    std::array<char, 21> line{};
    std::snprintf(line.data(), line.size(), "RX  %c%c%c%c%c%c%c%c%c%c%c%cTX  ", glyph_blank,
                  glyph_blank, glyph_blank, glyph_blank, glyph_blank, glyph_blank, glyph_blank,
                  glyph_blank, glyph_blank, glyph_blank, glyph_blank, glyph_blank);
    put_string(lcd, line.data());
}

void draw_meter(LcdController& lcd, uint8_t level) {
    // Levels 0..10 count half cells: glyph 1 is a full cell, glyph 0 a
    // part-filled one, glyph 2 empty. Level 11 is four full cells and a '+'.
    static constexpr std::array<std::array<uint8_t, 5>, 12> meter_cells = {{
        {2, 2, 2, 2, 2},
        {0, 2, 2, 2, 2},
        {1, 2, 2, 2, 2},
        {1, 0, 2, 2, 2},
        {1, 1, 2, 2, 2},
        {1, 1, 0, 2, 2},
        {1, 1, 1, 2, 2},
        {1, 1, 1, 0, 2},
        {1, 1, 1, 1, 2},
        {1, 1, 1, 1, 0},
        {1, 1, 1, 1, 1},
        {1, 1, 1, 1, '+'},
    }};
    AddressBracket bracket(lcd);
    if (level >= meter_cells.size()) return;
    goto_cell(lcd, 6, 1);
    for (uint8_t code : meter_cells[level]) put_char(lcd, code);
}

void draw_left_number(LcdController& lcd, const CompositionState& composition, uint8_t number) {
    AddressBracket bracket(lcd);
    if (draw_left_override(lcd, composition) == 0) draw_number(lcd, number, 3);
}

void draw_right_number(LcdController& lcd, const CompositionState& composition, uint8_t number) {
    AddressBracket bracket(lcd);
    if (draw_right_override(lcd, composition) == 0) draw_number(lcd, number, 19);
}

int32_t draw_left_override(LcdController& lcd, const CompositionState& composition) {
    return draw_override(lcd, composition.left_override, 1);
}

int32_t draw_right_override(LcdController& lcd, const CompositionState& composition) {
    return draw_override(lcd, composition.right_override, 17);
}

void draw_mode_field(LcdController& lcd, CompositionState& composition, uint8_t flags,
                     int32_t force, int32_t with_marker) {
    if (flags != composition.last_mode_flags || force == 1) {
        AddressBracket bracket(lcd);
        goto_cell(lcd, 12, 1);
        if (flags & 0x81) {
            // "ESC" wins over "CLL"; every other bit is ignored in this form.
            put_char(lcd, glyph_blank);
            put_string(lcd, flags & 0x80 ? "ESC" : "CLL");
            put_char(lcd, glyph_blank);
        } else {
            put_char(lcd, glyph_one);
            put_char(lcd, flags & 0x40 ? 'H' : glyph_blank);
            put_char(lcd, flags & 0x02 ? 'P' : flags & 0x04 ? 'B' : glyph_blank);
            put_char(lcd, flags & 0x10 ? 'W' : glyph_blank);
            if (with_marker != 0) {
                const bool arrow_right = (flags & 0x08) != 0;
                put_char(lcd, arrow_right ? glyph_arrow : glyph_blank);
                goto_cell(lcd, 5, 1);
                put_char(lcd, arrow_right ? glyph_blank : glyph_arrow);
            }
        }
    }
    composition.last_mode_flags = flags;
}

void show_flash_text(LcdController& lcd, CompositionState& composition, const uint8_t* text) {
    {
        AddressBracket bracket(lcd);
        goto_cell(lcd, 12, 1);
        for (int32_t i = 0; i < 4; ++i) put_char(lcd, text[i] == 0x20 ? glyph_blank : text[i]);
    }
    composition.flash_countdown = 10;
}

uint8_t draw_busy_step(LcdController& lcd, const CompositionState& composition, uint8_t step) {
    struct BusyStep {
        uint8_t glyph;
        uint8_t next;
    };
    static constexpr std::array<BusyStep, 7> steps = {{
        {0x03, 1},  // glyph 3, the backslash
        {'|', 2},
        {'/', 3},
        {'-', 4},
        {busy_rom_character, 5},
        {'.', 6},
        {'_', 0},
    }};
    // Steps beyond 6 never come from the interpreter; they restart the cycle.
    const BusyStep& current = steps[step < steps.size() ? step : 0];
    goto_cell(lcd, composition.busy_column, composition.busy_row);
    put_char(lcd, current.glyph);
    return current.next;
}

void draw_display_test(LcdController& lcd) {
    struct Corner {
        uint8_t mark, column, row;
    };
    static constexpr std::array<Corner, 4> corners = {{
        {'1', 1, 1},
        {'2', 20, 1},
        {'3', 1, 4},
        {'4', 20, 4},
    }};
    for (const Corner& corner : corners) put_char_at(lcd, corner.mark, corner.column, corner.row);
    std::array<uint8_t, 4> read_back{};
    for (size_t i = 0; i < corners.size(); ++i) {
        read_back[i] = get_char_at(lcd, corners[i].column, corners[i].row);
    }
    put_centered(lcd, 2, "Display Test");
    std::array<char, 8> line{};
    std::snprintf(line.data(), line.size(), "%c %c %c %c", read_back[0], read_back[1], read_back[2],
                  read_back[3]);
    put_centered(lcd, 3, line.data());
}

void draw_idle_screen(LcdController& lcd, const CompositionState& composition) {
    draw_link_bar(lcd);
    draw_right_number(lcd, composition, 15);
    draw_left_number(lcd, composition, 15);
    draw_meter(lcd, 0);
}

void load_custom_glyphs(LcdController& lcd) {
    lcd_command(lcd, 0x40);
    for (uint8_t row : startup_glyphs) lcd_write_data(lcd, row);
}
