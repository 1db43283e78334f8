// placeholder, replaced by the settings record
#include "app/settings.h"
std::array<uint8_t, settings_file_size> settings_to_bytes(const AppSettings&) { return {}; }
void settings_overlay_bytes(AppSettings&, const uint8_t*, size_t) {}
void settings_set_defaults(AppSettings&) {}
std::string settings_path_for(const std::string&) { return {}; }
