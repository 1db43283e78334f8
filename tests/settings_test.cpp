// The settings record's file image (layout, byte order, reserved bytes,
// damaged files), the first-run defaults and the settings path rule.
#include "app/settings.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace {

using Image = std::array<uint8_t, settings_file_size>;

TEST(SettingsRecord, ImageIsLittleEndianWithReservedBytesInPlace) {
    AppSettings s;
    s.com_port = 0x2A;
    s.reserved_a = {0x11, 0x12, 0x13};
    s.color_scheme = -2;
    s.size_preset = 3;
    s.reserved_b = {0x21, 0x22, 0x23};
    const Image expected{0x2A, 0x11, 0x12, 0x13, 0xFE, 0xFF, 0xFF, 0xFF, 0x03, 0x21, 0x22, 0x23};
    EXPECT_EQ(settings_to_bytes(s), expected);
}

TEST(SettingsRecord, FullImageRoundTripsUnchanged) {
    const Image file{0x07, 0xA1, 0xB2, 0xC3, 0x02, 0x00, 0x00, 0x00, 0x04, 0xD4, 0xE5, 0xF6};
    const AppSettings s = settings_from_file(file.data(), file.size());
    EXPECT_EQ(s.com_port, 7);
    EXPECT_EQ(s.color_scheme, 2);
    EXPECT_EQ(s.size_preset, 4);
    EXPECT_EQ(settings_to_bytes(s), file);
}

// A damaged file gives a window with a picture: the defaults for a file
// too short to hold the record, and for a size or scheme out of range (the
// other bytes, the user's port among them, are kept); bytes beyond the
// record are ignored.
TEST(SettingsRecord, DamagedFileGivesTheDefaults) {
    const Image defaults{0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    const uint8_t eleven[] = {0x07, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0};
    for (size_t count : {size_t{0}, size_t{1}, size_t{5}, sizeof eleven}) {
        EXPECT_EQ(settings_to_bytes(settings_from_file(eleven, count)), defaults) << count;
    }
    struct Case {
        Image file;
        Image read;
    };
    const Case cases[] = {
        {{7, 0xA1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF6}, {7, 0xA1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0xF6}},
        {{7, 0, 0, 0, 1, 0, 0, 0, 5, 0, 0, 0}, {7, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}},
        {{7, 0, 0, 0, 1, 0, 0, 0, 9, 0, 0, 0}, {7, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}},
        {{7, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0}, {7, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0}},
        {{7, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0}, {7, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0}},
        {{7, 0, 0, 0, 0, 0, 0, 1, 2, 0, 0, 0}, {7, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(settings_to_bytes(settings_from_file(c.file.data(), c.file.size())), c.read)
            << int{c.file[4]} << " " << int{c.file[8]};
    }
    const std::vector<uint8_t> long_file(40, 0x55);
    const Image first_twelve{0x55, 0x55, 0x55, 0x55, 1, 0, 0, 0, 1, 0x55, 0x55, 0x55};
    EXPECT_EQ(settings_to_bytes(settings_from_file(long_file.data(), long_file.size())),
              first_twelve);
}

TEST(SettingsRecord, DefaultsGiveTheFirstRunImage) {
    AppSettings s;
    settings_set_defaults(s);
    const Image expected{0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    EXPECT_EQ(settings_to_bytes(s), expected);
}

TEST(SettingsPath, OnlyTheExecutablesExtensionIsReplaced) {
    struct Case {
        const char* exe;
        const char* cfg;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Zez\\zezodavoru.exe", "C:\\Program Files\\Zez\\zezodavoru.cfg"},
        {"C:\\Tools\\ZEZ.EXE", "C:\\Tools\\ZEZ.cfg"},
        // Folders whose names hold "exe" or a full stop are never patched.
        {"C:\\exe\\run.exe.d\\zez.exe", "C:\\exe\\run.exe.d\\zez.cfg"},
        {"C:\\v1.2\\zez", "C:\\v1.2\\zez.cfg"},
        {"D:/mixed.exe/zez.exe", "D:/mixed.exe/zez.cfg"},
        {"C:\\apps\\zez.exe.old", "C:\\apps\\zez.exe.cfg"},
        {"zez.exe", "zez.cfg"},
        {"C:zez.exe", "C:zez.cfg"},
    };
    for (const Case& c : cases) EXPECT_EQ(settings_path_for(c.exe), c.cfg) << c.exe;
}

}  // namespace
