// A session of the program linked to the demo device through a
// pseudo-terminal pair, recorded with --record's writer: its rx events are
// a whole stretch of what the device sent, its tx events the
// keys, the command-line replay of the file draws the window's last picture
// dot for dot, and the recording played in a window ends on that picture.
// Also: a damaged recording plays up to its last whole event, and the
// screen copies as text; "Save as test..." writes the keys pressed on the
// demo device and what they changed.
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <memory>
#include <vector>

#include "app/qt/display_window.h"
#include "record/recording_reader.h"

namespace {

// The bytes of one kind of event, in order.
std::vector<uint8_t> bytes_of(const QString& path, RecordKind kind) {
    std::vector<uint8_t> bytes;
    std::optional<RecordingSource> source = open_recording_source(path.toStdString());
    if (!source) return bytes;
    RecordingReader reader(std::move(*source));
    if (!reader.read_header()) return bytes;
    RecordEvent event;
    while (reader.next(event)) {
        if (event.kind == kind) bytes.insert(bytes.end(), event.bytes.begin(), event.bytes.end());
    }
    return bytes;
}

ProgramSettings size_two() {
    ProgramSettings settings;
    settings.size_preset = 2;
    settings.color_scheme = 1;
    return settings;
}

}  // namespace

class RecordingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
    }

    void a_recorded_session_replays_and_plays_to_the_last_picture() {
        const QString device = dir_.path() + "/device";
        const QString program = dir_.path() + "/program";
        const QString recording = dir_.path() + "/session.jsonl";
        const QString device_recording = dir_.path() + "/device.jsonl";
        QProcess socat;
        socat.start("socat",
                    {"pty,link=" + device + ",raw,echo=0", "pty,link=" + program + ",raw,echo=0"});
        QTRY_VERIFY(QFile::exists(program) && QFile::exists(device));
        QProcess demo;
        demo.start(ZEZ_CLI, {"demo", device, "--record", device_recording, "--for", "20"});
        QVERIFY(demo.waitForStarted());

        auto window = std::make_unique<DisplayWindow>(size_two(), QString());
        std::string error;
        QVERIFY2(window->record_to(recording.toStdString(), program.toStdString(), error),
                 error.c_str());
        QVERIFY(window->link_target(program.toStdString(), false));
        QTest::qWait(3500);  // the settle, and the demo's redraw of its screen
        QTest::keyClick(window.get(), Qt::Key_Down);
        QTest::qWait(300);
        QTest::keyClick(window.get(), Qt::Key_Return);
        QTest::qWait(1500);
        window->close_link();
        QTest::qWait(300);
        // Nothing runs between the picture and the recording's end.
        const QImage last = window->picture().convertToFormat(QImage::Format_RGB32);
        const QString text = window->screen_text();
        window.reset();
        demo.terminate();
        QVERIFY(demo.waitForFinished(5000));
        socat.kill();
        socat.waitForFinished();

        const std::vector<uint8_t> fed = bytes_of(recording, RecordKind::rx);
        const std::vector<uint8_t> sent = bytes_of(device_recording, RecordKind::rx);
        QVERIFY(fed.size() > 100);
        // The device went on sending after the link closed.
        QVERIFY2(std::search(sent.begin(), sent.end(), fed.begin(), fed.end()) != sent.end(),
                 "the display was fed a stretch of what the device sent, whole");
        const std::vector<uint8_t> keys = {0xE3, 0xE9};
        QCOMPARE(bytes_of(recording, RecordKind::tx), keys);
        QCOMPARE(bytes_of(device_recording, RecordKind::tx), keys);
        QVERIFY(text.count('\n') == 4);

        const QString png = dir_.path() + "/replay.png";
        QProcess replay;
        replay.start(ZEZ_CLI, {"replay", recording, "--png", png, "--size", "2"});
        QVERIFY(replay.waitForFinished(10000));
        QCOMPARE(replay.exitCode(), 0);
        QCOMPARE(QImage(png).convertToFormat(QImage::Format_RGB32), last);

        DisplayWindow player(size_two(), QString());
        QVERIFY(player.play(recording.toStdString(), 20.0));
        QVERIFY(player.windowTitle().endsWith("session.jsonl: playing"));
        // Generous limits: under a sanitizer on a busy machine the playback's
        // timers run late.
        QTRY_VERIFY_WITH_TIMEOUT(player.windowTitle().endsWith("played to the end"), 20000);
        QCOMPARE(player.picture().convertToFormat(QImage::Format_RGB32), last);
        QCOMPARE(player.screen_text(), text);
        QTest::keyClick(&player, Qt::Key_A);  // keys go nowhere, and are not recorded
        QVERIFY(player.recorder().flight().events() > 0);

        // Cut in its middle, it plays up to its last whole event.
        QFile whole(recording);
        QVERIFY(whole.open(QIODevice::ReadOnly));
        const QByteArray all = whole.readAll();
        QFile cut(dir_.path() + "/cut.jsonl");
        QVERIFY(cut.open(QIODevice::WriteOnly));
        cut.write(all.left(all.size() / 2));
        cut.close();
        DisplayWindow damaged(size_two(), QString());
        QVERIFY(damaged.play(cut.fileName().toStdString(), 50.0));
        QTRY_VERIFY_WITH_TIMEOUT(damaged.windowTitle().endsWith("played up to where it is damaged"),
                                 20000);
        DisplayWindow not_one(size_two(), QString());
        QVERIFY(!not_one.play(png.toStdString()));
        QVERIFY(not_one.windowTitle().endsWith("the first line is not the header of a recording"));
    }

    void save_as_test_writes_the_keys_and_what_they_changed() {
        DisplayWindow window(size_two(), QString());
        window.link_demo();
        QTRY_VERIFY_WITH_TIMEOUT(window.screen_text().contains("> Name: QOR-7"), 5000);
        QTest::qWait(700);  // the status line changes by itself meanwhile
        QTest::keyClick(&window, Qt::Key_Down);
        QTest::qWait(600);
        QTest::keyClick(&window, Qt::Key_Return);
        QTest::qWait(300);
        const std::unique_ptr<QMenu> menu = window.build_menu();
        const QList<QAction*> actions = menu->actions();
        QVERIFY(std::any_of(actions.begin(), actions.end(),
                            [](QAction* action) { return action->text() == "Save as test..."; }));

        const QString path = dir_.path() + "/test_session.py";
        std::vector<std::string> warnings;
        std::string error;
        QVERIFY2(window.save_test(path.toStdString(), warnings, error), error.c_str());
        QVERIFY(warnings.empty());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString test = QString::fromUtf8(file.readAll());
        QVERIFY2(test.contains("def test_recorded_session(panel):"), qPrintable(test));
        const qsizetype down = test.indexOf("    panel.press(\"Down\")");
        const qsizetype enter = test.indexOf("    panel.press(\"Enter\")");
        QVERIFY2(down > 0 && enter > down, qPrintable(test));
        QVERIFY2(test.indexOf("(\"^> Calibrate *$\"), row=3)", down) < enter, qPrintable(test));
        QVERIFY2(test.indexOf("Calibrating", enter) > enter, qPrintable(test));
        QVERIFY2(!test.contains("row=1"), qPrintable(test));
    }

private:
    QTemporaryDir dir_;
};

QTEST_MAIN(RecordingTest)
#include "recording_test.moc"
