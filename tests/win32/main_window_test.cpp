// The main window under Wine: its creation sequence (class, title, style,
// placement on top, timer, idle screen, its state reachable from the
// window), the resize command at the screen's density and a change of
// density, the timer that runs the panel's clock, key messages, key codes that reach the device
// only while the link is open, and destruction while bytes stream in; the port number of the
// command line; and the resources the program carries (menu, icon, version
// record, manifest). The tests with a device run through with_com_ports.sh.
#include "app/win32/main_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "app/win32/resource_ids.h"
#include "tests/win32/com_pair.h"
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
        static const bool registered = register_main_window_class(window.instance, 0);
        ASSERT_TRUE(registered);
        window.settings.color_scheme = 1;
        window.settings.size_preset = 2;
    }
    void TearDown() override {
        if (hwnd != nullptr && IsWindow(hwnd)) DestroyWindow(hwnd);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    void create() {
        hwnd = create_main_window(window);
        ASSERT_NE(hwnd, nullptr);
    }
    bool has_display() {
        return window.panel.session().with_state(
            [](SessionState& s) { return s.display != nullptr; });
    }
    // Takes the device's end of the main pair into `peer`; false without a
    // pair.
    bool device_end(std::optional<Peer>& peer) {
        pair = main_pair_from_environment();
        if (!pair) return false;
        peer.emplace(pair->peer_path);
        return peer->ok();
    }
    // Opens the window's link on the main pair, as "Open I/F" does.
    bool open_link() {
        window.settings.com_port = pair->port;
        return link_main_window(window) == nullptr;
    }
    bool link_to_device(std::optional<Peer>& peer) { return device_end(peer) && open_link(); }

    std::optional<MainPair> pair;

    MainWindow window{GetModuleHandleA(nullptr)};
    HWND hwnd = nullptr;
};

TEST_F(MainWindowTest, CreationBuildsTheDisplayAndPlacesTheWindowOnTop) {
    window.window_x = 300;
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

    EXPECT_EQ(window.hwnd.load(), hwnd);
    EXPECT_EQ(main_window_of(hwnd), &window);
    EXPECT_FALSE(main_window_linked(window));
    window.panel.session().with_state([](SessionState& s) {
        ASSERT_TRUE(s.display);
        EXPECT_EQ(s.display->ddram[0], 'R');  // the idle status line
        EXPECT_EQ(s.display->display_control & 0x04, 0x04);
    });
    EXPECT_TRUE(KillTimer(hwnd, ID_MAIN_TIMER));  // the 100 ms timer was running
}

TEST_F(MainWindowTest, ResizeCommandAppliesThePresetAtTheRememberedPosition) {
    create();
    window.window_x = 120;
    window.window_y = 80;
    window.settings.size_preset = 4;
    SendMessageA(hwnd, WM_COMMAND, IDC_RESIZE, 0);
    WindowRect r = window_rect(hwnd);
    EXPECT_EQ(r.x, 120);
    EXPECT_EQ(r.y, 80);
    EXPECT_EQ(r.width, 500);
    EXPECT_EQ(r.height, 185);

    window.settings.size_preset = 1;
    SendMessageA(hwnd, WM_COMMAND, IDC_RESIZE, 0);
    r = window_rect(hwnd);
    EXPECT_EQ(r.width, 260);
    EXPECT_EQ(r.height, 115);

    // A preset outside 1..4 leaves the window alone.
    window.window_x = 10;
    window.settings.size_preset = 9;
    SendMessageA(hwnd, WM_COMMAND, IDC_RESIZE, 0);
    r = window_rect(hwnd);
    EXPECT_EQ(r.x, 120);
    EXPECT_EQ(r.width, 260);
}

