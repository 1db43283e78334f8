// The host command interpreter: a state machine over the device's byte
// stream, one byte per call.
//
// While idle, the command table (take_command, a switch on the command
// byte) either carries out a command that has no arguments or enters the
// first state of one that has. Every later byte is an argument whatever its
// value, and is handled by the state table (take_argument, one case per
// state). Both return whether the byte completed a command that asks for a
// repaint; the session makes that request after releasing its lock, because
// the paint it waits for takes the same lock.
//
// The interpreter's fields live in the session state's `host`, the
// status-line state it writes in its `composition`. Arguments are passed on unchanged: the
// primitives define what out-of-range rows, columns, levels and styles do. Only the
// custom-character slot (above 7 becomes 0) and the override selector (1 or
// not 1) are limited here.
#include "protocol/interpreter.h"

#include <tuple>

#include "protocol/cell_primitives.h"
#include "protocol/status_line.h"

namespace {

// Longest centred text kept: text_buf holds it with its terminating 0.
// Characters after it are dropped until the 0 arrives.
constexpr uint8_t centred_text_max =
    static_cast<uint8_t>(std::tuple_size_v<decltype(HostInterpreter::text_buf)> - 1);

// One byte's work on a session state: the two tables below are its member
// functions, so that they read like the state machine they are.
class Step {
public:
    explicit Step(SessionState& state)
        : lcd(*state.display),
          host(state.host),
          composition(state.composition),
          blink(state.blink) {}

    // A byte while idle: dispatch on the command byte.
    bool take_command(uint8_t b);
    // A byte inside a command's arguments, handled by the current state.
    bool take_argument(uint8_t b);

private:
    LcdController& lcd;
    HostInterpreter& host;
    CompositionState& composition;
    BlinkClock& blink;

    // Enters a state that waits for further bytes; no repaint yet.
    bool expect(uint8_t state) {
        host.cmd_state = state;
        return false;
    }

    // Ends the current command; returns whether it asks for a repaint.
    bool finish(bool repaint) {
        host.cmd_state = ST_IDLE;
        return repaint;
    }

