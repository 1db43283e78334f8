// The Linux program's window: the emulated glass, the desk keyboard and the
// menu that links it to a device.
//
// One object owns what one device window needs: the remote panel (the
// display session, the link or the built-in demo device, the key translator),
// the driver that runs the panel on Qt's event loop, and the settings.
// Everything runs on the GUI thread: received bytes are fed to the session as
// they arrive and the session's repaint requests become update() calls,
// which Qt coalesces, so a burst of bytes never builds a backlog of paints.
//
// Recording: the panel's tap feeds the session recorder, whose flight
// recorder always keeps the last minutes ("Save recording..."), and which
// writes the whole session to a file when asked (--record). "Save as
// test..." writes the flight recorder's minutes as a pytest test of the keys
// pressed (panel/test_writer.h). A recording is
// played back as a link of its own (--play): the recorded ticks drive the
// display meanwhile, and keys go nowhere.
//
// Settings: what is chosen in the menu is kept in the settings file; what
// the command line asks for (a port, a size, a scheme) holds for this run
// only.
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
#include <string>
#include <vector>

#include "app/qt/panel_driver.h"
#include "app/qt/program_settings.h"
#include "panel/remote_panel.h"
#include "panel/session_recorder.h"

class QMenu;
class PlaybackLink;

class DisplayWindow : public QWidget {
    Q_OBJECT

public:
    // `settings_path` empty: choices are not saved.
    DisplayWindow(const ProgramSettings& settings, const QString& settings_path);
    ~DisplayWindow() override;

    // Links to the target (a device path as the system names it, a network
    // URL, or "demo"); false, with the reason in the title and the menu, if
    // it cannot be opened. A network target is reached without waiting; the
    // title says why while it is not there. A port chosen in the menu is remembered in the
    // settings, one from the command line (`remember` false) is not.
    bool link_target(const std::string& target, bool remember = true);
    // Links to the built-in demo device instead of a port.
    void link_demo() { link_target("demo", false); }
    void close_link();

    // A colour scheme or size chosen in the menu (kept), or given on the
    // command line (`remember` false: this run only).
    void set_color_scheme(int32_t scheme, bool remember = true);
    void set_size_preset(uint8_t preset, bool remember = true);

    // Writes the session to `path` from now on ("-": standard output), with
    // `target` in its header. False, with `error` set, if it cannot.
    bool record_to(const std::string& path, const std::string& target, std::string& error);
    // Plays a recording at `speed` times its pace; false, with the reason
    // in the title, if it is no recording that can be read.
    bool play(const std::string& path, double speed = 1.0);
    // The screen's rows as text (the snapshot's Unicode mapping), one line
    // each; and the picture the window shows.
    QString screen_text();
    QImage picture();
    // The flight recorder's minutes, or the picture, into a file (through
    // the output file's rules); false with `error` set.
    bool save_recording(const std::string& path, std::string& error);
    bool save_picture(const std::string& path, std::string& error);
    // The flight recorder's minutes as a test; its notes (an incomplete
    // recording, no key pressed) go to `warnings`.
    bool save_test(const std::string& path, std::vector<std::string>& warnings, std::string& error);
    const SessionRecorder& recorder() const { return recorder_; }

    // For tests: the panel the window shows.
    RemotePanel& panel() { return panel_; }
    DisplaySession& session() { return panel_.session(); }
    // The menu as the right button or the menu key opens it.
    std::unique_ptr<QMenu> build_menu();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void send_key(uint8_t code);
    bool linked_to_demo() const { return panel_.target() == "demo"; }
    void choose_other_port();
    void choose_network_port();
    void remember_network_port(const QString& url);
    void apply_size();
    void show_link_state();
    QString link_state_text() const;
    void save_settings();
    void end_playback();
    void add_session_actions(QMenu& menu);
    void choose_recording_file();
    void choose_test_file();
    void choose_picture_file();
    void copy_screen_text();
    void show_about();
    void check_recording();
    QString playback_text() const;

    SessionRecorder recorder_{"zezodavoru", true};  // outlives the panel that taps it
    RemotePanel panel_;
    PanelDriver driver_;
    ProgramSettings settings_;  // what the window shows and uses now
    ProgramSettings saved_;     // what the settings file keeps
    QString settings_path_;
    std::string port_;           // the port "Open link" opens, as the system names it
    std::string failed_target_;  // the target whose open failed, until the next link change
    QString link_failure_;       // why it failed
    std::vector<uint32_t> pixels_;
    std::string playback_;                   // the recording played, while it is the link
    PlaybackLink* playback_link_ = nullptr;  // that link, owned by the panel
    QTimer flush_timer_;                     // flushes the recording every second
    bool record_failure_shown_ = false;
};
