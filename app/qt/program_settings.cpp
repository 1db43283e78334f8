// Settings through QSettings in INI form. A save goes to "<file>.new" beside
// the file a symbolic link leads to (the link, say into a dotfiles
// repository, stays), which then replaces that file by rename(), atomic on
// one file system, keeping its permissions. A file that is there but that
// this user cannot read or write is left alone: replacing it would lose the
// settings kept in it, or override the owner's choice to make it read-only.
#include "app/qt/program_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <cstdio>

namespace {

constexpr char key_port[] = "link/port";
constexpr char key_network_ports[] = "link/network_ports";
constexpr char key_scheme[] = "window/color_scheme";
constexpr char key_size[] = "window/size";

void warn(const QString& text) {
    std::fprintf(stderr, "zezodavoru: %s\n", text.toLocal8Bit().constData());
}

// A value as the file has it: QSettings reads "1,2" as a list of two.
QString as_written(const QVariant& value) {
    return value.typeId() == QMetaType::QStringList ? value.toStringList().join(',')
                                                    : value.toString();
}

// The file that `path` names once its symbolic links are followed (also when
// that file does not exist yet); still a link if the links go round.
QString followed_links(const QString& path) {
    constexpr int max_links = 40;  // as the kernel allows in one path
    QString file = path;
    for (int hops = 0; hops < max_links; ++hops) {
        const QFileInfo info(file);
        if (!info.isSymLink()) return file;
        file = info.symLinkTarget();
    }
    return file;
}

// Why an existing settings file must not be replaced, or empty when it may.
QString reason_to_keep(const QFileInfo& existing, const QString& path) {
    if (existing.isSymLink() ||
        (existing.exists() && (!existing.isFile() || !existing.isReadable()))) {
        return QString("%1 cannot be read; the settings are not saved over it").arg(path);
    }
    if (existing.exists() && !existing.isWritable()) {
        return QString("%1 is read-only; the settings are not saved").arg(path);
    }
    return {};
}

// An integer setting within [low, high], else the fallback (with a warning
// when the file had something else there).
int32_t read_int(const QSettings& store, const char* key, int32_t low, int32_t high,
                 int32_t fallback, const QString& path) {
    if (!store.contains(key)) return fallback;
    bool ok = false;
    const int value = store.value(key).toString().toInt(&ok);
    if (ok && value >= low && value <= high) return value;
    warn(QString("%1: ignoring %2 = \"%3\"").arg(path, key, as_written(store.value(key))));
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
    settings.network_ports = store.value(key_network_ports).toStringList();
    settings.color_scheme = read_int(store, key_scheme, 0, 2, settings.color_scheme, path);
    settings.size_preset =
        static_cast<uint8_t>(read_int(store, key_size, 1, 4, settings.size_preset, path));
    return settings;
}

bool save_program_settings(const ProgramSettings& settings, const QString& path) {
    const QString target = followed_links(path);
    const QFileInfo existing(target);
    if (const QString reason = reason_to_keep(existing, path); !reason.isEmpty()) {
        warn(reason);
        return false;
    }
    const QString temporary = target + ".new";
    QDir().mkpath(existing.absolutePath());
    QFile::remove(temporary);
    {
        QSettings store(temporary, QSettings::IniFormat);
        store.setValue(key_port, settings.port);
        if (!settings.network_ports.isEmpty())
            store.setValue(key_network_ports, settings.network_ports);
        store.setValue(key_scheme, settings.color_scheme);
        store.setValue(key_size, settings.size_preset);
        store.sync();
        if (store.status() != QSettings::NoError) {
            QFile::remove(temporary);
            warn(QString("cannot save the settings to %1").arg(path));
            return false;
        }
    }
    if ((existing.exists() && !QFile::setPermissions(temporary, existing.permissions())) ||
        std::rename(QFile::encodeName(temporary).constData(),
                    QFile::encodeName(target).constData()) != 0) {
        QFile::remove(temporary);
        warn(QString("cannot save the settings to %1").arg(path));
        return false;
    }
    return true;
}
