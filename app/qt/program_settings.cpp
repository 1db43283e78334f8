// Settings through QSettings in INI form. A save goes to "<file>.new",
// which then replaces the file by rename(), atomic on one file system.
#include "app/qt/program_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <cstdio>

namespace {

constexpr char key_port[] = "link/port";
constexpr char key_scheme[] = "window/color_scheme";
constexpr char key_size[] = "window/size";

void warn(const QString& text) {
    std::fprintf(stderr, "zezodavoru: %s\n", text.toLocal8Bit().constData());
}

// An integer setting within [low, high], else the fallback (with a warning
// when the file had something else there).
int32_t read_int(const QSettings& store, const char* key, int32_t low, int32_t high,
                 int32_t fallback, const QString& path) {
    if (!store.contains(key)) return fallback;
    bool ok = false;
    const int value = store.value(key).toString().toInt(&ok);
    if (ok && value >= low && value <= high) return value;
    warn(QString("%1: ignoring %2 = \"%3\"").arg(path, key, store.value(key).toString()));
    return fallback;
}

}  // namespace

QString settings_file_path() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/zezodavoru/zezodavoru.conf";
}

ProgramSettings load_program_settings(const QString& path) {
    ProgramSettings settings;
    const QFileInfo info(path);
    if (!info.exists()) return settings;
    if (!info.isFile() || !info.isReadable()) {
        warn(QString("%1 cannot be read; using the default settings").arg(path));
        return settings;
    }
    const QSettings store(path, QSettings::IniFormat);
    if (store.status() != QSettings::NoError) {
        warn(QString("%1 is damaged; using the default settings where it is").arg(path));
    }
    settings.port = store.value(key_port).toString();
    settings.color_scheme = read_int(store, key_scheme, 0, 2, settings.color_scheme, path);
    settings.size_preset =
        static_cast<uint8_t>(read_int(store, key_size, 1, 4, settings.size_preset, path));
    return settings;
}

bool save_program_settings(const ProgramSettings& settings, const QString& path) {
    const QString temporary = path + ".new";
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(temporary);
    {
        QSettings store(temporary, QSettings::IniFormat);
        store.setValue(key_port, settings.port);
        store.setValue(key_scheme, settings.color_scheme);
        store.setValue(key_size, settings.size_preset);
        store.sync();
        if (store.status() != QSettings::NoError) {
            QFile::remove(temporary);
            warn(QString("cannot save the settings to %1").arg(path));
            return false;
        }
    }
    if (std::rename(QFile::encodeName(temporary).constData(),
                    QFile::encodeName(path).constData()) != 0) {
        QFile::remove(temporary);
        warn(QString("cannot save the settings to %1").arg(path));
        return false;
    }
    return true;
}
