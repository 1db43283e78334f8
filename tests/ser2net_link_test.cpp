// A remote panel linked through the real ser2net, for both URL forms: the
// test starts socat's pseudo-terminal pair, plays the device on one end and
// lets ser2net serve the other on a loopback port (telnet with the
// COM-PORT-OPTION for rfc2217://, raw TCP for socket://). Checked: the
// screen equals the screen of a panel fed the same stream directly (0xFF
// among the arguments included), key codes come back byte for byte, and
// after ser2net is killed the link is lost and back within 2 s of a new
// ser2net. Skipped where socat or ser2net is not installed.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "link/link_policy.h"
#include "panel/remote_panel.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

// A program started for the test, killed with it.
class Child {
public:
    explicit Child(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (::posix_spawnp(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
    }
    ~Child() { stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

bool installed(const char* program) {
    for (const char* folder : {"/usr/bin/", "/usr/sbin/", "/usr/local/bin/", "/bin/", "/sbin/"}) {
        if (::access((std::string(folder) + program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

uint16_t free_loopback_port() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

bool accepts(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// A reset, a custom character whose rows are 0xFF, and rows of text with
// that character and with 0xFF among the characters.
const Bytes test_stream = [] {
    Bytes bytes = {0x87, 0xA5, 0x01, 0xFF, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x1F, 0x8C, 0x02};
    const std::string row = "ser2net row 2 \x01\xff!  ";
    bytes.insert(bytes.end(), row.begin(), row.end());
    bytes.insert(bytes.end(), {0x8C, 0x03, 0xFF, 0xFF});
    const std::string tail = "after two 0xFF   ";
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}();

class Ser2netLink : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (!installed("socat") || !installed("ser2net"))
            GTEST_SKIP() << "socat or ser2net missing";
        char folder[] = "/tmp/zez-ser2net-XXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        folder_ = folder;
        device_path_ = folder_ + "/device";
        served_path_ = folder_ + "/served";
        socat_ = std::make_unique<Child>(
            std::vector<std::string>{"socat", "pty,link=" + device_path_ + ",raw,echo=0",
                                     "pty,link=" + served_path_ + ",raw,echo=0"});
        ASSERT_TRUE(wait_until(
            [&] {
                return std::filesystem::exists(device_path_) &&
                       std::filesystem::exists(served_path_);
            },
            5s));
        device_ = ::open(device_path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(device_, 0);
        port_ = free_loopback_port();
        start_ser2net();
        panel_ = std::make_unique<RemotePanel>();
        ASSERT_TRUE(panel_->start());
    }
    void TearDown() override {
        panel_.reset();
        ser2net_.reset();
        socat_.reset();
        if (device_ >= 0) ::close(device_);
        if (!folder_.empty()) std::filesystem::remove_all(folder_);
    }

    void start_ser2net() {
        const bool telnet = std::string(GetParam()) == "rfc2217";
        const std::string config =
            std::string("connection: &zez#  accepter: ") + (telnet ? "telnet(rfc2217)," : "") +
            "tcp,127.0.0.1," + std::to_string(port_) + "#  connector: serialdev(nouucplock=true)," +
            served_path_ + ",19200n81,local";
        ser2net_ = std::make_unique<Child>(std::vector<std::string>{"ser2net", "-n", "-Y", config});
        ASSERT_TRUE(wait_until([&] { return accepts(port_); }, 5s));
    }
    std::string url() const {
        return std::string(GetParam()) + "://127.0.0.1:" + std::to_string(port_);
    }

    // Drives the panel's link as the window's loop does, until `done`.
    bool run_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto end = LinkClock::now() + limit;
        while (!done()) {
            const LinkClock::time_point now = LinkClock::now();
            if (now >= end) return false;
            const LinkWatch watch = panel_->watch();
            LinkClock::time_point until = std::min(end, now + 20ms);
            if (watch.wake) until = std::min(until, *watch.wake);
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
            pollfd pfd{watch.fd,
                       static_cast<short>((watch.read ? POLLIN : 0) | (watch.write ? POLLOUT : 0)),
                       0};
            ::poll(&pfd, watch.fd >= 0 ? 1 : 0, static_cast<int>(std::max<long>(wait, 0)));
            panel_->service(LinkClock::now());
        }
        return true;
    }
    bool linked() const { return panel_->link_state() == LinkState::linked; }
    void device_sends(const Bytes& bytes) const {
        ASSERT_EQ(::write(device_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    Bytes device_reads(size_t count) {
        Bytes got;
        run_until(
            [&] {
                uint8_t buffer[256];
                const ssize_t n = ::read(device_, buffer, sizeof buffer);
                if (n > 0) got.insert(got.end(), buffer, buffer + n);
                return got.size() >= count;
            },
            2s);
        return got;
    }
    // The screen once the stream is shown, against a panel fed it directly.
    void expect_stream_shown() {
        RemotePanel offline;
        ASSERT_TRUE(offline.start());
        offline.feed(test_stream);
        const ScreenSnapshot expected = *offline.screen();
        device_sends(test_stream);
        EXPECT_TRUE(run_until([&] { return *panel_->screen() == expected; }, 2s))
            << panel_->screen()->text[1] << "|" << panel_->screen()->text[2];
    }

    std::string folder_, device_path_, served_path_;
    std::unique_ptr<Child> socat_, ser2net_;
    std::unique_ptr<RemotePanel> panel_;
    int device_ = -1;
    uint16_t port_ = 0;
};

TEST_P(Ser2netLink, ShowsTheDeviceSendsKeysAndRelinksAfterARestart) {
    ASSERT_EQ(panel_->open(url()), LinkResult::ok);
    ASSERT_TRUE(run_until([&] { return linked(); }, 3s));
    run_until([] { return false; }, link_policy::settle + 100ms);
    expect_stream_shown();

    const Bytes codes = {0x41, 0xFF, 0xF6, 0x0D, 0x00};
    ASSERT_TRUE(panel_->send(codes));
    EXPECT_EQ(device_reads(codes.size()), codes);

    ser2net_->stop();
    ASSERT_TRUE(run_until([&] { return panel_->link_state() == LinkState::lost; }, 2s));
    EXPECT_EQ(panel_->link_failure(), LinkResult::server_closed);
    ASSERT_TRUE(run_until([&] { return panel_->link_failure() == LinkResult::refused; }, 2s));
    start_ser2net();
    const auto back = LinkClock::now();
    ASSERT_TRUE(run_until([&] { return linked(); }, 3s));
    EXPECT_LT(LinkClock::now() - back, 2s);
    run_until([] { return false; }, link_policy::settle + 100ms);
    panel_->feed(Bytes{0x87});  // a fresh screen, so that the stream shows anew
    expect_stream_shown();
}

INSTANTIATE_TEST_SUITE_P(BothUrlForms, Ser2netLink, ::testing::Values("rfc2217", "socket"));

}  // namespace
