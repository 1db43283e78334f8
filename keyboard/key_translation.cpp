// Key code translation: the portable mapping from a virtual-key code and the
// Shift / Ctrl state to the device's one-byte key code.
//
// The keys with fixed codes (editing, cursor, function and US punctuation
// keys) are rows of one table, each with its plain code and, where the key
// has them, its Shift and Ctrl codes (0 = no such column). Every other key
// follows the default rule: its own virtual-key code, with keypad and letter
// codes folded to capitals, Ctrl turning capitals into control codes, and
// Shift / Ctrl changing the digit keys. The Ctrl+Shift chord is the only
// state, kept by the KeyTranslator.
#include "keyboard/key_translation.h"

namespace {

constexpr uint8_t chord_begin_code = 0xF6;
constexpr uint8_t chord_end_code = 0xF7;
constexpr uint8_t lwin_down_code = 0xEC;
constexpr uint8_t lwin_up_code = 0xED;
constexpr uint8_t f10_code = 0xB9;
constexpr uint8_t shift_f10_code = 0xD1;

struct KeyRow {
    uint8_t vk;
    uint8_t plain;
    uint8_t shift;  // 0: Shift does not change the code
    uint8_t ctrl;   // 0: Ctrl does not change the code
};

constexpr std::array<KeyRow, 35> key_rows{{
    {0x08, 0xED, 0, 0},        // Backspace
    {0x09, 0xEE, 0, 0},        // Tab
    {0x0D, 0xE9, 0, 0},        // Enter
    {0x21, 0xE0, 0xD6, 0xF4},  // Page Up
    {0x22, 0xE1, 0xD7, 0xF5},  // Page Down
    {0x23, 0xDF, 0, 0},        // End
    {0x24, 0xDE, 0, 0},        // Home
    {0x25, 0xE4, 0xDA, 0xF2},  // Left
    {0x26, 0xE2, 0xD8, 0xF0},  // Up
    {0x27, 0xE5, 0xDB, 0xF3},  // Right
    {0x28, 0xE3, 0xD9, 0xF1},  // Down
    {0x2D, 0xDD, 0, 0},        // Insert
    {0x2E, 0xE6, 0, 0},        // Delete
    {0x70, 0xB0, 0xC8, 0},     // F1
    {0x71, 0xB1, 0xC9, 0},     // F2
    {0x72, 0xB2, 0xCA, 0},     // F3
    {0x73, 0xB3, 0xCB, 0},     // F4
    {0x74, 0xB4, 0xCC, 0},     // F5
    {0x75, 0xB5, 0xCD, 0},     // F6
    {0x76, 0xB6, 0xCE, 0},     // F7
    {0x77, 0xB7, 0xCF, 0},     // F8
    {0x78, 0xB8, 0xD0, 0},     // F9 (F10 arrives as a system key)
    {0x7A, 0xBA, 0xD2, 0},     // F11
    {0x7B, 0xBB, 0xD3, 0},     // F12
    {0xBA, ';', ':', 0},       // the US layout's punctuation keys
    {0xBB, '=', '+', 0},       //
    {0xBC, ',', '<', 0},       //
    {0xBD, '-', '_', 0},       //
    {0xBE, '.', '>', 0},       //
    {0xBF, '/', '?', 0},       //
    {0xC0, '`', '~', 0},       //
    {0xDB, '[', '{', 0},       //
    {0xDC, '\\', '|', 0},      //
    {0xDD, ']', '}', 0},       //
    {0xDE, '\'', '"', 0},      //
}};

const KeyRow* find_row(uint8_t vk) {
    for (const KeyRow& row : key_rows)
        if (row.vk == vk) return &row;
    return nullptr;
}

// A key without a row: its own code, capitals, control codes and digits.
uint8_t default_code(uint8_t vk, KeyModifiers mods) {
    auto code = static_cast<uint8_t>(upper_case_map[vk] & 0xFF);
    if (code >= 0x41 && code <= 0x5A && mods.ctrl) code = static_cast<uint8_t>(code - 0x40);
    if (code >= 0x30 && code <= 0x39) {
        if (mods.shift) code = static_cast<uint8_t>(shifted_digits[code - 0x30]);
        if (mods.ctrl && code >= 0x31 && code <= 0x35)
            code = static_cast<uint8_t>(code - 0x31 + 0xA0);
    }
    return code;
}

}  // namespace

KeyResult KeyTranslator::key_code_for_key_down(uint8_t vk, KeyModifiers mods) {
    if (vk == vk_shift || vk == vk_control) {
        const bool other_held = vk == vk_shift ? mods.ctrl : mods.shift;
        if (other_held && !chord_active_) {
            chord_active_ = true;
            return {chord_begin_code, true};
        }
        return {0, true};
    }
    if (vk == vk_lwin) return {lwin_down_code, false};
    if (const KeyRow* row = find_row(vk)) {
        if (row->ctrl != 0 && mods.ctrl) return {row->ctrl, true};
        if (row->shift != 0 && mods.shift) return {row->shift, true};
        return {row->plain, true};
    }
    return {default_code(vk, mods), true};
}

KeyResult KeyTranslator::key_code_for_key_up(uint8_t vk) {
    if (vk == vk_shift || vk == vk_control) {
        if (chord_active_) {
            chord_active_ = false;
            return {chord_end_code, true};
        }
        return {0, true};
    }
    if (vk == vk_lwin) return {lwin_up_code, false};
    return {0, true};
}

KeyResult KeyTranslator::key_code_for_sys_key_down(uint8_t vk, KeyModifiers mods) const {
    if (vk == vk_f10) return {mods.shift ? shift_f10_code : f10_code, true};
    return {0, true};
}

KeyResult KeyTranslator::key_code_for_sys_key_up(uint8_t) const {
    return {0, true};
}

KeyResult translate_mapped_key(KeyTranslator& translator, const MappedKey& key, bool pressed) {
    if (key.system) {
        return pressed ? translator.key_code_for_sys_key_down(key.vk, key.mods)
                       : translator.key_code_for_sys_key_up(key.vk);
    }
    return pressed ? translator.key_code_for_key_down(key.vk, key.mods)
                   : translator.key_code_for_key_up(key.vk);
}
