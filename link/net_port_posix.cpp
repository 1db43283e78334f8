// Network ports as transports (net_port_posix.h): the lookup thread and its
// pipe, non-blocking connects, keep-alive, and the telnet layer of
// rfc2217:// between the socket and the link.
#include "link/net_port_posix.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "link/com_port_telnet.h"
#include "link/link_policy.h"
#include "link/net_opening.h"

namespace {

// A descriptor closed with its owner.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

using AddressList = std::unique_ptr<addrinfo, void (*)(addrinfo*)>;

AddressList no_addresses() {
    return {nullptr, &freeaddrinfo};
}

// One name lookup on a thread of its own. The thread and the transport
// share the job; whichever lets go last frees it, so a transport that gives
// up on a lookup that hangs is not held up by it. The thread writes one byte
// to the pipe when its answer is in.
struct LookupJob {
    std::mutex mutex;
    int error = EAI_AGAIN;
    AddressList found = no_addresses();
    UniqueFd read_end;
    UniqueFd write_end;
};

LinkResult result_of_socket_error(int error) {
    switch (error) {
        case ECONNREFUSED:
            return LinkResult::refused;
        case ENETUNREACH:
        case EHOSTUNREACH:
        case ENETDOWN:
        case EHOSTDOWN:
            return LinkResult::unreachable;
        case ETIMEDOUT:
            return LinkResult::no_answer;
        default:
            return LinkResult::server_closed;
    }
}

addrinfo lookup_hints(int flags) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags | AI_NUMERICSERV;
    return hints;
}

// Keep-alive and no delay for single key codes; failures leave the
// connection as it is (it still works, it only finds a dead peer later).
void tune_socket(int fd) {
    const int on = 1;
    const int idle = static_cast<int>(link_policy::keepalive_idle.count());
    const int interval = static_cast<int>(link_policy::keepalive_interval.count());
    const int probes = link_policy::keepalive_probes;
    const unsigned user_timeout =
        static_cast<unsigned>(std::chrono::milliseconds(link_policy::keepalive_idle +
                                                        link_policy::keepalive_interval * probes)
                                  .count());
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &user_timeout, sizeof user_timeout);
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool ready_for(int fd, short events) {
    pollfd pfd{fd, events, 0};
    return ::poll(&pfd, 1, 0) > 0;
}

class NetPort final : public Transport {
public:
    NetPort(const Target& target, NetLog log);
    ~NetPort() override = default;
    NetPort(const NetPort&) = delete;
    NetPort& operator=(const NetPort&) = delete;

    int fd() const override { return socket_.get(); }
    TransportIo read(std::span<uint8_t> buffer) override;
    TransportIo write(std::span<const uint8_t> bytes) override;
    bool opening() const override { return steps_.opening(); }
    LinkWatch opening_watch() const override;
    std::optional<LinkResult> open_step(LinkClock::time_point now) override;

private:
    using Phase = NetOpening::Phase;

    void start_lookup(const std::string& host, uint16_t port);
    void take_lookup();
    void connect_next();
    void check_connect();
    void negotiate(LinkClock::time_point now);
    void fail(LinkResult reason);
    // Reads the socket into `buffer`: the count, or the reason it has gone.
    TransportIo read_socket(std::span<uint8_t> buffer);
    // Sends what the socket takes of the telnet layer's outbound bytes.
    TransportIo flush_outbound();

    NetLog log_;
    std::unique_ptr<ComPortTelnet> telnet_;  // rfc2217 only
    NetOpening steps_;
    std::shared_ptr<LookupJob> lookup_;
    AddressList addresses_ = no_addresses();
    const addrinfo* next_address_ = nullptr;
    int last_error_ = ECONNREFUSED;
    UniqueFd socket_;
    std::vector<uint8_t> early_;    // device bytes that came during the negotiation
    std::vector<uint8_t> decoded_;  // the telnet layer's output of one read
    std::vector<uint8_t> raw_;
};

