// Fuzzing harness of the settings record's 12-byte file image and of the
// settings path rule.
//
// Input: the whole input is a settings file, and, as a path, goes through
// settings_path_for.
//
// Checked: a file shorter than the record gives the default record; a
// longer one gives its first 12 bytes in the documented layout, except a
// size preset outside 1..4 or a scheme outside 0..2, which are the
// defaults'; the record read is a fixed point of writing and reading; the
// defaults touch only their three fields; the path keeps its folders, ends
// in ".cfg" and maps to itself.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/settings.h"
#include "fuzz_checks.h"

namespace {

using Image = std::array<uint8_t, settings_file_size>;

AppSettings record_of(const Image& b) {
    AppSettings s;
    s.com_port = b[0];
    std::copy_n(b.begin() + 1, 3, s.reserved_a.begin());
    s.color_scheme = static_cast<int32_t>(b[4] | b[5] << 8 | b[6] << 16 | uint32_t{b[7]} << 24);
    s.size_preset = b[8];
    std::copy_n(b.begin() + 9, 3, s.reserved_b.begin());
    return s;
}

bool same(const AppSettings& a, const AppSettings& b) {
    return a.com_port == b.com_port && a.reserved_a == b.reserved_a &&
           a.color_scheme == b.color_scheme && a.size_preset == b.size_preset &&
           a.reserved_b == b.reserved_b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const AppSettings s = settings_from_file(data, size);
    const Image image = settings_to_bytes(s);
    AppSettings defaults;
    settings_set_defaults(defaults);
    if (size < settings_file_size) {
        FUZZ_CHECK(same(s, defaults));
    } else {
        Image expected{};
        std::copy_n(data, settings_file_size, expected.begin());
        const AppSettings found = record_of(expected);
        if (found.color_scheme < 0 || found.color_scheme > 2) {
            std::copy_n(settings_to_bytes(defaults).begin() + 4, 4, expected.begin() + 4);
        }
        if (found.size_preset < 1 || found.size_preset > 4) expected[8] = defaults.size_preset;
        FUZZ_CHECK(image == expected);
        FUZZ_CHECK(same(s, record_of(image)));
    }
    FUZZ_CHECK(same(settings_from_file(image.data(), image.size()), s));

    AppSettings fresh = s;
    settings_set_defaults(fresh);
    FUZZ_CHECK(fresh.com_port == 0 && fresh.color_scheme == 1 && fresh.size_preset == 1);
    FUZZ_CHECK(fresh.reserved_a == s.reserved_a && fresh.reserved_b == s.reserved_b);

    const std::string path(reinterpret_cast<const char*>(data), size);
    const std::string cfg = settings_path_for(path);
    const size_t slash = path.find_last_of("\\/:");
    const size_t folder = slash == std::string::npos ? 0 : slash + 1;
    FUZZ_CHECK(cfg.size() >= 4 && cfg.compare(cfg.size() - 4, 4, ".cfg") == 0);
    FUZZ_CHECK(cfg.compare(0, folder, path, 0, folder) == 0);
    FUZZ_CHECK(cfg.find_last_of("\\/:") == path.find_last_of("\\/:"));
    FUZZ_CHECK(settings_path_for(cfg) == cfg);
    return 0;
}
