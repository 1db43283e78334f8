// The main window under Wine: its creation sequence (class, title, style,
// placement on top, timer, idle screen), the resize command, the timer and
// key messages, and destruction while the serial reader is inside a repaint
// request that waits for the main thread; and the resources the program
// carries (menu, icon, version record, manifest).
#include "app/win32/main_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "app/win32/resource_ids.h"
#include "app/shell_state.h"
#include "app/shell_state_win32.h"
#include "tests/win32/window_rect.h"

namespace {

// Dispatches this thread's queued messages until `done` or 10 s have passed.
template <class Done>
bool pump_until(Done done) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > 10000) return false;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(1);
    }
    return true;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        shell_state_reset();
        app_instance = GetModuleHandleA(nullptr);
        static const bool registered = register_main_window_class(app_instance);
        ASSERT_TRUE(registered);
        app_settings.color_scheme = 1;
        app_settings.size_preset = 2;
    }
    void TearDown() override {
        if (hwnd != nullptr && IsWindow(hwnd)) DestroyWindow(hwnd);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        shell_state_reset();
    }
    void create() {
        hwnd = create_main_window(app_instance);
        ASSERT_NE(hwnd, nullptr);
    }
    HWND hwnd = nullptr;
};

TEST_F(MainWindowTest, CreationBuildsTheDisplayAndPlacesTheWindowOnTop) {
    link_open = 1;
    window_x = 300;
    create();
    char text[64] = {};
    GetClassNameA(hwnd, text, sizeof text);
    EXPECT_STREQ(text, "VorivevoRuvid");
    GetWindowTextA(hwnd, text, sizeof text);
    EXPECT_STREQ(text, "Zezodavoru 1.1");
    const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    EXPECT_EQ(style & 0x00CA0000, 0x00CA0000);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
    EXPECT_NE(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    const WindowRect r = window_rect(hwnd);
    EXPECT_EQ(r.x, 50);
    EXPECT_EQ(r.y, 50);
    EXPECT_EQ(r.width, 340);
    EXPECT_EQ(r.height, 140);
    EXPECT_NE(GetClassLongPtrA(hwnd, GCLP_HICON), 0u);

    EXPECT_EQ(main_window, hwnd);
    EXPECT_EQ(link_open.load(), 0);
    {
        std::lock_guard lock(display_mutex);
        ASSERT_TRUE(display);
        EXPECT_EQ(display->ddram[0], 'R');  // the idle status line
        EXPECT_EQ(display->display_control & 0x04, 0x04);
    }
    EXPECT_TRUE(KillTimer(hwnd, ID_MAIN_TIMER));  // the 100 ms timer was running
}

TEST_F(MainWindowTest, ResizeCommandAppliesThePresetAtTheRememberedPosition) {
    create();
    window_x = 120;
    window_y = 80;
    app_settings.size_preset = 4;
    SendMessageA(hwnd, WM_COMMAND, IDC_RESIZE, 0);
    WindowRect r = window_rect(hwnd);
    EXPECT_EQ(r.x, 120);
    EXPECT_EQ(r.y, 80);
    EXPECT_EQ(r.width, 500);
    EXPECT_EQ(r.height, 185);

    app_settings.size_preset = 1;
    SendMessageA(hwnd, WM_COMMAND, IDC_RESIZE, 0);
    r = window_rect(hwnd);
    EXPECT_EQ(r.width, 260);
    EXPECT_EQ(r.height, 115);

    // A preset outside 1..4 leaves the window alone.
    window_x = 10;
    app_settings.size_preset = 9;
    SendMessageA(hwnd, WM_COMMAND, IDC_RESIZE, 0);
    r = window_rect(hwnd);
    EXPECT_EQ(r.x, 120);
    EXPECT_EQ(r.width, 260);
}

TEST_F(MainWindowTest, TimerExpiresFlashTextAndAdvancesTheBlinkClock) {
    create();
    composition.flash_countdown = 2;
    const uint64_t requests = repaint_count();
    SendMessageA(hwnd, WM_TIMER, ID_MAIN_TIMER, 0);
    EXPECT_EQ(composition.flash_countdown, 1);
    EXPECT_EQ(repaint_count(), requests);
    SendMessageA(hwnd, WM_TIMER, ID_MAIN_TIMER, 0);
    EXPECT_EQ(composition.flash_countdown, 0);
    EXPECT_EQ(repaint_count(), requests + 1);
    EXPECT_EQ(blink_counter, 2);
}

TEST_F(MainWindowTest, KeyMessagesNeverReachTheDefaultProcedure) {
    create();
    EXPECT_EQ(SendMessageA(hwnd, WM_KEYDOWN, 'A', 0), 1);
    EXPECT_EQ(SendMessageA(hwnd, WM_KEYDOWN, VK_LWIN, 0), 0);
    EXPECT_EQ(SendMessageA(hwnd, WM_KEYUP, VK_LWIN, 0), 0);
    EXPECT_EQ(SendMessageA(hwnd, WM_CHAR, 'a', 0), 1);
    // Alt+F4 and F10 would close the window or enter its menu by default.
    EXPECT_EQ(SendMessageA(hwnd, WM_SYSKEYDOWN, VK_F4, 1 << 29), 1);
    EXPECT_EQ(SendMessageA(hwnd, WM_SYSKEYUP, VK_F4, 1 << 29), 1);
    EXPECT_EQ(SendMessageA(hwnd, WM_SYSKEYDOWN, VK_F10, 0), 1);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    EXPECT_TRUE(IsWindow(hwnd));
}

TEST_F(MainWindowTest, DestructionQuitsAndReleasesTheDisplay) {
    create();
    ASSERT_TRUE(DestroyWindow(hwnd));
    EXPECT_FALSE(display);
    EXPECT_EQ(main_window, nullptr);
    MSG message;
    EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 0u);
}

