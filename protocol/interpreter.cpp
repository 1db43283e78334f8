// The host command interpreter: a state machine over the device's byte
// stream, one byte per call.
//
// While idle, a command byte (commands.h) starts its command (start, one
// case per command): one without arguments is carried out at once, one with
// arguments enters its first state. Every later byte is an argument whatever
// its value, and is handled by the state table (take_argument, one case per
// state). When a command asks for a repaint is the command table's word, not
// the states': a command that ends returns its table entry's repaint. The
// session makes that request after releasing its lock, because the paint it
// waits for takes the same lock.
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

    // A byte while idle: a command byte starts its command.
    bool take_command(uint8_t b);
    // A byte inside a command's arguments, handled by the current state.
    bool take_argument(uint8_t b);

private:
    LcdController& lcd;
    HostInterpreter& host;
    CompositionState& composition;
    BlinkClock& blink;

    // Carries out a command without arguments, or enters the first state of
    // one with arguments.
    void start(Command command);

    // Enters a state that waits for further bytes.
    void expect(uint8_t state) { host.cmd_state = state; }

    // Ends the current command; returns whether it asks for a repaint.
    bool finish() {
        host.cmd_state = ST_IDLE;
        return command_info(host.command).repaint != Repaint::never;
    }

    // Waits for the next argument byte; no repaint yet.
    bool next(uint8_t state) {
        expect(state);
        return false;
    }

    // Counts one more byte of a counted argument; the limit-th byte ends the
    // command.
    bool count_byte(uint8_t limit) {
        if (++host.byte_count < limit) return false;
        return finish();
    }
};

bool Step::take_command(uint8_t b) {
    const CommandInfo* info = command_info(b);
    if (info == nullptr) return false;  // not a command: ignored
    host.command = info->command;
    start(info->command);
    if (host.cmd_state == ST_IDLE) return info->repaint != Repaint::never;
    return info->repaint == Repaint::twice;  // clear row repaints before its row as well
}

void Step::start(Command command) {
    switch (command) {
        case Command::no_op:
        case Command::no_op_2:
            return;
        case Command::reset:
            blink.counter = 0;
            clear_screen(lcd);
            composition.last_mode_flags = 0;
            composition.flash_countdown = 0;
            return;
        case Command::beep:
            return expect(ST_BEEP_LENGTH);
        case Command::clear:
            return clear_screen(lcd);
        case Command::clear_row:
            return expect(ST_CLEAR_ROW);
        case Command::screen_text:  // a discarded byte, then 80 characters
            goto_cell(lcd, 1, 1);
            return expect(ST_SCREEN_SKIP);
        case Command::row_text:
            return expect(ST_ROW_TEXT_ROW);
        case Command::text:
            return expect(ST_TEXT_TO_ZERO);
        case Command::character:
            return expect(ST_CHARACTER);
        case Command::character_2:
            return expect(ST_CHARACTER_2);
        case Command::backspace:  // blank the cell left of the cursor and stay on it
            lcd_command(lcd, 0x10);
            put_char(lcd, 0x20);
            lcd_command(lcd, 0x10);
            return;
        case Command::scroll_up:
            return scroll_up(lcd, 4);
        case Command::scroll_down:
            return scroll_down(lcd, 4);
        case Command::meter:
            return expect(ST_METER);
        case Command::left_number:
            return expect(ST_LEFT_NUMBER);
        case Command::right_number:
            return expect(ST_RIGHT_NUMBER);
        case Command::mode:
            return expect(ST_MODE);
        case Command::goto_cell:  // column, row
            return expect(ST_GOTO_COLUMN);
        case Command::cursor_style:
            return expect(ST_CURSOR_STYLE);
        case Command::centred_text:  // row, then text up to a 0
            return expect(ST_CENTRED_ROW);
        case Command::backlight:
            return expect(ST_BACKLIGHT_LEVEL);
        case Command::contrast:
            return expect(ST_CONTRAST_LEVEL);
        case Command::scroll_lower_up:  // the status line stays
            return scroll_up(lcd, 3);
        case Command::scroll_lower_down:
            return scroll_down(lcd, 3);
        case Command::status_skeleton:
            return draw_link_bar(lcd);
        case Command::self_test:
            clear_screen(lcd);
            return draw_display_test(lcd);
        case Command::mode_forced:
            return expect(ST_MODE_FORCED);
        case Command::flash_text:  // four characters
            host.byte_count = 0;
            return expect(ST_FLASH_TEXT);
        case Command::blank_filled_row_text:  // row, then 20 bytes
            return expect(ST_BLANK_FILLED_ROW);
        case Command::busy_step:  // visible at the next repaint
            host.busy_step = draw_busy_step(lcd, composition, host.busy_step);
            return;
        case Command::busy_position:  // column, row
            return expect(ST_BUSY_COLUMN);
        case Command::define_glyph:  // slot, then seven dot rows
            return expect(ST_GLYPH_SLOT);
        case Command::number_override:  // selector, then three characters
            return expect(ST_OVERRIDE_SELECT);
    }
}

