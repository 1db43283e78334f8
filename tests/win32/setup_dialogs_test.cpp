// The setup and port-selection dialogs under Wine, made from the program's
// own templates and driven by their control ids: what the setup dialog shows
// when it opens, "Done" (settings file and resize), "Cancel" and the close
// box, a failed opening of the link, and the port list's "OK".
#include "app/win32/setup_dialogs.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/win32/main_window.h"
#include "app/win32/resource_ids.h"
#include "app/win32/settings_file.h"
#include "tests/win32/window_rect.h"

namespace {

std::string settings_file() {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    return settings_path_for(exe);
}

std::vector<uint8_t> file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string control_text(HWND dialog, int id) {
    char text[64] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

LRESULT send_to(HWND dialog, int id, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    return SendDlgItemMessageA(dialog, id, message, wparam, lparam);
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        static const bool registered = register_main_window_class(main.instance, 0);
        ASSERT_TRUE(registered);
        main.settings_path = settings_path_init();
        std::remove(settings_file().c_str());
        main.settings.com_port = 5;
        main.settings.color_scheme = 1;
        main.settings.size_preset = 2;
        window = create_main_window(main);
        ASSERT_NE(window, nullptr);
        // Moved by the user before opening the dialog.
        SetWindowPos(window, nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    void TearDown() override {
        if (dialog != nullptr) DestroyWindow(dialog);
        if (window != nullptr) DestroyWindow(window);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        std::remove(settings_file().c_str());
    }
    void open_setup() {
        setup.emplace(SetupDialogState{main});
        dialog = CreateDialogParamA(main.instance, MAKEINTRESOURCEA(IDD_SETUP), window,
                                    setup_dialog_proc, reinterpret_cast<LPARAM>(&*setup));
        ASSERT_NE(dialog, nullptr);
    }
    void open_ports() {
        ports.emplace(PortDialogState{main.settings.com_port});
        dialog = CreateDialogParamA(main.instance, MAKEINTRESOURCEA(IDD_PORT), window,
                                    port_dialog_proc, reinterpret_cast<LPARAM>(&*ports));
        ASSERT_NE(dialog, nullptr);
    }
    void click(int id) { SendMessageA(dialog, WM_COMMAND, static_cast<WPARAM>(id), 0); }
    // Whether the main window still waits for a paint.
    bool needs_paint() { return GetUpdateRect(window, nullptr, FALSE) != 0; }

    MainWindow main{GetModuleHandleA(nullptr)};
    std::optional<SetupDialogState> setup;
    std::optional<PortDialogState> ports;
    HWND window = nullptr;
    HWND dialog = nullptr;
};

TEST_F(DialogTest, SetupShowsTheSettingsAndRemembersTheWindowPosition) {
    open_setup();
    char title[64] = {};
    GetWindowTextA(dialog, title, sizeof title);
    EXPECT_STREQ(title, "Zezodavoru 1.1 Setup");
    EXPECT_EQ(control_text(dialog, IDC_LINK_STATE), "Qor I/F Closed");
    EXPECT_EQ(control_text(dialog, IDC_OPEN_CLOSE), "Open I/F");
    EXPECT_EQ(control_text(dialog, IDC_PORT_LABEL), "Com Port: 5");
    EXPECT_EQ(control_text(dialog, IDC_SCHEME_GROUP), "Color Scheme");
    ASSERT_EQ(send_to(dialog, IDC_SIZE_COMBO, CB_GETCOUNT), 4);
    EXPECT_EQ(send_to(dialog, IDC_SIZE_COMBO, CB_GETCURSEL), 1);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SCHEME_GREEN), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SCHEME_BLUE), BST_UNCHECKED);
    EXPECT_EQ(main.window_x, 200);
    EXPECT_EQ(main.window_y, 150);
    EXPECT_EQ(setup->snapshot_com_port, 5);
}

TEST_F(DialogTest, SetupShowsAnUnchosenPortAndTheBlueScheme) {
    main.settings.com_port = 0;
    main.settings.color_scheme = 0;
    open_setup();
    EXPECT_EQ(control_text(dialog, IDC_PORT_LABEL), "Com Port: ?");
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SCHEME_BLUE), BST_CHECKED);
}

TEST_F(DialogTest, DoneSavesTheSettingsAndResizesWhereTheWindowWas) {
    open_setup();
    main.settings.com_port = 7;  // chosen in the port dialog meanwhile
    CheckRadioButton(dialog, IDC_SCHEME_GREEN, IDC_SCHEME_BLUE, IDC_SCHEME_BLUE);
    send_to(dialog, IDC_SIZE_COMBO, CB_SETCURSEL, 3);
    ASSERT_TRUE(needs_paint());  // nothing has painted the new window yet
    click(IDC_DONE);
    EXPECT_EQ(main.settings.color_scheme, 0);
    EXPECT_EQ(main.settings.size_preset, 4);
    // The resized window was painted at once, not left for the queue.
    EXPECT_FALSE(needs_paint());
    const std::vector<uint8_t> expected = {7, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0};
    EXPECT_EQ(file_bytes(settings_file()), expected);
    const WindowRect r = window_rect(window);
    EXPECT_EQ(r.x, 200);
    EXPECT_EQ(r.y, 150);
    EXPECT_EQ(r.width, 500);
    EXPECT_EQ(r.height, 185);
}

