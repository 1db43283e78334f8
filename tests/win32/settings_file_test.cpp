// The settings file on disk: the first run's file, short or damaged files,
// reserved bytes and odd schemes through load and save, a save that cannot
// replace the file, a folder that cannot be written, and the path beside
// the executable. Error message boxes are answered by a watcher thread, which
// also records their texts, so that no test waits for a user.
#include "app/win32/settings_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/settings.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Answers every message box captioned "Error" that belongs to this process
// and records its text; boxes with an owner window are recorded as such.
class MessageBoxWatcher {
public:
    MessageBoxWatcher() : thread_([this] { run(); }) {}
    ~MessageBoxWatcher() {
        stop_ = true;
        thread_.join();
    }
    std::vector<std::string> texts() {
        std::lock_guard lock(mutex_);
        return texts_;
    }

private:
    static BOOL CALLBACK collect_text(HWND child, LPARAM out) {
        char cls[32] = {};
        char text[256] = {};
        GetClassNameA(child, cls, sizeof cls);
        GetWindowTextA(child, text, sizeof text);
        if (lstrcmpiA(cls, "Static") == 0 && text[0] != '\0')
            *reinterpret_cast<std::string*>(out) += text;
        return TRUE;
    }

    void run() {
        while (!stop_) {
            HWND box = FindWindowA("#32770", "Error");
            DWORD pid = 0;
            if (box != nullptr) GetWindowThreadProcessId(box, &pid);
            if (box == nullptr || pid != GetCurrentProcessId()) {
                Sleep(20);
                continue;
            }
            std::string text;
            EnumChildWindows(box, collect_text, reinterpret_cast<LPARAM>(&text));
            if (GetWindow(box, GW_OWNER) != nullptr) text += " (owned)";
            {
                std::lock_guard lock(mutex_);
                texts_.push_back(text);
            }
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            while (IsWindow(box)) Sleep(10);
        }
    }

    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> texts_;
    std::thread thread_;
};

std::string make_temporary_folder() {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    for (unsigned n = 0;; ++n) {
        const std::string folder = std::string(base) + "zez-settings-" +
                                   std::to_string(GetCurrentProcessId()) + "-" + std::to_string(n);
        if (CreateDirectoryA(folder.c_str(), nullptr)) return folder;
    }
}

Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_file(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = make_temporary_folder();
        file_ = folder_ + "\\zezodavoru.cfg";
    }
    void TearDown() override {
        DeleteFileA(file_.c_str());
        DeleteFileA((file_ + ".new").c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    std::string folder_;
    std::string file_;
    AppSettings settings_;
    MessageBoxWatcher boxes_;
};

TEST_F(SettingsFile, FirstRunWritesTheDefaults) {
    EXPECT_EQ(settings_load(settings_, file_), 1);
    EXPECT_EQ(settings_.com_port, 0);
    EXPECT_EQ(settings_.color_scheme, 1);
    EXPECT_EQ(settings_.size_preset, 1);
    EXPECT_EQ(read_file(file_), (Bytes{0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_FALSE(exists(file_ + ".new"));
    EXPECT_TRUE(boxes_.texts().empty());
}

// A file too short to hold the record, or with a size or scheme out of
// range, opens a window of a size it knows (the port a whole record names
// is kept); the file is not rewritten at start-up.
TEST_F(SettingsFile, DamagedFileGivesTheDefaultsAndIsNotRewritten) {
    struct Case {
        Bytes file;
        uint8_t port;
        uint8_t size;
    };
    const Case cases[] = {
        {{}, 0, 1},
        {{0x07}, 0, 1},
        {{0x07, 0x00, 0x00, 0x00, 0x00}, 0, 1},
        {{7, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, 7, 1},
        {{7, 0, 0, 0, 1, 0, 0, 0, 9, 0, 0, 0}, 7, 1},
        {{7, 0, 0, 0, 5, 0, 0, 0, 3, 0, 0, 0}, 7, 3},
    };
    for (const Case& c : cases) {
        write_file(file_, c.file);
        AppSettings settings;
        EXPECT_EQ(settings_load(settings, file_), 1);
        EXPECT_EQ(settings.com_port, c.port) << c.file.size();
        EXPECT_EQ(settings.color_scheme, 1) << c.file.size();
        EXPECT_EQ(settings.size_preset, c.size) << c.file.size();
        EXPECT_EQ(read_file(file_), c.file);
    }
    EXPECT_TRUE(boxes_.texts().empty());
}

TEST_F(SettingsFile, ReservedBytesAndUnknownSchemeSurviveLoadAndSave) {
    const Bytes original{80, 0xA1, 0xB2, 0xC3, 2, 0, 0, 0, 3, 0xD4, 0xE5, 0xF6};
    write_file(file_, original);
    ASSERT_EQ(settings_load(settings_, file_), 1);
    EXPECT_EQ(settings_.color_scheme, 2);
    EXPECT_EQ(settings_save(settings_, file_), 1);
    EXPECT_EQ(read_file(file_), original);

    // A changed port replaces the file and changes its first byte only.
    settings_.com_port = 12;
    EXPECT_EQ(settings_save(settings_, file_), 1);
    Bytes changed = original;
    changed[0] = 12;
    EXPECT_EQ(read_file(file_), changed);
    EXPECT_FALSE(exists(file_ + ".new"));
    EXPECT_TRUE(boxes_.texts().empty());
}

TEST_F(SettingsFile, SaveThatCannotReplaceTheFileKeepsItSilently) {
    const Bytes original{3, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0};
    write_file(file_, original);
    // Another program holds the file open and does not let it be replaced.
    HANDLE holder = CreateFileA(file_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    settings_.com_port = 9;
    EXPECT_EQ(settings_save(settings_, file_), 1);
    CloseHandle(holder);
    EXPECT_EQ(read_file(file_), original);
    EXPECT_FALSE(exists(file_ + ".new"));
    EXPECT_TRUE(boxes_.texts().empty());
}

TEST_F(SettingsFile, FolderInPlaceOfTheFileStartsSilentlyWithDefaults) {
    ASSERT_TRUE(CreateDirectoryA(file_.c_str(), nullptr));
    settings_.com_port = 5;
    EXPECT_EQ(settings_load(settings_, file_), 1);
    EXPECT_EQ(settings_.size_preset, 1);
    EXPECT_FALSE(exists(file_ + ".new"));
    EXPECT_TRUE(boxes_.texts().empty());
    RemoveDirectoryA(file_.c_str());
}

TEST_F(SettingsFile, UnwritableFolderStartsSilentlyWithDefaults) {
    const std::string unwritable = folder_ + "\\missing\\zezodavoru.cfg";
    settings_.com_port = 5;
    EXPECT_EQ(settings_load(settings_, unwritable), 1);
    EXPECT_EQ(settings_.com_port, 0);
    EXPECT_EQ(settings_.color_scheme, 1);
    EXPECT_EQ(settings_.size_preset, 1);
    EXPECT_EQ(settings_save(settings_, unwritable), 1);
    EXPECT_FALSE(exists(unwritable));
    EXPECT_TRUE(boxes_.texts().empty());
}

TEST_F(SettingsFile, PathIsBesideTheExecutable) {
    char exe[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, exe, MAX_PATH);
    ASSERT_GT(length, 4u);
    const std::string expected = std::string(exe, length - 3) + "cfg";
    ASSERT_EQ(std::string(exe + length - 4), ".exe");
    EXPECT_EQ(settings_path_init(), expected);
}

}  // namespace
