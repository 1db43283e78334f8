// Fuzzing harness of the settings record's 12-byte file image and of the
// settings path rule.
//
// Input: bytes 0..11 (zero-padded) are the record found before the file is
// read, set field by field from the documented layout; the bytes after them,
// however many, are the file that is overlaid on it. The whole input, as a
// path, goes through settings_path_for.
//
// Checked: the record's image is the documented layout; an overlay takes
// exactly the file's first min(n, 12) bytes (reading none beyond them) and
// keeps the rest; the image round-trips through a fresh record; the
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
    Image found{};
    std::copy_n(data, std::min(size, settings_file_size), found.begin());
    AppSettings s = record_of(found);
    FUZZ_CHECK(settings_to_bytes(s) == found);

    const size_t count = size > settings_file_size ? size - settings_file_size : 0;
    const uint8_t* file = data + (size - count);
    settings_overlay_bytes(s, file, count);
    const Image image = settings_to_bytes(s);
    const size_t taken = std::min(count, settings_file_size);
    FUZZ_CHECK(std::equal(file, file + taken, image.begin()));
    FUZZ_CHECK(std::equal(found.begin() + taken, found.end(), image.begin() + taken));
    FUZZ_CHECK(same(s, record_of(image)));

    AppSettings fresh;
    settings_overlay_bytes(fresh, image.data(), image.size());
    FUZZ_CHECK(same(fresh, s) && settings_to_bytes(fresh) == image);
    settings_overlay_bytes(fresh, image.data(), 0);
    FUZZ_CHECK(same(fresh, s));

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
