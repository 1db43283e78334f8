// The shared pieces of the port-playing subcommands (line_run.h).
#include "tools/line_run.h"

#include <cstdio>

int32_t milliseconds_until(LineClock::time_point when) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - LineClock::now()).count();
    if (left <= 0) return 0;
    return left > INT32_MAX ? INT32_MAX : static_cast<int32_t>(left);
}

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

bool open_line(TtyLink& link, const std::string& port, const std::string& prefix) {
    const TtyResult result = link.tty_open(port);
    if (result == TtyResult::ok) return true;
    report_line_failure(prefix + "cannot open " + port + ": " + tty_result_text(result));
    return false;
}

int report_line_failure(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "zezodavoru-cli: %s\n", message.c_str());
    return 1;
}
