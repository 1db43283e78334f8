// Keys by name: what names are keys, and typing. The codes of the README's
// key table by name are checked end to end on a terminal pair by the Python
// module's tests (tests/python/test_keys_pty.py).
#include "keyboard/key_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::vector<uint8_t> codes_of(std::string_view name) {
    KeyTranslator translator;
    const std::optional<KeyPress> press = parse_key_name(name);
    EXPECT_TRUE(press) << name;
    return press ? key_press_codes(translator, *press) : std::vector<uint8_t>{};
}

// On the US layout every printable character types itself (letters as
// capitals), so the character table and the translator agree.
TEST(KeyNames, EveryPrintableCharacterTypesItsOwnCode) {
    for (char c = ' '; c <= '~'; ++c) {
        KeyTranslator translator;
        const std::optional<KeyPress> press = key_press_for_character(c);
        ASSERT_TRUE(press) << c;
        const auto want = static_cast<uint8_t>(c >= 'a' && c <= 'z' ? c - 32 : c);
        EXPECT_EQ(key_press_codes(translator, *press), std::vector<uint8_t>{want}) << c;
        EXPECT_FALSE(translator.chord_active()) << c;
    }
    EXPECT_FALSE(key_press_for_character('\x7f'));
    EXPECT_FALSE(key_press_for_character('\r'));
}

TEST(KeyNames, NamesThatAreNoKeyAreRefused) {
    for (const char* name : {"", "Foo", "Ctrl+", "Ctrl+Ctrl+A", "Shift+Shift", "F0", "F13", "F01",
                             "KP10", "KP", "Ctrl+Foo", "Alt-F4", "Enter+A", "\x7f", "é"}) {
        EXPECT_FALSE(parse_key_name(name)) << name;
    }
}

TEST(KeyNames, ModifiersAndNamesInAnyCase) {
    EXPECT_EQ(codes_of("ctrl+a"), codes_of("Ctrl+A"));
    EXPECT_EQ(codes_of("pageup"), std::vector<uint8_t>{0xE0});
    // A shifted character with Shift written too is pressed with one Shift.
    EXPECT_EQ(codes_of("Shift+!"), std::vector<uint8_t>{'!'});
    EXPECT_EQ(codes_of("Ctrl++"), std::vector<uint8_t>({0xF6, '+', 0xF7}));
}

// The chord state is the translator's: a chord begun and ended by one
// press leaves nothing held.
TEST(KeyNames, APressLeavesNoChordBehind) {
    KeyTranslator translator;
    const std::optional<KeyPress> chord = parse_key_name("Ctrl+Shift+Up");
    ASSERT_TRUE(chord);
    EXPECT_EQ(key_press_codes(translator, *chord), std::vector<uint8_t>({0xF6, 0xF0, 0xF7}));
    EXPECT_FALSE(translator.chord_active());
}

// The names codes are written back as: each sends exactly its codes, and
// a code has the plainest name there is.
TEST(KeyNames, CodesAreNamedByThePlainestName) {
    const std::vector<NamedKeyCodes> table = named_key_codes();
    const auto name_of = [&table](const std::vector<uint8_t>& codes) {
        for (const NamedKeyCodes& named : table)
            if (named.codes == codes) return named.name;
        return std::string();
    };
    for (const NamedKeyCodes& named : table) {
        EXPECT_EQ(codes_of(named.name), named.codes) << named.name;
        EXPECT_EQ(name_of(named.codes), named.name) << "two names send the codes of " << named.name;
    }
    const std::pair<std::vector<uint8_t>, std::string> expected[] = {
        {{0xE2}, "Up"},        {{0xED}, "Backspace"}, {{0x41}, "A"},
        {{0x21}, "!"},         {{0x01}, "Ctrl+A"},    {{0xD1}, "Shift+F10"},
        {{0xF1}, "Ctrl+Down"}, {{0x20}, "Space"},     {{0xF6, 0xF7}, "Ctrl+Shift"},
        {{0xEC, 0xED}, "Win"},
    };
    for (const auto& [codes, name] : expected) EXPECT_EQ(name_of(codes), name) << name;
    EXPECT_EQ(name_of({0xF6}), "");  // half a chord has no name
}

}  // namespace