bool Step::take_argument(uint8_t b) {
    switch (host.cmd_state) {
        case ST_BEEP_LENGTH:
        case ST_BACKLIGHT_LEVEL:
        case ST_CONTRAST_LEVEL:
            return finish();  // taken and ignored
        case ST_CLEAR_ROW:
            clear_row(lcd, b);
            return finish();
        case ST_SCREEN_SKIP:
            host.byte_count = 0;
            goto_cell(lcd, 1, 1);
            return next(ST_SCREEN_TEXT);
        case ST_ROW_TEXT_ROW:
            goto_cell(lcd, 1, b);
            host.byte_count = 0;
            return next(ST_ROW_TEXT_CELLS);
        case ST_ROW_TEXT_CELLS:
            put_char(lcd, b);
            return count_byte(20);
        case ST_BLANK_FILLED_ROW:
            goto_cell(lcd, 1, b);
            host.byte_count = 0;
            host.line_ended = 0;
            return next(ST_BLANK_FILLED_CELLS);
        case ST_BLANK_FILLED_CELLS:
            if (b == 0) host.line_ended = 1;
            put_char(lcd, host.line_ended ? 0x20 : b);
            return count_byte(20);
        case ST_TEXT_TO_ZERO:
            if (b == 0) return finish();
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
                    return finish();
                default:
                    return false;
            }
        case ST_CHARACTER:
        case ST_CHARACTER_2:
            put_char(lcd, b);
            return finish();
        case ST_METER:
            draw_meter(lcd, b);
            return finish();
        case ST_LEFT_NUMBER:
            draw_left_number(lcd, composition, b);
            return finish();
        case ST_RIGHT_NUMBER:
            draw_right_number(lcd, composition, b);
            return finish();
        case ST_MODE:
            draw_mode_field(lcd, composition, b, 0, 1);
            return finish();
        case ST_MODE_FORCED:
            draw_mode_field(lcd, composition, b, 1, 1);
            return finish();
        case ST_GOTO_COLUMN:
            host.arg_latch = b;
            return next(ST_GOTO_ROW);
        case ST_GOTO_ROW:
            goto_cell(lcd, host.arg_latch, b);
            return finish();
        case ST_BUSY_COLUMN:
            composition.busy_column = b;
            return next(ST_BUSY_ROW);
        case ST_BUSY_ROW:
            composition.busy_row = b;
            return finish();
        case ST_CURSOR_STYLE:
            set_cursor_style(lcd, b);
            return finish();
        case ST_CENTRED_ROW:
            host.arg_latch = b;
            host.byte_count = 0;
            return next(ST_CENTRED_TEXT);
        case ST_CENTRED_TEXT:
            // byte_count never passes centred_text_max, so the 0 always fits.
            if (b == 0) {
                host.text_buf[host.byte_count] = 0;
                put_centered(lcd, host.arg_latch, host.text_buf.data());
                return finish();
            }
            if (host.byte_count < centred_text_max) host.text_buf[host.byte_count++] = b;
            return false;
        case ST_FLASH_TEXT:
            host.text_buf[host.byte_count] = b;
            if (++host.byte_count < 4) return false;
            host.text_buf[4] = 0;
            show_flash_text(lcd, composition, host.text_buf.data());
            return finish();
        case ST_GLYPH_SLOT: {
            const uint8_t slot = b <= 7 ? b : 0;
            lcd_command(lcd, static_cast<uint8_t>(0x40 + 8 * slot));
            host.byte_count = 0;
            return next(ST_GLYPH_ROWS);
        }
        case ST_GLYPH_ROWS:
            // Rows 0..6 only: the bottom row keeps the status-line underline.
            lcd_write_data(lcd, b);
            return count_byte(7);
        case ST_OVERRIDE_SELECT:
            host.arg_latch = b;
            host.byte_count = 0;
            return next(ST_OVERRIDE_TEXT);
        case ST_OVERRIDE_TEXT: {
            // Index 3 is never written and stays 0 (shown as glyph 0).
            auto& text =
                host.arg_latch == 1 ? composition.left_override : composition.right_override;
            text[host.byte_count] = b;
            return count_byte(3);
        }
        default:
            // Not a state the tables produce; start over at idle.
            host.cmd_state = ST_IDLE;
            return false;
    }
}

}  // namespace

bool interpret_byte(SessionState& state, uint8_t b) {
    // Bytes that arrive with no controller to draw on are dropped.
    if (!state.display) return false;
    Step step(state);
    return state.host.cmd_state == ST_IDLE ? step.take_command(b) : step.take_argument(b);
}
