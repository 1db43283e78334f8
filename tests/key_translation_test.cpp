// The key code mapping: fixed keys checked against the layout of the device's
// code space, the default rule's letter, digit and keypad cases, the
// Ctrl+Shift chord, the Windows key and the system keys.
#include "keyboard/key_translation.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

constexpr KeyModifiers none{};
constexpr KeyModifiers shift{true, false};
constexpr KeyModifiers ctrl{false, true};
constexpr KeyModifiers ctrl_shift{true, true};

class KeyTranslation : public ::testing::Test {
protected:
    uint8_t down(uint8_t vk, KeyModifiers mods = none) {
        return translator.key_code_for_key_down(vk, mods).code;
    }

    KeyTranslator translator;
};

TEST_F(KeyTranslation, FunctionKeysFollowTheirCodeRangesAndIgnoreCtrl) {
    // F1..F9, F11, F12: 0xB0 + n plain, 0xC8 + n with Shift (n = vk - F1).
    for (uint8_t vk = 0x70; vk <= 0x7B; ++vk) {
        if (vk == vk_f10) continue;
        const auto n = static_cast<uint8_t>(vk - 0x70);
        SCOPED_TRACE(testing::Message() << "vk 0x" << std::hex << int(vk));
        EXPECT_EQ(down(vk), 0xB0 + n);
        EXPECT_EQ(down(vk, ctrl), 0xB0 + n);
        EXPECT_EQ(down(vk, shift), 0xC8 + n);
        EXPECT_EQ(down(vk, ctrl_shift), 0xC8 + n);
    }
}

TEST_F(KeyTranslation, CursorAndPageKeysLetCtrlWinOverShift) {
    struct Row {
        uint8_t vk, plain, shifted, ctrled;
    };
    // Up, Down, Left, Right share one order in all three ranges.
    const Row rows[] = {{0x26, 0xE2, 0xD8, 0xF0}, {0x28, 0xE3, 0xD9, 0xF1},
                        {0x25, 0xE4, 0xDA, 0xF2}, {0x27, 0xE5, 0xDB, 0xF3},
                        {0x21, 0xE0, 0xD6, 0xF4}, {0x22, 0xE1, 0xD7, 0xF5}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "vk 0x" << std::hex << int(r.vk));
        EXPECT_EQ(down(r.vk), r.plain);
        EXPECT_EQ(down(r.vk, shift), r.shifted);
        EXPECT_EQ(down(r.vk, ctrl), r.ctrled);
        EXPECT_EQ(down(r.vk, ctrl_shift), r.ctrled);
    }
}

TEST_F(KeyTranslation, EditingKeysIgnoreModifiers) {
    const std::pair<uint8_t, uint8_t> rows[] = {{0x08, 0xED}, {0x09, 0xEE}, {0x0D, 0xE9},
                                                {0x23, 0xDF}, {0x24, 0xDE}, {0x2D, 0xDD},
                                                {0x2E, 0xE6}};
    for (auto [vk, code] : rows)
        for (KeyModifiers mods : {none, shift, ctrl, ctrl_shift})
            EXPECT_EQ(down(vk, mods), code) << "vk " << int(vk);
}

TEST_F(KeyTranslation, PunctuationKeysSendTheUsLayoutWhateverCtrl) {
    const uint8_t vks[] = {0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xDB, 0xDC, 0xDD, 0xDE};
    const std::string_view plain = ";=,-./`[\\]'";
    const std::string_view shifted = ":+<_>?~{|}\"";
    for (size_t i = 0; i < std::size(vks); ++i) {
        SCOPED_TRACE(testing::Message() << "vk 0x" << std::hex << int(vks[i]));
        EXPECT_EQ(down(vks[i]), uint8_t(plain[i]));
        EXPECT_EQ(down(vks[i], ctrl), uint8_t(plain[i]));
        EXPECT_EQ(down(vks[i], shift), uint8_t(shifted[i]));
        EXPECT_EQ(down(vks[i], ctrl_shift), uint8_t(shifted[i]));
    }
}

TEST_F(KeyTranslation, LettersAreAlwaysCapitalsAndCtrlMakesControlCodes) {
    for (uint8_t vk = 'A'; vk <= 'Z'; ++vk) {
        EXPECT_EQ(down(vk), vk);
        EXPECT_EQ(down(vk, shift), vk);
        EXPECT_EQ(down(vk, ctrl), vk - 0x40);
        EXPECT_EQ(down(vk, ctrl_shift), vk - 0x40);
    }
    EXPECT_EQ(down(' '), 0x20);
    EXPECT_EQ(down(0x1B), 0x1B);
}