    // Counts one more byte of a counted argument; after the limit-th byte the
    // command ends, with or without a repaint.
    bool count_byte(uint8_t limit, bool repaint) {
        if (++host.byte_count < limit) return false;
        return finish(repaint);
    }
};

// Bytes outside 0x85..0xA6 do nothing.
bool Step::take_command(uint8_t b) {
    switch (b) {
        case 0x85:  // no operation
        case 0x86:
            return false;
        case 0x87:  // reset display
            blink.counter = 0;
            clear_screen(lcd);
            composition.last_mode_flags = 0;
            composition.flash_countdown = 0;
            return true;
        case 0x88:  // one ignored argument
            return expect(ST_SKIP_ARG);
        case 0x89:  // clear screen
            clear_screen(lcd);
            return true;
        case 0x8A:  // clear row: repaints on the command byte and after the row
            host.cmd_state = ST_CLEAR_ROW;
            return true;
        case 0x8B:  // full-screen text: a discarded byte, then 80 characters
            goto_cell(lcd, 1, 1);
            return expect(ST_SCREEN_SKIP);
        case 0x8C:  // row text
            return expect(ST_LINE_ROW);
        case 0x8D:  // text at the cursor, up to a 0
            return expect(ST_TEXT_TO_ZERO);
        case 0x8E:  // one character
            return expect(ST_CHAR);
        case 0x8F:
            return expect(ST_CHAR_2);
        case 0x90:  // backspace: blank the cell left of the cursor and stay on it
            lcd_command(lcd, 0x10);
            put_char(lcd, 0x20);
            lcd_command(lcd, 0x10);
            return true;
        case 0x91:
            scroll_up(lcd, 4);
            return true;
        case 0x92:
            scroll_down(lcd, 4);
            return true;
        case 0x93:
            return expect(ST_METER);
        case 0x94:
            return expect(ST_LEFT_NUMBER);
        case 0x95:
            return expect(ST_RIGHT_NUMBER);
        case 0x96:
            return expect(ST_MODE);
        case 0x97:  // cursor position: column, row
            return expect(ST_GOTO_COLUMN);
        case 0x98:
            return expect(ST_CURSOR_STYLE);
        case 0x99:  // centred text: row, then text up to a 0
            return expect(ST_CENTRED_ROW);
        case 0x9A:
            return expect(ST_SKIP_ARG_2);
        case 0x9B:
            return expect(ST_SKIP_ARG_3);
        case 0x9C:  // scroll rows 2..4, the status line stays
            scroll_up(lcd, 3);
            return true;
        case 0x9D:
            scroll_down(lcd, 3);
            return true;
        case 0x9E:
            draw_link_bar(lcd);
            return true;
        case 0x9F:
            clear_screen(lcd);
            draw_display_test(lcd);
            return true;
        case 0xA0:
            return expect(ST_MODE_FORCED);
        case 0xA1:  // flash text: four characters
            host.byte_count = 0;
            return expect(ST_FLASH_TEXT);
        case 0xA2:  // blank-filled row text: row, then 20 bytes
            return expect(ST_BLANKED_ROW);
        case 0xA3:  // busy step: visible at the next repaint
            host.busy_step = draw_busy_step(lcd, composition, host.busy_step);
            return false;
        case 0xA4:  // busy position: column, row
            return expect(ST_BUSY_COLUMN);
        case 0xA5:  // custom character: slot, then seven dot rows
            return expect(ST_GLYPH_SLOT);
        case 0xA6:  // number-field override: selector, then three characters
            return expect(ST_OVERRIDE_SELECT);
        default:
            return false;
    }
}

bool Step::take_argument(uint8_t b) {
    switch (host.cmd_state) {
        case ST_SKIP_ARG:
        case ST_SKIP_ARG_2:
        case ST_SKIP_ARG_3:
            return finish(false);
        case ST_CLEAR_ROW:
            clear_row(lcd, b);
            return finish(true);
        case ST_SCREEN_SKIP:
            host.byte_count = 0;
            goto_cell(lcd, 1, 1);
            return expect(ST_SCREEN_TEXT);
        case ST_LINE_ROW:
            goto_cell(lcd, 1, b);
            host.byte_count = 0;
            return expect(ST_LINE_TEXT);
        case ST_LINE_TEXT:
            put_char(lcd, b);
            return count_byte(20, true);
        case ST_BLANKED_ROW:
            goto_cell(lcd, 1, b);
            host.byte_count = 0;
            host.line_ended = 0;
            return expect(ST_BLANKED_TEXT);
        case ST_BLANKED_TEXT:
            if (b == 0) host.line_ended = 1;
            put_char(lcd, host.line_ended ? 0x20 : b);
            return count_byte(20, true);
        case ST_TEXT_TO_ZERO:
            if (b == 0) return finish(true);
            put_char(lcd, b);
            return false;
        case ST_SCREEN_TEXT:
            // Rows are positioned explicitly: the address counter would run
            // on from the end of row 1 into row 3.
            put_char(lcd, b);
            switch (++host.byte_count) {
                case 20:
                    goto_cell(lcd, 1, 2);
                    return false;
                case 40:
                    goto_cell(lcd, 1, 3);
                    return false;
                case 60:
                    goto_cell(lcd, 1, 4);
                    return false;
                case 80:
                    return finish(true);
                default:
                    return false;
            }
        case ST_CHAR:
        case ST_CHAR_2:
            put_char(lcd, b);
            return finish(true);
        case ST_METER:
            draw_meter(lcd, b);
            return finish(true);
        case ST_LEFT_NUMBER:
            draw_left_number(lcd, composition, b);
            return finish(true);
        case ST_RIGHT_NUMBER:
            draw_right_number(lcd, composition, b);
            return finish(true);
        case ST_MODE:
            draw_mode_field(lcd, composition, b, 0, 1);
            return finish(true);
        case ST_MODE_FORCED:
            draw_mode_field(lcd, composition, b, 1, 1);
            return finish(true);
        case ST_GOTO_COLUMN:
            host.arg_latch = b;
            return expect(ST_GOTO_ROW);
        case ST_GOTO_ROW:
            goto_cell(lcd, host.arg_latch, b);
            return finish(true);
        case ST_BUSY_COLUMN:
            composition.busy_column = b;
            return expect(ST_BUSY_ROW);
        case ST_BUSY_ROW:
            composition.busy_row = b;
            return finish(false);
        case ST_CURSOR_STYLE:
            set_cursor_style(lcd, b);
            return finish(true);
        case ST_CENTRED_ROW:
            host.arg_latch = b;
            host.byte_count = 0;
            return expect(ST_CENTRED_TEXT);
        case ST_CENTRED_TEXT:
            // byte_count never passes centred_text_max, so the 0 always fits.
            if (b == 0) {
                host.text_buf[host.byte_count] = 0;
                put_centered(lcd, host.arg_latch, host.text_buf.data());
                return finish(true);
            }
            if (host.byte_count < centred_text_max) host.text_buf[host.byte_count++] = b;
            return false;
        case ST_FLASH_TEXT:
            host.text_buf[host.byte_count] = b;
            if (++host.byte_count < 4) return false;
            host.text_buf[4] = 0;
            show_flash_text(lcd, composition, host.text_buf.data());
            return finish(true);
        case ST_GLYPH_SLOT: {
            const uint8_t slot = b <= 7 ? b : 0;
            lcd_command(lcd, static_cast<uint8_t>(0x40 + 8 * slot));
            host.byte_count = 0;
            return expect(ST_GLYPH_ROWS);
        }
        case ST_GLYPH_ROWS:
            // Rows 0..6 only: the bottom row keeps the status-line underline.
            lcd_write_data(lcd, b);
            return count_byte(7, false);
        case ST_OVERRIDE_SELECT:
            host.arg_latch = b;
            host.byte_count = 0;
            return expect(ST_OVERRIDE_TEXT);
        case ST_OVERRIDE_TEXT: {
            // Index 3 is never written and stays 0 (shown as glyph 0).
            auto& text =
                host.arg_latch == 1 ? composition.left_override : composition.right_override;
            text[host.byte_count] = b;
            return count_byte(3, true);
        }
        default:
            // Not a state the tables produce; start over at idle.
            return finish(false);
    }
}

}  // namespace

bool interpret_byte(SessionState& state, uint8_t b) {
    // Bytes that arrive with no controller to draw on are dropped.
    if (!state.display) return false;
    Step step(state);
    return state.host.cmd_state == ST_IDLE ? step.take_command(b) : step.take_argument(b);
}