TEST_F(MainWindowTest, PresetSizesFollowTheDensityOfTheWindowsScreen) {
    create();
    EXPECT_EQ(window.dpi, 96u);  // the test prefix's screen
    window.window_x = 40;
    window.window_y = 30;
    window.settings.size_preset = 4;
    window.dpi = 192;
    SendMessageA(hwnd, WM_COMMAND, IDC_RESIZE, 0);
    WindowRect r = window_rect(hwnd);
    EXPECT_EQ(r.width, 1000);
    EXPECT_EQ(r.height, 370);

    // Moved to a screen of 150%: the suggested rectangle is taken, and the
    // next resize keeps the new density and position.
    RECT suggested{300, 200, 300 + 750, 200 + 278};
    SendMessageA(hwnd, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(window.dpi, 144u);
    r = window_rect(hwnd);
    EXPECT_EQ(r.x, 300);
    EXPECT_EQ(r.y, 200);
    EXPECT_EQ(r.width, 750);
    EXPECT_EQ(r.height, 278);
    window.settings.size_preset = 1;
    SendMessageA(hwnd, WM_COMMAND, IDC_RESIZE, 0);
    r = window_rect(hwnd);
    EXPECT_EQ(r.x, 300);
    EXPECT_EQ(r.width, 390);
    EXPECT_EQ(r.height, 173);
    EXPECT_NE(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
}

TEST(CommandLinePort, OnlyAPortNumberFromOneTo255) {
    EXPECT_EQ(command_line_port("5"), 5);
    EXPECT_EQ(command_line_port(" 12 "), 12);
    EXPECT_EQ(command_line_port("\t255"), 255);
    EXPECT_EQ(command_line_port("007"), 7);
    for (const char* bad : {"", " ", "0", "256", "1000", "-1", "+5", "COM5", "5x", "5 6", "x"}) {
        EXPECT_EQ(command_line_port(bad), std::nullopt) << '"' << bad << '"';
    }
    EXPECT_EQ(command_line_port(nullptr), std::nullopt);
}

// The window's timer serves the panel in whatever loop dispatches it (this
// test's, as a modal dialog's would): its clock expires the flash text two
// ticks on, with one repaint, and advances the blink clock.
TEST_F(MainWindowTest, TheWindowsTimerRunsThePanelsClock) {
    create();
    const int32_t blink = window.panel.session().with_state([](SessionState& s) {
        s.composition.flash_countdown = 2;
        return s.blink.counter;
    });
    const uint64_t requests = window.panel.session().repaint_count();
    ASSERT_TRUE(pump_until([&] {
        return window.panel.session().with_state(
                   [](SessionState& s) { return s.composition.flash_countdown; }) == 0;
    }));
    EXPECT_EQ(window.panel.session().repaint_count(), requests + 1);
    EXPECT_NE(window.panel.session().with_state([](SessionState& s) { return s.blink.counter; }),
              blink);
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

TEST_F(MainWindowTest, KeyCodesReachTheDeviceOnlyWhileTheLinkIsOpen) {
    create();
    std::optional<Peer> device;
    if (!device_end(device)) GTEST_SKIP() << "no COM port pair (run through with_com_ports.sh)";

    BYTE keys[256] = {};
    keys[VK_SHIFT] = 0x80;
    ASSERT_TRUE(SetKeyboardState(keys));
    // Link not yet open for keys: the chord still begins, but nothing is
    // written.
    EXPECT_EQ(SendMessageA(hwnd, WM_KEYDOWN, VK_CONTROL, 0), 1);
    EXPECT_TRUE(window.panel.keys().chord_active());
    EXPECT_TRUE(device->read(300).empty());

    ASSERT_TRUE(open_link());
    EXPECT_EQ(SendMessageA(hwnd, WM_KEYDOWN, '2', 0), 1);
    EXPECT_EQ(SendMessageA(hwnd, WM_SYSKEYDOWN, VK_F10, 0), 1);
    EXPECT_EQ(SendMessageA(hwnd, WM_KEYUP, VK_CONTROL, 0), 1);
    keys[VK_SHIFT] = 0;
    ASSERT_TRUE(SetKeyboardState(keys));
    EXPECT_EQ(SendMessageA(hwnd, WM_KEYDOWN, 'A', 0), 1);
    EXPECT_EQ(SendMessageA(hwnd, WM_KEYDOWN, VK_LWIN, 0), 0);
    EXPECT_EQ(SendMessageA(hwnd, WM_SYSKEYUP, VK_F10, 0), 1);
    EXPECT_EQ(device->read(1000, 5), (std::vector<uint8_t>{'@', 0xD1, 0xF7, 'A', 0xEC}));
}

TEST_F(MainWindowTest, DestructionQuitsAndReleasesTheDisplay) {
    create();
    ASSERT_TRUE(DestroyWindow(hwnd));
    EXPECT_FALSE(has_display());
    EXPECT_EQ(window.hwnd.load(), nullptr);
    MSG message;
    EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 0u);
}

TEST_F(MainWindowTest, DestructionWhileBytesStreamInEndsTheLinkFirst) {
    create();
    std::optional<Peer> device;
    if (!link_to_device(device)) GTEST_SKIP() << "no COM port pair (run through with_com_ports.sh)";
    const auto opened = TestClock::now();
    pump_until([&] { return elapsed_ms(opened) > 600; });  // past the settle
    // Clear-screen commands reach the screen through this thread's loop:
    // the reader wakes the window, which serves its panel.
    const uint64_t start = window.panel.session().repaint_count();
    ASSERT_TRUE(device->write(std::vector<uint8_t>(2048, 0x89)));
    ASSERT_TRUE(pump_until([&] { return window.panel.session().repaint_count() > start; }));
    ASSERT_TRUE(device->write(std::vector<uint8_t>(2048, 0x89)));
    Sleep(200);

    // Bytes wait in the link's inbox and its wake in the queue, unserved;
    // destruction closes the link (its reader ends) before the session
    // stops.
    ASSERT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(window.panel.link(), nullptr);
    EXPECT_FALSE(main_window_linked(window));
    EXPECT_FALSE(has_display());
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

}  // namespace
