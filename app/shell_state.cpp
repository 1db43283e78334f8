// The process-wide single instances of the portable core and the shell
// operations shared by all subsystems.
#include "app/shell_state.h"

#include "display/lcd_controller.h"
#include "protocol/status_line.h"

std::unique_ptr<LcdController> display;
std::mutex display_mutex;
int32_t blink_counter = 0;
int32_t blink_phase = 0;
HostInterpreter host;
CompositionState composition;
std::atomic<int32_t> link_open{0};
std::atomic<int32_t> reader_running{0};
int32_t chord_active = 0;
AppSettings app_settings;
std::string settings_path;
int32_t window_x = 50;
int32_t window_y = 50;
DialogState dialog_state;

namespace {
std::atomic<RepaintHook> repaint_hook{nullptr};
std::atomic<uint64_t> repaint_requests{0};
}  // namespace

void shell_state_reset() {
    std::lock_guard lock(display_mutex);
    lcd_destroy(display);
    blink_counter = 0;
    blink_phase = 0;
    host = HostInterpreter{};
    composition = CompositionState{};
    link_open = 0;
    reader_running = 0;
    chord_active = 0;
    app_settings = AppSettings{};
    settings_path.clear();
    window_x = 50;
    window_y = 50;
    dialog_state = DialogState{};
    repaint_hook = nullptr;
    repaint_requests = 0;
}

void set_repaint_hook(RepaintHook hook) {
    repaint_hook = hook;
}

void request_repaint() {
    ++repaint_requests;
    if (RepaintHook hook = repaint_hook.load()) hook();
}

uint64_t repaint_count() {
    return repaint_requests.load();
}

void blink_tick() {
    ++blink_counter;
    blink_phase = blink_counter < 8 ? 1 : 0;
    if (blink_counter == 15) blink_counter = 0;
}

bool shell_create_display() {
    std::lock_guard lock(display_mutex);
    display = lcd_create(20, 4, 1);
    if (!display) return false;
    load_custom_glyphs();
    lcd_command(*display, 0x0C);
    draw_idle_screen();
    composition.last_mode_flags = 0;
    return true;
}

void shell_destroy_display() {
    std::lock_guard lock(display_mutex);
    lcd_destroy(display);
}

void shell_on_timer() {
    bool expired = false;
    {
        std::lock_guard lock(display_mutex);
        if (composition.flash_countdown > 0 && --composition.flash_countdown == 0 && display) {
            draw_mode_field(composition.last_mode_flags, 1, 0);
            expired = true;
        }
    }
    // The expiry's repaint shows the blink phase of before this tick.
    if (expired) request_repaint();
    std::lock_guard lock(display_mutex);
    blink_tick();
}
