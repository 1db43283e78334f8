// The process-wide single instances of the portable core, declared together
// here, and the operations of the shell that every subsystem shares: the
// blink clock, the repaint request, and the portable halves of window
// creation, destruction and the 100 ms timer.
//
// Locking: display_mutex serialises `display` and the composition state
// (`composition`, `blink_counter`). It is held around each interpreter byte,
// each composition routine run at start-up or from the timer, and each
// render; request_repaint() is never called while it is held, because the
// paint that the request waits for takes it.
//
// The Windows-only single instances (window, port and thread handles) are
// declared in shell_state_win32.h.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "app/settings.h"
#include "display/lcd_controller.h"
#include "protocol/interpreter.h"
#include "protocol/status_line.h"

// The one display controller of the process, or null.
extern std::unique_ptr<LcdController> display;
extern std::mutex display_mutex;

// Cursor-blink clock: blink_phase is 1 during 7 of every 15 ticks.
extern int32_t blink_counter;
extern int32_t blink_phase;

extern HostInterpreter host;
extern CompositionState composition;

// Link state: link_open is set by the setup dialog and tested by the key
// translation; reader_running tells the reader thread to go on reading.
extern std::atomic<int32_t> link_open;
extern std::atomic<int32_t> reader_running;

// The Ctrl+Shift chord of the key translation is in progress.
extern int32_t chord_active;

extern AppSettings app_settings;
// The settings file beside the executable; empty while its path is unknown,
// and then the settings are neither read nor written.
extern std::string settings_path;

// Screen position used whenever the window is resized.
extern int32_t window_x;
extern int32_t window_y;

// State of the setup and port-selection dialogs while they are open.
struct DialogState {
    uint8_t snapshot_com_port = 0;
    int32_t snapshot_color_scheme = 0;
    uint8_t snapshot_size_preset = 0;
    std::array<int32_t, 80> port_list{};
    int32_t port_count = 0;
    int32_t port_selected = -1;
};
extern DialogState dialog_state;

// Puts every instance above back to its state at process start (the
// controller destroyed, the repaint hook removed). For tests.
void shell_state_reset();

// The front end installs the function that invalidates the window and has it
// painted before returning; without one, request_repaint only counts.
using RepaintHook = void (*)();
void set_repaint_hook(RepaintHook hook);
void request_repaint();
// Repaint requests made since start-up (or the last reset).
uint64_t repaint_count();

// Advances the blink clock by one tick. Caller holds display_mutex.
void blink_tick();

// Window creation's part: creates the 20 x 4 controller (ROM select 1),
// loads the start-up glyphs, switches the display on, draws the idle screen
// and clears last_mode_flags. False if the controller cannot be created.
bool shell_create_display();
// Destroys the controller under the lock. The reader must have ended.
void shell_destroy_display();
// The 100 ms timer's part: the flash-text countdown (redraw of the mode field
// and a repaint request at expiry), then the blink clock.
void shell_on_timer();
