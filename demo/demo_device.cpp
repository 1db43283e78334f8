// The demonstration unit's firmware: its screens, its key handling and its
// 50 ms timer.
//
// Every screen is drawn from the tables below with the commands a real unit
// uses for it: the start-up screen as one whole-screen text, the menu as
// blank-filled rows with a pointer that moves on its own and rows 2..4
// scrolling under the status line, the name entry echoing each key at the
// cursor, the calibration with the busy indicator and a progress bar, the
// event log scrolling all four rows. The status line is refreshed twice a
// second with new levels, and the operating mode steps on every four
// seconds; the display draws a mode only when it changed, so the unit sends
// it each time and forces it only after a whole-screen redraw.
//
// Left alone (no key for redraw_period), the unit redraws its current screen
// whole: the status line from its skeleton (with the override it should
// have), rows 2..4, and the cursor style and place the screen needs. It
// draws over what the display shows without clearing it first, so a display
// that saw everything does not flicker; only the self-test is drawn by the
// display itself, after a reset, as when it was opened.
#include "demo/demo_device.h"

#include <array>
#include <cstdio>
#include <string_view>
#include <utility>

namespace {

constexpr bool is_printable(uint8_t code) {
    return code >= 0x20 && code <= 0x7E;
}

constexpr uint32_t ticks(uint32_t ms) {
    return ms / DemoDevice::tick_ms;
}

// Timer periods, in ticks.
constexpr uint32_t splash_time = ticks(2000);  // its second line appears halfway
constexpr uint32_t status_period = ticks(500);
constexpr uint32_t mode_period = ticks(4000);
constexpr uint32_t flash_time = ticks(1000);  // the display shows flash text this long
constexpr uint32_t event_period = ticks(3000);
constexpr uint32_t busy_period = ticks(200);
constexpr uint32_t result_time = ticks(2000);
constexpr uint32_t keep_alive_period = ticks(1000);
// No key for this long, and the whole screen is drawn again, then again every
// period. The program drops what arrives in its first 400 ms after linking,
// so whenever it links, the next redraw it takes in comes within 2.4 s.
constexpr uint32_t redraw_period = ticks(2000);
// The start-up screen gives way to the whole main screen before a redraw is
// due, and a flash text (shown after a key) is over before one is.
static_assert(splash_time <= redraw_period && flash_time < redraw_period);

// Settings sent at power-up and the beep on a refused key; the display here
// skips all three.
constexpr uint8_t backlight_level = 100;
constexpr uint8_t contrast_level = 60;
constexpr uint8_t beep_length = 5;

constexpr uint32_t fallback_seed = 0x2545F491;  // xorshift cannot start from 0

constexpr std::string_view splash_screen =
    "                    "
    "  Qor demo device   "
    "    firmware 1.0    "
    "                    ";
static_assert(splash_screen.size() == 80);

// The menu: five items on rows 2..4, a pointer in column 1.
enum class Item : uint8_t { name, calibrate, event_log, display_test, about };
struct MenuItem {
    std::string_view label;
    Item item;
};
constexpr std::array<MenuItem, 5> menu = {{
    {"Name: ", Item::name},  // followed by the unit's name
    {"Calibrate", Item::calibrate},
    {"Event log", Item::event_log},
    {"Display test", Item::display_test},
    {"About", Item::about},
}};
constexpr size_t menu_rows = 3;
constexpr uint8_t first_menu_row = 2;
constexpr std::string_view menu_indent = "  ";
constexpr uint8_t menu_pointer = '>';

// The operating modes the unit steps through, so that every form of the
// mode field appears: a one with H, P, B and W letters, the arrow at either
// end, and the two word forms.
constexpr std::array<uint8_t, 6> modes = {0x40, 0x42, 0x14, 0x48, 0x01, 0x80};

// What the unit logs by itself, one every event_period, picked at random.
constexpr std::array<std::string_view, 8> events = {
    "Door opened",   "Door closed", "Pump on",      "Pump off",
    "Tank 80% full", "Temp 21 C",   "Link checked", "Fan speed 3",
};
constexpr size_t log_rows = 4;
constexpr size_t log_capacity = 24;

// Name entry on row 3: the prompt, then at most name_max characters, so that
// the cursor after the last one stays on the row.
constexpr std::string_view name_prompt = "Name: ";
constexpr uint8_t name_row = 3;
constexpr size_t name_max = 12;

// Calibration: an hourglass of the unit's own in the title, the busy
// indicator beside "Please wait", and a bar of full meter cells on row 4
// growing by one cell per step.
constexpr uint8_t hourglass_slot = 7;
constexpr GlyphRows hourglass = {0x00, 0x1F, 0x11, 0x0A, 0x04, 0x0A, 0x15};  // row 7 the base
constexpr std::string_view calibration_title = "\x07 Calibrating \x07";
constexpr uint8_t busy_column = 17;
constexpr uint8_t busy_row = 3;
constexpr uint8_t progress_row = 4;
constexpr uint8_t progress_cells = 20;
constexpr uint8_t full_cell = 0x01;

// "mm:ss " of the time since power-up.
std::string timestamp(uint32_t uptime_ticks) {
    const uint32_t seconds = uptime_ticks / (1000 / DemoDevice::tick_ms);
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%02u:%02u ", (seconds / 60) % 100, seconds % 60);
    return text.data();
}

}  // namespace

