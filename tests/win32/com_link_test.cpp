// The serial link against pseudo-terminal pairs that Wine shows as COM ports
// (set up by com_link_test.sh): opening and configuring, reopening, the
// receive purge, reads and their time-out, key codes reaching the other end,
// the reader feeding the interpreter, closing while a read is pending or
// while the reader waits for a paint, a port whose other end vanished, and a
// write that never goes through.
//
// Environment, from the script:
//   ZEZ_TEST_COM_PORT        port number of the main pair's near end
//   ZEZ_TEST_COM_PEER        Windows path of the main pair's far end
//   ZEZ_TEST_VANISH_PORT     port number of a pair whose far end is ended
//   ZEZ_TEST_VANISH_REQUEST  file whose creation asks the script to end it;
//                            the script deletes it once the far end is gone
//   ZEZ_TEST_FILE_PORT       port number that names an ordinary file
// Tests whose port is not given are skipped.
#include "serial/com_link.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/shell_state.h"
#include "app/shell_state_win32.h"
#include "keyboard/key_translation.h"

namespace {

using Clock = std::chrono::steady_clock;

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

std::optional<uint8_t> port_from(const char* name) {
    const auto value = environment(name);
    if (!value) return std::nullopt;
    return static_cast<uint8_t>(std::stoi(*value));
}

long long elapsed_ms(Clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

// The far end of the main pair, opened with plain blocking I/O.
class Peer {
public:
    explicit Peer(const std::string& path)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr)) {
        if (ok()) {
            COMMTIMEOUTS timeouts{};
            timeouts.ReadTotalTimeoutConstant = 100;
            SetCommTimeouts(handle_, &timeouts);
        }
    }
    ~Peer() {
        if (ok()) CloseHandle(handle_);
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }

    bool write(const std::vector<uint8_t>& bytes) {
        DWORD written = 0;
        return WriteFile(handle_, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    }

    // The bytes that arrive within `ms`, up to `limit` of them.
    std::vector<uint8_t> read(DWORD ms, size_t limit = 64) {
        std::vector<uint8_t> bytes;
        const auto start = Clock::now();
        while (bytes.size() < limit && elapsed_ms(start) < ms) {
            uint8_t byte = 0;
            DWORD got = 0;
            if (ReadFile(handle_, &byte, 1, &got, nullptr) && got == 1) bytes.push_back(byte);
        }
        return bytes;
    }

    // Reads until nothing more arrives.
    void drain() {
        std::vector<uint8_t> chunk(4096);
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(handle_, chunk.data(), DWORD(chunk.size()), &got, nullptr) || got == 0)
                return;
        }
    }

private:
    HANDLE handle_;
};

class ComLink : public ::testing::Test {
protected:
    void SetUp() override { shell_state_reset(); }
    void TearDown() override {
        com_close();
        shell_state_reset();
    }

    // The main pair, or a skip when the script did not provide it.
    bool main_pair() {
        port_ = port_from("ZEZ_TEST_COM_PORT");
        const auto peer_path = environment("ZEZ_TEST_COM_PEER");
        if (!port_ || !peer_path) return false;
        peer_.emplace(*peer_path);
        return peer_->ok();
    }

    std::optional<uint8_t> port_;
    std::optional<Peer> peer_;
};

#define REQUIRE_MAIN_PAIR()                                                                  \
    do {                                                                                     \
        if (!main_pair()) GTEST_SKIP() << "no COM port pair (run through com_link_test.sh)"; \
    } while (0)

// Waits up to `ms` for `done` to hold.
template <class Condition>
bool eventually(DWORD ms, Condition done) {
    const auto start = Clock::now();
    while (!done()) {
        if (elapsed_ms(start) > ms) return false;
        Sleep(10);
    }
    return true;
}

