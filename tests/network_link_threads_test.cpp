// Network links against servers written to misbehave: no acknowledgements
// (or wrong ones), 0xFF both ways, subnegotiations split across reads, an
// endless subnegotiation, a close in the middle of one, a server that turns
// the client away, a refused port, a server that accepts and says nothing;
// and the target strings of the URL forms. Each server is a thread on a
// loopback port playing a script to each connection it accepts; the link is
// driven by a poll loop as the programs drive it. A host name is looked up
// on a thread of its own, so these tests also run under ThreadSanitizer.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/link_policy.h"
#include "link/net_port_posix.h"
#include "link/polled_link.h"
#include "link/target.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

Bytes hex(const std::string& text) {
    Bytes bytes;
    for (size_t k = 0; k + 1 < text.size();) {
        if (text[k] == ' ') {
            ++k;
            continue;
        }
        bytes.push_back(static_cast<uint8_t>(std::stoi(text.substr(k, 2), nullptr, 16)));
        k += 2;
    }
    return bytes;
}

bool contains(const Bytes& haystack, const Bytes& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
           haystack.end();
}

// A listening socket on a free loopback port.
int listen_on_loopback(uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

// One accepted connection as the script sees it.
class Peer {
public:
    Peer(int fd, std::mutex& mutex, Bytes& heard) : fd_(fd), mutex_(mutex), heard_(heard) {}
    void send(const Bytes& bytes) const { (void)!::write(fd_, bytes.data(), bytes.size()); }
    // Reads what comes for `time`; false once the client has closed.
    bool listen(std::chrono::milliseconds time) const {
        const auto end = std::chrono::steady_clock::now() + time;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left <= 0ms) return true;
            pollfd pfd{fd_, POLLIN, 0};
            if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) continue;
            uint8_t buffer[4096];
            const ssize_t got = ::read(fd_, buffer, sizeof buffer);
            if (got <= 0) return false;
            const std::lock_guard<std::mutex> lock(mutex_);
            heard_.insert(heard_.end(), buffer, buffer + got);
        }
    }

private:
    int fd_;
    std::mutex& mutex_;
    Bytes& heard_;
};

// A server playing `script` to each connection in turn; the connection
// closes when the script returns.
class ScriptServer {
public:
    using Script = std::function<void(const Peer&, int connection)>;
    explicit ScriptServer(Script script) : script_(std::move(script)) {
        listener_ = listen_on_loopback(port_);
        thread_ = std::thread([this] { serve(); });
    }
    ~ScriptServer() {
        stop_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
    }
    std::string url(const char* scheme) const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
    }
    Bytes heard() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return heard_;
    }

private:
    void serve() {
        for (int connection = 0; !stop_; ++connection) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) return;
            script_(Peer(fd, mutex_, heard_), connection);
            ::close(fd);
        }
    }

    Script script_;
    uint16_t port_ = 0;
    int listener_ = -1;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    Bytes heard_;
    std::thread thread_;
};

// A link as the programs hold one, with what it hands on and logs.
struct Client {
    Bytes received;
    Bytes dropped;
    std::vector<std::string> log;
    std::unique_ptr<PolledLink> link;

    explicit Client(const std::string& url) {
        const Target target = *parse_target(url);
        LinkEvents events;
        events.received = [this](std::span<const uint8_t> b) {
            received.insert(received.end(), b.begin(), b.end());
        };
        events.dropped = [this](std::span<const uint8_t> b) {
            dropped.insert(dropped.end(), b.begin(), b.end());
        };
        link = std::make_unique<PolledLink>(
            url,
            [this, target] {
                return open_network_port(target,
                                         [this](const std::string& r) { log.push_back(r); });
            },
            std::move(events));
    }

    // Drives the link as an owner's loop does until `done` or `limit`;
    // whether `done` came.
    bool run_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto end = LinkClock::now() + limit;
        while (!done()) {
            const LinkClock::time_point now = LinkClock::now();
            if (now >= end) return false;
            const LinkWatch watch = link->watch();
            LinkClock::time_point until = std::min(end, now + 50ms);
            if (watch.wake) until = std::min(until, *watch.wake);
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - now);
            pollfd pfd{watch.fd,
                       static_cast<short>((watch.read ? POLLIN : 0) | (watch.write ? POLLOUT : 0)),
                       0};
            ::poll(&pfd, watch.fd >= 0 ? 1 : 0, static_cast<int>(std::max(wait.count(), 0L)));
            link->service(LinkClock::now());
        }
        return true;
    }
    void run_for(std::chrono::milliseconds time) {
        run_until([] { return false; }, time);
    }
    bool linked() const { return link->state() == LinkState::linked; }
    bool logged(const std::string& part) const {
        return std::any_of(log.begin(), log.end(), [&](const std::string& line) {
            return line.find(part) != std::string::npos;
        });
    }
};

