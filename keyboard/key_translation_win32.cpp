// The key messages' entry points on Windows: each reads the Shift and Ctrl
// state that goes with the message being processed, maps the key, and sends
// a nonzero code to the device while the link is open. The chord flag
// follows the keys whether or not the link is open; nothing is queued while
// it is closed.
#include <windows.h>

#include "app/shell_state.h"
#include "keyboard/key_translation.h"
#include "serial/com_link.h"

namespace {

bool held(int vk) {
    return (GetKeyState(vk) & 0x8000) != 0;
}

KeyModifiers current_modifiers() {
    return {held(VK_SHIFT), held(VK_CONTROL)};
}

// Sends the code (its write result is of no interest to the keyboard) and
// tells the window procedure whether the key counts as handled.
bool deliver(KeyResult result) {
    if (result.code != 0 && link_open.load() == 1) com_send_byte(result.code);
    return result.handled;
}

}  // namespace

bool translate_key_down(uint8_t vk) {
    return deliver(key_code_for_key_down(vk, current_modifiers()));
}

bool translate_key_up(uint8_t vk) {
    return deliver(key_code_for_key_up(vk));
}

bool translate_sys_key_down(uint8_t vk) {
    return deliver(key_code_for_sys_key_down(vk, current_modifiers()));
}

bool translate_sys_key_up(uint8_t vk) {
    return deliver(key_code_for_sys_key_up(vk));
}
