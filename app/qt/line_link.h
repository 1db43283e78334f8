// The Linux program's serial link: a TtyLink watched on the GUI thread.
//
// A QSocketNotifier on the port's descriptor wakes the event loop when bytes
// arrive; they are read at once and handed to the receiver in order, so no
// second thread and no lock contention exist. Opening is the same every
// time, at the first open and at every reopening: the port is configured,
// then for 400 ms whatever arrives is dropped (the device may still be
// sending the tail of something the program never saw the start of).
//
// A hang-up (end of file or EIO, as when a USB adapter is pulled) closes the
// port and reports the link lost; from then on the same path is tried again
// every 500 ms until it opens, with nothing running in between. close() ends
// the link and the retrying.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "serial/tty_link_posix.h"

class LineLink : public QObject {
    Q_OBJECT

public:
    enum class State { closed, linked, lost };
    using Receiver = std::function<void(std::span<const uint8_t>)>;

    explicit LineLink(Receiver receiver, QObject* parent = nullptr);

    // Opens the port; on failure the link stays closed and the reason is
    // returned. An open link is closed first.
    TtyResult open(const QString& path);
    void close();
    // Sends one key code while linked; false if it did not go out.
    bool send_byte(uint8_t code);

    State state() const { return state_; }
    const QString& path() const { return path_; }

    static constexpr int settle_ms = 400;
    static constexpr int retry_ms = 500;

signals:
    void state_changed();

private:
    void start_reading();
    void on_readable();
    void on_lost();
    void on_retry();
    void set_state(State state);

    Receiver receiver_;
    TtyLink tty_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer settle_timer_;
    QTimer retry_timer_;
    State state_ = State::closed;
    QString path_;
};
