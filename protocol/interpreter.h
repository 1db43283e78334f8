// The host command interpreter: the device's display byte stream, one byte
// per call.
//
// While idle it recognises the command bytes (commands.h) and ignores every
// other byte. Each command is followed by a fixed number of argument bytes,
// or by text ending in a 0 byte; inside an argument every byte is data, so
// the interpreter keeps step with the device only by counting. There is no
// framing, acknowledgement or time-out, and nothing is sent back.
//
// The interpreter works on a SessionState and takes no lock; the display
// session (display_session.h) holds its lock around each byte and requests
// the repaint after releasing it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "display/lcd_controller.h"
#include "protocol/blink_clock.h"
#include "protocol/commands.h"
#include "protocol/status_line.h"

// States of the interpreter; the value is the state number. A state that
// belongs to one command carries its name.
enum InterpreterState : uint8_t {
    ST_IDLE = 0,
    ST_BEEP_LENGTH = 1,
    ST_CLEAR_ROW = 2,
    ST_SCREEN_SKIP = 3,
    ST_ROW_TEXT_ROW = 4,
    ST_ROW_TEXT_CELLS = 5,
    ST_BLANK_FILLED_ROW = 6,
    ST_BLANK_FILLED_CELLS = 7,
    ST_TEXT_TO_ZERO = 8,
    ST_SCREEN_TEXT = 9,
    ST_CHARACTER = 10,
    ST_CHARACTER_2 = 11,
    ST_METER = 12,
    ST_LEFT_NUMBER = 13,
    ST_RIGHT_NUMBER = 14,
    ST_MODE = 15,
    ST_MODE_FORCED = 16,
    ST_GOTO_COLUMN = 17,
    ST_GOTO_ROW = 18,
    ST_BUSY_COLUMN = 19,
    ST_BUSY_ROW = 20,
    ST_CURSOR_STYLE = 21,
    ST_CENTRED_ROW = 22,
    ST_CENTRED_TEXT = 23,
    ST_BACKLIGHT_LEVEL = 24,
    ST_FLASH_TEXT = 25,
    ST_CONTRAST_LEVEL = 26,
    ST_GLYPH_SLOT = 27,
    ST_GLYPH_ROWS = 28,
    ST_OVERRIDE_SELECT = 29,
    ST_OVERRIDE_TEXT = 30,
};

struct HostInterpreter {
    uint8_t cmd_state = ST_IDLE;       // current state, 0..30
    Command command = Command::no_op;  // the command in progress, or the last one
    uint8_t arg_latch = 0;             // first argument kept for later (column, row, selector)
    uint8_t byte_count = 0;            // bytes taken inside a counted or zero-terminated argument
    // Centred text (its first 23 characters and the 0; later ones are
    // dropped), or the four flash characters and a 0.
    std::array<uint8_t, 24> text_buf{};
    uint8_t line_ended = 0;  // blank-filled row text: a 0 byte has arrived
    uint8_t busy_step = 0;   // step of the busy animation, 0..6
};

// Everything one device's screen is made of: the controller (null until the
// start-up sequence has created it), the interpreter's fields, the
// status-line state and the blink clock.
struct SessionState {
    std::unique_ptr<LcdController> display;
    HostInterpreter host;
    CompositionState composition;
    BlinkClock blink;
};

// Handles one byte from the device completely, including its drawing, and
// returns whether it completed a command that asks for a repaint. Bytes must
// be given in arrival order. A byte that arrives without a controller is
// dropped.
bool interpret_byte(SessionState& state, uint8_t b);