DemoDevice::DemoDevice(const DemoKeyCodes& keys, uint32_t seed)
    : keys_(keys), seed_(seed != 0 ? seed : fallback_seed), random_(seed_) {}

DemoDevice::Key DemoDevice::key_of(uint8_t code) const {
    const std::array<std::pair<uint8_t, Key>, 8> named = {{
        {keys_.escape, Key::escape},
        {keys_.f1, Key::f1},
        {keys_.f12, Key::f12},
        {keys_.insert, Key::insert},
        {keys_.up, Key::up},
        {keys_.down, Key::down},
        {keys_.enter, Key::enter},
        {keys_.backspace, Key::backspace},
    }};
    for (const auto& [key_code, name] : named) {
        if (code == key_code) return name;
    }
    return Key::other;
}

std::vector<uint8_t> DemoDevice::start() {
    *this = DemoDevice(keys_, seed_);
    std::vector<uint8_t> bytes;
    DisplayCommands out(bytes);
    screen_ = Screen::splash;
    screen_countdown_ = splash_time;
    status_countdown_ = status_period;
    mode_countdown_ = mode_period;
    event_countdown_ = event_period;
    alone_countdown_ = redraw_period;

    // The display may still hold what an earlier session left half sent, or
    // its overrides: back in step first, then a reset, and no overrides.
    out.no_op();
    out.back_in_step();
    out.reset();
    out.number_override_off(NumberField::left);
    out.number_override_off(NumberField::right);
    out.backlight(backlight_level);
    out.contrast(contrast_level);
    out.cursor_style(CursorStyle::none);
    out.screen_text(splash_screen);
    log_event(out, "Power on");
    return bytes;
}

std::vector<uint8_t> DemoDevice::key(uint8_t code) {
    std::vector<uint8_t> bytes;
    DisplayCommands out(bytes);
    alone_countdown_ = redraw_period;
    const Key pressed = key_of(code);
    switch (screen_) {
        case Screen::off:
        case Screen::splash:
            return bytes;  // keys are read from the main screen on
        case Screen::self_test:
            show_menu(out, true);  // any key ends the self-test
            return bytes;
        default:
            break;
    }
    if (pressed == Key::f12) {
        show_self_test(out);
        return bytes;
    }
    if (pressed == Key::f1 && shows_status_line()) {
        // Help: the screen's name flashes over the mode field.
        const std::string_view word = screen_ == Screen::menu          ? "MENU"
                                      : screen_ == Screen::name_entry  ? "EDIT"
                                      : screen_ == Screen::calibration ? "BUSY"
                                                                       : "INFO";
        out.flash_text(word);
        flash_hold_ = flash_time;
        return bytes;
    }
    switch (screen_) {
        case Screen::menu:
            menu_key(out, pressed);
            break;
        case Screen::name_entry:
            name_entry_key(out, code, pressed);
            break;
        case Screen::calibration:
            calibration_key(out, pressed);
            break;
        case Screen::event_log:
            event_log_key(out, pressed);
            break;
        case Screen::about:
            if (pressed == Key::escape || pressed == Key::enter) {
                show_menu(out, false);
            } else {
                out.beep(beep_length);
            }
            break;
        default:
            break;
    }
    return bytes;
}

std::vector<uint8_t> DemoDevice::advance(uint32_t elapsed_ms) {
    std::vector<uint8_t> bytes;
    if (screen_ == Screen::off) return bytes;
    DisplayCommands out(bytes);
    const uint64_t total = uint64_t{pending_ms_} + elapsed_ms;
    pending_ms_ = static_cast<uint32_t>(total % tick_ms);
    for (uint64_t i = total / tick_ms; i > 0; --i) tick(out);
    return bytes;
}

