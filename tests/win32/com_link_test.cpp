// The serial link against pseudo-terminal pairs that Wine shows as COM ports
// (set up by with_com_ports.sh): opening and configuring, reopening and
// opening an open link again, the receive purge, reads and their time-out,
// key codes reaching the other end while a read is pending, the reader
// handing every byte to the callback in batches, closing while a read is
// pending or while the reader waits for a paint, a link that goes out of
// scope, a port whose other end vanished and came back, and a write that
// never goes through. Tests whose port is not given are skipped.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/com_link_win32.h"
#include "tests/win32/com_pair.h"

namespace {

class ComLinkTest : public ::testing::Test {
protected:
    // The main pair, or a skip when the script did not provide it.
    bool main_pair() {
        const auto pair = main_pair_from_environment();
        if (!pair) return false;
        port_ = pair->port;
        peer_.emplace(pair->peer_path);
        return peer_->ok();
    }

    std::vector<uint8_t> received() {
        std::lock_guard lock(mutex_);
        return received_;
    }
    size_t batches() {
        std::lock_guard lock(mutex_);
        return batches_;
    }

    std::mutex mutex_;
    std::vector<uint8_t> received_;
    size_t batches_ = 0;
    ComLink link_{[this](std::span<const uint8_t> bytes) {
        std::lock_guard lock(mutex_);
        received_.insert(received_.end(), bytes.begin(), bytes.end());
        ++batches_;
    }};
    std::optional<uint8_t> port_;
    std::optional<Peer> peer_;
};

#define REQUIRE_MAIN_PAIR()                                                                   \
    do {                                                                                      \
        if (!main_pair()) GTEST_SKIP() << "no COM port pair (run through with_com_ports.sh)"; \
    } while (0)

TEST_F(ComLinkTest, PortZeroAndMissingPortsFailToOpen) {
    EXPECT_EQ(link_.com_open(0), LinkResult::not_found);
    EXPECT_EQ(link_.com_open(251), LinkResult::not_found);
    EXPECT_EQ(link_.port_handle(), nullptr);
    EXPECT_FALSE(ComLink::com_probe_port(251));
    // With nothing open, transfers fail at once.
    EXPECT_EQ(link_.com_send_byte(0x41), 0);
}

TEST_F(ComLinkTest, OpenSetsTheLineAndTimeouts) {
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
    ASSERT_EQ(link_.com_open(*port_), LinkResult::ok);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(link_.port_handle(), &dcb));
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fInX, 0u);
    COMMTIMEOUTS timeouts{};
    ASSERT_TRUE(GetCommTimeouts(link_.port_handle(), &timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 250u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 0u);
    // An open port is still offered by the port list.
    EXPECT_TRUE(ComLink::com_probe_port(*port_));
}

TEST_F(ComLinkTest, ReadsSkipWhatCameBeforeTheOpeningAndTimeOut) {
    REQUIRE_MAIN_PAIR();
    ASSERT_TRUE(peer_->write({0x11, 0x22, 0x33}));
    ASSERT_EQ(link_.com_open(*port_), LinkResult::ok);

    uint8_t byte = 0xEE;
    const auto start = TestClock::now();
    EXPECT_EQ(link_.com_read(&byte, 1), 0) << "byte 0x" << std::hex << int(byte);
    const long long waited = elapsed_ms(start);
    EXPECT_GE(waited, 200);
    EXPECT_LT(waited, 1000);

    ASSERT_TRUE(peer_->write({0x00, 0xFF}));
    ASSERT_EQ(link_.com_read(&byte, 1), 1);
    EXPECT_EQ(byte, 0x00);
    ASSERT_EQ(link_.com_read(&byte, 1), 1);
    EXPECT_EQ(byte, 0xFF);
}

