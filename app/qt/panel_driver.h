// Drives a remote panel from Qt's event loop: the panel's link is watched
// with socket notifiers (input, and output while key codes wait) and a
// single-shot timer for the moment it names; after each call the watch is
// taken anew. The 100 ms tick runs on a timer of its own.
//
// A descriptor closed by the link (a hang-up) is never watched again: the
// notifiers follow the watch right after the call that closed it, before
// the event loop polls again.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

#include "panel/remote_panel.h"

class PanelDriver : public QObject {
    Q_OBJECT

public:
    explicit PanelDriver(RemotePanel& panel, QObject* parent = nullptr);

    // Takes the panel's watch anew; after the panel was opened, closed or
    // sent key codes.
    void rearm();
    // The 100 ms tick on or off: off while the link itself runs the
    // display's timer (a recording played back).
    void set_ticking(bool on);

private:
    void on_ready();

    RemotePanel& panel_;
    std::unique_ptr<QSocketNotifier> reader_;
    std::unique_ptr<QSocketNotifier> writer_;
    int watched_fd_ = -1;
    QTimer wake_;
    QTimer tick_;
};
