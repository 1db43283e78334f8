// Fuzzing harness of the display session: one session, started as the
// program starts it, takes the input as the device's byte stream with timer
// ticks mixed in, then paints: the window's picture is built from the dots
// and scaled to a size preset.
//
// Framing: the first byte is the tick marker. Every later byte equal to it
// is one 100 ms timer tick, every other byte goes to the interpreter (any
// byte value can be fed by choosing another marker). The marker also says
// whether the picture is built: only for markers 0xF8..0xFF, since building
// and scaling it costs more than all the rest of a run; the marker's low
// bits choose the size preset and the colour scheme.
//
// Checked after every byte and tick: the interpreter is in one of its states
// with its counters inside the buffers they index, the controller keeps the
// 20 x 4 geometry and its invariants (fuzz_checks.h), the status-line
// routines leave a display-RAM address counter where they found it, a reset
// clears the mode field's state and the blink clock, and the repaint request
// comes without the session's lock held (the callback takes it: a held lock
// deadlocks, which the run's time-out reports). At every tick and at the end
// the dot matrix is rendered and checked, and a picture must show every dot
// as a 4 x 4 square of its colour.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_checks.h"
#include "image/window_image.h"
#include "protocol/display_session.h"

namespace {

// The interpreter's fields inside their bounds, whatever the state.
void check_session(SessionState& s) {
    const HostInterpreter& h = s.host;
    FUZZ_CHECK(h.cmd_state <= ST_OVERRIDE_TEXT);
    FUZZ_CHECK(h.busy_step <= 6);
    switch (h.cmd_state) {
        case ST_ROW_TEXT_CELLS:
        case ST_BLANK_FILLED_CELLS:
            FUZZ_CHECK(h.byte_count < 20);
            break;
        case ST_SCREEN_TEXT:
            FUZZ_CHECK(h.byte_count < 80);
            break;
        case ST_CENTRED_TEXT:
            FUZZ_CHECK(h.byte_count < h.text_buf.size());
            break;
        case ST_FLASH_TEXT:
            FUZZ_CHECK(h.byte_count < 4);
            break;
        case ST_GLYPH_ROWS:
            FUZZ_CHECK(h.byte_count < 7);
            break;
        case ST_OVERRIDE_TEXT:
            FUZZ_CHECK(h.byte_count < 3);
            break;
        default:
            break;
    }
    FUZZ_CHECK(s.composition.flash_countdown >= 0 && s.composition.flash_countdown <= 10);
    FUZZ_CHECK(s.blink.counter >= 0 && s.blink.counter < 15 && s.blink.phase <= 1);
    FUZZ_CHECK(s.display != nullptr);
    const LcdController& c = *s.display;
    FUZZ_CHECK(c.columns == 20 && c.rows == 4 && !lcd_is_graphic(c));
    FUZZ_CHECK(c.dot_width == 120 && c.dot_height == 44);
    check_controller(c);
}

// Whether the byte completes a status-line command, whose routine restores
// the address counter it found.
bool completes_bracketed(const HostInterpreter& h, uint8_t b) {
    switch (h.cmd_state) {
        case ST_IDLE:
            return b == command_byte(Command::status_skeleton);
        case ST_METER:
        case ST_LEFT_NUMBER:
        case ST_RIGHT_NUMBER:
        case ST_MODE:
        case ST_MODE_FORCED:
            return true;
        case ST_FLASH_TEXT:
            return h.byte_count == 3;
        default:
            return false;
    }
}

// The picture of the dots: every dot a 4 x 4 square right of the one-dot
// margin, every pixel no dot covers the dot-off colour.
void check_picture(const LcdController& c, uint8_t marker) {
    const SchemeColors colors = scheme_colors((marker & 4) ? 1 : 0);
    const uint32_t on = colorref_to_pixel(colors.dot_on);
    const uint32_t off = colorref_to_pixel(colors.dot_off);
    static std::vector<uint32_t> pixels;  // kept between runs: no large allocation per run
    build_window_image(c, colors, pixels);
    FUZZ_CHECK(pixels.size() == size_t{image_width} * image_height);
    for (int32_t py = 0; py < image_height; ++py) {
        for (int32_t px = 0; px < image_width; ++px) {
            const int32_t x = px / dot_pixels - 1;
            const int32_t y = py / dot_pixels;
            const bool lit = x >= 0 && x < c.dot_width && y < c.dot_height &&
                             c.dots[static_cast<size_t>(y * c.dot_width + x)] != 0;
            FUZZ_CHECK(pixels[static_cast<size_t>(py * image_width + px)] == (lit ? on : off));
        }
    }
    const SizePreset* preset = size_preset_info(static_cast<uint8_t>(marker % 4 + 1));
    FUZZ_CHECK(preset != nullptr);
    const std::vector<uint32_t> scaled =
        scale_image(pixels, image_width, image_height, preset->image_cx, preset->image_cy);
    FUZZ_CHECK(scaled.size() == static_cast<size_t>(preset->image_cx * preset->image_cy));
    for (uint32_t p : scaled) FUZZ_CHECK(p == on || p == off);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t marker = data[0];
    DisplaySession* self = nullptr;
    uint64_t callbacks = 0;
    DisplaySession session([&] {
        ++callbacks;
        self->with_state([](SessionState&) {});
    });
    self = &session;
    FUZZ_CHECK(session.start());
    session.with_state(check_session);

    for (size_t i = 1; i < size; ++i) {
        const uint8_t b = data[i];
        int32_t before = 0;
        bool bracketed = false;
        bool reset = false;
        session.with_state([&](SessionState& s) {
            before = s.display->cgram_cursor == lcd_no_cursor ? s.display->ddram_cursor : -1;
            bracketed = completes_bracketed(s.host, b);
            reset = s.host.cmd_state == ST_IDLE && b == command_byte(Command::reset);
        });
        if (b == marker) {
            session.on_timer();
            bracketed = true;  // the flash text's expiry redraws the mode field
            reset = false;
        } else {
            session.interpret_byte(b);
        }
        session.with_state([&](SessionState& s) {
            check_session(s);
            if (bracketed && before >= 0) FUZZ_CHECK(s.display->ddram_cursor == before);
            if (reset) {
                FUZZ_CHECK(s.composition.last_mode_flags == 0);
                FUZZ_CHECK(s.composition.flash_countdown == 0 && s.blink.counter == 0);
            }
            if (b == marker) check_render(*s.display, s.blink.phase);
        });
        FUZZ_CHECK(callbacks == session.repaint_count());
    }

    if (marker >= 0xF8) {
        FUZZ_CHECK(session.render([&](const LcdController& c) { check_picture(c, marker); }));
    }
    session.with_state([](SessionState& s) { check_render(*s.display, s.blink.phase); });

    // A stopped session drops what still arrives.
    session.stop();
    session.interpret_byte(command_byte(Command::reset));
    FUZZ_CHECK(!session.render([](const LcdController&) {}));
    FUZZ_CHECK(callbacks == session.repaint_count());
    return 0;
}