const Bytes do_com_port = hex("fffd2c");

TEST(TargetStrings, NetworkUrlsAndWhatTheyRefuse) {
    const auto v4 = parse_target("rfc2217://10.0.0.7:7001");
    ASSERT_TRUE(v4);
    EXPECT_EQ(v4->kind, TargetKind::rfc2217);
    EXPECT_EQ(v4->host, "10.0.0.7");
    EXPECT_EQ(v4->tcp_port, 7001);
    const auto v6 = parse_target("socket://[fe80::1%eth0]:65535");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->kind, TargetKind::socket);
    EXPECT_EQ(v6->host, "fe80::1%eth0");
    EXPECT_EQ(v6->tcp_port, 65535);
    EXPECT_EQ(parse_target("RFC2217://rack3.lab:1")->host, "rack3.lab");
    for (const char* bad :
         {"rfc2217://host", "rfc2217://host:0", "rfc2217://host:65536", "rfc2217://host:07001",
          "rfc2217://:7001", "rfc2217://::1:7001", "rfc2217://[]:7001", "socket://a b:1",
          "socket://host:1/x", "rfc2217://user@host:1", "telnet://host:23", "spy://host:1"}) {
        EXPECT_FALSE(parse_target(bad)) << bad;
    }
    EXPECT_EQ(parse_target("./rfc2217")->kind, TargetKind::device);
}

TEST(NetworkLink, TelnetServerThatNeverAcknowledgesSplitsItsMessagesAndSends0xFF) {
    ScriptServer server([](const Peer& peer, int) {
        peer.listen(50ms);
        // Taking the option and a line state report, each split across reads.
        for (const char* piece : {"ff", "fd2c fffa", "2c", "6a00ff", "f0"}) {
            peer.send(hex(piece));
            peer.listen(20ms);
        }
        // One setting answered with another value; the rest never.
        peer.send(hex("fffa2c65 0000 2580 fff0"));
        peer.listen(1600ms);
        // Device bytes with 0xFF among them, doubled; an IAC split from its pair.
        peer.send(hex("8c02ff"));
        peer.listen(20ms);
        peer.send(hex("ff41ffff"));
        peer.listen(1000ms);
    });
    Client client(server.url("rfc2217"));
    ASSERT_EQ(client.link->open(), LinkResult::ok);
    EXPECT_EQ(client.link->state(), LinkState::lost);
    EXPECT_EQ(client.link->failure(), LinkResult::ok);
    ASSERT_TRUE(client.run_until([&] { return client.linked(); }, 2s));
    ASSERT_TRUE(client.run_until([&] { return client.received.size() >= 4; }, 3s));
    EXPECT_EQ(client.received, hex("8c02ff41ff"));
    EXPECT_TRUE(client.logged("answered 19200 baud with the value 9600"));
    EXPECT_TRUE(
        client.logged("did not acknowledge 8 data bits, no parity, 1 stop bit, "
                      "no flow control, DTR off, RTS off"));

    const Bytes codes = hex("ff41f6");
    EXPECT_TRUE(client.link->send(codes));
    client.run_for(200ms);
    const Bytes heard = server.heard();
    EXPECT_TRUE(contains(heard, hex("fffb2c")));                        // WILL COM-PORT-OPTION
    EXPECT_TRUE(contains(heard, hex("fffb00fffd00")));                  // binary both ways
    EXPECT_TRUE(contains(heard, hex("fffa2c0100004b00fff0")));          // 19200 baud
    EXPECT_TRUE(contains(heard, hex("fffa2c0509fff0fffa2c050cfff0")));  // DTR, RTS off
    EXPECT_TRUE(contains(heard, hex("ffff41f6")));
    EXPECT_TRUE(client.linked());
}

TEST(NetworkLink, EndlessSubnegotiationBreaksTheLinkAndLeaksNoBytes) {
    ScriptServer server([](const Peer& peer, int) {
        peer.send(do_com_port);
        peer.send(hex("fffa2c06"));
        const Bytes filler(4096, 'A');
        for (int k = 0; k < 32; ++k) peer.send(filler);
        peer.listen(500ms);
    });
    Client client(server.url("rfc2217"));
    ASSERT_EQ(client.link->open(), LinkResult::ok);
    ASSERT_TRUE(
        client.run_until([&] { return client.link->failure() == LinkResult::protocol_error; }, 3s));
    EXPECT_FALSE(client.linked());
    EXPECT_TRUE(client.received.empty());
    EXPECT_TRUE(client.dropped.empty());
}

