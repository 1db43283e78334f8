// Qt keys to virtual-key codes. Letters, digits and the named keys map by
// their Qt key; the punctuation keys map from either of the characters they
// carry on the US layout (Shift+1 arrives as '!' under X11 but as '1' with
// Shift from a test driver, both mean virtual key '1'); the keypad digits
// keep their own codes; the extra key beside left Shift is found by its scan
// code, since Qt gives it a character of the layout. The menu key is left
// out: it opens the window's menu.
#include "app/qt/key_mapping.h"

#include <Qt>
#include <array>

namespace {

constexpr uint8_t vk_numpad0 = 0x60;
constexpr uint8_t vk_oem_102 = 0xE2;
// X11 keycode of the key between left Shift and Z on ISO keyboards.
constexpr uint32_t scan_code_oem_102 = 94;

struct KeyRow {
    int key;
    uint8_t vk;
};

constexpr std::array<KeyRow, 58> key_rows{{
    {Qt::Key_Backspace, 0x08},
    {Qt::Key_Tab, 0x09},
    {Qt::Key_Backtab, 0x09},
    {Qt::Key_Return, 0x0D},
    {Qt::Key_Enter, 0x0D},
    {Qt::Key_Shift, 0x10},
    {Qt::Key_Control, 0x11},
    {Qt::Key_Escape, 0x1B},
    {Qt::Key_Space, 0x20},
    {Qt::Key_PageUp, 0x21},
    {Qt::Key_PageDown, 0x22},
    {Qt::Key_End, 0x23},
    {Qt::Key_Home, 0x24},
    {Qt::Key_Left, 0x25},
    {Qt::Key_Up, 0x26},
    {Qt::Key_Right, 0x27},
    {Qt::Key_Down, 0x28},
    {Qt::Key_Insert, 0x2D},
    {Qt::Key_Delete, 0x2E},
    {Qt::Key_Super_L, 0x5B},
    {Qt::Key_Meta, 0x5B},
    // Digits and their shifted characters.
    {Qt::Key_ParenRight, '0'},
    {Qt::Key_Exclam, '1'},
    {Qt::Key_At, '2'},
    {Qt::Key_NumberSign, '3'},
    {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'},
    {Qt::Key_AsciiCircum, '6'},
    {Qt::Key_Ampersand, '7'},
    {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'},
    // The punctuation keys, each by both of its characters.
    {Qt::Key_Semicolon, 0xBA},
    {Qt::Key_Colon, 0xBA},
    {Qt::Key_Equal, 0xBB},
    {Qt::Key_Plus, 0xBB},
    {Qt::Key_Comma, 0xBC},
    {Qt::Key_Less, 0xBC},
    {Qt::Key_Minus, 0xBD},
    {Qt::Key_Underscore, 0xBD},
    {Qt::Key_Period, 0xBE},
    {Qt::Key_Greater, 0xBE},
    {Qt::Key_Slash, 0xBF},
    {Qt::Key_Question, 0xBF},
    {Qt::Key_QuoteLeft, 0xC0},
    {Qt::Key_AsciiTilde, 0xC0},
    {Qt::Key_BracketLeft, 0xDB},
    {Qt::Key_BraceLeft, 0xDB},
    {Qt::Key_Backslash, 0xDC},
    {Qt::Key_Bar, 0xDC},
    {Qt::Key_BracketRight, 0xDD},
    {Qt::Key_BraceRight, 0xDD},
    {Qt::Key_Apostrophe, 0xDE},
    {Qt::Key_QuoteDbl, 0xDE},
    // Keypad keys that are no digits.
    {Qt::Key_Clear, 0x0C},
    {Qt::Key_Super_R, 0x5C},
    {Qt::Key_Pause, 0x13},
    {Qt::Key_Print, 0x2C},
    {Qt::Key_ScrollLock, 0x91},
}};

std::optional<uint8_t> virtual_key(int key, uint32_t modifiers, uint32_t scan_code) {
    if (scan_code == scan_code_oem_102) return vk_oem_102;
    if ((modifiers & Qt::KeypadModifier) && key >= Qt::Key_0 && key <= Qt::Key_9) {
        return static_cast<uint8_t>(vk_numpad0 + (key - Qt::Key_0));
    }
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
        return static_cast<uint8_t>(key);
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return static_cast<uint8_t>(0x70 + (key - Qt::Key_F1));
    }
    for (const KeyRow& row : key_rows) {
        if (row.key == key) return row.vk;
    }
    return std::nullopt;
}

}  // namespace

std::optional<MappedKey> map_qt_key(int key, uint32_t modifiers, uint32_t scan_code) {
    const std::optional<uint8_t> vk = virtual_key(key, modifiers, scan_code);
    if (!vk) return std::nullopt;
    MappedKey mapped;
    mapped.vk = *vk;
    mapped.mods.shift = (modifiers & Qt::ShiftModifier) != 0;
    mapped.mods.ctrl = (modifiers & Qt::ControlModifier) != 0;
    mapped.system = (modifiers & Qt::AltModifier) != 0 || *vk == vk_f10;
    return mapped;
}
