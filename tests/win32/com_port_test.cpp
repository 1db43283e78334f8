// The COM port transport under the link policy, against pseudo-terminal
// pairs that Wine shows as COM ports (set up by with_com_ports.sh), driven
// by this test's own loop as the program's message loop drives it: the
// line's settings and the failures of opening, the settle's bytes dropped
// and later ones handed on in order and in batches, keys that never hold the
// caller on a line nobody reads, closing while a read is pending, and a port
// whose other end vanished and came back. Tests whose ports are not given
// are skipped.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/com_link.h"
#include "link/com_port_win32.h"
#include "link/link_policy.h"
#include "link/polled_link.h"
#include "link/port_list_win32.h"
#include "tests/win32/com_pair.h"

namespace {

class ComPortTest : public ::testing::Test {
protected:
    // The main pair, or a skip when the script did not provide it.
    bool main_pair() {
        const auto pair = main_pair_from_environment();
        if (!pair) return false;
        port_ = pair->port;
        peer_.emplace(pair->peer_path);
        return peer_->ok();
    }

    std::unique_ptr<PolledLink> link_on(uint8_t port) {
        LinkEvents events;
        events.received = [this](std::span<const uint8_t> bytes) {
            received_.insert(received_.end(), bytes.begin(), bytes.end());
            ++batches_;
        };
        events.dropped = [this](std::span<const uint8_t> bytes) {
            dropped_.insert(dropped_.end(), bytes.begin(), bytes.end());
        };
        events.wake = [this] { ++wakes_; };
        return std::make_unique<PolledLink>(
            com_port_name(port), [port, this] { return open_com_port(port, [this] { ++wakes_; }); },
            std::move(events));
    }

    std::vector<uint8_t> received_;
    std::vector<uint8_t> dropped_;
    size_t batches_ = 0;
    std::atomic<int> wakes_{0};
    std::optional<uint8_t> port_;
    std::optional<Peer> peer_;
};

#define REQUIRE_MAIN_PAIR()                                                                   \
    do {                                                                                      \
        if (!main_pair()) GTEST_SKIP() << "no COM port pair (run through with_com_ports.sh)"; \
    } while (0)

TEST_F(ComPortTest, OpeningFailuresAndTheLinesSettings) {
    EXPECT_EQ(open_com_port(0, nullptr).result, LinkResult::not_found);
    EXPECT_EQ(open_com_port(251, nullptr).result, LinkResult::not_found);
    EXPECT_FALSE(com_port_present(251));
    if (const auto file = port_from("ZEZ_TEST_FILE_PORT")) {
        // An ordinary file has no line settings; the second attempt would
        // meet the first handle's exclusive hold had the first kept it.
        EXPECT_EQ(open_com_port(*file, nullptr).result, LinkResult::cannot_read_settings);
        EXPECT_EQ(open_com_port(*file, nullptr).result, LinkResult::cannot_read_settings);
    }
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
        dcb.fOutX = 1;
        ASSERT_TRUE(SetCommState(other, &dcb));
        CloseHandle(other);
    }
    TransportOpen opened = open_com_port(*port_, nullptr);
    ASSERT_EQ(opened.result, LinkResult::ok);
    // An open port is still offered by the port list.
    EXPECT_TRUE(com_port_present(*port_));
    opened.transport.reset();
    HANDLE again = CreateFileA(com_port_name(*port_).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(again, INVALID_HANDLE_VALUE) << "the closed port was not released";
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(again, &dcb));
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fOutX, 0u);
    CloseHandle(again);
}

