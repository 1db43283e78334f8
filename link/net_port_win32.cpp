// Raw network ports over Winsock (net_port_win32.h): the lookup thread and
// its event, non-blocking connects, keep-alive, and the socket's network
// events on one event handle.
//
// Winsock records each network event once and signals the event; FD_READ
// comes again only after a recv(). So read() takes the record (which resets
// the event) before it reads, and whenever it may have left bytes behind,
// or the connect's record carried data with it, the event is set again by
// hand, so that the owner's loop never waits for bytes that already came.
#include <winsock2.h>
// After winsock2.h, which they need.
#include <mstcpip.h>
#include <ws2tcpip.h>

#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "link/link_policy.h"
#include "link/net_opening.h"
#include "link/net_port_win32.h"
#include "platform/handles_win32.h"

namespace {

using AddressList = std::unique_ptr<addrinfo, void (*)(addrinfo*)>;

AddressList no_addresses() {
    return {nullptr, &freeaddrinfo};
}

// Winsock in use for as long as its holder lives.
class WinsockUse {
public:
    WinsockUse() {
        WSADATA data{};
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockUse() {
        if (started_) WSACleanup();
    }
    WinsockUse(const WinsockUse&) = delete;
    WinsockUse& operator=(const WinsockUse&) = delete;
    bool started() const { return started_; }

private:
    bool started_ = false;
};

// One name lookup on a thread of its own. The thread and the transport
// share the job; whichever lets go last frees it, so a transport that gives
// up on a lookup that hangs is not held up by it. The thread signals `done`
// and wakes the owner when its answer is in, unless the transport has let
// go (then the owner may be gone too).
struct LookupJob {
    std::mutex mutex;
    int error = EAI_AGAIN;
    AddressList found = no_addresses();
    UniqueKernelHandle done;
    std::function<void()> wake;
    bool abandoned = false;
};

LinkResult result_of_socket_error(int error) {
    switch (error) {
        case WSAECONNREFUSED:
            return LinkResult::refused;
        case WSAENETUNREACH:
        case WSAEHOSTUNREACH:
        case WSAENETDOWN:
        case WSAEHOSTDOWN:
            return LinkResult::unreachable;
        case WSAETIMEDOUT:
            return LinkResult::no_answer;
        default:
            return LinkResult::server_closed;
    }
}

addrinfo lookup_hints(int flags) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = flags | AI_NUMERICSERV;
    return hints;
}

// Keep-alive and no delay for single key codes; failures leave the
// connection as it is (it still works, it only finds a dead peer later).
void tune_socket(SOCKET socket) {
    const BOOL on = TRUE;
    setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    tcp_keepalive alive{};
    alive.onoff = 1;
    alive.keepalivetime =
        static_cast<ULONG>(std::chrono::milliseconds(link_policy::keepalive_idle).count());
    alive.keepaliveinterval =
        static_cast<ULONG>(std::chrono::milliseconds(link_policy::keepalive_interval).count());
    DWORD returned = 0;
    WSAIoctl(socket, SIO_KEEPALIVE_VALS, &alive, sizeof alive, nullptr, 0, &returned, nullptr,
             nullptr);
}

class SocketPort final : public Transport {
public:
    SocketPort(const Target& target, std::function<void()> wake);
    ~SocketPort() override;
    SocketPort(const SocketPort&) = delete;
    SocketPort& operator=(const SocketPort&) = delete;

    TransportIo read(std::span<uint8_t> buffer) override;
    TransportIo write(std::span<const uint8_t> bytes) override;
    LinkWatch io_watch(bool output) const override;
    bool opening() const override { return steps_.opening(); }
    LinkWatch opening_watch() const override;
    std::optional<LinkResult> open_step(LinkClock::time_point now) override;

private:
    using Phase = NetOpening::Phase;

    void start_lookup(const std::string& host, uint16_t port, std::function<void()> wake);
    void take_lookup();
    void connect_next();
    void check_connect();
    void fail(LinkResult reason);
    void close_socket();
    void let_go_of_lookup();

    WinsockUse winsock_;
    NetOpening steps_;
    UniqueKernelHandle network_event_;
    std::shared_ptr<LookupJob> lookup_;
    AddressList addresses_ = no_addresses();
    const addrinfo* next_address_ = nullptr;
    int last_error_ = WSAECONNREFUSED;
    SOCKET socket_ = INVALID_SOCKET;
};

SocketPort::SocketPort(const Target& target, std::function<void()> wake)
    : steps_(LinkClock::now()), network_event_(WSACreateEvent()) {
    if (!winsock_.started() || !network_event_) {
        fail(LinkResult::cannot_start);
        return;
    }
    const std::string service = std::to_string(target.tcp_port);
    // An address needs no lookup; only a name goes to the lookup thread.
    const addrinfo hints = lookup_hints(AI_NUMERICHOST);
    addrinfo* found = nullptr;
    if (getaddrinfo(target.host.c_str(), service.c_str(), &hints, &found) == 0) {
        addresses_ = AddressList(found, &freeaddrinfo);
        next_address_ = addresses_.get();
        steps_.advance(Phase::connecting);
        connect_next();
    } else {
        start_lookup(target.host, target.tcp_port, std::move(wake));
    }
}

SocketPort::~SocketPort() {
    close_socket();
    let_go_of_lookup();
}

void SocketPort::close_socket() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    socket_ = INVALID_SOCKET;
}

