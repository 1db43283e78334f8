// placeholder, replaced by the key translation
#include "keyboard/key_translation.h"
const uint16_t upper_case_map[256] = {};
KeyResult key_code_for_key_down(uint8_t, KeyModifiers) { return {}; }
KeyResult key_code_for_key_up(uint8_t) { return {}; }
KeyResult key_code_for_sys_key_down(uint8_t, KeyModifiers) { return {}; }
KeyResult key_code_for_sys_key_up(uint8_t) { return {}; }