TEST_F(ComPortTest, SettleBytesAreDroppedAndLaterOnesArriveInOrderInBatches) {
    REQUIRE_MAIN_PAIR();
    const auto link = link_on(*port_);
    ASSERT_EQ(link->open(), LinkResult::ok);
    ASSERT_TRUE(peer_->write({0x11, 0x22}));  // while the link settles
    ASSERT_TRUE(serve_until(*link, 2000, [&] { return dropped_.size() >= 2; }));
    EXPECT_EQ(dropped_, (std::vector<uint8_t>{0x11, 0x22}));
    serve_for(*link, static_cast<DWORD>(link_policy::settle.count()) + 100);

    const std::vector<uint8_t> sent = {0x89, 0x00, 0xFF, 0x8E, 'A'};
    ASSERT_TRUE(peer_->write(sent));
    ASSERT_TRUE(serve_until(*link, 2000, [&] { return received_.size() >= sent.size(); }));
    EXPECT_EQ(received_, sent);
    EXPECT_GT(wakes_.load(), 0) << "the reader wakes its owner";

    // A burst larger than a batch: all of it in order, in far fewer
    // batches than bytes.
    std::vector<uint8_t> burst(20000);
    for (size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<uint8_t>(i % 251);
    const size_t before = batches_;
    ASSERT_TRUE(peer_->write(burst));
    ASSERT_TRUE(
        serve_until(*link, 5000, [&] { return received_.size() >= sent.size() + burst.size(); }));
    EXPECT_EQ(std::vector<uint8_t>(received_.begin() + sent.size(), received_.end()), burst);
    EXPECT_LT(batches_ - before, burst.size() / 10);

    ASSERT_TRUE(link->send(std::array<uint8_t, 3>{'@', 0xD1, 0xF7}));
    serve_for(*link, 200);
    EXPECT_EQ(peer_->read(1000, 3), (std::vector<uint8_t>{'@', 0xD1, 0xF7}));
    // The reader's read is pending; closing ends it at once.
    const auto closing = TestClock::now();
    link->close();
    EXPECT_LT(elapsed_ms(closing), 200);
}

// A line whose far end nobody reads, flooded with key codes. No send waits
// for the line, whatever the line does with them (Wine's pseudo-terminals
// take everything; a real port whose device holds the handshake line keeps
// a write in flight, and the policy drops what waits past the key write
// limit), and bytes from the device still arrive meanwhile.
TEST_F(ComPortTest, KeysNeverHoldTheCallerOnALineNobodyReads) {
    REQUIRE_MAIN_PAIR();
    const auto link = link_on(*port_);
    ASSERT_EQ(link->open(), LinkResult::ok);
    const std::vector<uint8_t> flood(4096, 0x55);
    long long slowest = 0;
    for (int n = 0; n < 200; ++n) {
        const auto sending = TestClock::now();
        ASSERT_TRUE(link->send(flood));
        link->service(LinkClock::now());
        slowest = std::max(slowest, elapsed_ms(sending));
    }
    EXPECT_LT(slowest, 100) << "a send waited for the line";
    serve_for(*link, static_cast<DWORD>(link_policy::key_write_limit.count()) + 100);
    EXPECT_FALSE(link->watch().write) << "codes still wait past the key write limit";
    EXPECT_EQ(link->state(), LinkState::linked);
    ASSERT_TRUE(peer_->write({0x8E, 'D'}));
    EXPECT_TRUE(serve_until(*link, 2000, [&] { return received_.size() >= 2; }));
    link->close();
    peer_->drain();
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

double process_cpu_ms() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1.0;
    auto ticks = [](FILETIME t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return double(ticks(kernel) + ticks(user)) / 10000.0;
}

// The adapter is pulled: the link is lost with the port's reason, keys go
// nowhere, nothing spins while it retries; plugged back under the same
// name, the link opens the port again by itself and bytes flow both ways.
TEST_F(ComPortTest, VanishedPortIsLostWithoutSpinningAndRelinkedWhenItReturns) {
    const auto port = port_from("ZEZ_TEST_VANISH_PORT");
    const auto request = environment("ZEZ_TEST_VANISH_REQUEST");
    const auto comeback = environment("ZEZ_TEST_VANISH_RETURN");
    const auto far_end = environment("ZEZ_TEST_VANISH_PEER");
    if (!port || !request || !comeback || !far_end)
        GTEST_SKIP() << "no vanishing pair (run through with_com_ports.sh)";
    std::vector<LinkState> changes;
    LinkEvents events;
    events.received = [this](std::span<const uint8_t> bytes) {
        received_.insert(received_.end(), bytes.begin(), bytes.end());
    };
    events.state_changed = [&](LinkState state) { changes.push_back(state); };
    PolledLink link(
        "vanishing", [&] { return open_com_port(*port, nullptr); }, std::move(events));
    ASSERT_EQ(link.open(), LinkResult::ok);
    ASSERT_TRUE(ask_script(*request)) << "the pair was not ended";
    ASSERT_TRUE(serve_until(link, 2000, [&] { return link.state() == LinkState::lost; }));
    EXPECT_EQ(link.failure(), LinkResult::not_found);
    EXPECT_FALSE(link.send(std::array<uint8_t, 1>{0x41}));

    const double before = process_cpu_ms();
    serve_for(link, 1500);
    EXPECT_LT(process_cpu_ms() - before, 300.0) << "the lost link spins";
    EXPECT_EQ(link.state(), LinkState::lost);

    ASSERT_TRUE(ask_script(*comeback)) << "the pair was not made again";
    ASSERT_TRUE(serve_until(link, 3000, [&] { return link.state() == LinkState::linked; }));
    EXPECT_EQ(changes, (std::vector<LinkState>{LinkState::lost, LinkState::linked}));
    serve_for(link, static_cast<DWORD>(link_policy::settle.count()) + 100);
    Peer peer(*far_end);
    ASSERT_TRUE(peer.ok());
    ASSERT_TRUE(peer.write({0x8E, 'R'}));
    EXPECT_TRUE(serve_until(link, 2000, [&] { return received_.size() >= 2; }));
    EXPECT_EQ(received_, (std::vector<uint8_t>{0x8E, 'R'}));
    ASSERT_TRUE(link.send(std::array<uint8_t, 1>{0x5A}));
    EXPECT_EQ(peer.read(1000, 1), std::vector<uint8_t>{0x5A});
    link.close();
    EXPECT_EQ(link.state(), LinkState::closed);
}

}  // namespace
