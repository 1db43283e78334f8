// The link seam: the loop-driven policy over a transport made for the test
// (settle, loss and relink, the key queue), target strings, the demo link's
// time, the panel's clock, and the POSIX terminal transport on pseudo-terminals: a port let go
// is free again and keeps the settings it had, as an ordinary user, whom
// the exclusive mark binds; a line nobody reads never holds a key.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "link/link_policy.h"
#include "link/polled_link.h"
#include "link/target.h"
#include "link/tty_port_posix.h"
#include "panel/remote_panel.h"

namespace {

using namespace std::chrono_literals;

// What the test's transports share with the test: bytes waiting to be read,
// the room the line has, what went out, and whether the far end is there.
struct Line {
    std::deque<uint8_t> incoming;
    size_t room = 1000;
    std::vector<uint8_t> sent;
    bool present = true;
    bool hung_up = false;
    int opens = 0;
};

class TestTransport final : public Transport {
public:
    explicit TestTransport(Line& line) : line_(line) {}
    int fd() const override { return 99; }
    TransportIo read(std::span<uint8_t> buffer) override {
        size_t count = 0;
        while (count < buffer.size() && !line_.incoming.empty()) {
            buffer[count++] = line_.incoming.front();
            line_.incoming.pop_front();
        }
        return {count, count == 0 && line_.hung_up};
    }
    TransportIo write(std::span<const uint8_t> bytes) override {
        if (line_.hung_up) return {0, true};
        const size_t count = std::min(bytes.size(), line_.room);
        line_.room -= count;
        line_.sent.insert(line_.sent.end(), bytes.begin(), bytes.begin() + count);
        return {count, false};
    }

private:
    Line& line_;
};

class PolledLinkTest : public ::testing::Test {
protected:
    PolledLinkTest()
        : link_(
              "test", [this] { return open(); },
              LinkEvents{[this](auto bytes) {
                             received_.insert(received_.end(), bytes.begin(), bytes.end());
                         },
                         [this](auto bytes) {
                             dropped_.insert(dropped_.end(), bytes.begin(), bytes.end());
                         },
                         [this](LinkState state) { changes_.push_back(state); },
                         {}}) {}

    TransportOpen open() {
        ++line_.opens;
        if (!line_.present) return {LinkResult::not_found, nullptr};
        line_.hung_up = false;
        return {LinkResult::ok, std::make_unique<TestTransport>(line_)};
    }
    void arrive(std::initializer_list<uint8_t> bytes) {
        line_.incoming.insert(line_.incoming.end(), bytes);
    }

