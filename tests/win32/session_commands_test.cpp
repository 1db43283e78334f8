// The command line of the Windows program, and the main window's session
// commands under Wine: the system menu's items
// below the system's own, the screen's rows on the clipboard, and the
// files the commands write by the output file's rules on Windows (a folder,
// a device or a read-only file in the way is refused and left as it was, a
// replaced file leaves nothing beside it, a recording is written as it
// goes and can be read meanwhile).
#include "app/win32/session_commands.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/win32/main_window.h"
#include "app/win32/program_options.h"
#include "app/win32/resource_ids.h"
#include "record/recording.h"

namespace {

TEST(ProgramOptions, APortAURLARecordingOrAPlaybackAndEachMistakeSaid) {
    ProgramOptions o;
    EXPECT_FALSE(parse_program_options({"COM1x", "12"}, o).exit_status);
    EXPECT_EQ(o.com_port, 12);  // a word that names no port is passed over
    o = {};
    EXPECT_FALSE(parse_program_options({"--record", "r.jsonl", "com5"}, o).exit_status);
    EXPECT_EQ(o.com_port, 5);
    EXPECT_EQ(o.record_path, "r.jsonl");
    o = {};
    EXPECT_FALSE(parse_program_options({"socket://lab:4000"}, o).exit_status);
    EXPECT_EQ(o.target, "socket://lab:4000");
    EXPECT_FALSE(o.com_port);
    o = {};
    EXPECT_FALSE(parse_program_options({"--play", "p.jsonl", "--speed", "2.5"}, o).exit_status);
    EXPECT_EQ(o.play_path, "p.jsonl");
    EXPECT_EQ(o.speed, 2.5);

    const std::vector<std::vector<std::string>> mistakes = {
        {"--speed", "2"},
        {"--play", "p", "--speed", "0"},
        {"--play", "p", "--speed", "x"},
        {"--play", "p", "7"},
        {"--record"},
        {"--record", ""},
        {"--unknown"},
    };
    for (const std::vector<std::string>& words : mistakes) {
        o = {};
        const OptionsOutcome outcome = parse_program_options(words, o);
        EXPECT_EQ(outcome.exit_status, 2) << words.front();
        EXPECT_EQ(outcome.text.rfind("zezodavoru: ", 0), 0u) << outcome.text;
    }
    const OptionsOutcome help = parse_program_options({"--help"}, o);
    EXPECT_EQ(help.exit_status, 0);
    EXPECT_NE(help.text.find("--play"), std::string::npos);
    EXPECT_EQ(parse_program_options({"--version"}, o).text, "zezodavoru " ZEZ_VERSION);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The names in a folder.
std::vector<std::string> folder_names(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// One window for all the tests: under Wine each window's creation and
// destruction takes its time.
class SessionCommandsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        window_ = std::make_unique<MainWindow>(GetModuleHandleA(nullptr));
        ASSERT_TRUE(register_main_window_class(window_->instance, 1));
        window_->settings.color_scheme = 1;
        window_->settings.size_preset = 2;
        ASSERT_NE(create_main_window(*window_), nullptr);
    }
    static void TearDownTestSuite() { window_.reset(); }

    void SetUp() override {
        ASSERT_NE(window.hwnd.load(), nullptr);
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "zez-session-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder.c_str(), nullptr);
    }
    void TearDown() override {
        for (const std::string& name : folder_names(folder)) {
            const std::string path = folder + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!DeleteFileA(path.c_str())) RemoveDirectoryA(path.c_str());
        }
        RemoveDirectoryA(folder.c_str());
    }
    std::string in_folder(const char* name) const { return folder + "\\" + name; }

    static inline std::unique_ptr<MainWindow> window_;
    MainWindow& window = *window_;
    const HWND hwnd = window_ ? window_->hwnd.load() : nullptr;
    std::string folder;
};