TEST_F(ComLinkTest, ClosedPortCanBeOpenedAgainAtOnce) {
    REQUIRE_MAIN_PAIR();
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(link_.com_open(*port_), LinkResult::ok) << "round " << round;
        ASSERT_TRUE(link_.com_start_reader());
        EXPECT_EQ(link_.com_send_byte(uint8_t(0x30 + round)), 1);
        link_.com_close();
        EXPECT_EQ(link_.port_handle(), nullptr);
        EXPECT_EQ(link_.reader_thread(), nullptr);
        EXPECT_EQ(link_.com_send_byte(0x41), 0);
    }
    EXPECT_EQ(peer_->read(500, 2), (std::vector<uint8_t>{0x30, 0x31}));
}

TEST_F(ComLinkTest, OpeningAnOpenLinkClosesItFirst) {
    REQUIRE_MAIN_PAIR();
    ASSERT_EQ(link_.com_open(*port_), LinkResult::ok);
    ASSERT_TRUE(link_.com_start_reader());
    const HANDLE first = link_.port_handle();
    ASSERT_EQ(link_.com_open(*port_), LinkResult::ok);
    // The first handle was closed, not left behind: a handle still open
    // could not have been given out again, and would still answer.
    DWORD flags = 0;
    EXPECT_TRUE(link_.port_handle() == first || !GetHandleInformation(first, &flags));
    EXPECT_EQ(link_.reader_thread(), nullptr);
    EXPECT_FALSE(link_.reader_running());
    ASSERT_TRUE(link_.com_start_reader());
    ASSERT_TRUE(peer_->write({0x42}));
    EXPECT_TRUE(eventually(2000, [&] { return received() == std::vector<uint8_t>{0x42}; }));
}

TEST_F(ComLinkTest, LinkGoingOutOfScopeEndsItsReaderAndReleasesThePort) {
    REQUIRE_MAIN_PAIR();
    {
        ComLink scoped([](std::span<const uint8_t>) {});
        ASSERT_EQ(scoped.com_open(*port_), LinkResult::ok);
        ASSERT_TRUE(scoped.com_start_reader());
    }
    // The port is opened exclusively: a port still held would refuse this.
    EXPECT_EQ(link_.com_open(*port_), LinkResult::ok);
}

TEST_F(ComLinkTest, FailedConfigurationReleasesThePort) {
    const auto port = port_from("ZEZ_TEST_FILE_PORT");
    if (!port) GTEST_SKIP() << "no file port (run through with_com_ports.sh)";
    // The name leads to an ordinary file, which has no line settings; the
    // second attempt would meet the first handle's exclusive hold if the
    // first had kept it.
    EXPECT_EQ(link_.com_open(*port), LinkResult::cannot_read_settings);
    EXPECT_EQ(link_.com_open(*port), LinkResult::cannot_read_settings);
    EXPECT_EQ(link_.port_handle(), nullptr);
}

TEST_F(ComLinkTest, KeyCodesReachTheDeviceWhileAReadIsPending) {
    REQUIRE_MAIN_PAIR();
    ASSERT_EQ(link_.com_open(*port_), LinkResult::ok);
    ASSERT_TRUE(link_.com_start_reader());
    Sleep(50);  // the reader's first read is pending now
    for (uint8_t code : {uint8_t{'@'}, uint8_t{0xD1}, uint8_t{0xF7}}) {
        EXPECT_EQ(link_.com_send_byte(code), 1);
    }
    EXPECT_EQ(peer_->read(1000, 3), (std::vector<uint8_t>{'@', 0xD1, 0xF7}));
}

