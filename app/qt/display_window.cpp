// The window's handlers: painting, keys, the menu, the timer and the link
// state shown in the title.
#include "app/qt/display_window.h"

#include <QContextMenuEvent>
#include <QImage>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

#include "app/qt/key_mapping.h"
#include "image/window_image.h"
#include "serial/port_list_posix.h"
#include "zezodavoru_version.h"

namespace {

constexpr int timer_period_ms = 100;
// The demo device runs on the window's timer: it is told how much time passed.
constexpr uint32_t demo_step_ms = timer_period_ms;

constexpr char program_title[] = "Zezodavoru " ZEZ_VERSION;

}  // namespace

DisplayWindow::DisplayWindow(const ProgramSettings& settings, const QString& settings_path)
    : session_([this] { update(); }),
      line_([this](std::span<const uint8_t> bytes) { feed(bytes); }),
      settings_(settings),
      settings_path_(settings_path) {
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    session_.start();
    connect(&line_, &LineLink::state_changed, this, &DisplayWindow::show_link_state);
    connect(&timer_, &QTimer::timeout, this, &DisplayWindow::on_timer);
    timer_.start(timer_period_ms);
    apply_size();
    show_link_state();
}

DisplayWindow::~DisplayWindow() = default;

bool DisplayWindow::link_port(const QString& path) {
    demo_.reset();
    settings_.port = path;
    save_settings();
    const TtyResult result = line_.open(path);
    link_failure_ = result == TtyResult::ok ? QString() : QString(tty_result_text(result));
    show_link_state();
    return result == TtyResult::ok;
}

void DisplayWindow::link_demo() {
    line_.close();
    link_failure_.clear();
    demo_ = std::make_unique<DemoDevice>();
    feed(demo_->start());
    show_link_state();
}

void DisplayWindow::close_link() {
    line_.close();
    demo_.reset();
    link_failure_.clear();
    show_link_state();
}

void DisplayWindow::set_color_scheme(int32_t scheme) {
    settings_.color_scheme = scheme;
    save_settings();
    update();
}

void DisplayWindow::set_size_preset(uint8_t preset) {
    if (size_preset_info(preset) == nullptr) return;
    settings_.size_preset = preset;
    save_settings();
    apply_size();
}

void DisplayWindow::feed(std::span<const uint8_t> bytes) {
    session_.interpret_bytes(bytes);
}

void DisplayWindow::send_key(uint8_t code) {
    if (demo_) {
        feed(demo_->key(code));
    } else {
        line_.send_byte(code);
    }
}

void DisplayWindow::on_timer() {
    if (demo_) feed(demo_->advance(demo_step_ms));
    session_.on_timer();
}

void DisplayWindow::paintEvent(QPaintEvent*) {
    const SizePreset* preset = size_preset_info(settings_.size_preset);
    QPainter painter(this);
    const bool drawn = session_.render([&](const LcdController& c) {
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
    const KeyResult result = translate_mapped_key(translator_, *key, true);
    if (result.code != 0) send_key(result.code);
}

void DisplayWindow::keyReleaseEvent(QKeyEvent* event) {
    // A held key repeats its press only, as on Windows.
    if (event->isAutoRepeat()) return;
    const auto key = map_qt_key(event->key(), static_cast<uint32_t>(event->modifiers()),
                                event->nativeScanCode());
    if (!key) return QWidget::keyReleaseEvent(event);
    const KeyResult result = translate_mapped_key(translator_, *key, false);
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
        QAction* action = menu->addAction(label, this, [this, path] { link_port(path); });
        action->setCheckable(true);
        action->setChecked(!demo_ && path == settings_.port);
    }
    menu->addAction("Other port...", this, &DisplayWindow::choose_other_port);
    if (line_.state() != LineLink::State::closed || demo_) {
        menu->addAction("Close link", this, &DisplayWindow::close_link);
    } else {
        QAction* open = menu->addAction("Open link", this, [this] { link_port(settings_.port); });
        open->setEnabled(!settings_.port.isEmpty());
    }
    QAction* demo = menu->addAction("Demo device", this, [this] {
        if (demo_) {
            close_link();
        } else {
            link_demo();
        }
    });
    demo->setCheckable(true);
    demo->setChecked(demo_ != nullptr);
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
    menu->addAction("Quit", this, &QWidget::close);
    return menu;
}

void DisplayWindow::choose_other_port() {
    bool ok = false;
    const QString path = QInputDialog::getText(
        this, program_title, "Serial port:", QLineEdit::Normal, settings_.port, &ok);
    if (ok && !path.trimmed().isEmpty()) link_port(path.trimmed());
}

void DisplayWindow::apply_size() {
    const SizePreset* preset = size_preset_info(settings_.size_preset);
    if (preset == nullptr) return;
    setFixedSize(preset->image_cx, preset->image_cy);
    update();
}

QString DisplayWindow::link_state_text() const {
    if (demo_) return "Demo device";
    if (!link_failure_.isEmpty()) return settings_.port + ": " + link_failure_;
    switch (line_.state()) {
        case LineLink::State::linked:
            return line_.path() + " linked";
        case LineLink::State::lost:
            return line_.path() + ": link lost, retrying";
        case LineLink::State::closed:
            break;
    }
    return "Not linked";
}

void DisplayWindow::show_link_state() {
    if (line_.state() != LineLink::State::closed) link_failure_.clear();
    setWindowTitle(QString(program_title) + " - " + link_state_text());
}

void DisplayWindow::save_settings() {
    if (!settings_path_.isEmpty()) save_program_settings(settings_, settings_path_);
}