TEST(NetworkLink, CloseInsideASubnegotiationLosesTheLinkWhichComesBack) {
    std::atomic<int> connections{0};
    ScriptServer server([&](const Peer& peer, int connection) {
        connections = connection + 1;
        peer.send(hex("fffd2c fffa2c6b00fff0"));
        if (connection == 0) {
            peer.listen(700ms);
            peer.send(hex("fffa2c6b"));  // and gone
            return;
        }
        peer.listen(1000ms);
        peer.send(hex("8c0342"));
        peer.listen(500ms);
    });
    Client client(server.url("rfc2217"));
    ASSERT_EQ(client.link->open(), LinkResult::ok);
    ASSERT_TRUE(client.run_until([&] { return client.linked(); }, 1s));
    ASSERT_TRUE(client.run_until([&] { return !client.linked(); }, 2s));
    EXPECT_EQ(client.link->state(), LinkState::lost);
    EXPECT_EQ(client.link->failure(), LinkResult::server_closed);
    const auto lost_at = LinkClock::now();
    ASSERT_TRUE(client.run_until([&] { return client.linked(); }, 2s));
    EXPECT_LT(LinkClock::now() - lost_at, 1s);
    EXPECT_EQ(connections, 2);
    ASSERT_TRUE(client.run_until([&] { return client.received.size() == 3; }, 2s));
    EXPECT_EQ(client.received, hex("8c0342"));
}

TEST(NetworkLink, ServerThatTurnsTheClientAwayIsNeverLinked) {
    ScriptServer server([](const Peer& peer, int) {
        peer.send(do_com_port);
        const std::string words = "Port already in use\r\n";
        peer.send(Bytes(words.begin(), words.end()));
    });
    Client client(server.url("rfc2217"));
    ASSERT_EQ(client.link->open(), LinkResult::ok);
    ASSERT_TRUE(
        client.run_until([&] { return client.link->failure() == LinkResult::server_closed; }, 2s));
    client.run_for(300ms);
    EXPECT_EQ(client.link->state(), LinkState::lost);
    EXPECT_TRUE(client.received.empty());
    EXPECT_TRUE(client.dropped.empty());
}

TEST(NetworkLink, RefusedPortAndSilentServer) {
    uint16_t port = 0;
    ::close(listen_on_loopback(port));  // a port nothing serves now
    Client refused("rfc2217://127.0.0.1:" + std::to_string(port));
    ASSERT_EQ(refused.link->open(), LinkResult::ok);
    ASSERT_TRUE(
        refused.run_until([&] { return refused.link->failure() == LinkResult::refused; }, 1s));
    refused.run_for(link_policy::retry * 2);  // tried again, still refused
    EXPECT_EQ(refused.link->failure(), LinkResult::refused);
    EXPECT_EQ(refused.link->state(), LinkState::lost);

    // Accepted by the kernel, never answered: telnet waits for the open limit.
    const int silent = listen_on_loopback(port);
    Client telnet("rfc2217://127.0.0.1:" + std::to_string(port));
    ASSERT_EQ(telnet.link->open(), LinkResult::ok);
    const auto start = LinkClock::now();
    ASSERT_TRUE(
        telnet.run_until([&] { return telnet.link->failure() == LinkResult::no_answer; }, 5s));
    EXPECT_GE(LinkClock::now() - start, link_policy::network_open_limit);
    // Raw TCP has nothing to negotiate: linked once connected.
    Client raw("socket://127.0.0.1:" + std::to_string(port));
    ASSERT_EQ(raw.link->open(), LinkResult::ok);
    EXPECT_TRUE(raw.run_until([&] { return raw.linked(); }, 1s));
    ::close(silent);
}

TEST(NetworkLink, RawSocketPassesEveryByteAsItIsAndLooksUpNames) {
    ScriptServer server([](const Peer& peer, int) {
        peer.listen(link_policy::settle + 200ms);
        peer.send(hex("fffa2cff00fffd"));
        peer.listen(1000ms);
    });
    const std::string url = server.url("socket");
    Client client("socket://localhost" + url.substr(url.rfind(':')));
    ASSERT_EQ(client.link->open(), LinkResult::ok);
    ASSERT_TRUE(client.run_until([&] { return client.linked(); }, 2s));
    ASSERT_TRUE(client.run_until([&] { return client.received.size() >= 7; }, 2s));
    EXPECT_EQ(client.received, hex("fffa2cff00fffd"));
    EXPECT_TRUE(client.link->send(hex("ff00ff")));
    client.run_for(200ms);
    EXPECT_EQ(server.heard(), hex("ff00ff"));
}

}  // namespace
