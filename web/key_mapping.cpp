// KeyboardEvent.code names to virtual-key codes. Letters, digits, the
// keypad digits and the function keys follow their number; every other key
// is a row of one table. With Num Lock off a keypad key is the key its
// KeyboardEvent.key names (ArrowUp, Home, ...), as Windows makes it. The
// context-menu key is left out: the browser opens its menu with it.
#include "web/key_mapping.h"

#include <array>

#include "link/decimal.h"

namespace {

struct KeyRow {
    std::string_view code;
    uint8_t vk;
};

constexpr std::array<KeyRow, 47> key_rows{{
    {"Backspace", 0x08},
    {"Tab", 0x09},
    {"NumpadClear", 0x0C},
    {"Enter", 0x0D},
    {"NumpadEnter", 0x0D},
    {"ShiftLeft", 0x10},
    {"ShiftRight", 0x10},
    {"ControlLeft", 0x11},
    {"ControlRight", 0x11},
    {"Pause", 0x13},
    {"CapsLock", 0x14},
    {"Escape", 0x1B},
    {"Space", 0x20},
    {"PageUp", 0x21},
    {"PageDown", 0x22},
    {"End", 0x23},
    {"Home", 0x24},
    {"ArrowLeft", 0x25},
    {"ArrowUp", 0x26},
    {"ArrowRight", 0x27},
    {"ArrowDown", 0x28},
    {"PrintScreen", 0x2C},
    {"Insert", 0x2D},
    {"Delete", 0x2E},
    {"MetaLeft", 0x5B},
    {"OSLeft", 0x5B},
    {"MetaRight", 0x5C},
    {"OSRight", 0x5C},
    {"NumpadMultiply", 0x6A},
    {"NumpadAdd", 0x6B},
    {"NumpadSubtract", 0x6D},
    {"NumpadDecimal", 0x6E},
    {"NumpadDivide", 0x6F},
    {"NumLock", 0x90},
    {"ScrollLock", 0x91},
    // The punctuation keys of the US layout.
    {"Semicolon", 0xBA},
    {"Equal", 0xBB},
    {"Comma", 0xBC},
    {"Minus", 0xBD},
    {"Period", 0xBE},
    {"Slash", 0xBF},
    {"Backquote", 0xC0},
    {"BracketLeft", 0xDB},
    {"Backslash", 0xDC},
    {"BracketRight", 0xDD},
    {"Quote", 0xDE},
    {"IntlBackslash", 0xE2},
}};

// "<prefix>N" with N first..last: N - first.
std::optional<int> numbered(std::string_view code, std::string_view prefix, int first, int last) {
    if (!code.starts_with(prefix)) return std::nullopt;
    const std::optional<uint32_t> value = decimal_number(
        code.substr(prefix.size()), static_cast<uint32_t>(last), LeadingZeros::refused);
    if (!value || static_cast<int>(*value) < first) return std::nullopt;
    return static_cast<int>(*value) - first;
}

std::optional<uint8_t> virtual_key(std::string_view code) {
    if (code.size() == 4 && code.starts_with("Key") && code[3] >= 'A' && code[3] <= 'Z')
        return static_cast<uint8_t>(code[3]);
    if (const auto digit = numbered(code, "Digit", 0, 9)) return static_cast<uint8_t>('0' + *digit);
    if (const auto digit = numbered(code, "Numpad", 0, 9))
        return static_cast<uint8_t>(0x60 + *digit);
    if (const auto f = numbered(code, "F", 1, 24)) return static_cast<uint8_t>(0x70 + *f);
    for (const KeyRow& row : key_rows)
        if (row.code == code) return row.vk;
    return std::nullopt;
}

}  // namespace

std::optional<MappedKey> map_page_key(std::string_view code, std::string_view key_name,
                                      PageModifiers modifiers) {
    std::optional<uint8_t> vk;
    if (code.starts_with("Numpad") && key_name.size() > 1)
        vk = key_name == "Clear" ? std::optional<uint8_t>(0x0C) : virtual_key(key_name);
    if (!vk) vk = virtual_key(code);
    if (!vk) return std::nullopt;
    MappedKey key;
    key.vk = *vk;
    key.mods = {modifiers.shift, modifiers.ctrl};
    key.system = modifiers.alt || *vk == vk_f10;
    return key;
}