TEST_F(DialogTest, DoneWithAnEditedSizeBoxKeepsTheSize) {
    open_setup();
    send_to(dialog, IDC_SIZE_COMBO, CB_SETCURSEL, static_cast<WPARAM>(-1));
    click(IDC_DONE);
    EXPECT_EQ(main.settings.size_preset, 2);
    EXPECT_EQ(window_rect(window).width, 340);
}

TEST_F(DialogTest, OnlyButtonClicksAct) {
    open_setup();
    send_to(dialog, IDC_SIZE_COMBO, CB_SETCURSEL, 3);
    // A notification code in the high word: not a click of "Done".
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_DONE, 1), 0);
    EXPECT_EQ(main.settings.size_preset, 2);
    EXPECT_TRUE(file_bytes(settings_file()).empty());
}

TEST_F(DialogTest, CancelRestoresThePortAndTheCloseBoxKeepsIt) {
    open_setup();
    main.settings.com_port = 9;
    click(IDC_SETUP_CANCEL);
    EXPECT_EQ(main.settings.com_port, 5);
    DestroyWindow(dialog);

    open_setup();
    main.settings.com_port = 9;
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(main.settings.com_port, 9);
    EXPECT_TRUE(file_bytes(settings_file()).empty());
}

TEST_F(DialogTest, FailedOpeningIsShownAndLeavesTheLinkClosed) {
    main.settings.com_port = 0;  // no port bears the name COM0
    open_setup();
    click(IDC_OPEN_CLOSE);
    EXPECT_EQ(control_text(dialog, IDC_LINK_STATE), "Com Open Fail");
    EXPECT_EQ(control_text(dialog, IDC_OPEN_CLOSE), "Open I/F");
    EXPECT_FALSE(main_window_linked(main));
    EXPECT_EQ(main.panel.link(), nullptr);
}

TEST_F(DialogTest, FailureTexts) {
    EXPECT_STREQ(open_failure_text(LinkResult::not_found), "Com Open Fail");
    EXPECT_STREQ(open_failure_text(LinkResult::busy), "Com Open Fail");
    EXPECT_STREQ(open_failure_text(LinkResult::cannot_read_settings), "Get State Fail");
    EXPECT_STREQ(open_failure_text(LinkResult::cannot_configure), "Set State Fail");
    EXPECT_STREQ(open_failure_text(LinkResult::cannot_start), "Unknown Fail");
}

TEST_F(DialogTest, PortDialogLeavesAnAbsentPortUnselected) {
    main.settings.com_port = 79;
    open_ports();
    char title[64] = {};
    GetWindowTextA(dialog, title, sizeof title);
    EXPECT_STREQ(title, "Select Com Port");
    EXPECT_EQ(send_to(dialog, IDC_PORT_COMBO, CB_GETCOUNT), ports->port_count);
    for (int32_t i = 0; i < ports->port_count; ++i) {
        EXPECT_NE(ports->port_list[static_cast<size_t>(i)], 79);
    }
    EXPECT_EQ(ports->port_selected, -1);
    EXPECT_EQ(send_to(dialog, IDC_PORT_COMBO, CB_GETCURSEL), CB_ERR);
}

TEST_F(DialogTest, PortDialogOkTakesOnlyAListedPort) {
    open_ports();
    // Two ports present, whatever this machine has.
    send_to(dialog, IDC_PORT_COMBO, CB_RESETCONTENT);
    send_to(dialog, IDC_PORT_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("com3"));
    send_to(dialog, IDC_PORT_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("com12"));
    ports->port_list[0] = 3;
    ports->port_list[1] = 12;
    ports->port_count = 2;

    send_to(dialog, IDC_PORT_COMBO, CB_SETCURSEL, static_cast<WPARAM>(-1));
    click(IDOK);
    EXPECT_EQ(main.settings.com_port, 5);  // nothing selected: unchanged

    send_to(dialog, IDC_PORT_COMBO, CB_SETCURSEL, 1);
    click(IDCANCEL);
    EXPECT_EQ(main.settings.com_port, 5);
    click(IDOK);
    EXPECT_EQ(main.settings.com_port, 12);

    ports->port_count = 0;
    click(IDOK);
    EXPECT_EQ(main.settings.com_port, 0);  // no port present
}

}  // namespace