NetPort::NetPort(const Target& target, NetLog log)
    : log_(std::move(log)), steps_(LinkClock::now()) {
    if (target.kind == TargetKind::rfc2217) telnet_ = std::make_unique<ComPortTelnet>(log_);
    const std::string service = std::to_string(target.tcp_port);
    // An address needs no lookup; only a name goes to the lookup thread.
    const addrinfo hints = lookup_hints(AI_NUMERICHOST);
    addrinfo* found = nullptr;
    if (::getaddrinfo(target.host.c_str(), service.c_str(), &hints, &found) == 0) {
        addresses_ = AddressList(found, &freeaddrinfo);
        next_address_ = addresses_.get();
        steps_.advance(Phase::connecting);
        connect_next();
    } else {
        start_lookup(target.host, target.tcp_port);
    }
}

void NetPort::start_lookup(const std::string& host, uint16_t port) {
    auto job = std::make_shared<LookupJob>();
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return fail(LinkResult::cannot_start);
    job->read_end = UniqueFd(ends[0]);
    job->write_end = UniqueFd(ends[1]);
    try {
        std::thread([job, host, service = std::to_string(port)] {
            const addrinfo hints = lookup_hints(0);
            addrinfo* found = nullptr;
            const int error = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
            const std::lock_guard<std::mutex> lock(job->mutex);
            job->error = error;
            job->found = AddressList(found, &freeaddrinfo);
            const char done = 1;
            (void)!::write(job->write_end.get(), &done, 1);
        }).detach();
    } catch (const std::system_error&) {
        return fail(LinkResult::cannot_start);
    }
    lookup_ = std::move(job);
}

LinkWatch NetPort::opening_watch() const {
    LinkWatch watch;
    watch.wake = steps_.wake();
    switch (steps_.phase()) {
        case Phase::lookup:
            watch.fd = lookup_ ? lookup_->read_end.get() : -1;
            watch.read = true;
            break;
        case Phase::connecting:
            watch.fd = socket_.get();
            watch.write = true;
            break;
        case Phase::negotiating:
            watch.fd = socket_.get();
            watch.read = true;
            watch.write = !telnet_->outbound().empty();
            if (const auto end = telnet_->acknowledgement_end())
                watch.wake = std::min(*end, steps_.deadline());
            break;
        case Phase::failed:
        case Phase::open:
            break;
    }
    return watch;
}

std::optional<LinkResult> NetPort::open_step(LinkClock::time_point now) {
    if (steps_.phase() == Phase::lookup) take_lookup();
    if (steps_.phase() == Phase::connecting) check_connect();
    if (steps_.phase() == Phase::negotiating) negotiate(now);
    return steps_.outcome(now);
}

void NetPort::take_lookup() {
    char done = 0;
    if (::read(lookup_->read_end.get(), &done, 1) != 1) return;  // not yet
    const std::lock_guard<std::mutex> lock(lookup_->mutex);
    if (lookup_->error != 0 || !lookup_->found) return fail(LinkResult::host_not_found);
    addresses_ = std::move(lookup_->found);
    next_address_ = addresses_.get();
    steps_.advance(Phase::connecting);
    connect_next();
}

void NetPort::connect_next() {
    for (; next_address_ != nullptr; next_address_ = next_address_->ai_next) {
        const addrinfo& address = *next_address_;
        socket_ =
            UniqueFd(::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                              address.ai_protocol));
        if (socket_.get() < 0) {
            last_error_ = errno;
            continue;
        }
        tune_socket(socket_.get());
        if (::connect(socket_.get(), address.ai_addr, address.ai_addrlen) == 0 ||
            errno == EINPROGRESS) {
            next_address_ = address.ai_next;
            return;  // writable once connected, or once it failed
        }
        last_error_ = errno;
    }
    socket_.reset();
    fail(result_of_socket_error(last_error_));
}

