// The Qt loop driver of a remote panel (panel_driver.h).
#include "app/qt/panel_driver.h"

PanelDriver::PanelDriver(RemotePanel& panel, QObject* parent) : QObject(parent), panel_(panel) {
    wake_.setSingleShot(true);
    wake_.setTimerType(Qt::PreciseTimer);
    connect(&wake_, &QTimer::timeout, this, &PanelDriver::on_ready);
}

void PanelDriver::on_ready() {
    panel_.service();
    rearm();
}

void PanelDriver::rearm() {
    const LinkWatch watch = panel_.watch();
    if (watch.fd != watched_fd_) {
        // Off at once (the descriptor may be closed already), deleted later:
        // this may run inside one of their signals.
        for (std::unique_ptr<QSocketNotifier>* notifier : {&reader_, &writer_}) {
            if (!*notifier) continue;
            (*notifier)->setEnabled(false);
            notifier->release()->deleteLater();
        }
        watched_fd_ = watch.fd;
        if (watch.fd >= 0) {
            reader_ = std::make_unique<QSocketNotifier>(watch.fd, QSocketNotifier::Read);
            writer_ = std::make_unique<QSocketNotifier>(watch.fd, QSocketNotifier::Write);
            connect(reader_.get(), &QSocketNotifier::activated, this, &PanelDriver::on_ready);
            connect(writer_.get(), &QSocketNotifier::activated, this, &PanelDriver::on_ready);
        }
    }
    if (reader_) reader_->setEnabled(watch.read);
    if (writer_) writer_->setEnabled(watch.write);
    if (watch.wake) {
        wake_.start(milliseconds_until(*watch.wake));
    } else {
        wake_.stop();
    }
}