TEST_F(KeyTranslation, DigitsWithShiftAndCtrl) {
    const std::string_view shifted = ")!@#$%^&*(";
    for (uint8_t d = 0; d <= 9; ++d) {
        const auto vk = static_cast<uint8_t>('0' + d);
        SCOPED_TRACE(testing::Message() << "digit " << int(d));
        EXPECT_EQ(down(vk), vk);
        EXPECT_EQ(down(vk, shift), uint8_t(shifted[d]));
        // Ctrl changes only 1..5, and only when Shift has not.
        EXPECT_EQ(down(vk, ctrl), d >= 1 && d <= 5 ? 0xA0 + d - 1 : vk);
        EXPECT_EQ(down(vk, ctrl_shift), uint8_t(shifted[d]));
    }
}

TEST_F(KeyTranslation, KeypadAndKeysWithoutRowsSendTheirOwnCode) {
    // Keypad 1..9 and * + separator - . / fold like letters.
    for (uint8_t vk = 0x61; vk <= 0x6F; ++vk) {
        EXPECT_EQ(down(vk), vk - 0x20);
        EXPECT_EQ(down(vk, ctrl), vk - 0x60);
    }
    EXPECT_EQ(down(0x60), 0x60);  // keypad 0
    const uint8_t without_rows[] = {0x13, 0x14, 0x5C, 0x5D, 0x90, 0xE2, 0xFF};
    for (uint8_t vk : without_rows) {
        EXPECT_EQ(down(vk), vk);
        EXPECT_EQ(down(vk, shift), vk);
        EXPECT_EQ(down(vk, ctrl), vk);
        EXPECT_EQ(down(vk, ctrl_shift), vk);
    }
    // F10 as an ordinary key-down is no function key but a letter position.
    EXPECT_EQ(down(vk_f10), 'Y');
}

TEST_F(KeyTranslation, ChordBeginsOnceAndEndsOnTheFirstRelease) {
    // Shift held, Ctrl pressed and auto-repeated, Ctrl released, Shift released.
    EXPECT_EQ(down(vk_shift, shift), 0);
    EXPECT_EQ(down(vk_control, ctrl_shift), 0xF6);
    EXPECT_TRUE(translator.chord_active());
    EXPECT_EQ(down(vk_control, ctrl_shift), 0);
    EXPECT_EQ(down(vk_shift, ctrl_shift), 0);
    EXPECT_EQ(translator.key_code_for_key_up(vk_control).code, 0xF7);
    EXPECT_FALSE(translator.chord_active());
    EXPECT_EQ(translator.key_code_for_key_up(vk_shift).code, 0);

    // The other order begins it as well.
    EXPECT_EQ(down(vk_control, ctrl), 0);
    EXPECT_EQ(down(vk_shift, ctrl_shift), 0xF6);
    EXPECT_EQ(translator.key_code_for_key_up(vk_shift).code, 0xF7);
}

TEST_F(KeyTranslation, ModifierAloneSendsNothing) {
    for (uint8_t vk : {vk_shift, vk_control}) {
        const KeyModifiers self = vk == vk_shift ? shift : ctrl;
        const KeyResult pressed = translator.key_code_for_key_down(vk, self);
        EXPECT_EQ(pressed.code, 0);
        EXPECT_TRUE(pressed.handled);
        const KeyResult released = translator.key_code_for_key_up(vk);
        EXPECT_EQ(released.code, 0);
        EXPECT_TRUE(released.handled);
    }
    EXPECT_FALSE(translator.chord_active());
}

TEST_F(KeyTranslation, OnlyTheLeftWindowsKeyIsReportedUnhandled) {
    const KeyResult pressed = translator.key_code_for_key_down(vk_lwin, none);
    EXPECT_EQ(pressed.code, 0xEC);
    EXPECT_FALSE(pressed.handled);
    const KeyResult released = translator.key_code_for_key_up(vk_lwin);
    EXPECT_EQ(released.code, 0xED);
    EXPECT_FALSE(released.handled);

    EXPECT_TRUE(translator.key_code_for_key_down('A', none).handled);
    const KeyResult other_up = translator.key_code_for_key_up('A');
    EXPECT_EQ(other_up.code, 0);
    EXPECT_TRUE(other_up.handled);
}

TEST_F(KeyTranslation, SystemKeysSendOnlyF10) {
    EXPECT_EQ(translator.key_code_for_sys_key_down(vk_f10, none).code, 0xB9);
    EXPECT_EQ(translator.key_code_for_sys_key_down(vk_f10, shift).code, 0xD1);
    const uint8_t alt_keys[] = {0x12, 'X', 0x73, 0x26};  // Alt itself, Alt+X, Alt+F4, Alt+Up
    for (uint8_t vk : alt_keys) {
        const KeyResult r = translator.key_code_for_sys_key_down(vk, none);
        EXPECT_EQ(r.code, 0);
        EXPECT_TRUE(r.handled);
    }
    const uint8_t released[] = {0x12, vk_f10, 'X'};
    for (uint8_t vk : released) {
        const KeyResult r = translator.key_code_for_sys_key_up(vk);
        EXPECT_EQ(r.code, 0);
        EXPECT_TRUE(r.handled);
    }
}

}  // namespace
