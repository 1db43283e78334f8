// The window's handlers: painting, keys, the menu, the timer and the link
// state shown in the title.
#include "app/qt/display_window.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QImage>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

#include "app/qt/key_mapping.h"
#include "image/window_image.h"
#include "link/port_list_posix.h"
#include "link/target.h"
#include "zezodavoru_version.h"

namespace {

constexpr char program_title[] = "Zezodavoru " ZEZ_VERSION;

// A target as the title and the menu show it (its bytes in the locale's
// encoding).
QString shown_target(const std::string& target) {
    return QFile::decodeName(QByteArray::fromStdString(target));
}

}  // namespace

DisplayWindow::DisplayWindow(const ProgramSettings& settings, const QString& settings_path)
    : panel_({[this] { update(); }, [this](LinkState) { show_link_state(); }, {}}),
      driver_(panel_),
      settings_(settings),
      saved_(settings),
      settings_path_(settings_path),
      port_(QFile::encodeName(settings.port).toStdString()) {
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    panel_.set_tap(recorder_.tap());
    connect(&flush_timer_, &QTimer::timeout, this, &DisplayWindow::check_recording);
    flush_timer_.start(std::chrono::seconds(1));
    panel_.start();
    driver_.rearm();
    apply_size();
    show_link_state();
}

DisplayWindow::~DisplayWindow() {
    // The link's closing is the recording's last event.
    panel_.close();
    std::string error;
    recorder_.stop_recording(error);
}

bool DisplayWindow::link_target(const std::string& target, bool remember) {
    end_playback();
    if (target != "demo") {
        port_ = target;
        settings_.port = shown_target(target);
        if (remember) {
            saved_.port = settings_.port;
            remember_network_port(settings_.port);
            save_settings();
        }
    }
    const LinkResult result = panel_.open(target);
    driver_.rearm();
    failed_target_ = result == LinkResult::ok ? std::string() : target;
    link_failure_ = result == LinkResult::ok ? QString() : QString(link_result_text(result));
    show_link_state();
    return result == LinkResult::ok;
}

void DisplayWindow::close_link() {
    end_playback();
    panel_.close();
    driver_.rearm();
    failed_target_.clear();
    link_failure_.clear();
    show_link_state();
}

void DisplayWindow::set_color_scheme(int32_t scheme, bool remember) {
    settings_.color_scheme = scheme;
    if (remember) {
        saved_.color_scheme = scheme;
        save_settings();
    }
    update();
}

void DisplayWindow::set_size_preset(uint8_t preset, bool remember) {
    if (size_preset_info(preset) == nullptr) return;
    settings_.size_preset = preset;
    if (remember) {
        saved_.size_preset = preset;
        save_settings();
    }
    apply_size();
}

void DisplayWindow::send_key(uint8_t code) {
    if (!playback_.empty()) return;  // a recording takes no keys
    panel_.send(code);
    driver_.rearm();
}

void DisplayWindow::paintEvent(QPaintEvent*) {
    const SizePreset* preset = size_preset_info(settings_.size_preset);
    QPainter painter(this);
    const bool drawn = panel_.session().render([&](const LcdController& c) {
        build_window_image(c, scheme_colors(settings_.color_scheme), pixels_);
    });
    if (!drawn || preset == nullptr) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    const std::vector<uint32_t> picture =
        scale_image(pixels_, image_width, image_height, preset->image_cx, preset->image_cy);
    const QImage image(reinterpret_cast<const uchar*>(picture.data()), preset->image_cx,
                       preset->image_cy, preset->image_cx * 4, QImage::Format_RGB32);
    painter.drawImage(0, 0, image);
}

void DisplayWindow::keyPressEvent(QKeyEvent* event) {
    const auto key = map_qt_key(event->key(), static_cast<uint32_t>(event->modifiers()),
                                event->nativeScanCode());
    if (!key) return QWidget::keyPressEvent(event);
    const KeyResult result = translate_mapped_key(panel_.keys(), *key, true);
    if (result.code != 0) send_key(result.code);
}

void DisplayWindow::keyReleaseEvent(QKeyEvent* event) {
    // A held key repeats its press only, as on Windows.
    if (event->isAutoRepeat()) return;
    const auto key = map_qt_key(event->key(), static_cast<uint32_t>(event->modifiers()),
                                event->nativeScanCode());
    if (!key) return QWidget::keyReleaseEvent(event);
    const KeyResult result = translate_mapped_key(panel_.keys(), *key, false);
    if (result.code != 0) send_key(result.code);
}

bool DisplayWindow::focusNextPrevChild(bool) {
    // Tab and Shift+Tab are keys for the device, not focus moves.
    return false;
}

void DisplayWindow::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu = build_menu();
    menu->exec(event->globalPos());
}

