// The Linux program's window: the emulated glass, the desk keyboard and the
// menu that links it to a device.
//
// One object owns everything one device window needs: the display session
// that the device's bytes drive, the key translator, the serial link (or the
// built-in demo device in its place), the 100 ms timer and the settings.
// Everything runs on the GUI thread: received bytes are fed to the session as
// they arrive and the session's repaint requests become update() calls,
// which Qt coalesces, so a burst of bytes never builds a backlog of paints.
//
// The drawing area is exactly the size preset's picture: the session's dots
// as the window image, scaled dot for dot (nearest neighbour) as the Windows
// program stretches it.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "app/qt/line_link.h"
#include "app/qt/program_settings.h"
#include "demo/demo_device.h"
#include "keyboard/key_translation.h"
#include "protocol/display_session.h"

class QMenu;

class DisplayWindow : public QWidget {
    Q_OBJECT

public:
    // `settings_path` empty: choices are not saved.
    DisplayWindow(const ProgramSettings& settings, const QString& settings_path);
    ~DisplayWindow() override;

    // Links to the port; false, with the reason in the title and the menu, if
    // it cannot be opened.
    bool link_port(const QString& path);
    // Links to the built-in demo device instead of a port.
    void link_demo();
    void close_link();

    void set_color_scheme(int32_t scheme);
    void set_size_preset(uint8_t preset);

    // For tests: the session the window shows and the link it uses.
    DisplaySession& session() { return session_; }
    const LineLink& line() const { return line_; }
    // The menu as the right button or the menu key opens it.
    std::unique_ptr<QMenu> build_menu();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void feed(std::span<const uint8_t> bytes);
    void send_key(uint8_t code);
    void on_timer();
    void choose_other_port();
    void apply_size();
    void show_link_state();
    QString link_state_text() const;
    void save_settings();

    DisplaySession session_;
    KeyTranslator translator_;
    LineLink line_;
    std::unique_ptr<DemoDevice> demo_;
    QTimer timer_;
    ProgramSettings settings_;
    QString settings_path_;
    QString link_failure_;  // why the last open failed, until the next link change
    std::vector<uint32_t> pixels_;
};
