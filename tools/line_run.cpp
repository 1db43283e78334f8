// The shared pieces of the port-playing subcommands (line_run.h).
#include "tools/line_run.h"

#include <poll.h>

#include <cerrno>
#include <cstdio>

#include "link/net_port_posix.h"
#include "link/target.h"
#include "link/tty_port_posix.h"
#include "zezodavoru_version.h"

int32_t timeout_until(int32_t timeout, LineClock::time_point when) {
    const int32_t left = milliseconds_until(when);
    return timeout < 0 || left < timeout ? left : timeout;
}

std::optional<LineClock::time_point> deadline_after(LineClock::time_point start,
                                                    std::optional<double> seconds) {
    if (!seconds) return std::nullopt;
    return start +
           std::chrono::duration_cast<LineClock::duration>(std::chrono::duration<double>(*seconds));
}

namespace {

// A network port, opened to the end here: the tool has no window to keep
// painting, so it waits (the transport gives up after its open limit).
TransportOpen open_network_line(const std::string& port, const Target& target,
                                const std::string& prefix) {
    TransportOpen opened = open_network_port(target, [prefix, port](const std::string& remark) {
        std::fprintf(stderr, "zezodavoru-cli: %s%s: %s\n", prefix.c_str(), port.c_str(),
                     remark.c_str());
    });
    while (opened.transport && opened.transport->opening()) {
        if (const std::optional<LinkResult> result =
                opened.transport->open_step(LineClock::now())) {
            if (*result != LinkResult::ok) return {*result, nullptr};
            break;
        }
        const LinkWatch watch = opened.transport->opening_watch();
        pollfd pfd{watch.fd,
                   static_cast<short>((watch.read ? POLLIN : 0) | (watch.write ? POLLOUT : 0)), 0};
        if (::poll(&pfd, watch.fd >= 0 ? 1 : 0, watch_timeout(watch)) < 0 && errno != EINTR) {
            return {LinkResult::cannot_start, nullptr};
        }
    }
    return opened;
}

}  // namespace

std::unique_ptr<Transport> open_line(const std::string& port, const std::string& prefix) {
    const std::optional<Target> target = parse_target(port);
    TransportOpen opened = !target               ? TransportOpen{LinkResult::bad_target, nullptr}
                           : is_network(*target) ? open_network_line(port, *target, prefix)
                                                 : open_tty_port(port);
    if (opened.result == LinkResult::ok) return std::move(opened.transport);
    report_line_failure(prefix + "cannot open " + port + ": " + link_result_text(opened.result));
    return nullptr;
}

bool write_within(Transport& line, std::span<const uint8_t> bytes, int32_t limit_ms) {
    const LineClock::time_point deadline = LineClock::now() + std::chrono::milliseconds(limit_ms);
    while (!bytes.empty()) {
        const TransportIo put = line.write(bytes);
        if (put.lost) return false;
        bytes = bytes.subspan(put.count);
        if (bytes.empty()) break;
        const int32_t left = milliseconds_until(deadline);
        if (left <= 0) return false;
        pollfd pfd{line.fd(), POLLOUT, 0};
        if (::poll(&pfd, 1, left) < 0 && errno != EINTR) return false;
    }
    return true;
}

int report_line_failure(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "zezodavoru-cli: %s\n", message.c_str());
    return 1;
}

bool LineRecorder::open(const std::string& path, const std::string& port,
                        const std::string& prefix) {
    prefix_ = prefix;
    RecordingHeader header;
    header.program = "zezodavoru-cli";
    header.program_version = ZEZ_VERSION;
    header.target = port;
    header.side = "device";
    header.start = utc_now_text();
    start_ = LineClock::now();
    return writer_.open(path, header) || report();
}

void LineRecorder::add(RecordKind kind, std::span<const uint8_t> bytes) {
    if (!writer_.is_open() || bytes.empty()) return;
    const LineClock::time_point now = LineClock::now();
    RecordEvent event{std::chrono::duration<double>(now - start_).count(),
                      kind,
                      std::vector<uint8_t>(bytes.begin(), bytes.end()),
                      {}};
    if (!writer_.add(event, now)) report();
}

bool LineRecorder::tend() {
    return writer_.flush_if_due() ? !failed_ : report();
}

bool LineRecorder::close() {
    return writer_.close() ? !failed_ : report();
}

bool LineRecorder::report() {
    if (!failed_) report_line_failure(prefix_ + writer_.error());
    failed_ = true;
    return false;
}