void DemoDevice::tick(DisplayCommands& out) {
    ++uptime_ticks_;
    if (flash_hold_ > 0) {
        --flash_hold_;  // the mode field belongs to the flash text meanwhile
    } else if (--mode_countdown_ == 0) {
        mode_countdown_ = mode_period;
        mode_index_ = (mode_index_ + 1) % modes.size();
    }
    if (--event_countdown_ == 0) {
        event_countdown_ = event_period;
        log_event(out, std::string(events[next_random() % events.size()]));
    }
    --alone_countdown_;
    tick_screen(out);
    const bool redraw_due = alone_countdown_ == 0;
    if (redraw_due) alone_countdown_ = redraw_period;
    if (--status_countdown_ == 0) {
        status_countdown_ = status_period;
        if (shows_status_line()) {
            step_levels();
            if (!redraw_due) draw_levels(out);  // the redraw draws them
        }
    }
    if (redraw_due) redraw(out);
}

void DemoDevice::tick_screen(DisplayCommands& out) {
    switch (screen_) {
        case Screen::splash:
            --screen_countdown_;
            if (screen_countdown_ == splash_time / 2) out.centred_text(4, "starting ...");
            if (screen_countdown_ == 0) {
                show_menu(out, true);
                alone_countdown_ = redraw_period;  // drawn whole: the wait starts now
            }
            break;
        case Screen::calibration:
            if (--screen_countdown_ > 0) break;
            if (calibration_done_) {
                show_menu(out, false);
            } else {
                calibration_step(out);
            }
            break;
        case Screen::self_test:
            if (--screen_countdown_ == 0) {
                screen_countdown_ = keep_alive_period;
                out.no_op_2();  // keep-alive
            }
            break;
        default:
            break;
    }
}

uint32_t DemoDevice::next_random() {
    random_ ^= random_ << 13;
    random_ ^= random_ >> 17;
    random_ ^= random_ << 5;
    return random_;
}

bool DemoDevice::shows_status_line() const {
    return screen_ == Screen::menu || screen_ == Screen::name_entry ||
           screen_ == Screen::calibration || screen_ == Screen::about;
}

void DemoDevice::redraw(DisplayCommands& out) {
    if (shows_status_line()) redraw_status_line(out);
    switch (screen_) {
        case Screen::off:
        case Screen::splash:  // never due: the main screen follows it first
            break;
        case Screen::menu:
            show_menu(out, false);
            break;
        case Screen::name_entry:
            draw_name_entry(out);
            break;
        case Screen::calibration:
            out.cursor_style(CursorStyle::none);
            draw_calibration(out);
            break;
        case Screen::event_log:
            out.cursor_style(CursorStyle::none);
            draw_log_rows(out);
            break;
        case Screen::about:
            out.cursor_style(CursorStyle::none);
            draw_about(out);
            break;
        case Screen::self_test:
            draw_self_test(out);
            break;
    }
}

uint8_t DemoDevice::mode_flags() const {
    return modes[mode_index_];
}

void DemoDevice::draw_status_line(DisplayCommands& out) const {
    out.status_skeleton();
    out.left_number(rx_level_);
    out.right_number(tx_level_);
    out.meter(static_cast<uint8_t>(rx_level_ * 12 / 100));
    out.mode_forced(mode_flags());
}

void DemoDevice::redraw_status_line(DisplayCommands& out) const {
    // The display may have linked since the override was sent, or still
    // hold one from an earlier session.
    if (calibration_override_) {
        out.number_override(NumberField::right, "CAL");
    } else {
        out.number_override_off(NumberField::right);
    }
    draw_status_line(out);
}

void DemoDevice::step_levels() {
    // The receive level wanders by 1..4 each time, so the status line never
    // stands still; the transmit level drifts by at most one.
    const uint32_t r = next_random();
    const auto step = static_cast<uint8_t>(1 + r % 4);
    const bool up = ((r >> 8) & 1u) != 0;
    if (up ? rx_level_ + step <= 99 : rx_level_ < step) {
        rx_level_ = static_cast<uint8_t>(rx_level_ + step);
    } else {
        rx_level_ = static_cast<uint8_t>(rx_level_ - step);
    }
    const uint32_t drift = (r >> 16) % 3;
    if (drift == 0 && tx_level_ > 0) --tx_level_;
    if (drift == 2 && tx_level_ < 99) ++tx_level_;
}

void DemoDevice::draw_levels(DisplayCommands& out) const {
    out.left_number(rx_level_);
    out.right_number(tx_level_);
    out.meter(static_cast<uint8_t>(rx_level_ * 12 / 100));
    out.mode(mode_flags());
}

