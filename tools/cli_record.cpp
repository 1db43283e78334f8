// zezodavoru-cli record, decode and codegen: a link recorded with no window,
// device byte streams explained command by command, and a test written from
// a recording.
//
//   record TARGET FILE [--for SECONDS]
//   decode [--hex] [--json] [FILE]
//   decode --follow TARGET [--json] [--for SECONDS]
//   codegen RECORDING [-o FILE]
//
// record links TARGET as the program does -- a remote panel with its
// settle, its relinking and its 100 ms tick -- and writes the session to
// FILE as it goes (flushed every second), until --for has passed or SIGINT
// or SIGTERM comes. It never sends a key: on a sniffer cable or a second
// client of a shared line it only listens.
//
// decode reads a byte stream (raw, or hex text with --hex) or a recording
// (recognised by its header) and prints one line per command, or with
// --json one JSON object per line (record/decoder.h). --follow decodes a
// link live, as it listens, until --for or a signal.
//
// record and decode drive their remote panel in one poll loop, the panel's own
// wait-then-service (its watch: the link's descriptor, the next tick or
// link deadline), with the signal watch beside it.
//
// codegen writes the pytest module of panel/test_writer.h to FILE (standard
// output without -o); what the user should know of it (an incomplete or
// damaged recording) goes to standard error as warnings.
#include <poll.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "panel/remote_panel.h"
#include "panel/session_recorder.h"
#include "panel/test_writer.h"
#include "record/decoder.h"
#include "record/output_file.h"
#include "tools/cli.h"
#include "tools/cli_common.h"
#include "tools/line_run.h"
#include "tools/stream_input.h"

namespace {

// Runs the panel until the deadline or a signal; `tend` is called after
// every wake-up and ends the run (status 1) when it returns false.
int run_panel(RemotePanel& panel, std::optional<double> seconds, const std::string& command,
              const std::function<bool()>& tend) {
    const SignalWatch signals;
    if (signals.fd() < 0) {
        return report_line_failure(command + ": cannot watch for signals: " + std::strerror(errno));
    }
    const std::optional<LineClock::time_point> deadline = deadline_after(LineClock::now(), seconds);
    for (;;) {
        const LineClock::time_point now = LineClock::now();
        if (deadline && now >= *deadline) return 0;
        const LinkWatch watch = panel.watch();
        if (watch.wake && now >= *watch.wake) {
            panel.service(now);
            continue;
        }
        int32_t timeout = -1;
        if (watch.wake) timeout = timeout_until(timeout, *watch.wake);
        if (deadline) timeout = timeout_until(timeout, *deadline);
        short events = 0;
        if (watch.read) events |= POLLIN;
        if (watch.write) events |= POLLOUT;
        pollfd fds[2] = {{watch.fd, events, 0}, {signals.fd(), POLLIN, 0}};
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR) {
            return report_line_failure(command + ": poll failed: " + std::strerror(errno));
        }
        if ((fds[1].revents & POLLIN) != 0) return 0;
        if (fds[0].revents != 0) panel.service(LineClock::now());
        if (!tend()) return 1;
    }
}

// Opens the target on the panel; false after saying why it cannot.
bool open_target(RemotePanel& panel, const std::string& target, const std::string& command) {
    const LinkResult result = panel.open(target);
    if (result == LinkResult::ok) return true;
    report_line_failure(command + ": cannot open " + target + ": " + link_result_text(result));
    return false;
}

void print_decoded(const DecodedCommand& command, bool json, bool live) {
    const std::string line = json ? decoded_json(command) : decoded_text(command);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    if (live) std::fflush(stdout);
}

int decode_live(const DecodeOptions& options) {
    RemotePanel panel;
    if (!panel.start()) return report_failure("decode: cannot create the display controller");
    const LineClock::time_point start = LineClock::now();
    CommandDecoder decoder(
        [&options](const DecodedCommand& command) { print_decoded(command, options.json, true); });
    panel.set_tap([&](const PanelEvent& event) {
        if (event.kind != PanelEventKind::received) return;
        decoder.feed(event.bytes, std::chrono::duration<double>(LineClock::now() - start).count());
    });
    if (!open_target(panel, options.follow, "decode")) return 1;
    const int status = run_panel(panel, options.seconds, "decode", [] { return true; });
    decoder.finish();
    return status;
}

}  // namespace

int cli_record(const RecordOptions& options) {
    RemotePanel panel;
    if (!panel.start()) return report_failure("record: cannot create the display controller");
    SessionRecorder recorder("zezodavoru-cli", false);
    panel.set_tap(recorder.tap());
    std::string error;
    if (!recorder.record_to(options.path, options.target, error)) {
        return report_failure("record: " + error);
    }
    if (!open_target(panel, options.target, "record")) return 1;
    const int status = run_panel(panel, options.seconds, "record", [&] {
        recorder.flush_if_due();
        error = recorder.record_error();
        return error.empty();
    });
    panel.close();
    if (!recorder.stop_recording(error)) return report_failure("record: " + error);
    return status;
}

int cli_decode(const DecodeOptions& options) {
    if (!options.follow.empty()) return decode_live(options);
    CommandDecoder decoder(
        [&options](const DecodedCommand& command) { print_decoded(command, options.json, false); });
    StreamHandlers handlers;
    handlers.bytes = [&decoder](std::span<const uint8_t> bytes, std::optional<double> t) {
        decoder.feed(bytes, t);
    };
    handlers.tick = [] {};
    StreamRun run;
    std::string error;
    if (!run_stream_input({options.input_path, options.hex, std::nullopt}, handlers, run, error)) {
        return report_bad_input("decode: " + error);
    }
    decoder.finish();
    if (!run.problem.empty()) report_failure("decode: warning: " + run.problem);
    return 0;
}

int cli_codegen(const CodegenOptions& options) {
    std::string module;
    std::vector<std::string> warnings;
    std::string error;
    if (!write_test_of_recording(options.recording, "zezodavoru-cli codegen", module, warnings,
                                 error)) {
        return report_bad_input("codegen: " + error);
    }
    OutputFile file;
    if (!file.open(options.output) || !file.write(module.data(), module.size()) || !file.commit()) {
        return report_failure("codegen: " + file.error());
    }
    for (const std::string& warning : warnings) report_failure("codegen: warning: " + warning);
    return 0;
}