TEST(ProgramResources, MenuIconVersionAndManifest) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    HMENU menu = LoadMenuA(instance, MAKEINTRESOURCEA(IDM_MAIN_MENU));
    ASSERT_NE(menu, nullptr);
    char text[64] = {};
    GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Help");
    HMENU help = GetSubMenu(menu, 0);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(GetMenuItemCount(help), 1);
    EXPECT_EQ(GetMenuItemID(help, 0), static_cast<UINT>(IDM_ABOUT));
    GetMenuStringA(help, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "About Zezodavoru Program");
    DestroyMenu(menu);

    // One 128 x 128 image with 256 colours.
    EXPECT_NE(LoadIconA(instance, MAKEINTRESOURCEA(IDI_PROGRAM)), nullptr);
    HRSRC group = FindResourceA(instance, MAKEINTRESOURCEA(IDI_PROGRAM), RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    const auto* directory =
        static_cast<const uint8_t*>(LockResource(LoadResource(instance, group)));
    ASSERT_NE(directory, nullptr);
    EXPECT_EQ(directory[4], 1);    // one image
    EXPECT_EQ(directory[6], 128);  // its width
    EXPECT_EQ(directory[7], 128);  // and height
    EXPECT_EQ(directory[12], 8);   // bits per pixel: 256 colours

    EXPECT_NE(FindResourceA(instance, MAKEINTRESOURCEA(1), RT_VERSION), nullptr);
    EXPECT_NE(FindResourceA(instance, MAKEINTRESOURCEA(1), RT_MANIFEST), nullptr);
}

// A stand-in for the serial reader: it uses the display under the lock and
// asks for a repaint, as the interpreter does for each command, until told
// to stop.
std::atomic<int> reader_rounds{0};
std::atomic<bool> reader_found_no_display{false};

DWORD WINAPI repainting_reader(LPVOID) {
    while (reader_running.load() != 0) {
        {
            std::lock_guard lock(display_mutex);
            if (!display) reader_found_no_display = true;
        }
        request_repaint();
        ++reader_rounds;
    }
    return 0;
}

TEST_F(MainWindowTest, DestructionWaitsForTheReaderWhileServingItsRepaints) {
    create();
    reader_rounds = 0;
    reader_found_no_display = false;
    link_open = 1;
    reader_running = 1;
    reader_thread_handle = CreateThread(nullptr, 0, repainting_reader, nullptr, 0, nullptr);
    ASSERT_NE(reader_thread_handle, nullptr);
    ASSERT_TRUE(pump_until([] { return reader_rounds.load() >= 5; }));

    // The reader is now (or soon) waiting in a repaint request for this
    // thread; destruction must serve it, see the reader end, and only then
    // release the display.
    ASSERT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(reader_thread_handle, nullptr);
    EXPECT_EQ(reader_running.load(), 0);
    EXPECT_EQ(link_open.load(), 0);
    EXPECT_FALSE(display);
    EXPECT_FALSE(reader_found_no_display.load());
}

}  // namespace
