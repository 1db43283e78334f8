// The Linux program's entry point: the command line, the settings and the
// window.
//
//   zezodavoru [--port PATH|URL] [--demo] [--scheme 0|1|2] [--size 1-4] [--record FILE]
//              [--play FILE [--speed X]]
//
// A recording asked for with --record starts before the link opens, so that
// it holds the session from its first byte; a file that cannot be written
// ends the program (status 1) after one line saying why.
// SIGINT and SIGTERM end the program as closing its window does, so that a
// recording being written ends whole rather than losing its last second:
// they are blocked before any thread starts and read from a signalfd on the
// event loop.
// The command line is read before the GUI starts, so --help, --version and
// a bad argument work without a display. A bad argument exits 2 after one
// line on standard error. Without a display to open (Qt would abort) the
// program exits 1 after one line saying so.
#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>
#include <cstdio>
#include <string>

#include "app/qt/display_window.h"
#include "app/qt/program_options.h"
#include "app/qt/program_settings.h"
#include "platform/signal_watch_posix.h"

namespace {

// Whether Qt's platform can open its display: the X and Wayland platforms
// need their display named in the environment, the others (offscreen,
// minimal, a frame buffer) open without one. QT_QPA_PLATFORM may name
// several, tried in turn, each perhaps with ":options".
bool display_available() {
    const bool x = !qgetenv("DISPLAY").isEmpty();
    const bool wayland = !qgetenv("WAYLAND_DISPLAY").isEmpty();
    const QByteArray platforms = qgetenv("QT_QPA_PLATFORM");
    if (platforms.isEmpty()) return x || wayland;
    for (const QByteArray& platform : platforms.split(';')) {
        const QByteArray name = platform.split(':').front();
        if (name.startsWith("xcb") ? x : name.startsWith("wayland") ? wayland : true) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLatin1(argv[i]);
    ProgramOptions options;
    const OptionsOutcome outcome = parse_program_options(arguments, options);
    if (outcome.exit_status) {
        std::fputs(outcome.text.toLocal8Bit().constData(),
                   *outcome.exit_status == 0 ? stdout : stderr);
        return *outcome.exit_status;
    }

    if (!display_available()) {
        std::fputs("zezodavoru: no display to open (neither DISPLAY nor WAYLAND_DISPLAY is set)\n",
                   stderr);
        return 1;
    }
    const SignalWatch stop_signals;
    QApplication application(argc, argv);
    const QString path = settings_file_path();
    DisplayWindow window(load_program_settings(path), path);
    // The command line holds for this run; the settings keep the menu's choices.
    if (options.color_scheme) window.set_color_scheme(*options.color_scheme, false);
    if (options.size_preset) window.set_size_preset(*options.size_preset, false);
    std::string error;
    const std::string target = options.demo                 ? "demo"
                               : !options.play_path.empty() ? options.play_path
                                                            : options.port;
    if (!options.record_path.empty() && !window.record_to(options.record_path, target, error)) {
        std::fprintf(stderr, "zezodavoru: %s\n", error.c_str());
        return 1;
    }
    if (!options.play_path.empty()) {
        window.play(options.play_path, options.speed);
    } else if (options.demo) {
        window.link_demo();
    } else if (!options.port.empty()) {
        window.link_target(options.port, false);
    }
    window.show();
    QSocketNotifier stop(stop_signals.fd(), QSocketNotifier::Read);
    stop.setEnabled(stop_signals.fd() >= 0);
    QObject::connect(&stop, &QSocketNotifier::activated, [] { QApplication::quit(); });
    return QApplication::exec();
}
