// The Linux program's settings file where it is not a plain file of the
// user's (one the user may not read or write, a symbolic link, a value
// QSettings reads as a list) and the program started without a display.
//
// Permission bits do not stop root, so the cases that need them run in a
// child process as the ordinary user "nobody" when the test runs as root.
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "app/qt/program_settings.h"

namespace {

constexpr char saved_text[] = "[link]\nport=/dev/ttyUSB7\n\n[window]\ncolor_scheme=0\nsize=2\n";

// Runs `work` in a child process with its standard error going to `err`;
// returns the child's exit status, or -1 if it did not exit normally.
int in_child_as_user(const QString& err, const std::function<int()>& work) {
    constexpr uid_t nobody = 65534;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd =
            ::open(QFile::encodeName(err).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0 || ::dup2(fd, STDERR_FILENO) < 0) ::_exit(100);
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)) {
            ::_exit(101);
        }
        ::_exit(work());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool write_text(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

mode_t mode_of(const QString& path) {
    struct stat status {};
    ::lstat(QFile::encodeName(path).constData(), &status);
    return status.st_mode & 07777;
}

ProgramSettings changed_settings() {
    ProgramSettings settings;
    settings.port = "/dev/ttyS1";
    settings.color_scheme = 1;
    settings.size_preset = 4;
    return settings;
}

}  // namespace

class ProgramTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        // The child may run as another user: let it into the folder.
        QVERIFY(::chmod(QFile::encodeName(dir_.path()).constData(), 0777) == 0);
    }

    // A file the user cannot read, or may only read, keeps its settings and
    // its mode through a save, which says why it did not save; a file the
    // user may write is saved (so the refusals are the files', not the
    // folder's).
    void files_the_user_may_not_replace_are_kept() {
        struct Case {
            mode_t mode;
            bool saved;
            const char* says;
        };
        for (const Case& c : {Case{0000, false, "cannot be read"}, Case{0444, false, "read-only"},
                              Case{0644, true, nullptr}}) {
            const QString path =
                dir_.path() + QString("/mode%1.conf").arg(c.mode, 3, 8, QChar('0'));
            const QString err = path + ".err";
            const int status = in_child_as_user(err, [&] {
                if (!write_text(path, saved_text) ||
                    ::chmod(QFile::encodeName(path).constData(), c.mode) != 0) {
                    return 2;
                }
                load_program_settings(path);
                return save_program_settings(changed_settings(), path) ? 1 : 0;
            });
            QCOMPARE(status, c.saved ? 1 : 0);
            QCOMPARE(mode_of(path), c.mode);
            if (c.saved) {
                QVERIFY(contents(err).isEmpty());
                QCOMPARE(load_program_settings(path).port, QString("/dev/ttyS1"));
                continue;
            }
            QCOMPARE(contents(path), QByteArray(saved_text));
            const QList<QByteArray> lines = contents(err).trimmed().split('\n');
            for (const QByteArray& line : lines) {
                QVERIFY2(line.startsWith("zezodavoru: "), line.constData());
            }
            QVERIFY2(lines.last().contains(path.toLocal8Bit()) && lines.last().contains(c.says) &&
                         lines.last().contains("not saved"),
                     lines.last().constData());
            QVERIFY(!QFile::exists(path + ".new"));
        }
    }

    // A configuration kept in a dotfiles repository and linked into place:
    // the file the link points to gets the settings and keeps its mode; the
    // link stays.
    void a_linked_file_is_written_through_the_link() {
        QVERIFY(QDir(dir_.path()).mkpath("dotfiles/deeper"));
        QVERIFY(QDir(dir_.path()).mkpath("config"));
        const QString target = dir_.path() + "/dotfiles/deeper/zezodavoru.conf";
        const QString middle = dir_.path() + "/dotfiles/current.conf";
        const QString link = dir_.path() + "/config/zezodavoru.conf";
        QVERIFY(write_text(target, saved_text));
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0600) == 0);
        QVERIFY(QFile::link("deeper/zezodavoru.conf", middle));
        QVERIFY(QFile::link("../dotfiles/current.conf", link));

        QVERIFY(save_program_settings(changed_settings(), link));
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(QFileInfo(middle).isSymLink());
        QCOMPARE(mode_of(target), mode_t{0600});
        QCOMPARE(load_program_settings(target).port, QString("/dev/ttyS1"));
        QCOMPARE(QDir(dir_.path() + "/config")
                     .entryList(QDir::NoDotAndDotDot | QDir::System | QDir::Files | QDir::Hidden),
                 QStringList{"zezodavoru.conf"});
        QVERIFY(!QFile::exists(target + ".new"));
    }

    // "1,2" is a list to QSettings; the warning shows it as the file has it.
    void a_list_value_is_shown_as_written() {
        const QString path = dir_.path() + "/list.conf";
        const QString err = path + ".err";
        QVERIFY(write_text(path, "[window]\ncolor_scheme=1,2\n"));
        const int status = in_child_as_user(err, [&] {
            return load_program_settings(path).color_scheme == ProgramSettings{}.color_scheme ? 0
                                                                                              : 1;
        });
        QCOMPARE(status, 0);
        QVERIFY2(contents(err).contains("color_scheme = \"1,2\""), contents(err).constData());
    }

    // Without a display Qt would abort; the program says so in one line.
    // --version needs no display at all.
    void without_a_display_the_program_says_so() {
        for (const char* platform : {"", "xcb"}) {
            QProcess program;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.remove("DISPLAY");
            environment.remove("WAYLAND_DISPLAY");
            environment.remove("QT_QPA_PLATFORM");
            if (*platform != '\0') environment.insert("QT_QPA_PLATFORM", platform);
            environment.insert("XDG_CONFIG_HOME", dir_.path());
            program.setProcessEnvironment(environment);
            program.start(ZEZ_PROGRAM, {});
            QVERIFY(program.waitForFinished(10000));
            QCOMPARE(program.exitStatus(), QProcess::NormalExit);
            QCOMPARE(program.exitCode(), 1);
            const QByteArray err = program.readAllStandardError();
            QCOMPARE(err.count('\n'), 1);
            QVERIFY2(err.startsWith("zezodavoru: ") && err.contains("display"), err.constData());

            program.start(ZEZ_PROGRAM, {"--version"});
            QVERIFY(program.waitForFinished(10000));
            QCOMPARE(program.exitCode(), 0);
            QVERIFY(program.readAllStandardOutput().startsWith("zezodavoru "));
        }
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(ProgramTest)
#include "program_test.moc"
