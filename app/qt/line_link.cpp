// The watched serial link: opening with its settling pause, reading on the
// notifier, and the retry timer that brings a lost link back.
#include "app/qt/line_link.h"

#include <QFile>
#include <array>

LineLink::LineLink(Receiver receiver, QObject* parent)
    : QObject(parent), receiver_(std::move(receiver)) {
    settle_timer_.setSingleShot(true);
    settle_timer_.setInterval(settle_ms);
    connect(&settle_timer_, &QTimer::timeout, this, &LineLink::start_reading);
    retry_timer_.setInterval(retry_ms);
    connect(&retry_timer_, &QTimer::timeout, this, &LineLink::on_retry);
}

TtyResult LineLink::open(const QString& path) {
    close();
    const TtyResult result = tty_.tty_open(QFile::encodeName(path).toStdString());
    if (result != TtyResult::ok) return result;
    path_ = path;
    settle_timer_.start();
    set_state(State::linked);
    return result;
}

void LineLink::close() {
    retry_timer_.stop();
    settle_timer_.stop();
    notifier_.reset();
    tty_.tty_close();
    set_state(State::closed);
}

bool LineLink::send_byte(uint8_t code) {
    if (state_ != State::linked) return false;
    const std::array<uint8_t, 1> bytes = {code};
    return tty_.tty_write(bytes);
}

void LineLink::start_reading() {
    tty_.discard_input();
    notifier_ = std::make_unique<QSocketNotifier>(tty_.fd(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &LineLink::on_readable);
}

void LineLink::on_readable() {
    std::array<uint8_t, 4096> buffer{};
    const TtyRead got = tty_.read_available(buffer);
    if (got.count > 0) receiver_(std::span<const uint8_t>(buffer.data(), got.count));
    if (got.lost) on_lost();
}

void LineLink::on_lost() {
    // The notifier stops watching before the descriptor closes, and is
    // deleted later: this may be running inside its signal.
    if (notifier_) {
        notifier_->setEnabled(false);
        notifier_.release()->deleteLater();
    }
    tty_.tty_close();
    set_state(State::lost);
    retry_timer_.start();
}

void LineLink::on_retry() {
    if (tty_.tty_open(QFile::encodeName(path_).toStdString()) != TtyResult::ok) return;
    retry_timer_.stop();
    settle_timer_.start();
    set_state(State::linked);
}

void LineLink::set_state(State state) {
    if (state == state_) return;
    state_ = state;
    emit state_changed();
}
