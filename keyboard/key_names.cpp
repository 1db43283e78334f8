// Keys by name (key_names.h): one table of named keys, one of the US
// layout's punctuation characters, and the rule for letters and digits; the
// codes come from the translator alone, so no code is written here.
#include "keyboard/key_names.h"

#include <algorithm>
#include <string>

namespace {

struct NamedKey {
    std::string_view name;
    uint8_t vk;
};

// F1..F12 and KP0..KP9 follow their own rule (function_key, keypad_key).
constexpr std::array<NamedKey, 19> named_keys{{
    {"Backspace", 0x08},  {"Tab", 0x09},      {"Enter", 0x0D},  {"Shift", vk_shift},
    {"Ctrl", vk_control}, {"Alt", vk_menu},   {"Escape", 0x1B}, {"Space", 0x20},
    {"PageUp", 0x21},     {"PageDown", 0x22}, {"End", 0x23},    {"Home", 0x24},
    {"Left", 0x25},       {"Up", 0x26},       {"Right", 0x27},  {"Down", 0x28},
    {"Insert", 0x2D},     {"Delete", 0x2E},   {"Win", vk_lwin},
}};

constexpr uint8_t vk_f1 = 0x70;
constexpr uint8_t vk_numpad0 = 0x60;

// The punctuation keys of the US layout with the characters they type,
// plain and with Shift.
struct PunctuationKey {
    char plain;
    char shifted;
    uint8_t vk;
};
constexpr std::array<PunctuationKey, 11> punctuation_keys{{
    {';', ':', 0xBA},
    {'=', '+', 0xBB},
    {',', '<', 0xBC},
    {'-', '_', 0xBD},
    {'.', '>', 0xBE},
    {'/', '?', 0xBF},
    {'`', '~', 0xC0},
    {'[', '{', 0xDB},
    {'\\', '|', 0xDC},
    {']', '}', 0xDD},
    {'\'', '"', 0xDE},
}};

struct CharacterKey {
    uint8_t vk;
    bool shift;
};

bool same_name(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

// "F1".."F12" and "KP0".."KP9": a prefix and one of the numbers of a range,
// written as such (no leading zero).
std::optional<uint8_t> numbered_key(std::string_view name, std::string_view prefix, int first,
                                    int last, uint8_t first_vk) {
    if (name.size() <= prefix.size() || !same_name(name.substr(0, prefix.size()), prefix)) {
        return std::nullopt;
    }
    const std::string_view number = name.substr(prefix.size());
    for (int n = first; n <= last; ++n) {
        if (number == std::to_string(n)) return static_cast<uint8_t>(first_vk + (n - first));
    }
    return std::nullopt;
}

std::optional<uint8_t> named_key(std::string_view name) {
    for (const NamedKey& key : named_keys)
        if (same_name(key.name, name)) return key.vk;
    if (auto vk = numbered_key(name, "F", 1, 12, vk_f1)) return vk;
    return numbered_key(name, "KP", 0, 9, vk_numpad0);
}

// The key that types a printable ASCII character; letters of either case
// are the letter's key without Shift.
std::optional<CharacterKey> character_key(char c) {
    if (c >= 'a' && c <= 'z') return CharacterKey{static_cast<uint8_t>(c - 32), false};
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
        return CharacterKey{static_cast<uint8_t>(c), false};
    }
    for (int digit = 0; digit < 10; ++digit) {
        if (shifted_digits[digit] == c)
            return CharacterKey{static_cast<uint8_t>('0' + digit), true};
    }
    for (const PunctuationKey& key : punctuation_keys) {
        if (key.plain == c) return CharacterKey{key.vk, false};
        if (key.shifted == c) return CharacterKey{key.vk, true};
    }
    return std::nullopt;
}

bool holds(const KeyPress& press, uint8_t vk) {
    return std::find(press.keys.begin(), press.keys.begin() + press.count, vk) !=
           press.keys.begin() + press.count;
}

void add(KeyPress& press, uint8_t vk) {
    press.keys[press.count++] = vk;
}

struct Modifier {
    std::string_view prefix;
    uint8_t vk;
};
constexpr std::array<Modifier, 3> modifiers{{
    {"Shift+", vk_shift},
    {"Ctrl+", vk_control},
    {"Alt+", vk_menu},
}};

// Strips one modifier prefix off `rest` into the press; false if none is
// there (or the rest would be empty: "Ctrl+" alone names no key).
bool take_modifier(std::string_view& rest, KeyPress& press, bool& repeated) {
    for (const Modifier& modifier : modifiers) {
        if (rest.size() <= modifier.prefix.size() ||
            !same_name(rest.substr(0, modifier.prefix.size()), modifier.prefix)) {
            continue;
        }
        repeated = holds(press, modifier.vk);
        add(press, modifier.vk);
        rest.remove_prefix(modifier.prefix.size());
        return true;
    }
    return false;
}

}  // namespace