TEST_F(ComLink, PortZeroAndMissingPortsFailToOpen) {
    EXPECT_EQ(com_open(0), com_open_failed);
    EXPECT_EQ(com_open(251), com_open_failed);
    EXPECT_EQ(com_handle.load(), nullptr);
    EXPECT_FALSE(com_probe_port(251));
    // With nothing open, transfers fail at once.
    EXPECT_EQ(com_send_byte(0x41), 0);
}

TEST_F(ComLink, OpenSetsTheLineAndTimeouts) {
    REQUIRE_MAIN_PAIR();
    {
        // Leave the port in other settings first.
        HANDLE other = CreateFileA(com_port_name(*port_).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        ASSERT_TRUE(GetCommState(other, &dcb));
        dcb.BaudRate = 9600;
        dcb.ByteSize = 7;
        dcb.Parity = EVENPARITY;
        dcb.StopBits = TWOSTOPBITS;
        dcb.fOutX = 1;
        dcb.fInX = 1;
        ASSERT_TRUE(SetCommState(other, &dcb));
        CloseHandle(other);
    }
    ASSERT_EQ(com_open(*port_), com_ok);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(com_handle.load(), &dcb));
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fInX, 0u);
    COMMTIMEOUTS timeouts{};
    ASSERT_TRUE(GetCommTimeouts(com_handle.load(), &timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 250u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 0u);
    // An open port is still offered by the port list.
    EXPECT_TRUE(com_probe_port(*port_));
}

TEST_F(ComLink, ReadsSkipWhatCameBeforeTheOpeningAndTimeOut) {
    REQUIRE_MAIN_PAIR();
    ASSERT_TRUE(peer_->write({0x11, 0x22, 0x33}));
    ASSERT_EQ(com_open(*port_), com_ok);

    uint8_t byte = 0xEE;
    const auto start = Clock::now();
    EXPECT_EQ(com_read(&byte, 1), 0) << "byte 0x" << std::hex << int(byte);
    const long long waited = elapsed_ms(start);
    EXPECT_GE(waited, 200);
    EXPECT_LT(waited, 1000);

    ASSERT_TRUE(peer_->write({0x00, 0xFF}));
    ASSERT_EQ(com_read(&byte, 1), 1);
    EXPECT_EQ(byte, 0x00);
    ASSERT_EQ(com_read(&byte, 1), 1);
    EXPECT_EQ(byte, 0xFF);
}

TEST_F(ComLink, ClosedPortCanBeOpenedAgainAtOnce) {
    REQUIRE_MAIN_PAIR();
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(com_open(*port_), com_ok) << "round " << round;
        ASSERT_TRUE(com_start_reader());
        EXPECT_EQ(com_send_byte(uint8_t(0x30 + round)), 1);
        com_close();
        EXPECT_EQ(com_handle.load(), nullptr);
        EXPECT_EQ(reader_thread_handle, nullptr);
        EXPECT_EQ(com_send_byte(0x41), 0);
    }
    EXPECT_EQ(peer_->read(500, 2), (std::vector<uint8_t>{0x30, 0x31}));
}

TEST_F(ComLink, FailedConfigurationReleasesThePort) {
    const auto port = port_from("ZEZ_TEST_FILE_PORT");
    if (!port) GTEST_SKIP() << "no file port (run through com_link_test.sh)";
    // The name leads to an ordinary file, which has no line settings; the
    // second attempt would meet the first handle's exclusive hold if the
    // first had kept it.
    EXPECT_EQ(com_open(*port), com_get_state_failed);
    EXPECT_EQ(com_open(*port), com_get_state_failed);
    EXPECT_EQ(com_handle.load(), nullptr);
}

