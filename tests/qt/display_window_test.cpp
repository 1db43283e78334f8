// The Linux program's window on the offscreen platform: its picture against
// the replay tool's for the same stream, keys arriving as codes on a
// pseudo-terminal, the menu's actions, a port that hangs up and comes back,
// a network port that never answers, the settings file and the command
// line.
#include "app/qt/display_window.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <array>
#include <optional>
#include <vector>

#include "app/qt/program_options.h"
#include "app/qt/program_settings.h"
#include "link/link_policy.h"
#include "zezodavoru_version.h"

namespace {

// A screen that uses most drawing commands: reset, status line, numbers,
// meter, mode field, row text, centred text, a blank-filled row, a cursor.
const QByteArray test_stream = QByteArray::fromHex(
    "87 9e 94 07 95 63 93 07 96 5a 8c 02 48656c6c6f2c2077696e646f7721202020202020"
    "99 03 43656e7472656400 a2 04 526f7720340000 97 05 03 98 01");

// The program's end of a pseudo-terminal; the test holds the device's end.
struct PtyPair {
    int device = -1;
    QString program_path;
    PtyPair() {
        int program = -1;
        std::array<char, 128> name{};
        if (openpty(&device, &program, name.data(), nullptr, nullptr) == 0) {
            program_path = QString::fromLocal8Bit(name.data());
            ::close(program);
            ::fcntl(device, F_SETFL, ::fcntl(device, F_GETFL) | O_NONBLOCK);
        }
    }
    ~PtyPair() {
        if (device >= 0) ::close(device);
    }
    // The bytes the program sent, waiting up to `ms` for the first.
    QByteArray received(int ms = 1000) {
        QByteArray bytes;
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            QCoreApplication::processEvents();
            std::array<char, 64> buffer{};
            const ssize_t got = ::read(device, buffer.data(), buffer.size());
            if (got > 0) {
                bytes.append(buffer.data(), static_cast<qsizetype>(got));
                deadline.setRemainingTime(50);
            }
            QThread::msleep(5);
        }
        return bytes;
    }
};

QImage replay_picture(const QByteArray& stream, int size, int scheme, const QString& dir) {
    const QString png = dir + QString("/replay-%1-%2.png").arg(size).arg(scheme);
    QProcess replay;
    replay.start(ZEZ_CLI, {"replay", "--png", png, "--size", QString::number(size), "--scheme",
                           QString::number(scheme)});
    replay.write(stream);
    replay.closeWriteChannel();
    replay.waitForFinished(10000);
    return QImage(png).convertToFormat(QImage::Format_RGB32);
}

QAction* find_action(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions()) {
        if (action->text() == text) return action;
        if (action->menu()) {
            if (QAction* inner = find_action(action->menu(), text)) return inner;
        }
    }
    return nullptr;
}

}  // namespace

class DisplayWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(config_.isValid());
        qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
    }

    void picture_matches_replay_at_every_size_and_scheme() {
        for (int scheme = 0; scheme <= 2; ++scheme) {
            for (int size = 1; size <= 4; ++size) {
                ProgramSettings settings;
                settings.color_scheme = scheme;
                settings.size_preset = static_cast<uint8_t>(size);
                DisplayWindow window(settings, QString());
                window.session().interpret_bytes(std::span(
                    reinterpret_cast<const uint8_t*>(test_stream.data()), test_stream.size()));
                const QImage shown = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
                const QImage expected = replay_picture(test_stream, size, scheme, config_.path());
                QVERIFY2(!expected.isNull(), "replay wrote no picture");
                QCOMPARE(shown.size(), expected.size());
                QVERIFY2(shown == expected,
                         qPrintable(QString("size %1 scheme %2").arg(size).arg(scheme)));
            }
        }
    }

    void keys_arrive_as_codes() {
        PtyPair pty;
        QVERIFY(!pty.program_path.isEmpty());
        DisplayWindow window(ProgramSettings{}, QString());
        QVERIFY(window.link_target(pty.program_path.toStdString()));
        QVERIFY(window.windowTitle().endsWith(pty.program_path + " linked"));
        QTest::qWait(link_policy::settle.count() + 100);

        QTest::keyClick(&window, Qt::Key_A);
        QTest::keyClick(&window, Qt::Key_1, Qt::ShiftModifier);       // a test driver's Shift+1
        QTest::keyClick(&window, Qt::Key_Exclam, Qt::ShiftModifier);  // the X server's
        QTest::keyClick(&window, Qt::Key_Escape);
        QTest::keyClick(&window, Qt::Key_1, Qt::KeypadModifier);
        QTest::keyClick(&window, Qt::Key_F10);
        QTest::keyClick(&window, Qt::Key_F10, Qt::ShiftModifier);
        QTest::keyClick(&window, Qt::Key_X, Qt::AltModifier);  // a system key: nothing
        QTest::keyClick(&window, Qt::Key_Tab);
        // The Ctrl+Shift chord, and the left Windows key.
        QTest::keyPress(&window, Qt::Key_Shift, Qt::ShiftModifier);
        QTest::keyPress(&window, Qt::Key_Control, Qt::ShiftModifier | Qt::ControlModifier);
        QTest::keyRelease(&window, Qt::Key_Control, Qt::ShiftModifier);
        QTest::keyRelease(&window, Qt::Key_Shift);
        QTest::keyClick(&window, Qt::Key_Super_L);
        QCOMPARE(pty.received().toHex(' '), QByteArray("41 21 21 1b 41 b9 d1 ee f6 f7 ec ed"));

        // A held key repeats its press only.
        QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_Super_L, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(&window, &repeat);
        window.close_link();
        QTest::keyClick(&window, Qt::Key_B);  // nothing is sent while not linked
        QCOMPARE(pty.received(200), QByteArray());
    }

    void bytes_from_the_line_reach_the_screen() {
        PtyPair pty;
        DisplayWindow window(ProgramSettings{}, QString());
        QVERIFY(window.link_target(pty.program_path.toStdString()));
        // What arrives while the link settles is dropped, as on Windows.
        QVERIFY(::write(pty.device, "\x8c\x02WRONG", 7) == 7);
        QTest::qWait(link_policy::settle.count() + 100);
        const QByteArray text = QByteArray("\x8c\x02") + QByteArray("linked row").leftJustified(20);
        QVERIFY(::write(pty.device, text.data(), text.size()) == text.size());
        QTRY_COMPARE(row(window, 2), QByteArray("linked row").leftJustified(20));
    }

    void a_port_that_hangs_up_is_reopened() {
        const QString device = config_.path() + "/device";
        const QString program = config_.path() + "/program";
        auto start_pair = [&](QProcess& socat) {
            socat.start("socat", {"pty,link=" + device + ",raw,echo=0",
                                  "pty,link=" + program + ",raw,echo=0"});
            QTRY_VERIFY(QFile::exists(program) && QFile::exists(device));
        };
        QProcess socat;
        start_pair(socat);
        DisplayWindow window(ProgramSettings{}, QString());
        QVERIFY(window.link_target(program.toStdString()));
        socat.kill();
        socat.waitForFinished();
        QTRY_COMPARE(window.panel().link_state(), LinkState::lost);
        QVERIFY(window.windowTitle().endsWith("port not found, retrying"));

        QProcess again;
        start_pair(again);
        QTRY_COMPARE_WITH_TIMEOUT(window.panel().link_state(), LinkState::linked, 2000);
        QTest::qWait(link_policy::settle.count() + 100);
        QFile line(device);
        QVERIFY(line.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        line.write(QByteArray("\x8c\x03") + QByteArray("back again").leftJustified(20));
        QTRY_COMPARE(row(window, 3), QByteArray("back again").leftJustified(20));
        line.close();
        window.close_link();
        again.kill();
        again.waitForFinished();
    }

    void menu_actions_change_the_window_and_are_saved() {
        const QString path = config_.path() + "/menu.conf";
        DisplayWindow window(ProgramSettings{}, path);
        std::unique_ptr<QMenu> menu = window.build_menu();
        find_action(menu.get(), "2X")->trigger();
        QCOMPARE(window.size(), QSize(337, 120));
        find_action(menu.get(), "Blue")->trigger();
        const ProgramSettings saved = load_program_settings(path);
        QCOMPARE(saved.size_preset, uint8_t{2});
        QCOMPARE(saved.color_scheme, 0);

        find_action(menu.get(), "Demo device")->trigger();
        QVERIFY(window.windowTitle().endsWith("Demo device"));
        menu = window.build_menu();
        find_action(menu.get(), "Close link")->trigger();
        QVERIFY(window.windowTitle().endsWith("Not linked"));

        window.link_target((config_.path() + "/no-such-port").toStdString());
        QVERIFY(window.windowTitle().endsWith("no-such-port: port not found"));
        QCOMPARE(load_program_settings(path).port, config_.path() + "/no-such-port");
    }

    void the_command_line_holds_for_this_run_only() {
        const QString path = config_.path() + "/run.conf";
        ProgramSettings kept;
        kept.port = "/dev/kept";
        kept.size_preset = 2;
        QVERIFY(save_program_settings(kept, path));
        DisplayWindow window(load_program_settings(path), path);
        window.set_size_preset(3, false);
        window.set_color_scheme(0, false);
        window.link_target("/dev/no-such-port-given", false);
        QCOMPARE(window.size(), QSize(378, 135));
        // A menu choice saves itself, and nothing of the command line.
        std::unique_ptr<QMenu> menu = window.build_menu();
        find_action(menu.get(), "Green")->trigger();
        const ProgramSettings saved = load_program_settings(path);
        QCOMPARE(saved.port, QString("/dev/kept"));
        QCOMPARE(saved.size_preset, uint8_t{2});
        QCOMPARE(saved.color_scheme, 1);
    }

    void a_network_port_that_does_not_answer_leaves_the_window_working() {
        // A server that takes the connection (the kernel's backlog does) and
        // never says a word.
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        QVERIFY(::bind(server, reinterpret_cast<sockaddr*>(&address), size) == 0);
        QVERIFY(::listen(server, 4) == 0);
        QVERIFY(::getsockname(server, reinterpret_cast<sockaddr*>(&address), &size) == 0);
        const std::string url = "rfc2217://127.0.0.1:" + std::to_string(ntohs(address.sin_port));

        const QString path = config_.path() + "/network.conf";
        DisplayWindow window(ProgramSettings{}, path);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(window.link_target(url));
        QVERIFY(clock.elapsed() < 200);
        QVERIFY(window.windowTitle().endsWith(": linking..."));
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(50);
        QTRY_VERIFY_WITH_TIMEOUT(window.windowTitle().endsWith(": no answer, retrying"), 6000);
        // The loop went on the whole time: 3 s of 50 ms ticks.
        QVERIFY2(ticks > 40, QByteArray::number(ticks));
        QVERIFY(window.windowTitle().contains(QString::fromStdString(url)));
        const ProgramSettings saved = load_program_settings(path);
        QCOMPARE(saved.port, QString::fromStdString(url));
        QCOMPARE(saved.network_ports, QStringList{QString::fromStdString(url)});
        std::unique_ptr<QMenu> menu = window.build_menu();
        QVERIFY(find_action(menu.get(), "Network port...") != nullptr);
        window.close_link();
        ::close(server);
    }

    void damaged_settings_give_defaults() {
        const QString path = config_.path() + "/damaged.conf";
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[window]\ncolor_scheme=7\nsize=abc\n\x01\xff[[[\n");
        file.close();
        const ProgramSettings loaded = load_program_settings(path);
        QCOMPARE(loaded.color_scheme, ProgramSettings{}.color_scheme);
        QCOMPARE(loaded.size_preset, ProgramSettings{}.size_preset);
        // A folder where the file should be: defaults, and saving fails cleanly.
        QVERIFY(QDir().mkpath(config_.path() + "/folder.conf"));
        QCOMPARE(load_program_settings(config_.path() + "/folder.conf").size_preset,
                 ProgramSettings{}.size_preset);
        QVERIFY(!save_program_settings(loaded, config_.path() + "/folder.conf"));
    }

    void command_line() {
        ProgramOptions options;
        OptionsOutcome outcome =
            parse_program_options({"zezodavoru", "--port", "/dev/ttyUSB0", "--size", "3"}, options);
        QVERIFY(!outcome.exit_status);
        QCOMPARE(options.port, std::string("/dev/ttyUSB0"));
        // A path that is not valid text comes through byte for byte.
        parse_program_options({"zezodavoru", "--port", QString::fromLatin1("/tmp/\xff\xfe")},
                              options);
        QCOMPARE(options.port, std::string("/tmp/\xff\xfe"));
        QCOMPARE(options.size_preset, std::optional<uint8_t>(3));
        QVERIFY(!parse_program_options({"zezodavoru", "--port", "rfc2217://[::1]:7001"}, options)
                     .exit_status);
        QCOMPARE(options.port, std::string("rfc2217://[::1]:7001"));
        const QStringList bad[] = {{"zezodavoru", "--size", "5"},
                                   {"zezodavoru", "--scheme", "x"},
                                   {"zezodavoru", "--bogus"},
                                   {"zezodavoru", "extra"},
                                   {"zezodavoru", "--port", "p", "--demo"},
                                   {"zezodavoru", "--play", "r", "--demo"},
                                   {"zezodavoru", "--speed", "2"},
                                   {"zezodavoru", "--play", "r", "--speed", "0"},
                                   {"zezodavoru", "--play", "r", "--speed", "x"}};
        for (const QStringList& arguments : bad) {
            ProgramOptions ignored;
            outcome = parse_program_options(arguments, ignored);
            QCOMPARE(outcome.exit_status, std::optional<int>(2));
            QCOMPARE(outcome.text.count('\n'), 1);
            QVERIFY(outcome.text.startsWith("zezodavoru: "));
        }
        outcome = parse_program_options(
            {"zezodavoru", "--play", "r.jsonl", "--speed", "2.5", "--record", "-"}, options);
        QVERIFY(!outcome.exit_status);
        QCOMPARE(options.play_path, std::string("r.jsonl"));
        QCOMPARE(options.speed, 2.5);
        QCOMPARE(options.record_path, std::string("-"));
        outcome = parse_program_options({"zezodavoru", "--version"}, options);
        QCOMPARE(outcome.exit_status, std::optional<int>(0));
        QCOMPARE(outcome.text, QString("zezodavoru " ZEZ_VERSION "\n"));
    }

private:
    static QByteArray row(DisplayWindow& window, int row) {
        const std::optional<ScreenSnapshot> screen = window.session().snapshot();
        if (!screen) return "(no controller)";
        const auto& cells = screen->cells[static_cast<size_t>(row - 1)];
        return QByteArray(reinterpret_cast<const char*>(cells.data()),
                          static_cast<qsizetype>(cells.size()));
    }

    QTemporaryDir config_;
};

QTEST_MAIN(DisplayWindowTest)
#include "display_window_test.moc"
