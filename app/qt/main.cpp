// The Linux program's entry point: the command line, the settings and the
// window.
//
//   zezodavoru [--port PATH] [--demo] [--scheme 0|1|2] [--size 1-4]
//
// The command line is read before the GUI starts, so --help, --version and
// a bad argument work without a display. A bad argument exits 2 after one
// line on standard error.
#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

#include "app/qt/display_window.h"
#include "app/qt/program_options.h"
#include "app/qt/program_settings.h"

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    ProgramOptions options;
    const OptionsOutcome outcome = parse_program_options(arguments, options);
    if (outcome.exit_status) {
        std::fputs(outcome.text.toLocal8Bit().constData(),
                   *outcome.exit_status == 0 ? stdout : stderr);
        return *outcome.exit_status;
    }

    QApplication application(argc, argv);
    const QString path = settings_file_path();
    ProgramSettings settings = load_program_settings(path);
    if (options.color_scheme) settings.color_scheme = *options.color_scheme;
    if (options.size_preset) settings.size_preset = *options.size_preset;

    DisplayWindow window(settings, path);
    if (options.demo) {
        window.link_demo();
    } else if (!options.port.isEmpty()) {
        window.link_port(options.port);
    }
    window.show();
    return QApplication::exec();
}