TEST_F(ComLinkTest, ReaderHandsEveryByteToTheCallbackInOrderInBatches) {
    REQUIRE_MAIN_PAIR();
    ASSERT_EQ(link_.com_open(*port_), LinkResult::ok);
    ASSERT_TRUE(link_.com_start_reader());
    EXPECT_TRUE(link_.reader_running());
    const std::vector<uint8_t> sent = {0x89, 0x89, 0x8E, 0x00, 0x8E, 'A'};
    ASSERT_TRUE(peer_->write(sent));
    EXPECT_TRUE(eventually(2000, [&] { return received().size() >= sent.size(); }));
    Sleep(300);
    EXPECT_EQ(received(), sent);

    // A burst: whatever waits is taken in one read, so it reaches the
    // callback in far fewer calls than bytes (and larger than the reader's
    // buffer, in several), all of it in order.
    std::vector<uint8_t> burst(20000);
    for (size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<uint8_t>(i % 251);
    const size_t calls = batches();
    ASSERT_TRUE(peer_->write(burst));
    EXPECT_TRUE(eventually(5000, [&] { return received().size() >= sent.size() + burst.size(); }));
    std::vector<uint8_t> all = sent;
    all.insert(all.end(), burst.begin(), burst.end());
    EXPECT_EQ(received(), all);
    EXPECT_LT(batches() - calls, burst.size() / 10);
    link_.com_close();
    EXPECT_FALSE(link_.reader_running());
}

TEST_F(ComLinkTest, CloseEndsAPendingReadAtOnce) {
    REQUIRE_MAIN_PAIR();
    ASSERT_EQ(link_.com_open(*port_), LinkResult::ok);
    ASSERT_TRUE(link_.com_start_reader());
    // The reader's first read began as it started and has 130 ms to go.
    Sleep(120);
    const auto start = TestClock::now();
    link_.com_close();
    EXPECT_LT(elapsed_ms(start), 100);
}

// The paint side of a repaint request made from the reader's callback: a
// visible window of the main thread, repainted synchronously from the
// reader thread.
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

    static void repaint(std::span<const uint8_t>) {
        SetEvent(in_repaint);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
};

TEST_F(ComLinkTest, CloseServesThePaintTheReaderWaitsFor) {
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

    ComLink link(PaintProbe::repaint);
    ASSERT_EQ(link.com_open(*port_), LinkResult::ok);
    ASSERT_TRUE(link.com_start_reader());
    ASSERT_TRUE(peer_->write({0x89}));
    // The reader is now inside the repaint, waiting for this thread, which
    // has not looked at its messages since.
    ASSERT_EQ(WaitForSingleObject(PaintProbe::in_repaint, 3000), WAIT_OBJECT_0);
    const auto start = TestClock::now();
    link.com_close();
    EXPECT_LT(elapsed_ms(start), 2000);
    EXPECT_GE(PaintProbe::paints.load(), 1);
    EXPECT_FALSE(link.reader_running());

    DestroyWindow(PaintProbe::window);
    CloseHandle(PaintProbe::in_repaint);
}

// Asks with_com_ports.sh for something by creating `request`; true once the
// script has done it and deleted the file.
bool ask_script(const std::string& request) {
    HANDLE ask = CreateFileA(request.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (ask == INVALID_HANDLE_VALUE) return false;
    CloseHandle(ask);
    return eventually(
        5000, [&] { return GetFileAttributesA(request.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

double cpu_time_ms(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return -1.0;
    auto ticks = [](FILETIME t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return double(ticks(kernel) + ticks(user)) / 10000.0;
}

// The adapter is pulled: the link is lost, its reader does not spin, keys
// are dropped at once, and a lost link that is closed stops at once and
// stays closed; plugged back under the same name, the link opens the port
// again by itself, configured as at first, and bytes flow both ways.
TEST_F(ComLinkTest, VanishedPortIsLostWithoutSpinningAndRelinkedWhenItReturns) {
    const auto port = port_from("ZEZ_TEST_VANISH_PORT");
    const auto request = environment("ZEZ_TEST_VANISH_REQUEST");
    const auto comeback = environment("ZEZ_TEST_VANISH_RETURN");
    const auto far_end = environment("ZEZ_TEST_VANISH_PEER");
    if (!port || !request || !comeback || !far_end)
        GTEST_SKIP() << "no vanishing pair (run through with_com_ports.sh)";
    ASSERT_EQ(link_.com_open(*port), LinkResult::ok);
    ASSERT_EQ(link_.link_state(), LinkState::linked);
    // A second link on the same port (ports are not exclusive here), to be
    // closed while lost.
    ComLink closed_while_lost([](std::span<const uint8_t>) {});
    ASSERT_EQ(closed_while_lost.com_open(*port), LinkResult::ok);
    ASSERT_TRUE(closed_while_lost.com_start_reader());
    ASSERT_TRUE(ask_script(*request)) << "the pair was not ended";

    // Reads on the port now fail at once instead of timing out.
    uint8_t byte = 0;
    const auto start = TestClock::now();
    EXPECT_EQ(link_.com_read(&byte, 1), 0);
    ASSERT_LT(elapsed_ms(start), 150);

    ASSERT_TRUE(link_.com_start_reader());
    EXPECT_TRUE(eventually(1000, [&] { return link_.link_state() == LinkState::lost; }));
    EXPECT_EQ(link_.port_handle(), nullptr);
    const auto sending = TestClock::now();
    EXPECT_EQ(link_.com_send_byte(0x41), 0);
    EXPECT_LT(elapsed_ms(sending), 100);

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

    const double before = cpu_time_ms(link_.reader_thread());
    ASSERT_GE(before, 0.0);
    Sleep(1000);
    const double used = cpu_time_ms(link_.reader_thread()) - before;
    EXPECT_LT(used, 50.0) << "reader used " << used << " ms of CPU in one second";
    EXPECT_EQ(link_.link_state(), LinkState::lost);

    ASSERT_EQ(closed_while_lost.link_state(), LinkState::lost);
    const auto closing_lost = TestClock::now();
    closed_while_lost.com_close();
    EXPECT_LT(elapsed_ms(closing_lost), 500);
    EXPECT_EQ(closed_while_lost.reader_thread(), nullptr);
    EXPECT_EQ(closed_while_lost.link_state(), LinkState::closed);

    ASSERT_TRUE(ask_script(*comeback)) << "the pair was not made again";
    const auto returned = TestClock::now();
    ASSERT_TRUE(eventually(2000, [&] { return link_.link_state() == LinkState::linked; }));
    EXPECT_LT(elapsed_ms(returned), 2000);
    ASSERT_NE(link_.port_handle(), nullptr);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(link_.port_handle(), &dcb));
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.ByteSize, 8);
    COMMTIMEOUTS timeouts{};
    ASSERT_TRUE(GetCommTimeouts(link_.port_handle(), &timeouts));
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 250u);

    Peer peer(*far_end);
    ASSERT_TRUE(peer.ok());
    ASSERT_TRUE(peer.write({0x8E, 'R'}));
    EXPECT_TRUE(eventually(2000, [&] { return received() == std::vector<uint8_t>{0x8E, 'R'}; }));
    EXPECT_EQ(link_.com_send_byte(0x5A), 1);
    EXPECT_EQ(peer.read(1000, 1), std::vector<uint8_t>{0x5A});
    // The link that was closed while lost did not come back with the port.
    EXPECT_EQ(closed_while_lost.link_state(), LinkState::closed);
    EXPECT_EQ(closed_while_lost.port_handle(), nullptr);

    const auto closing = TestClock::now();
    link_.com_close();
    EXPECT_LT(elapsed_ms(closing), 500);
    EXPECT_EQ(link_.link_state(), LinkState::closed);
}

TEST_F(ComLinkTest, WriteThatNeverGoesThroughIsGivenUp) {
    REQUIRE_MAIN_PAIR();
    ASSERT_EQ(link_.com_open(*port_), LinkResult::ok);
    // The far end reads nothing, so the line's buffers fill up and a write
    // stays pending, as it does when the device holds the handshake line.
    const std::vector<uint8_t> flood(1 << 20, 0x55);
    auto start = TestClock::now();
    EXPECT_EQ(link_.com_write(flood.data(), uint32_t(flood.size())), 0);
    EXPECT_LT(elapsed_ms(start), 2000);

    // What the line still takes in after the flood was given up goes by
    // single bytes, until one waits in vain.
    long long waited = -1;
    for (int n = 0; n < 100000 && waited < 0; ++n) {
        start = TestClock::now();
        if (link_.com_send_byte(0x41) == 0) waited = elapsed_ms(start);
    }
    EXPECT_GE(waited, 300);
    EXPECT_LT(waited, 2000);
    link_.com_close();
    peer_->drain();
}

}  // namespace
