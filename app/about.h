// The About box of both programs: its title and its text.
#pragma once

#include "zezodavoru_version.h"

inline constexpr char about_title[] = "About Zezodavoru";
inline constexpr char about_text[] =
    "Zezodavoru " ZEZ_VERSION
    "\n\nA remote display and keypad for devices of the Qor family: the device's 20 x 4 "
    "display and its keys, linked over a serial port.\n\nCopyright (c) 2026 the Zezodavoru "
    "developers.\nReleased under the MIT License.";