std::optional<KeyPress> parse_key_name(std::string_view name) {
    KeyPress press;
    bool repeated = false;
    while (take_modifier(name, press, repeated)) {
        if (repeated) return std::nullopt;
    }
    if (name.size() == 1 && name[0] > ' ' && name[0] < 0x7F) {
        const std::optional<CharacterKey> key = character_key(name[0]);
        if (!key) return std::nullopt;
        if (key->shift && !holds(press, vk_shift)) add(press, vk_shift);
        add(press, key->vk);
        return press;
    }
    const std::optional<uint8_t> vk = named_key(name);
    if (!vk || holds(press, *vk)) return std::nullopt;
    add(press, *vk);
    return press;
}

std::optional<KeyPress> key_press_for_character(char c) {
    if (c == '\n') return parse_key_name("Enter");
    if (c == '\t') return parse_key_name("Tab");
    if (c == ' ') return parse_key_name("Space");
    if (c >= 'A' && c <= 'Z') return parse_key_name(std::string("Shift+") + c);
    if (c < ' ' || c > '~') return std::nullopt;
    return parse_key_name(std::string(1, c));
}

std::vector<uint8_t> key_press_codes(KeyTranslator& translator, const KeyPress& press) {
    std::vector<uint8_t> codes;
    KeyModifiers held;
    bool alt = false;
    const auto hold = [&](uint8_t vk, bool down) {
        if (vk == vk_shift) held.shift = down;
        if (vk == vk_control) held.ctrl = down;
        if (vk == vk_menu) alt = down;
    };
    const auto message = [&](uint8_t vk, bool pressed) {
        const MappedKey key{vk, held, alt || vk == vk_f10};
        const KeyResult result = translate_mapped_key(translator, key, pressed);
        if (result.code != 0) codes.push_back(result.code);
    };
    for (uint8_t i = 0; i < press.count; ++i) {
        hold(press.keys[i], true);
        message(press.keys[i], true);
    }
    for (uint8_t i = press.count; i-- > 0;) {
        message(press.keys[i], false);
        hold(press.keys[i], false);
    }
    return codes;
}

std::vector<NamedKeyCodes> named_key_codes() {
    std::vector<std::string> plain;
    for (const NamedKey& key : named_keys) {
        if (key.vk != vk_shift && key.vk != vk_control && key.vk != vk_menu && key.vk != vk_lwin)
            plain.emplace_back(key.name);
    }
    // Built by appending: GCC 12 warns wrongly of "F" + std::to_string(n).
    const auto numbered = [&plain](std::string_view prefix, int first, int last) {
        for (int n = first; n <= last; ++n) plain.emplace_back(prefix).append(std::to_string(n));
    };
    numbered("F", 1, 12);
    for (char c = '!'; c <= '~'; ++c) {
        if (c < 'a' || c > 'z') plain.emplace_back(1, c);
    }
    numbered("KP", 0, 9);

    std::vector<std::string> names = plain;
    for (const std::string_view prefix : {"Shift+", "Ctrl+"}) {
        for (const std::string& name : plain) names.push_back(std::string(prefix) + name);
    }
    names.emplace_back("Ctrl+Shift");
    names.emplace_back("Win");

    std::vector<NamedKeyCodes> table;
    for (const std::string& name : names) {
        const std::optional<KeyPress> press = parse_key_name(name);
        if (!press) continue;
        KeyTranslator translator;
        std::vector<uint8_t> codes = key_press_codes(translator, *press);
        const bool known = std::any_of(table.begin(), table.end(),
                                       [&](const NamedKeyCodes& n) { return n.codes == codes; });
        if (!codes.empty() && !known) table.push_back({name, std::move(codes)});
    }
    return table;
}
