// The settings record's file image (layout, byte order, short files,
// reserved bytes), the first-run defaults and the settings path rule.
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
    AppSettings s;
    settings_overlay_bytes(s, file.data(), file.size());
    EXPECT_EQ(s.com_port, 7);
    EXPECT_EQ(s.color_scheme, 2);
    EXPECT_EQ(s.size_preset, 4);
    EXPECT_EQ(settings_to_bytes(s), file);
}

TEST(SettingsRecord, ShortFileFillsOnlyItsOwnBytes) {
    // A zero-filled record, then a 5-byte file 07 00 00 00 00.
    AppSettings fresh;
    const uint8_t five[] = {0x07, 0x00, 0x00, 0x00, 0x00};
    settings_overlay_bytes(fresh, five, sizeof five);
    EXPECT_EQ(fresh.com_port, 7);
    EXPECT_EQ(fresh.color_scheme, 0);
    EXPECT_EQ(fresh.size_preset, 0);

    // Over a record that already holds values, the bytes beyond are kept,
    // including the upper bytes of a field cut in the middle.
    AppSettings held;
    held.color_scheme = 0x44332211;
    held.size_preset = 2;
    held.reserved_b = {9, 9, 9};
    const uint8_t six[] = {0x05, 0x00, 0x00, 0x00, 0xAA, 0xBB};
    settings_overlay_bytes(held, six, sizeof six);
    EXPECT_EQ(held.com_port, 5);
    EXPECT_EQ(held.color_scheme, 0x4433BBAA);
    EXPECT_EQ(held.size_preset, 2);
    EXPECT_EQ(held.reserved_b, (std::array<uint8_t, 3>{9, 9, 9}));
}

TEST(SettingsRecord, BytesBeyondTheRecordAreIgnored) {
    std::vector<uint8_t> long_file(40, 0x55);
    AppSettings s;
    settings_overlay_bytes(s, long_file.data(), long_file.size());
    Image expected;
    expected.fill(0x55);
    EXPECT_EQ(settings_to_bytes(s), expected);
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
