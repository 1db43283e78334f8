// The command line through QCommandLineParser, with the values checked here
// so that every mistake ends the same way: one line naming it, status 2.
#include "app/qt/program_options.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include "panel/playback_link.h"
#include "zezodavoru_version.h"

namespace {

OptionsOutcome failure(const QString& message) {
    return {2, "zezodavoru: " + message + " (see zezodavoru --help)\n"};
}

// An argument's bytes in the locale's encoding, for a message.
QString shown(const QString& argument) {
    return QString::fromLocal8Bit(argument.toLatin1());
}

}  // namespace

OptionsOutcome parse_program_options(const QStringList& arguments, ProgramOptions& options) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "A remote display and keypad for devices of the Qor family: the device's 20 x 4 "
        "display\nand its keys, linked over a serial port.");
    const QCommandLineOption port(
        {"p", "port"},
        "Link to the device on PORT at start: a serial port's path, rfc2217://HOST:PORT or "
        "socket://HOST:PORT.",
        "PORT");
    const QCommandLineOption demo("demo", "Link to the built-in demo device.");
    const QCommandLineOption scheme("scheme", "Colours: 1 green, 0 or 2 blue.", "0|1|2");
    const QCommandLineOption size("size", "Window size, 1 (smallest) to 4.", "1-4");
    const QCommandLineOption record(
        "record", "Write the whole session to FILE as it goes (\"-\": standard output).", "FILE");
    const QCommandLineOption play("play", "Play the recording FILE instead of linking.", "FILE");
    const QCommandLineOption speed("speed", "Play at X times the recording's pace (default 1).",
                                   "X");
    const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
    const QCommandLineOption version("version", "Show the version and exit.");
    parser.addOptions({port, demo, scheme, size, record, play, speed, help, version});

    if (!parser.parse(arguments)) return failure(parser.errorText());
    if (parser.isSet(help)) {
        QString text = parser.helpText();
        text.replace(QRegularExpression("^Usage: \\S+"), "Usage: zezodavoru");
        return {0, text};
    }
    if (parser.isSet(version)) return {0, "zezodavoru " ZEZ_VERSION "\n"};
    if (!parser.positionalArguments().isEmpty()) {
        return failure("unexpected argument: " + shown(parser.positionalArguments().first()));
    }
    if (parser.isSet(port) && parser.isSet(demo)) {
        return failure("--port and --demo cannot be used together");
    }
    if (parser.isSet(play) && (parser.isSet(port) || parser.isSet(demo))) {
        return failure("--play cannot be used with --port or --demo");
    }
    if (parser.isSet(speed) && !parser.isSet(play)) return failure("--speed needs --play");
    options.record_path = parser.value(record).toLatin1().toStdString();
    if (parser.isSet(record) && options.record_path.empty())
        return failure("--record needs a file");
    options.play_path = parser.value(play).toLatin1().toStdString();
    if (parser.isSet(play) && options.play_path.empty()) return failure("--play needs a file");
    if (parser.isSet(speed)) {
        bool number = false;
        options.speed = parser.value(speed).toDouble(&number);
        if (!number || !PlaybackLink::speed_allowed(options.speed)) {
            return failure("--speed must be a number above 0");
        }
    }
    options.port = parser.value(port).toLatin1().toStdString();
    if (parser.isSet(port) && options.port.empty()) return failure("--port needs a path");
    options.demo = parser.isSet(demo);
    bool ok = false;
    if (parser.isSet(scheme)) {
        const int value = parser.value(scheme).toInt(&ok);
        if (!ok || value < 0 || value > 2) return failure("--scheme must be 0, 1 or 2");
        options.color_scheme = value;
    }
    if (parser.isSet(size)) {
        const int value = parser.value(size).toInt(&ok);
        if (!ok || value < 1 || value > 4) return failure("--size must be 1, 2, 3 or 4");
        options.size_preset = static_cast<uint8_t>(value);
    }
    return {};
}