void DemoDevice::show_menu(DisplayCommands& out, bool whole_screen) {
    screen_ = Screen::menu;
    out.cursor_style(CursorStyle::none);
    if (whole_screen) {
        out.clear();
        draw_status_line(out);
    }
    for (size_t item = menu_top_; item < menu_top_ + menu_rows; ++item) draw_menu_item(out, item);
    mark_selection(out, menu_pointer);
}

void DemoDevice::draw_menu_item(DisplayCommands& out, size_t item) const {
    std::string text = std::string(menu_indent) + std::string(menu[item].label);
    if (menu[item].item == Item::name) text += name_;
    out.blank_filled_row_text(static_cast<uint8_t>(first_menu_row + item - menu_top_), text);
}

void DemoDevice::mark_selection(DisplayCommands& out, uint8_t character) const {
    out.goto_cell(1, static_cast<uint8_t>(first_menu_row + menu_selected_ - menu_top_));
    out.character_2(character);
}

void DemoDevice::menu_key(DisplayCommands& out, Key pressed) {
    switch (pressed) {
        case Key::down:
            if (menu_selected_ + 1 >= menu.size()) break;
            mark_selection(out, ' ');
            ++menu_selected_;
            if (menu_selected_ >= menu_top_ + menu_rows) {
                ++menu_top_;
                out.scroll_lower_up();
                draw_menu_item(out, menu_selected_);
            }
            mark_selection(out, menu_pointer);
            return;
        case Key::up:
            if (menu_selected_ == 0) break;
            mark_selection(out, ' ');
            --menu_selected_;
            if (menu_selected_ < menu_top_) {
                --menu_top_;
                out.scroll_lower_down();
                draw_menu_item(out, menu_selected_);
            }
            mark_selection(out, menu_pointer);
            return;
        case Key::enter:
            open_item(out);
            return;
        default:
            break;  // Escape included: the menu is the top screen
    }
    out.beep(beep_length);
}

void DemoDevice::open_item(DisplayCommands& out) {
    switch (menu[menu_selected_].item) {
        case Item::name:
            show_name_entry(out);
            break;
        case Item::calibrate:
            show_calibration(out);
            break;
        case Item::event_log:
            show_event_log(out);
            break;
        case Item::display_test:
            show_self_test(out);
            break;
        case Item::about:
            show_about(out);
            break;
    }
}

void DemoDevice::show_name_entry(DisplayCommands& out) {
    screen_ = Screen::name_entry;
    draft_ = name_;
    draw_name_entry(out);
}

void DemoDevice::draw_name_entry(DisplayCommands& out) const {
    out.centred_text(2, "Enter a unit name");
    out.blank_filled_row_text(4, "Enter=save  Esc=undo");
    out.clear_row(name_row);
    out.goto_cell(1, name_row);
    out.text(std::string(name_prompt) + draft_);  // the cursor stays after it
    out.cursor_style(entry_cursor_);
}

void DemoDevice::name_entry_key(DisplayCommands& out, uint8_t code, Key pressed) {
    if (is_printable(code)) {
        if (draft_.size() >= name_max) return out.beep(beep_length);
        draft_.push_back(static_cast<char>(code));
        out.character(code);
        return;
    }
    switch (pressed) {
        case Key::backspace:
            if (draft_.empty()) return out.beep(beep_length);
            draft_.pop_back();
            out.backspace();
            return;
        case Key::insert:
            entry_cursor_ = entry_cursor_ == CursorStyle::underline ? CursorStyle::block
                                                                    : CursorStyle::underline;
            out.cursor_style(entry_cursor_);
            return;
        case Key::enter:
            if (draft_ != name_) log_event(out, "Name changed");
            name_ = draft_;
            return show_menu(out, false);
        case Key::escape:
            return show_menu(out, false);
        default:
            return out.beep(beep_length);
    }
}

void DemoDevice::show_calibration(DisplayCommands& out) {
    screen_ = Screen::calibration;
    calibration_steps_ = 0;
    calibration_done_ = false;
    screen_countdown_ = busy_period;
    draw_calibration(out);
    out.number_override(NumberField::right, "CAL");
    out.right_number(tx_level_);
    calibration_override_ = true;
}

void DemoDevice::draw_calibration(DisplayCommands& out) const {
    if (calibration_done_) {
        draw_calibration_result(out);
    } else {
        // The glyph is sent each time: a display that was restarted
        // meanwhile would not have it.
        out.define_glyph(hourglass_slot, hourglass, 1, 2);
        out.centred_text(2, calibration_title);
        out.centred_text(3, "Please wait");
    }
    if (calibration_steps_ == 0) {
        out.clear_row(progress_row);
    } else {
        out.blank_filled_row_text(progress_row,
                                  std::string(calibration_steps_, static_cast<char>(full_cell)));
    }
    if (!calibration_done_) {
        out.busy_position(busy_column, busy_row);
        out.busy_step();
    }
}

