// The display session's operations: each takes the lock for its whole
// effect on the state and requests a repaint only after releasing it.
#include "protocol/display_session.h"

#include "protocol/status_line.h"

bool DisplaySession::start() {
    std::lock_guard lock(mutex_);
    state_.display = lcd_create(20, 4, 1);
    if (!state_.display) return false;
    LcdController& lcd = *state_.display;
    load_custom_glyphs(lcd);
    lcd_command(lcd, 0x0C);
    draw_idle_screen(lcd, state_.composition);
    state_.composition.last_mode_flags = 0;
    return true;
}

void DisplaySession::stop() {
    std::lock_guard lock(mutex_);
    lcd_destroy(state_.display);
}

void DisplaySession::interpret_byte(uint8_t b) {
    bool repaint = false;
    {
        std::lock_guard lock(mutex_);
        if (observer_) observer_(std::span<const uint8_t>(&b, 1), false);
        repaint = ::interpret_byte(state_, b);
    }
    if (repaint) request_repaint();
}

void DisplaySession::interpret_bytes(std::span<const uint8_t> bytes) {
    bool repaint = false;
    {
        std::lock_guard lock(mutex_);
        if (observer_) observer_(bytes, false);
        for (uint8_t b : bytes) repaint = ::interpret_byte(state_, b) || repaint;
    }
    if (repaint) request_repaint();
}

void DisplaySession::on_timer() {
    bool expired = false;
    {
        std::lock_guard lock(mutex_);
        if (observer_) observer_({}, true);
        CompositionState& composition = state_.composition;
        if (composition.flash_countdown > 0 && --composition.flash_countdown == 0 &&
            state_.display) {
            draw_mode_field(*state_.display, composition, composition.last_mode_flags, 1, 0);
            expired = true;
        }
    }
    // The expiry's repaint shows the blink phase of before this tick.
    if (expired) request_repaint();
    std::lock_guard lock(mutex_);
    blink_tick(state_.blink);
}

std::optional<ScreenSnapshot> DisplaySession::snapshot() {
    std::lock_guard lock(mutex_);
    if (!state_.display) return std::nullopt;
    return take_screen_snapshot(*state_.display, state_.blink.phase);
}

void DisplaySession::request_repaint() {
    ++repaints_;
    if (repaint_) repaint_();
}
