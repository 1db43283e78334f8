// Key code translation: the fixed mapping of the desk keyboard's Windows key
// messages to the device's one-byte key codes.
//
// The mapping is a function of the virtual-key code and the Shift / Ctrl
// state that goes with the message; it ignores the keyboard layout and Caps
// Lock. Its only state is the Ctrl+Shift chord, kept in the KeyTranslator
// that a front end owns. The translator is portable and sends nothing: the
// Windows front end feeds it virtual-key codes with the modifier state of
// the message (key_translation_win32.h), other front ends map their keys
// onto the same virtual-key vocabulary.
#pragma once

#include <array>
#include <cstdint>

// Virtual-key codes that the mapping treats specially.
inline constexpr uint8_t vk_shift = 0x10;
inline constexpr uint8_t vk_control = 0x11;
inline constexpr uint8_t vk_menu = 0x12;  // Alt
inline constexpr uint8_t vk_lwin = 0x5B;
inline constexpr uint8_t vk_f10 = 0x79;

struct KeyModifiers {
    bool shift = false;
    bool ctrl = false;
};

// The outcome of one key message: the code to send (0 = none) and whether
// the window procedure reports the key as handled.
struct KeyResult {
    uint8_t code = 0;
    bool handled = true;
};

// upper_case_map[v] is v - 0x20 for 0x61..0x7A and v otherwise.
inline constexpr std::array<uint16_t, 256> upper_case_map = [] {
    std::array<uint16_t, 256> map{};
    for (uint16_t v = 0; v < 256; ++v) map[v] = (v >= 0x61 && v <= 0x7A) ? uint16_t(v - 0x20) : v;
    return map;
}();
// Shift with digit 0..9.
inline constexpr char shifted_digits[] = ")!@#$%^&*(";

// The key translation of one window: one function per key message kind.
// key_down and key_up follow the Ctrl+Shift chord: Shift or Ctrl pressed
// while the other is held begins it (0xF6), and the release of either ends
// it (0xF7).
class KeyTranslator {
public:
    KeyResult key_code_for_key_down(uint8_t vk, KeyModifiers mods);
    KeyResult key_code_for_key_up(uint8_t vk);
    KeyResult key_code_for_sys_key_down(uint8_t vk, KeyModifiers mods) const;
    KeyResult key_code_for_sys_key_up(uint8_t vk) const;

    bool chord_active() const { return chord_active_; }

private:
    bool chord_active_ = false;
};

// A key of another platform in the translator's vocabulary: the virtual-key
// code that the same key of a US keyboard has on Windows, with its Shift and
// Ctrl state and the kind of message Windows would deliver.
struct MappedKey {
    uint8_t vk = 0;
    KeyModifiers mods;
    bool system = false;  // a system key on Windows: held with Alt, or F10
};

// The code the translator gives for the key, pressed or released.
KeyResult translate_mapped_key(KeyTranslator& translator, const MappedKey& key, bool pressed);
