// Keys by name: "F1", "Enter", "Ctrl+A", "Shift+F10", "KP5", "!", and the
// key codes a window sends when such a key is pressed and released.
//
// A name is any number of the modifiers "Shift+", "Ctrl+" and "Alt+" (any
// case, each at most once) before one key: a named key ("F1".."F12",
// "Enter", "Escape", "Tab", "Backspace", "Delete", "Insert", "Home", "End",
// "PageUp", "PageDown", "Up", "Down", "Left", "Right", "Space",
// "KP0".."KP9", "Win" for the left Windows key, or the modifier keys
// "Shift", "Ctrl" and "Alt" themselves, so that "Ctrl+Shift" is the chord),
// or one printable ASCII character: a letter (either case: the key, with no
// Shift), a digit, or a punctuation character of the US layout, which brings
// the Shift it is typed with ("!" is Shift+1).
//
// A key press is the keys of the name going down in the order written and
// coming up in the reverse order, each as the window's message would give it
// to the translator: Shift and Ctrl held from their own press on, and every
// key a system key while Alt is held (and F10 always). So the codes are what
// the programs send for the same keys, the Ctrl+Shift chord included.
//
// The other way round, named_key_codes() says which name a key code is best
// written by, for whatever writes presses from codes sent (a test written
// from a recording).
// Portable: the Python module uses it now, other front ends may later.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "keyboard/key_translation.h"

// The virtual keys of one key press, in the order they go down.
struct KeyPress {
    std::array<uint8_t, 4> keys{};
    uint8_t count = 0;
};

// The key press a name stands for, or none for a name that is no key.
std::optional<KeyPress> parse_key_name(std::string_view name);

// The key press that types `c` on the US layout: Shift with capitals and
// shifted punctuation, Enter for '\n' and Tab for '\t'; none for any other
// character.
std::optional<KeyPress> key_press_for_character(char c);

// The codes the translator gives for the press, pressed and released, in
// order (codes of 0, "nothing to send", are left out).
std::vector<uint8_t> key_press_codes(KeyTranslator& translator, const KeyPress& press);

// A key name and the codes its press sends, from a translator with no chord
// begun.
struct NamedKeyCodes {
    std::string name;
    std::vector<uint8_t> codes;
};

// One name for every distinct run of codes a single name sends, the plainest
// first: named keys, function keys, characters and keypad keys, then the
// same with Shift, then with Ctrl, then the Ctrl+Shift chord and the Windows
// key (two codes each). So the first name found for a code is the one a
// person would write ("Up" for 0xE2, "A" for 0x41, "!" for 0x21).
std::vector<NamedKeyCodes> named_key_codes();
