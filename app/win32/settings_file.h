// The settings file of the Windows program: its path beside the executable,
// loading at start-up (the defaults and a new file at a first run) and
// saving. The record and its 12-byte image are app/settings.h; here is only
// the file I/O, on the record and path the caller gives.
#pragma once

#include <string>

#include "app/settings.h"

// The executable's settings path, or empty when the executable's own path
// does not fit MAX_PATH (nothing is then read or written).
std::string settings_path_init();
// 1 when the file was read, or could not be opened and the defaults were
// taken (and saved); 0 with the message "Read config file failed." when
// reading an opened file failed. An empty path takes the defaults.
int settings_load(AppSettings& settings, const std::string& path);
// Writes a temporary file beside the settings file and puts it in the old
// one's place, so a failed save leaves the previous file whole. 1 when saved
// or when the folder cannot be written (silently), and for an empty path; 0
// with the message "Save State Failed." when writing or replacing failed.
int settings_save(const AppSettings& settings, const std::string& path);
