// Checks shared by the fuzzing harnesses. A broken invariant prints what
// broke and aborts, which libFuzzer reports as a crash and keeps the input
// for. The controller's invariants: every address counter stays inside the
// memory it indexes, the geometry and the dot matrix keep their sizes, the
// character-generator bytes beside the five dot columns of a slot keep
// their initial 0xAA. The rasteriser's: dots are 0, 1 or 255, the gap
// columns and the rows below the text are never written, a switched-off
// display shows 255 in every cell dot and a switched-on one none, and the
// blink phase changes the picture only while a blinking cursor is shown.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "display/lcd_controller.h"
#include "display/rasteriser.h"

[[noreturn]] inline void fuzz_fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::abort();
}
#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : fuzz_fail(#condition, __FILE__, __LINE__))

// Whether the display-RAM address lies on the path that counting (data
// access, cursor shift) runs through in this geometry; addresses off it are
// reachable only by Set DDRAM address.
inline bool on_counting_path(const LcdController& c, int32_t a) {
    if (lcd_is_graphic(c)) return a >= 0 && a < 64;
    if (c.rows == 1) return a >= 0 && a < 80;
    return (a >= 0 && a < 0x28) || (a >= 0x40 && a < 0x68);
}

inline void check_controller(const LcdController& c) {
    FUZZ_CHECK(c.ddram_cursor >= 0 && c.ddram_cursor < 128);
    FUZZ_CHECK(c.cgram_cursor == lcd_no_cursor || (c.cgram_cursor >= 0 && c.cgram_cursor < 128));
    FUZZ_CHECK(c.gdram_cursor >= 0 && c.gdram_cursor < lcd_gdram_size);
    FUZZ_CHECK(c.gdram_row_latch == 0xFF || c.gdram_row_latch < 32);
    FUZZ_CHECK(c.gdram.empty() || c.gdram.size() == size_t{lcd_gdram_size});
    FUZZ_CHECK(lcd_is_graphic(c) || (!c.graphic_on && !c.extended_set));
    FUZZ_CHECK(c.display_shift >= -(1 << 30) && c.display_shift <= (1 << 30));
    FUZZ_CHECK(c.row_stride > 0 && c.dot_count == c.dot_width * c.dot_height);
    FUZZ_CHECK(c.dots.size() == static_cast<size_t>(c.dot_count));
    const int32_t address = lcd_get_address(c);
    FUZZ_CHECK(address >= 0 && address < 128);
    for (size_t i = 0; i < c.cgram.size(); ++i) FUZZ_CHECK(i % 8 < 5 || c.cgram[i] == 0xAA);
}

// Renders with the other blink phase, then with `phase` (whose dots stay),
// and checks both pictures.
inline void check_render(LcdController& c, int32_t phase) {
    lcd_render(c, 1 - phase);
    const std::vector<uint8_t> other = c.dots;
    lcd_render(c, phase);
    check_controller(c);
    // Rendering text cells normalises a negative shift; graphic RAM has none.
    FUZZ_CHECK(c.graphic_on || c.display_shift >= 0);
    const bool on = (c.display_control & 0x04) != 0;
    const bool blinking = on && (c.display_control & 0x01) != 0 && !c.graphic_on;
    FUZZ_CHECK(blinking || other == c.dots);
    for (int32_t y = 0; y < c.dot_height; ++y) {
        for (int32_t x = 0; x < c.dot_width; ++x) {
            const uint8_t v = c.dots[static_cast<size_t>(y * c.dot_width + x)];
            FUZZ_CHECK(v == 0 || v == 1 || v == 255);
            if (!lcd_is_graphic(c)) {
                const bool gap = x % 6 == 5 || y >= 9 * c.rows;
                FUZZ_CHECK(gap ? v == 0 : (v == 255) == !on);
            } else if (!c.graphic_on) {
                FUZZ_CHECK((v == 255) == !on);
            } else if (x < 112) {
                FUZZ_CHECK(v <= 1);  // graphic RAM ignores the display-on bit
            }
        }
    }
}
