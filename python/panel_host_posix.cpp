// The panel host's loop thread and change signal on POSIX (panel_host.h).
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <stdexcept>

#include "python/panel_host.h"

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
}

PanelHost::PanelHost()
    : last_arrival_(LinkClock::now()),
      wake_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      panel_(RemotePanel::Callbacks{
          [this] { signal_change(false); }, [this](LinkState) { signal_change(false); }, {}}) {
    if (wake_fd_.get() < 0)
        throw std::runtime_error("cannot create the panel's wake-up descriptor");
    if (!panel_.start()) throw std::runtime_error("cannot create the display controller");
    panel_.set_tap([this, record = recorder_.tap()](const PanelEvent& event) {
        record(event);
        on_event(event);
    });
}

PanelHost::~PanelHost() {
    stop_thread();
    std::lock_guard lock(panel_mutex_);
    panel_.close();
}

LinkResult PanelHost::open(const std::string& target) {
    stop_thread();
    LinkResult result;
    {
        std::lock_guard lock(panel_mutex_);
        result = panel_.open(target);
    }
    {
        std::lock_guard lock(change_mutex_);
        last_arrival_ = LinkClock::now();
    }
    if (result == LinkResult::ok) start_thread();
    return result;
}

void PanelHost::close() {
    stop_thread();
    std::lock_guard lock(panel_mutex_);
    panel_.close();
}

LinkState PanelHost::state() const {
    std::lock_guard lock(panel_mutex_);
    return panel_.link_state();
}

LinkResult PanelHost::failure() const {
    std::lock_guard lock(panel_mutex_);
    return panel_.link_failure();
}

std::string PanelHost::target() const {
    std::lock_guard lock(panel_mutex_);
    return panel_.target();
}

bool PanelHost::send(std::span<const uint8_t> codes) {
    bool sent = false;
    {
        std::lock_guard lock(panel_mutex_);
        sent = panel_.send(codes);
    }
    wake_thread();  // the codes may wait for room on the line
    return sent;
}

std::vector<uint8_t> PanelHost::press_codes(const KeyPress& press) {
    std::lock_guard lock(panel_mutex_);
    return key_press_codes(panel_.keys(), press);
}

void PanelHost::feed(std::span<const uint8_t> bytes) {
    std::lock_guard lock(panel_mutex_);
    panel_.feed(bytes);
}

void PanelHost::tick(uint32_t count) {
    std::lock_guard lock(panel_mutex_);
    for (uint32_t i = 0; i < count; ++i) panel_.tick();
}

ScreenSnapshot PanelHost::screen() {
    // Never empty: the session started in the constructor.
    return panel_.screen().value_or(ScreenSnapshot{});
}

bool PanelHost::save_session(const std::string& path, ScreenSnapshot& screen, std::string& error) {
    std::lock_guard lock(panel_mutex_);
    if (!recorder_.save_flight(path, panel_.target(), error)) return false;
    screen = panel_.screen().value_or(ScreenSnapshot{});
    return true;
}

uint64_t PanelHost::changes() const {
    std::lock_guard lock(change_mutex_);
    return changes_;
}

uint64_t PanelHost::wait_change(uint64_t seen, LinkClock::time_point deadline) {
    std::unique_lock lock(change_mutex_);
    changed_.wait_until(lock, deadline, [&] { return changes_ != seen; });
    return changes_;
}

LinkClock::time_point PanelHost::last_arrival() const {
    std::lock_guard lock(change_mutex_);
    return last_arrival_;
}

void PanelHost::on_event(const PanelEvent& event) {
    switch (event.kind) {
        case PanelEventKind::received:
            received_ += event.bytes.size();
            signal_change(true);
            break;
        case PanelEventKind::dropped:
            signal_change(true);
            break;
        case PanelEventKind::sent:
            sent_ += event.bytes.size();
            break;
        case PanelEventKind::tick:
        case PanelEventKind::link:
            break;  // a tick that changes the screen repaints; link changes come as callbacks
    }
}

void PanelHost::signal_change(bool arrival) {
    {
        std::lock_guard lock(change_mutex_);
        ++changes_;
        if (arrival) last_arrival_ = LinkClock::now();
    }
    changed_.notify_all();
}

void PanelHost::start_thread() {
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
}

void PanelHost::stop_thread() {
    if (!thread_.joinable()) return;
    stopping_ = true;
    wake_thread();
    thread_.join();
}

void PanelHost::wake_thread() {
    const uint64_t one = 1;
    // A full counter already wakes the thread: nothing to add then.
    [[maybe_unused]] const ssize_t written = ::write(wake_fd_.get(), &one, sizeof one);
}

void PanelHost::run() {
    while (!stopping_) run_once();
}

void PanelHost::run_once() {
    LinkWatch watch;
    {
        std::lock_guard lock(panel_mutex_);
        watch = panel_.watch();
    }
    const short events =
        static_cast<short>((watch.read ? POLLIN : 0) | (watch.write ? POLLOUT : 0));
    // A descriptor the link asks nothing of is left out: its hang-up would
    // wake the poll again and again.
    pollfd fds[2] = {{wake_fd_.get(), POLLIN, 0}, {events != 0 ? watch.fd : -1, events, 0}};
    ::poll(fds, 2, watch_timeout(watch));
    if ((fds[0].revents & POLLIN) != 0) {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t got = ::read(wake_fd_.get(), &count, sizeof count);
    }
    if (stopping_) return;
    std::lock_guard lock(panel_mutex_);
    panel_.service(LinkClock::now());
}