void SocketPort::let_go_of_lookup() {
    if (!lookup_) return;
    {
        const std::lock_guard lock(lookup_->mutex);
        lookup_->abandoned = true;
    }
    lookup_.reset();
}

void SocketPort::start_lookup(const std::string& host, uint16_t port, std::function<void()> wake) {
    auto job = std::make_shared<LookupJob>();
    job->done.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    job->wake = std::move(wake);
    if (!job->done) return fail(LinkResult::cannot_start);
    try {
        std::thread([job, host, service = std::to_string(port)] {
            const WinsockUse winsock;
            const addrinfo hints = lookup_hints(0);
            addrinfo* found = nullptr;
            const int error = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
            const std::lock_guard lock(job->mutex);
            job->error = error;
            job->found = AddressList(found, &freeaddrinfo);
            SetEvent(job->done.get());
            if (!job->abandoned && job->wake) job->wake();
        }).detach();
    } catch (const std::system_error&) {
        return fail(LinkResult::cannot_start);
    }
    lookup_ = std::move(job);
}

LinkWatch SocketPort::opening_watch() const {
    LinkWatch watch;
    watch.wake = steps_.wake();
    if (steps_.phase() == Phase::lookup && lookup_) watch.handles[0] = lookup_->done.get();
    if (steps_.phase() == Phase::connecting) watch.handles[0] = network_event_.get();
    return watch;
}

LinkWatch SocketPort::io_watch(bool) const {
    // Input, the connection's end and room for output all signal it.
    LinkWatch watch;
    watch.handles[0] = network_event_.get();
    return watch;
}

std::optional<LinkResult> SocketPort::open_step(LinkClock::time_point now) {
    if (steps_.phase() == Phase::lookup) take_lookup();
    if (steps_.phase() == Phase::connecting) check_connect();
    return steps_.outcome(now);
}

void SocketPort::take_lookup() {
    if (!lookup_ || WaitForSingleObject(lookup_->done.get(), 0) != WAIT_OBJECT_0) return;
    bool found = false;
    {
        const std::lock_guard lock(lookup_->mutex);
        found = lookup_->error == 0 && lookup_->found;
        if (found) addresses_ = std::move(lookup_->found);
    }
    let_go_of_lookup();
    if (!found) return fail(LinkResult::host_not_found);
    next_address_ = addresses_.get();
    steps_.advance(Phase::connecting);
    connect_next();
}

void SocketPort::connect_next() {
    for (; next_address_ != nullptr; next_address_ = next_address_->ai_next) {
        const addrinfo& address = *next_address_;
        close_socket();
        socket_ = socket(address.ai_family, address.ai_socktype, address.ai_protocol);
        if (socket_ == INVALID_SOCKET) {
            last_error_ = WSAGetLastError();
            continue;
        }
        tune_socket(socket_);
        // Makes the socket non-blocking too.
        if (WSAEventSelect(socket_, network_event_.get(),
                           FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0) {
            last_error_ = WSAGetLastError();
            continue;
        }
        if (connect(socket_, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0 ||
            WSAGetLastError() == WSAEWOULDBLOCK) {
            next_address_ = address.ai_next;
            return;  // the event says when it connected, or failed
        }
        last_error_ = WSAGetLastError();
    }
    close_socket();
    fail(result_of_socket_error(last_error_));
}

void SocketPort::check_connect() {
    WSANETWORKEVENTS events{};
    if (WSAEnumNetworkEvents(socket_, network_event_.get(), &events) != 0) {
        last_error_ = WSAGetLastError();
        return connect_next();
    }
    if ((events.lNetworkEvents & FD_CONNECT) == 0) return;
    if (const int error = events.iErrorCode[FD_CONNECT_BIT]; error != 0) {
        last_error_ = error;
        return connect_next();
    }
    steps_.advance(Phase::open);
    // Bytes that came with the connection were in the record just taken.
    WSASetEvent(network_event_.get());
}

void SocketPort::fail(LinkResult reason) {
    close_socket();
    let_go_of_lookup();
    steps_.fail(reason);
}

TransportIo SocketPort::read(std::span<uint8_t> buffer) {
    if (steps_.opening()) return {};
    WSANETWORKEVENTS events{};
    WSAEnumNetworkEvents(socket_, network_event_.get(), &events);
    size_t count = 0;
    while (count < buffer.size()) {
        const int got = recv(socket_, reinterpret_cast<char*>(buffer.data() + count),
                             static_cast<int>(buffer.size() - count), 0);
        if (got > 0) {
            count += static_cast<size_t>(got);
            continue;
        }
        if (got == 0) return {count, true, LinkResult::server_closed};
        const int error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) return {count, false};
        return {count, true, result_of_socket_error(error)};
    }
    WSASetEvent(network_event_.get());  // more may wait: looked at again at once
    return {count, false};
}

TransportIo SocketPort::write(std::span<const uint8_t> bytes) {
    if (steps_.opening() || bytes.empty()) return {};
    const int put = send(socket_, reinterpret_cast<const char*>(bytes.data()),
                         static_cast<int>(bytes.size()), 0);
    if (put >= 0) return {static_cast<size_t>(put), false};
    const int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK) return {};  // FD_WRITE says when there is room
    return {0, true, result_of_socket_error(error)};
}

}  // namespace

TransportOpen open_socket_port(const Target& target, std::function<void()> wake) {
    if (target.kind != TargetKind::socket) return {LinkResult::bad_target, nullptr};
    return {LinkResult::ok, std::make_unique<SocketPort>(target, std::move(wake))};
}