void NetPort::check_connect() {
    if (!ready_for(socket_.get(), POLLOUT)) return;
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(socket_.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
    if (error != 0) {
        last_error_ = error;
        return connect_next();
    }
    lookup_.reset();
    steps_.advance(telnet_ ? Phase::negotiating : Phase::open);
}

void NetPort::negotiate(LinkClock::time_point now) {
    if (const TransportIo sent = flush_outbound(); sent.lost) return fail(sent.reason);
    raw_.resize(link_policy::batch_limit);
    const TransportIo got = read_socket(raw_);
    decoded_.clear();
    telnet_->receive(std::span<const uint8_t>(raw_.data(), got.count), decoded_, now);
    const size_t room =
        link_policy::batch_limit - std::min(early_.size(), link_policy::batch_limit);
    early_.insert(early_.end(), decoded_.begin(),
                  decoded_.begin() + static_cast<std::ptrdiff_t>(std::min(room, decoded_.size())));
    if (telnet_->broken()) {
        fail(LinkResult::protocol_error);
    } else if (got.lost) {
        fail(got.reason);
    } else if (telnet_->negotiated(now)) {
        steps_.advance(Phase::open);
        flush_outbound();
    }
}

void NetPort::fail(LinkResult reason) {
    socket_.reset();
    lookup_.reset();
    steps_.fail(reason);
}

TransportIo NetPort::read_socket(std::span<uint8_t> buffer) {
    for (;;) {
        const ssize_t got = ::recv(socket_.get(), buffer.data(), buffer.size(), 0);
        if (got > 0) return {static_cast<size_t>(got), false};
        if (got == 0) return {0, true, LinkResult::server_closed};
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return {};
        return {0, true, result_of_socket_error(errno)};
    }
}

TransportIo NetPort::flush_outbound() {
    std::vector<uint8_t>& outbound = telnet_->outbound();
    while (!outbound.empty()) {
        const ssize_t put = ::send(socket_.get(), outbound.data(), outbound.size(), MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return {};
        if (put < 0) return {0, true, result_of_socket_error(errno)};
        outbound.erase(outbound.begin(), outbound.begin() + put);
    }
    return {};
}

TransportIo NetPort::read(std::span<uint8_t> buffer) {
    if (steps_.opening()) return {};
    // Bytes held from the negotiation go first.
    const size_t held = std::min(early_.size(), buffer.size());
    std::copy_n(early_.begin(), held, buffer.begin());
    early_.erase(early_.begin(), early_.begin() + static_cast<std::ptrdiff_t>(held));
    const std::span<uint8_t> room = buffer.subspan(held);
    if (room.empty()) return {held, false};
    if (!telnet_) {
        TransportIo got = read_socket(room);
        got.count += held;
        return got;
    }
    // Telnet never yields more device bytes than it read, so the room holds
    // them all.
    raw_.resize(room.size());
    TransportIo got = read_socket(raw_);
    decoded_.clear();
    const LinkClock::time_point now = LinkClock::now();
    telnet_->receive(std::span<const uint8_t>(raw_.data(), got.count), decoded_, now);
    telnet_->check_acknowledgements(now);
    std::copy(decoded_.begin(), decoded_.end(), room.begin());
    got.count = held + decoded_.size();
    if (telnet_->broken()) return {got.count, true, LinkResult::protocol_error};
    if (got.lost) return got;
    if (const TransportIo sent = flush_outbound(); sent.lost) return {got.count, true, sent.reason};
    return got;
}

TransportIo NetPort::write(std::span<const uint8_t> bytes) {
    if (steps_.opening()) return {};
    if (!telnet_) {
        for (;;) {
            const ssize_t put = ::send(socket_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (put >= 0) return {static_cast<size_t>(put), false};
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return {};
            return {0, true, result_of_socket_error(errno)};
        }
    }
    // Taken whole once what was queued before has gone; what the socket
    // does not take now goes with the next read or write.
    if (const TransportIo sent = flush_outbound(); sent.lost) return sent;
    if (!telnet_->outbound().empty()) return {};
    telnet_->send(bytes);
    if (const TransportIo sent = flush_outbound(); sent.lost)
        return {bytes.size(), true, sent.reason};
    return {bytes.size(), false};
}

}  // namespace

TransportOpen open_network_port(const Target& target, NetLog log) {
    if (!is_network(target)) return {LinkResult::bad_target, nullptr};
    return {LinkResult::ok, std::make_unique<NetPort>(target, std::move(log))};
}
