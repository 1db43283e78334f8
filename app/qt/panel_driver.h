// Drives a remote panel from Qt's event loop, as every loop drives it
// (remote_panel.h): the panel's link is watched with socket notifiers
// (input, and output while key codes wait) and a single-shot timer for the
// moment the panel names (its next tick or the link's deadline); each of
// them calls service(), and the watch is taken anew after it.
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

    // Takes the panel's watch anew; after the panel was started, opened,
    // closed or sent key codes.
    void rearm();

private:
    void on_ready();

    RemotePanel& panel_;
    std::unique_ptr<QSocketNotifier> reader_;
    std::unique_ptr<QSocketNotifier> writer_;
    int watched_fd_ = -1;
    QTimer wake_;
};