std::unique_ptr<QMenu> DisplayWindow::build_menu() {
    auto menu = std::make_unique<QMenu>(this);
    menu->addAction(link_state_text())->setEnabled(false);
    menu->addSeparator();

    for (const SerialPortEntry& port : list_serial_ports()) {
        const QString path = QString::fromStdString(port.path);
        QString label = path;
        if (!port.product.empty()) label += "  (" + QString::fromStdString(port.product) + ")";
        const std::string target = port.path;
        QAction* action = menu->addAction(label, this, [this, target] { link_target(target); });
        action->setCheckable(true);
        action->setChecked(panel_.target() == target);
    }
    menu->addAction("Other port...", this, &DisplayWindow::choose_other_port);
    menu->addAction("Network port...", this, &DisplayWindow::choose_network_port);
    if (panel_.link_state() != LinkState::closed) {
        menu->addAction("Close link", this, &DisplayWindow::close_link);
    } else {
        QAction* open = menu->addAction("Open link", this, [this] { link_target(port_, false); });
        open->setEnabled(!port_.empty());
    }
    QAction* demo = menu->addAction("Demo device", this, [this] {
        if (linked_to_demo()) {
            close_link();
        } else {
            link_demo();
        }
    });
    demo->setCheckable(true);
    demo->setChecked(linked_to_demo());
    menu->addSeparator();

    QMenu* colours = menu->addMenu("Colours");
    const std::pair<const char*, int32_t> scheme_names[] = {{"Green", 1}, {"Blue", 0}};
    for (const auto& [name, scheme] : scheme_names) {
        QAction* action =
            colours->addAction(name, this, [this, s = scheme] { set_color_scheme(s); });
        action->setCheckable(true);
        action->setChecked((settings_.color_scheme == 1) == (scheme == 1));
    }
    QMenu* sizes = menu->addMenu("Size");
    for (uint8_t preset = 1; preset <= 4; ++preset) {
        QAction* action = sizes->addAction(QString("%1X").arg(preset), this,
                                           [this, preset] { set_size_preset(preset); });
        action->setCheckable(true);
        action->setChecked(settings_.size_preset == preset);
    }
    menu->addSeparator();
    add_session_actions(*menu);
    menu->addSeparator();
    menu->addAction("Quit", this, &QWidget::close);
    return menu;
}

void DisplayWindow::choose_other_port() {
    bool ok = false;
    const QString path = QInputDialog::getText(
        this, program_title, "Serial port:", QLineEdit::Normal, settings_.port, &ok);
    if (ok && !path.trimmed().isEmpty())
        link_target(QFile::encodeName(path.trimmed()).toStdString());
}

void DisplayWindow::choose_network_port() {
    bool ok = false;
    const QStringList offered =
        settings_.network_ports.isEmpty() ? QStringList{"rfc2217://"} : settings_.network_ports;
    const QString url = QInputDialog::getItem(this, program_title,
                                              "Network port (rfc2217://HOST:PORT or "
                                              "socket://HOST:PORT):",
                                              offered, 0, true, &ok);
    if (ok && !url.trimmed().isEmpty()) link_target(url.trimmed().toStdString());
}

void DisplayWindow::remember_network_port(const QString& url) {
    constexpr qsizetype kept = 8;
    const std::optional<Target> target = parse_target(url.toStdString());
    if (!target || !is_network(*target)) return;
    saved_.network_ports.removeAll(url);
    saved_.network_ports.prepend(url);
    while (saved_.network_ports.size() > kept) saved_.network_ports.removeLast();
    settings_.network_ports = saved_.network_ports;
}

void DisplayWindow::apply_size() {
    const SizePreset* preset = size_preset_info(settings_.size_preset);
    if (preset == nullptr) return;
    setFixedSize(preset->image_cx, preset->image_cy);
    update();
}

QString DisplayWindow::link_state_text() const {
    if (linked_to_demo()) return "Demo device";
    if (!playback_.empty()) return playback_text();
    if (!link_failure_.isEmpty()) return shown_target(failed_target_) + ": " + link_failure_;
    const QString target = shown_target(panel_.target());
    switch (panel_.link_state()) {
        case LinkState::linked:
            return target + " linked";
        case LinkState::lost: {
            const LinkResult failure = panel_.link_failure();
            if (failure == LinkResult::ok) return target + ": linking...";
            return target + ": " + link_result_text(failure) + ", retrying";
        }
        case LinkState::closed:
            break;
    }
    return "Not linked";
}

void DisplayWindow::show_link_state() {
    if (panel_.link_state() != LinkState::closed) link_failure_.clear();
    setWindowTitle(QString(program_title) + " - " + link_state_text());
}

void DisplayWindow::save_settings() {
    if (!settings_path_.isEmpty()) save_program_settings(saved_, settings_path_);
}
