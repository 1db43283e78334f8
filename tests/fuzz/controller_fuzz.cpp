// Fuzzing harness of the display controller, driven directly in every
// geometry lcd_create accepts.
//
// Input: byte 0 bit 7 asks for the graphic variant (115 x 64), otherwise its
// low 7 bits less 8 are the columns asked for (-8..119, so 115 is among
// them); byte 1 as a signed number is the rows asked for; byte 2 is the ROM
// select. Then pairs (kind, value): kind % 4 is 0 an instruction, 1 a data
// write, 2 a data read, 3 a render with blink phase value & 1.
//
// Checked: the geometry is the clamped request and never changes; after
// every step the controller's and, after a render, the rasteriser's
// invariants (fuzz_checks.h); Set DDRAM / CGRAM address and the two-byte
// graphic address land where they say; Clear display blanks display RAM and
// goes home; counting never leaves the display-RAM path it started on; a
// data write reads back through lcd_read_data (its five dots from
// character-generator RAM) and a read changes no memory.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz_checks.h"

namespace {

// The address counters, saved and put back around a look at one address.
struct Counters {
    int32_t ddram, cgram, gdram, shift;
    explicit Counters(const LcdController& c)
        : ddram(c.ddram_cursor),
          cgram(c.cgram_cursor),
          gdram(c.gdram_cursor),
          shift(c.display_shift) {}
    void restore(LcdController& c) const {
        c.ddram_cursor = ddram;
        c.cgram_cursor = cgram;
        c.gdram_cursor = gdram;
        c.display_shift = shift;
    }
};

void check_instruction(LcdController& c, uint8_t v, const Counters& was, uint8_t latch) {
    const bool graphic_on = c.graphic_on != 0;
    if (v & 0x80) {
        FUZZ_CHECK(c.cgram_cursor == lcd_no_cursor);
        if (graphic_on && latch == 0xFF) {
            FUZZ_CHECK(c.gdram_row_latch == (v & 0x1F));
        } else if (graphic_on) {
            FUZZ_CHECK(c.gdram_row_latch == 0xFF && c.gdram_cursor == 32 * latch + 2 * (v & 0x0F));
        } else {
            FUZZ_CHECK(lcd_get_address(c) == (lcd_is_graphic(c) ? v & 0x3F : v & 0x7F));
        }
        return;
    }
    if (v & 0x40) {
        FUZZ_CHECK(c.cgram_cursor == (v & 0x3F) && lcd_get_address(c) == (v & 0x3F));
    } else if (v == 0x01) {
        FUZZ_CHECK(
            std::all_of(c.ddram.begin(), c.ddram.end(), [](uint8_t b) { return b == 0x20; }));
        FUZZ_CHECK(c.ddram_cursor == 0 && c.display_shift == 0);
    }
    if (on_counting_path(c, was.ddram)) FUZZ_CHECK(on_counting_path(c, c.ddram_cursor));
}

void check_write(LcdController& c, uint8_t v, const Counters& was, bool graphic_on) {
    if (on_counting_path(c, was.ddram)) FUZZ_CHECK(on_counting_path(c, c.ddram_cursor));
    if (was.cgram == lcd_no_cursor && graphic_on) {
        FUZZ_CHECK(c.gdram[static_cast<size_t>(was.gdram)] == v);
        return;
    }
    const Counters now(c);
    was.restore(c);
    const uint8_t back = lcd_read_data(c);
    now.restore(c);
    FUZZ_CHECK(back == (was.cgram == lcd_no_cursor ? v : v & 0x1F));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const bool ask_graphic = (data[0] & 0x80) != 0;
    const int32_t columns = ask_graphic ? 115 : (data[0] & 0x7F) - 8;
    const int32_t rows = ask_graphic ? 64 : static_cast<int8_t>(data[1]);
    auto controller = lcd_create(columns, rows, data[2]);
    FUZZ_CHECK(controller != nullptr);
    LcdController& c = *controller;

    const bool graphic = columns == 115 && rows == 64;
    const int32_t want_rows = graphic                       ? 4
                              : std::clamp(rows, 1, 4) == 3 ? 2
                                                            : std::clamp(rows, 1, 4);
    const int32_t want_columns = graphic ? 16 : std::clamp(columns, 8, 40);
    FUZZ_CHECK(lcd_is_graphic(c) == graphic);
    FUZZ_CHECK(c.columns == want_columns && c.rows == want_rows);
    FUZZ_CHECK(c.dot_width == (graphic ? 115 : 6 * want_columns));
    FUZZ_CHECK(c.dot_height == (graphic ? 64 : 9 * want_rows + 8));
    check_controller(c);

    for (size_t i = 3; i + 1 < size; i += 2) {
        const uint8_t kind = data[i] % 4;
        const uint8_t v = data[i + 1];
        const Counters was(c);
        const uint8_t latch = c.gdram_row_latch;
        const bool graphic_on = c.graphic_on != 0;
        switch (kind) {
            case 0:
                lcd_command(c, v);
                check_instruction(c, v, was, latch);
                break;
            case 1:
                lcd_write_data(c, v);
                check_write(c, v, was, graphic_on);
                break;
            case 2: {
                const auto ddram = c.ddram;
                const auto cgram = c.cgram;
                const auto gdram = c.gdram;
                const uint8_t got = lcd_read_data(c);
                FUZZ_CHECK(c.ddram == ddram && c.cgram == cgram && c.gdram == gdram);
                if (was.cgram == lcd_no_cursor) {
                    FUZZ_CHECK(got == ddram[static_cast<size_t>(was.ddram)]);
                } else {
                    FUZZ_CHECK(got <= 0x1F);
                }
                if (on_counting_path(c, was.ddram)) FUZZ_CHECK(on_counting_path(c, c.ddram_cursor));
                break;
            }
            default:
                check_render(c, v & 1);
                break;
        }
        check_controller(c);
        FUZZ_CHECK(c.columns == want_columns && c.rows == want_rows &&
                   lcd_is_graphic(c) == graphic);
    }
    check_render(c, 0);
    return 0;
}