    Line line_;
    std::vector<uint8_t> received_;
    std::vector<uint8_t> dropped_;
    std::vector<LinkState> changes_;
    PolledLink link_;
};

TEST_F(PolledLinkTest, BytesOfTheSettleAreDroppedAndLaterOnesHandedOnInOrder) {
    const auto start = LinkClock::now();
    ASSERT_EQ(link_.open(), LinkResult::ok);
    EXPECT_EQ(link_.state(), LinkState::linked);
    arrive({1, 2});
    link_.service(start);
    arrive({3, 4, 5});
    link_.service(start + link_policy::settle + 1ms);
    EXPECT_EQ(dropped_, (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(received_, (std::vector<uint8_t>{3, 4, 5}));
    EXPECT_TRUE(changes_.empty()) << "open() itself reports nothing";
}

TEST_F(PolledLinkTest, AHangUpIsLostAndTheTargetIsTriedEveryRetryUntilItIsBack) {
    ASSERT_EQ(link_.open(), LinkResult::ok);
    const auto t = LinkClock::now() + 1s;
    line_.hung_up = true;
    line_.present = false;
    link_.service(t);
    EXPECT_EQ(link_.state(), LinkState::lost);
    ASSERT_TRUE(link_.watch().wake);
    EXPECT_EQ(*link_.watch().wake, t + link_policy::retry);
    EXPECT_EQ(link_.watch().fd, -1) << "a lost link's descriptor is closed";
    EXPECT_FALSE(link_.send(std::array<uint8_t, 1>{0x41})) << "no keys while lost";

    link_.service(t + link_policy::retry - 1ms);  // too early: no attempt
    EXPECT_EQ(line_.opens, 1);
    link_.service(t + link_policy::retry);  // still gone: the next try is one period on
    EXPECT_EQ(line_.opens, 2);
    EXPECT_EQ(*link_.watch().wake, t + 2 * link_policy::retry);

    line_.present = true;
    const auto back = t + 2 * link_policy::retry;
    link_.service(back);
    EXPECT_EQ(link_.state(), LinkState::linked);
    EXPECT_EQ(changes_, (std::vector<LinkState>{LinkState::lost, LinkState::linked}));
    // The relink settles like the first opening.
    arrive({7});
    link_.service(back + 1ms);
    arrive({8});
    link_.service(back + link_policy::settle + 1ms);
    EXPECT_EQ(dropped_, (std::vector<uint8_t>{7}));
    EXPECT_EQ(received_, (std::vector<uint8_t>{8}));

    link_.close();
    EXPECT_EQ(link_.state(), LinkState::closed);
    EXPECT_FALSE(link_.watch().wake) << "a closed link retries nothing";
}

TEST_F(PolledLinkTest, KeysNeverWaitForTheLineAndThoseItDoesNotTakeInTimeAreDropped) {
    ASSERT_EQ(link_.open(), LinkResult::ok);
    line_.room = 1;
    EXPECT_TRUE(link_.send(std::array<uint8_t, 3>{0x41, 0x42, 0x43}));
    EXPECT_EQ(line_.sent, (std::vector<uint8_t>{0x41}));
    const LinkWatch waiting = link_.watch();
    EXPECT_TRUE(waiting.write) << "the rest waits for room, watched by the owner";
    ASSERT_TRUE(waiting.wake);

    line_.room = 1;  // room for one more, before the limit
    link_.service(LinkClock::now());
    EXPECT_EQ(line_.sent, (std::vector<uint8_t>{0x41, 0x42}));
    line_.room = 10;  // room only after the limit: the last key is gone
    link_.service(*waiting.wake + 1ms);
    EXPECT_EQ(line_.sent, (std::vector<uint8_t>{0x41, 0x42}));
    EXPECT_FALSE(link_.watch().write);
    EXPECT_TRUE(link_.send(std::array<uint8_t, 1>{0x44}));
    EXPECT_EQ(line_.sent.back(), 0x44);
}

TEST(Targets, PathsComPortsAndTheDemo) {
    EXPECT_EQ(parse_target("/dev/ttyUSB0")->kind, TargetKind::device);
    EXPECT_EQ(parse_target("./COM5")->path, "./COM5");
    EXPECT_EQ(parse_target("COM5")->com_port, 5);
    EXPECT_EQ(parse_target("com255")->com_port, 255);
    EXPECT_EQ(parse_target("\\\\.\\COM12")->com_port, 12);
    EXPECT_EQ(parse_target("demo")->kind, TargetKind::demo);
    EXPECT_EQ(parse_target("COM256")->kind, TargetKind::device);  // no such port: a path
    EXPECT_FALSE(parse_target(""));
    EXPECT_FALSE(parse_target("ftp://host/x"));
}

TEST(DemoTarget, AnswersKeysAtOnceAndRunsOnTheTimeItIsGiven) {
    RemotePanel panel;
    ASSERT_TRUE(panel.start());
    std::vector<PanelEventKind> kinds;
    panel.set_tap([&](const PanelEvent& event) { kinds.push_back(event.kind); });
    ASSERT_EQ(panel.open("demo"), LinkResult::ok);
    EXPECT_EQ(panel.target(), "demo");
    const auto start = LinkClock::now();
    panel.service(start + 2500ms);  // past the start-up screen
    EXPECT_EQ(panel.screen()->text[1].substr(0, 8), "> Name: ") << panel.screen()->text[1];
    ASSERT_TRUE(panel.send(0xE3));  // down arrow: the marker moves at once
    EXPECT_EQ(panel.screen()->text[2].substr(0, 11), "> Calibrate") << panel.screen()->text[2];
    panel.close();
    EXPECT_EQ(kinds.front(), PanelEventKind::received);
    EXPECT_EQ(kinds.back(), PanelEventKind::link);
}

// A link that plays the display's ticks itself, as a recording played back.
class TickPlayer final : public Link {
public:
    LinkResult open() override {
        state_ = LinkState::linked;
        return LinkResult::ok;
    }
    void close() override { state_ = LinkState::closed; }
    bool send(std::span<const uint8_t>) override { return false; }
    LinkState state() const override { return state_; }
    const std::string& target() const override { return target_; }
    bool plays_ticks() const override { return true; }

private:
    LinkState state_ = LinkState::closed;
    std::string target_ = "recording";
};

// The panel's clock: its next tick is in the watch, service() ticks once it
// is due, a late tick keeps the schedule and one a whole period late or
// more is one tick with the schedule going on from then; a link that plays
// ticks stops the clock for as long as it is there.
TEST(PanelClock, TicksWhenDueWithoutMakingUpLateOnes) {
    RemotePanel panel;
    const auto t0 = LinkClock::now();
    ASSERT_TRUE(panel.start(t0));
    int ticks = 0;
    panel.set_tap([&](const PanelEvent& event) { ticks += event.kind == PanelEventKind::tick; });
    ASSERT_TRUE(panel.watch().wake);
    EXPECT_EQ(*panel.watch().wake, t0 + RemotePanel::tick_period);
    panel.service(t0 + 99ms);
    EXPECT_EQ(ticks, 0);
    panel.service(t0 + 130ms);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(panel.next_tick(), t0 + 200ms);
    panel.service(t0 + 1000ms);  // eight periods late: one tick
    EXPECT_EQ(ticks, 2);
    EXPECT_EQ(panel.next_tick(), t0 + 1100ms);

    ASSERT_EQ(panel.open([](LinkEvents) {
        return MadeLink{LinkResult::ok, std::make_unique<TickPlayer>()};
    }),
              LinkResult::ok);
    EXPECT_FALSE(panel.next_tick());
    EXPECT_FALSE(panel.watch().wake);
    panel.service(t0 + 5s);
    EXPECT_EQ(ticks, 2);
    panel.close();
    ASSERT_TRUE(panel.next_tick());
    panel.service(t0 + 6s);
    EXPECT_EQ(ticks, 3);
}

// ---- The POSIX terminal transport on pseudo-terminals

struct Pty {
    int device = -1;  // the far end, held by the test
    std::string path;
    Pty() {
        int program = -1;
        std::array<char, 128> name{};
        if (openpty(&device, &program, name.data(), nullptr, nullptr) != 0) return;
        path = name.data();
        ::close(program);
        ::chmod(path.c_str(), 0666);  // an ordinary user may open it
    }
    ~Pty() {
        if (device >= 0) ::close(device);
    }
};

// Runs `body` in a child process as an ordinary user (when the test runs as
// root, which the exclusive mark does not bind); its exit status 0 passes.
template <class Body>
void as_ordinary_user(Body body) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(90);
        _exit(body());
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "failed check number " << WEXITSTATUS(status);
}

TEST(TtyPort, APortLetGoIsFreeAgainAndKeepsItsSettings) {
    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    as_ordinary_user([&]() -> int {
        const int watcher = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY);
        if (watcher < 0) return 1;
        termios before{};
        tcgetattr(watcher, &before);
        {
            TransportOpen first = open_tty_port(pty.path);
            if (first.result != LinkResult::ok) return 2;
            if (open_tty_port(pty.path).result != LinkResult::busy) return 3;  // held while open
            termios raw{};
            tcgetattr(watcher, &raw);
            if ((raw.c_lflag & ICANON) != 0 || cfgetospeed(&raw) != B19200) return 4;
        }
        termios after{};
        tcgetattr(watcher, &after);
        if (after.c_iflag != before.c_iflag || after.c_oflag != before.c_oflag ||
            after.c_cflag != before.c_cflag || after.c_lflag != before.c_lflag ||
            cfgetospeed(&after) != cfgetospeed(&before))
            return 5;
        ::close(watcher);
        // Let go, the port opens again, for this program or the next.
        if (open_tty_port(pty.path).result != LinkResult::ok) return 6;
        if (open_tty_port(pty.path).result != LinkResult::ok) return 7;
        return 0;
    });
}

TEST(TtyPort, WhatIsNoSerialPortIsSaidSo) {
    const std::filesystem::path dir = testing::TempDir() + "/link_test_paths";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::filesystem::create_symlink(dir / "loop", dir / "loop");
    EXPECT_EQ(open_tty_port(dir.string()).result, LinkResult::not_a_serial_port);
    EXPECT_EQ(open_tty_port((dir / "loop").string()).result, LinkResult::not_a_serial_port);
    EXPECT_EQ(open_tty_port((dir / "missing").string()).result, LinkResult::not_found);
    EXPECT_EQ(open_tty_port("/dev/null").result, LinkResult::not_a_serial_port);
    std::filesystem::remove_all(dir);
}

TEST(TtyPort, ALineNobodyReadsNeverHoldsAKey) {
    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    as_ordinary_user([&]() -> int {
        // A descriptor taken before the link's exclusive open fills the line
        // afterwards: the far end reads nothing.
        const int raw = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (raw < 0) return 1;
        RemotePanel panel;
        if (!panel.start() || panel.open(pty.path) != LinkResult::ok) return 2;
        // The terminal moves its buffers on a little later: fill until it stays full.
        std::array<uint8_t, 4096> block{};
        for (int round = 0; round < 10; ++round) {
            while (::write(raw, block.data(), block.size()) > 0) {
            }
            usleep(10000);
        }
        ::close(raw);
        for (int k = 0; k < 20; ++k) {
            if (!panel.send(0x41)) return 3;  // queued, not waited for
        }
        if (!panel.watch().write) return 4;
        // Past the limit the keys are given up, and the line no longer
        // watched for them.
        panel.service(LinkClock::now() + link_policy::key_write_limit + 10ms);
        if (panel.watch().write) return 5;
        return panel.link_state() == LinkState::linked ? 0 : 6;
    });
}

}  // namespace
