// The window's session files and screen: recording to a file, the flight
// recorder saved from the menu as a recording or as a test, playback of a
// recording, the screen copied as text and saved as a picture, and the
// About box.
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <cstdio>

#include "app/about.h"
#include "app/qt/display_window.h"
#include "panel/playback_link.h"
#include "record/output_file.h"

namespace {

std::string file_name(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

bool DisplayWindow::record_to(const std::string& path, const std::string& target,
                              std::string& error) {
    record_failure_shown_ = false;
    return recorder_.record_to(path, target, error);
}

void DisplayWindow::check_recording() {
    recorder_.flush_if_due();
    const std::string error = recorder_.record_error();
    if (error.empty() || record_failure_shown_) return;
    record_failure_shown_ = true;
    std::fprintf(stderr, "zezodavoru: the recording stopped: %s\n", error.c_str());
}

bool DisplayWindow::play(const std::string& path, double speed) {
    end_playback();
    std::string problem;
    playback_link_ = play_recording(panel_, path, speed, problem);
    driver_.rearm();
    if (playback_link_ == nullptr) {
        failed_target_ = path;
        link_failure_ = QString::fromStdString(problem);
        show_link_state();
        return false;
    }
    playback_ = path;
    failed_target_.clear();
    link_failure_.clear();
    show_link_state();
    return true;
}

void DisplayWindow::end_playback() {
    if (playback_.empty()) return;
    playback_.clear();
    playback_link_ = nullptr;
}

QString DisplayWindow::playback_text() const {
    const QString name =
        QFileInfo(QFile::decodeName(QByteArray::fromStdString(playback_))).fileName();
    if (playback_link_ == nullptr || !playback_link_->finished()) return name + ": playing";
    if (playback_link_->problem().empty()) return name + ": played to the end";
    return name + ": played up to where it is damaged";
}

QString DisplayWindow::screen_text() {
    const std::optional<ScreenSnapshot> screen = panel_.screen();
    return screen ? QString::fromStdString(::screen_text(*screen)) : QString();
}

QImage DisplayWindow::picture() {
    return grab().toImage();
}

bool DisplayWindow::save_recording(const std::string& path, std::string& error) {
    return recorder_.save_flight(path, panel_.target(), error);
}

bool DisplayWindow::save_test(const std::string& path, std::vector<std::string>& warnings,
                              std::string& error) {
    return recorder_.save_test(path, panel_.target(), "zezodavoru's \"Save as test...\"", warnings,
                               error);
}

bool DisplayWindow::save_picture(const std::string& path, std::string& error) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!picture().save(&buffer, "PNG")) {
        error = "the picture cannot be encoded";
        return false;
    }
    OutputFile file;
    if (file.open(path) && file.write(png.constData(), static_cast<size_t>(png.size())) &&
        file.commit()) {
        return true;
    }
    error = file.error();
    return false;
}

void DisplayWindow::add_session_actions(QMenu& menu) {
    menu.addAction("Save recording...", this, &DisplayWindow::choose_recording_file);
    menu.addAction("Save as test...", this, &DisplayWindow::choose_test_file);
    // The shortcut works while the menu is open: on the window, Ctrl+C is
    // the device's key.
    QAction* copy = menu.addAction("Copy screen as text", this, &DisplayWindow::copy_screen_text);
    copy->setShortcut(QKeySequence::Copy);
    menu.addAction("Save picture...", this, &DisplayWindow::choose_picture_file);
    menu.addAction("About", this, &DisplayWindow::show_about);
}

void DisplayWindow::choose_recording_file() {
    const QString path = QFileDialog::getSaveFileName(this, "Save recording", "zezodavoru.jsonl",
                                                      "Recordings (*.jsonl);;All files (*)");
    std::string error;
    if (!path.isEmpty() && !save_recording(file_name(path), error)) {
        QMessageBox::warning(this, "Save recording", QString::fromLocal8Bit(error.c_str()));
    }
}

// The file holds the test's notes too; they are told on standard error.
void DisplayWindow::choose_test_file() {
    const QString path = QFileDialog::getSaveFileName(this, "Save as test", "test_session.py",
                                                      "Python tests (*.py);;All files (*)");
    std::vector<std::string> warnings;
    std::string error;
    if (path.isEmpty()) return;
    if (!save_test(file_name(path), warnings, error)) {
        QMessageBox::warning(this, "Save as test", QString::fromLocal8Bit(error.c_str()));
        return;
    }
    for (const std::string& warning : warnings) {
        std::fprintf(stderr, "zezodavoru: the test written: %s\n", warning.c_str());
    }
}

void DisplayWindow::choose_picture_file() {
    const QString path = QFileDialog::getSaveFileName(this, "Save picture", "zezodavoru.png",
                                                      "PNG pictures (*.png);;All files (*)");
    std::string error;
    if (!path.isEmpty() && !save_picture(file_name(path), error)) {
        QMessageBox::warning(this, "Save picture", QString::fromLocal8Bit(error.c_str()));
    }
}

void DisplayWindow::copy_screen_text() {
    QApplication::clipboard()->setText(screen_text());
}

void DisplayWindow::show_about() {
    QMessageBox::about(this, about_title, about_text);
}
