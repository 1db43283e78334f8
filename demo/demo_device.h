// A simulated device of the family: the firmware of a small demonstration
// unit, which answers key codes and the passing of time with the display
// byte stream a real unit sends, so the program can be tried without one.
//
// Design: a state machine over the unit's screens (start-up, menu, name
// entry, calibration, event log, about, display self-test) behind three entry
// points; each returns only whole commands, so the display is never left in
// the middle of one between calls. Time is counted in ticks of the unit's own
// 50 ms timer, fed by advance(); there is no clock of its own, and its
// "measurements" come from a small generator seeded at construction, so a
// script of keys and delays always produces the same bytes.
//
// Screen layout: row 1 is the status line (link levels, meter, mode field),
// which the unit refreshes twice a second; rows 2..4 hold the menu and the
// screens opened from it. The event log and the self-test take all four rows.
//
// Like the family's units, it redraws its whole current screen when no key
// has come for two seconds, and again every two seconds while none comes:
// a display that linked after the screen was drawn (the program drops what
// arrives while it settles) shows all of it within that time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "demo/display_commands.h"

// The key codes the unit answers. They are the device's key codes, which the
// programs' key translation (keyboard/) defines; whoever builds a unit hands
// them in (demo_key_codes(), panel/demo_link.h), so that the unit answers
// exactly the codes a window sends for these keys.
struct DemoKeyCodes {
    uint8_t escape = 0;
    uint8_t f1 = 0;
    uint8_t f12 = 0;
    uint8_t insert = 0;
    uint8_t up = 0;
    uint8_t down = 0;
    uint8_t enter = 0;
    uint8_t backspace = 0;
};

class DemoDevice {
public:
    // Milliseconds per tick of the unit's timer; advance() runs whole ticks
    // and carries the remainder over to the next call.
    static constexpr uint32_t tick_ms = 50;

    explicit DemoDevice(const DemoKeyCodes& keys, uint32_t seed = 1);

    // Power-up: everything back to its initial state; returns the start-up
    // screen. The main screen follows two seconds later (advance()).
    std::vector<uint8_t> start();
    // One key code from the program; what the unit draws in answer.
    std::vector<uint8_t> key(uint8_t code);
    // Time passing; everything the unit sends meanwhile, in order.
    std::vector<uint8_t> advance(uint32_t elapsed_ms);

private:
    // A key code as the unit reads it: one of its keys, or any other code.
    enum class Key : uint8_t { other, escape, f1, f12, insert, up, down, enter, backspace };
    Key key_of(uint8_t code) const;

    enum class Screen : uint8_t {
        off,  // before start(): keys and time do nothing
        splash,
        menu,
        name_entry,
        calibration,
        event_log,
        about,
        self_test,
    };

    void tick(DisplayCommands& out);
    void tick_screen(DisplayCommands& out);
    uint32_t next_random();
    bool shows_status_line() const;
    // The whole current screen again, drawn over whatever the display shows.
    void redraw(DisplayCommands& out);

    // Status line.
    void draw_status_line(DisplayCommands& out) const;
    void redraw_status_line(DisplayCommands& out) const;
    void step_levels();
    void draw_levels(DisplayCommands& out) const;
    uint8_t mode_flags() const;

    // Menu.
    void show_menu(DisplayCommands& out, bool whole_screen);
    void draw_menu_item(DisplayCommands& out, size_t item) const;
    void mark_selection(DisplayCommands& out, uint8_t character) const;
    void menu_key(DisplayCommands& out, Key pressed);
    void open_item(DisplayCommands& out);

    // Screens opened from the menu.
    void show_name_entry(DisplayCommands& out);
    void draw_name_entry(DisplayCommands& out) const;
    void name_entry_key(DisplayCommands& out, uint8_t code, Key pressed);
    void show_calibration(DisplayCommands& out);
    void draw_calibration(DisplayCommands& out) const;
    void draw_calibration_result(DisplayCommands& out) const;
    void calibration_step(DisplayCommands& out);
    void end_calibration(DisplayCommands& out);
    void drop_calibration_override(DisplayCommands& out);
    void calibration_key(DisplayCommands& out, Key pressed);
    void show_event_log(DisplayCommands& out);
    void draw_log_rows(DisplayCommands& out) const;
    void event_log_key(DisplayCommands& out, Key pressed);
    void log_event(DisplayCommands& out, const std::string& text);
    void show_about(DisplayCommands& out);
    void draw_about(DisplayCommands& out) const;
    void show_self_test(DisplayCommands& out);
    void draw_self_test(DisplayCommands& out) const;

    DemoKeyCodes keys_;
    uint32_t seed_;
    uint32_t random_;
    Screen screen_ = Screen::off;
    uint32_t pending_ms_ = 0;        // time not yet making a whole tick
    uint32_t uptime_ticks_ = 0;      // ticks since start()
    uint32_t screen_countdown_ = 0;  // ticks to the current screen's next timed step
    uint32_t status_countdown_ = 0;  // ticks to the next status refresh
    uint32_t mode_countdown_ = 0;    // ticks to the next operating mode
    uint32_t event_countdown_ = 0;   // ticks to the next logged event
    uint32_t flash_hold_ = 0;        // ticks the mode field is left to the flash text
    // Ticks to the next whole redraw; a key restarts the wait, and the main
    // screen's first drawing starts it.
    uint32_t alone_countdown_ = 0;

    uint8_t rx_level_ = 40;  // left number, 0..99; the meter follows it
    uint8_t tx_level_ = 60;  // right number, 0..99
    size_t mode_index_ = 0;
    bool calibration_override_ = false;  // "CAL" replaces the right number

    size_t menu_top_ = 0;  // item on row 2
    size_t menu_selected_ = 0;
    std::string name_ = "QOR-7";
    std::string draft_;  // the name being typed
    CursorStyle entry_cursor_ = CursorStyle::underline;

    uint8_t calibration_steps_ = 0;
    bool calibration_done_ = false;
    int32_t calibration_offset_ = 0;  // the result shown when done

    std::vector<std::string> log_;  // formatted rows, oldest first
    size_t log_top_ = 0;            // entry on row 1 while the log is shown
};