void DemoDevice::draw_calibration_result(DisplayCommands& out) const {
    out.centred_text(2, "Calibration done");
    std::array<char, 16> result{};
    std::snprintf(result.data(), result.size(), "Offset %+d",
                  static_cast<int>(calibration_offset_));
    out.centred_text(3, result.data());
}

void DemoDevice::calibration_step(DisplayCommands& out) {
    ++calibration_steps_;
    out.busy_step();
    out.goto_cell(calibration_steps_, progress_row);
    out.character(full_cell);
    if (calibration_steps_ == progress_cells) {
        end_calibration(out);
    } else {
        screen_countdown_ = busy_period;
    }
}

void DemoDevice::end_calibration(DisplayCommands& out) {
    calibration_done_ = true;
    calibration_offset_ = static_cast<int32_t>(next_random() % 9) - 4;
    screen_countdown_ = result_time;
    drop_calibration_override(out);
    draw_status_line(out);
    draw_calibration_result(out);
    log_event(out, "Calibrated");
}

void DemoDevice::drop_calibration_override(DisplayCommands& out) {
    // Where the status line stays, the caller redraws it: the override's
    // four cells covered "TX" as well, and the number alone does not.
    if (!calibration_override_) return;
    out.number_override_off(NumberField::right);
    calibration_override_ = false;
}

void DemoDevice::calibration_key(DisplayCommands& out, Key pressed) {
    if (calibration_done_ || pressed == Key::escape) {
        if (calibration_override_) {
            drop_calibration_override(out);
            draw_status_line(out);
        }
        return show_menu(out, false);
    }
    out.beep(beep_length);
}

void DemoDevice::show_event_log(DisplayCommands& out) {
    screen_ = Screen::event_log;
    // The log takes the whole screen: the reset also cancels a flash text
    // that would otherwise come back over row 1.
    out.reset();
    log_top_ = log_.size() > log_rows ? log_.size() - log_rows : 0;
    draw_log_rows(out);
}

void DemoDevice::draw_log_rows(DisplayCommands& out) const {
    for (size_t row = 0; row < log_rows; ++row) {
        const size_t entry = log_top_ + row;
        out.row_text(static_cast<uint8_t>(row + 1), entry < log_.size() ? log_[entry] : "");
    }
}

void DemoDevice::event_log_key(DisplayCommands& out, Key pressed) {
    switch (pressed) {
        case Key::up:
            if (log_top_ == 0) break;
            --log_top_;
            out.scroll_down();
            out.row_text(1, log_[log_top_]);
            return;
        case Key::down:
            if (log_top_ + log_rows >= log_.size()) break;
            ++log_top_;
            out.scroll_up();
            out.row_text(log_rows, log_[log_top_ + log_rows - 1]);
            return;
        case Key::escape:
        case Key::enter:
            return show_menu(out, true);
        default:
            break;
    }
    out.beep(beep_length);
}

void DemoDevice::log_event(DisplayCommands& out, const std::string& text) {
    const std::string entry = timestamp(uptime_ticks_) + text;
    // A log showing its newest entry follows new ones; one scrolled back
    // stays where it is.
    const bool follows = screen_ == Screen::event_log && log_top_ + log_rows >= log_.size();
    log_.push_back(entry);
    if (follows) {
        if (log_.size() > log_rows) {
            ++log_top_;
            out.scroll_up();
            out.row_text(log_rows, entry);
        } else {
            out.row_text(static_cast<uint8_t>(log_.size()), entry);
        }
    }
    if (log_.size() > log_capacity) {
        log_.erase(log_.begin());
        if (log_top_ > 0) {
            --log_top_;
        } else if (screen_ == Screen::event_log) {
            draw_log_rows(out);  // the oldest row shown is gone
        }
    }
}

void DemoDevice::show_about(DisplayCommands& out) {
    screen_ = Screen::about;
    draw_about(out);
}

void DemoDevice::draw_about(DisplayCommands& out) const {
    out.centred_text(2, "Qor demo device");
    out.blank_filled_row_text(3, "    firmware 1.0");
    out.blank_filled_row_text(4, " F1 help  F12 test");
}

void DemoDevice::show_self_test(DisplayCommands& out) {
    drop_calibration_override(out);
    draw_self_test(out);
    screen_ = Screen::self_test;
    screen_countdown_ = keep_alive_period;
}

void DemoDevice::draw_self_test(DisplayCommands& out) const {
    out.cursor_style(CursorStyle::none);
    out.reset();  // also cancels a flash text that would come back over the test
    out.self_test();
}
