// The Linux program's settings: the port it links to (and the network ports
// used lately), the colour scheme and
// the window size, kept in the user's configuration folder
// ($XDG_CONFIG_HOME/zezodavoru/zezodavoru.conf).
//
// Every value is checked as it is read: a missing, unreadable or corrupt
// file, or a value out of range, gives the default for that value and at
// most a warning on standard error. Saving writes a new file and renames it
// over the old one, so a failed save leaves the previous settings whole. A
// file this user cannot read, or may not write, is never replaced (a warning
// says why), and a symbolic link is written through, not replaced.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

struct ProgramSettings {
    QString port;               // the device path or network URL to link, or empty
    QStringList network_ports;  // network URLs used lately, the latest first
    int32_t color_scheme = 1;   // 1 green, 0 (or 2) blue, as on Windows
    uint8_t size_preset = 4;    // 1..4
};

// The settings file of this user.
QString settings_file_path();
// Reads the file; problems are reported on standard error and replaced by
// defaults.
ProgramSettings load_program_settings(const QString& path);
// Writes the file atomically; false (with a warning on standard error) if it
// could not be written or is kept as it is.
bool save_program_settings(const ProgramSettings& settings, const QString& path);