TEST_F(ComLink, KeyCodesReachTheDeviceOnlyWhileTheLinkIsOpen) {
    REQUIRE_MAIN_PAIR();
    ASSERT_EQ(com_open(*port_), com_ok);
    ASSERT_TRUE(com_start_reader());  // a read is pending while keys are written

    BYTE keys[256] = {};
    keys[VK_SHIFT] = 0x80;
    ASSERT_TRUE(SetKeyboardState(keys));
    // Closed link: the chord still begins, but nothing is written.
    EXPECT_TRUE(translate_key_down(vk_control));
    EXPECT_EQ(chord_active, 1);
    EXPECT_TRUE(peer_->read(300).empty());

    link_open = 1;
    EXPECT_TRUE(translate_key_down('2'));
    EXPECT_TRUE(translate_sys_key_down(vk_f10));
    EXPECT_TRUE(translate_key_up(vk_control));
    keys[VK_SHIFT] = 0;
    ASSERT_TRUE(SetKeyboardState(keys));
    EXPECT_TRUE(translate_key_down('A'));
    EXPECT_FALSE(translate_key_down(vk_lwin));
    EXPECT_TRUE(translate_sys_key_up(vk_f10));
    EXPECT_EQ(peer_->read(1000, 5), (std::vector<uint8_t>{'@', 0xD1, 0xF7, 'A', 0xEC}));
}

TEST_F(ComLink, ReaderHandsEveryByteToTheInterpreter) {
    REQUIRE_MAIN_PAIR();
    ASSERT_TRUE(shell_create_display());
    ASSERT_EQ(com_open(*port_), com_ok);
    ASSERT_TRUE(com_start_reader());
    // Two clear-screen commands and two one-character commands, the first
    // of them with a 0 byte: one repaint each, four only if the 0 arrives.
    ASSERT_TRUE(peer_->write({0x89, 0x89, 0x8E, 0x00, 0x8E, 'A'}));
    EXPECT_TRUE(eventually(2000, [] { return repaint_count() >= 4; }));
    Sleep(300);
    EXPECT_EQ(repaint_count(), 4u);
    com_close();
    EXPECT_EQ(reader_running.load(), 0);
}

TEST_F(ComLink, CloseEndsAPendingReadAtOnce) {
    REQUIRE_MAIN_PAIR();
    ASSERT_EQ(com_open(*port_), com_ok);
    ASSERT_TRUE(com_start_reader());
    // The reader's first read began as it started and has 130 ms to go.
    Sleep(120);
    const auto start = Clock::now();
    com_close();
    EXPECT_LT(elapsed_ms(start), 100);
}

// The paint side of the reader's repaint request: a visible window of the
// main thread, repainted synchronously from the reader thread.
struct PaintProbe {
    static inline std::atomic<int> paints{0};
    static inline HWND window = nullptr;
    static inline HANDLE in_repaint = nullptr;

    static LRESULT CALLBACK proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_PAINT) {
            PAINTSTRUCT ps;
            BeginPaint(hwnd, &ps);
            EndPaint(hwnd, &ps);
            ++paints;
            return 0;
        }
        return DefWindowProcA(hwnd, message, wparam, lparam);
    }

    static void repaint() {
        SetEvent(in_repaint);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
};