TEST_F(SessionCommandsTest, SystemMenuEndsWithTheCommandsAndCopiesTheRows) {
    const HMENU menu = GetSystemMenu(hwnd, FALSE);
    ASSERT_NE(menu, nullptr);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 5);
    MENUITEMINFOA separator{};
    separator.cbSize = sizeof separator;
    separator.fMask = MIIM_FTYPE;
    ASSERT_TRUE(GetMenuItemInfoA(menu, static_cast<UINT>(count - 5), TRUE, &separator));
    EXPECT_NE(separator.fType & MFT_SEPARATOR, 0u);
    const std::pair<UINT, const char*> items[] = {{IDM_SAVE_RECORDING, "Save recording..."},
                                                  {IDM_SAVE_PICTURE, "Save picture..."},
                                                  {IDM_COPY_SCREEN_TEXT, "Copy screen as text"},
                                                  {IDM_SHOW_ABOUT, "About"}};
    for (int i = 0; i < 4; ++i) {
        char text[64] = {};
        const auto position = static_cast<UINT>(count - 4 + i);
        GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, items[i].second);
        EXPECT_EQ(GetMenuItemID(menu, static_cast<int>(position)), items[i].first);
    }

    // Row 2 holds text with a letter beyond ASCII (0xE9 is e acute).
    const std::vector<uint8_t> row = {0x8C, 0x02, 'c', 'o', 'p', 'i', 'e', 'd', ' ', 0xE9};
    window.panel.feed(row);
    EXPECT_EQ(SendMessageA(hwnd, WM_SYSCOMMAND, IDM_COPY_SCREEN_TEXT, 0), 0);
    ASSERT_TRUE(OpenClipboard(nullptr));
    const HANDLE data = GetClipboardData(CF_UNICODETEXT);
    std::wstring text;
    if (data != nullptr) text = static_cast<const wchar_t*>(GlobalLock(data));
    if (data != nullptr) GlobalUnlock(data);
    CloseClipboard();
    std::vector<std::wstring> rows;
    for (size_t start = 0, end; (end = text.find(L"\r\n", start)) != std::wstring::npos;
         start = end + 2) {
        rows.push_back(text.substr(start, end - start));
    }
    ASSERT_EQ(rows.size(), 4u) << "rows end with CR LF";
    EXPECT_EQ(text.size(), 4u * 22u);
    EXPECT_EQ(rows[1], L"copied \u00E9" + std::wstring(12, L' '));
}

TEST_F(SessionCommandsTest, FilesAreReplacedWholeAndWhatIsInTheWayIsLeftAlone) {
    std::string error;
    const std::string picture = in_folder("picture.png");
    write_file(picture, "old");
    ASSERT_TRUE(save_picture(window, picture, error)) << error;
    const std::string png = read_file(picture);
    ASSERT_GE(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    // The header's width and height: preset 2's image, 337 x 120.
    EXPECT_EQ(png.substr(16, 8), std::string("\0\0\x01\x51\0\0\0\x78", 8));
    EXPECT_EQ(folder_names(folder), std::vector<std::string>{"picture.png"});

    const std::string locked = in_folder("locked.png");
    write_file(locked, "kept");
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(save_picture(window, locked, error));
    EXPECT_EQ(error.rfind("cannot write " + locked + ": ", 0), 0u) << error;
    EXPECT_EQ(read_file(locked), "kept");

    const std::string sub = in_folder("sub");
    CreateDirectoryA(sub.c_str(), nullptr);
    EXPECT_FALSE(save_recording(window, sub, error));
    EXPECT_EQ(error, "cannot write " + sub + ": it is a directory, not a regular file");
    EXPECT_NE(GetFileAttributesA(sub.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_FALSE(save_picture(window, "NUL", error));
    EXPECT_EQ(error, "cannot write NUL: it is a device, not a regular file");
    EXPECT_FALSE(save_picture(window, in_folder("none\\picture.png"), error));
    EXPECT_EQ(folder_names(folder), (std::vector<std::string>{"locked.png", "picture.png", "sub"}));
}

TEST_F(SessionCommandsTest, ARecordingIsWrittenAsItGoesAndReadableMeanwhile) {
    std::string error;
    const std::string path = in_folder("session.jsonl");
    write_file(path, "an older file, longer than the recording's start");
    ASSERT_TRUE(record_session(window, path, "COM5", error)) << error;
    const std::vector<uint8_t> bytes = {0x8C, 0x01, 'r', 'e', 'c'};
    window.panel.feed(bytes);
    // Another program may read it while it is written.
    const HANDLE reader =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
    ASSERT_TRUE(window.recorder.stop_recording(error)) << error;

    const std::string text = read_file(path);
    const size_t first_break = text.find('\n');
    ASSERT_NE(first_break, std::string::npos);
    EXPECT_TRUE(is_recording_header(text.substr(0, first_break))) << text;
    EXPECT_NE(text.find("\"target\":\"COM5\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"rx\",\"" + hex_text(bytes) + "\""), std::string::npos) << text;
    EXPECT_EQ(folder_names(folder), std::vector<std::string>{"session.jsonl"});
}

}  // namespace