TEST_F(ComLink, CloseServesThePaintTheReaderWaitsFor) {
    REQUIRE_MAIN_PAIR();
    WNDCLASSA wc{};
    wc.lpfnWndProc = PaintProbe::proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ZezComLinkPaintProbe";
    RegisterClassA(&wc);
    PaintProbe::window = CreateWindowExA(0, wc.lpszClassName, "probe", WS_POPUP | WS_VISIBLE, 0, 0,
                                         40, 40, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(PaintProbe::window, nullptr);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    PaintProbe::in_repaint = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    PaintProbe::paints = 0;
    ASSERT_TRUE(shell_create_display());
    set_repaint_hook(PaintProbe::repaint);

    ASSERT_EQ(com_open(*port_), com_ok);
    ASSERT_TRUE(com_start_reader());
    ASSERT_TRUE(peer_->write({0x89}));
    // The reader is now inside the repaint, waiting for this thread, which
    // has not looked at its messages since.
    ASSERT_EQ(WaitForSingleObject(PaintProbe::in_repaint, 3000), WAIT_OBJECT_0);
    const auto start = Clock::now();
    com_close();
    EXPECT_LT(elapsed_ms(start), 2000);
    EXPECT_GE(PaintProbe::paints.load(), 1);
    EXPECT_EQ(reader_running.load(), 0);

    set_repaint_hook(nullptr);
    DestroyWindow(PaintProbe::window);
    CloseHandle(PaintProbe::in_repaint);
}

TEST_F(ComLink, ReaderFacingAVanishedPortDoesNotSpin) {
    const auto port = port_from("ZEZ_TEST_VANISH_PORT");
    const auto request = environment("ZEZ_TEST_VANISH_REQUEST");
    if (!port || !request) GTEST_SKIP() << "no vanishing pair (run through com_link_test.sh)";
    ASSERT_EQ(com_open(*port), com_ok);
    HANDLE ask = CreateFileA(request->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(ask, INVALID_HANDLE_VALUE);
    CloseHandle(ask);
    ASSERT_TRUE(eventually(5000, [&] {
        return GetFileAttributesA(request->c_str()) == INVALID_FILE_ATTRIBUTES;
    })) << "the far end was not ended";

    // Reads on the port now fail at once instead of timing out.
    uint8_t byte = 0;
    const auto start = Clock::now();
    EXPECT_EQ(com_read(&byte, 1), 0);
    ASSERT_LT(elapsed_ms(start), 150);

    ASSERT_TRUE(com_start_reader());
    auto cpu_time_ms = [](HANDLE thread) {
        FILETIME created, exited, kernel, user;
        if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return -1.0;
        auto ticks = [](FILETIME t) {
            return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
        };
        return double(ticks(kernel) + ticks(user)) / 10000.0;
    };
    // The measure itself: a spinning thread's time shows within seconds.
    static std::atomic<bool> spin;
    spin = true;
    HANDLE spinner = CreateThread(
        nullptr, 0,
        [](LPVOID) -> DWORD {
            while (spin) {
            }
            return 0;
        },
        nullptr, 0, nullptr);
    ASSERT_NE(spinner, nullptr);
    const bool measured = eventually(3000, [&] { return cpu_time_ms(spinner) >= 50.0; });
    spin = false;
    WaitForSingleObject(spinner, INFINITE);
    CloseHandle(spinner);
    ASSERT_TRUE(measured) << "thread times are not measured here";

    const double before = cpu_time_ms(reader_thread_handle);
    ASSERT_GE(before, 0.0);
    Sleep(1000);
    const double used = cpu_time_ms(reader_thread_handle) - before;
    EXPECT_LT(used, 150.0) << "reader used " << used << " ms of CPU in one second";

    const auto closing = Clock::now();
    com_close();
    EXPECT_LT(elapsed_ms(closing), 500);
}

TEST_F(ComLink, WriteThatNeverGoesThroughIsGivenUp) {
    REQUIRE_MAIN_PAIR();
    ASSERT_EQ(com_open(*port_), com_ok);
    // The far end reads nothing, so the line's buffers fill up and a write
    // stays pending, as it does when the device holds the handshake line.
    const std::vector<uint8_t> flood(1 << 20, 0x55);
    auto start = Clock::now();
    EXPECT_EQ(com_write(flood.data(), uint32_t(flood.size())), 0);
    EXPECT_LT(elapsed_ms(start), 2000);

    // What the line still takes in after the flood was given up goes by
    // single bytes, until one waits in vain.
    long long waited = -1;
    for (int n = 0; n < 100000 && waited < 0; ++n) {
        start = Clock::now();
        if (com_send_byte(0x41) == 0) waited = elapsed_ms(start);
    }
    EXPECT_GE(waited, 300);
    EXPECT_LT(waited, 2000);
    com_close();
    peer_->drain();
}

}  // namespace
