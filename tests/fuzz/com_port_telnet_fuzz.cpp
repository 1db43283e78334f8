// Fuzzing harness of the receive path of rfc2217:// links: the telnet
// layer with the COM-PORT-OPTION taking what a server sends.
//
// Input: byte 0 picks where the rest is cut into pieces (every byte 0 + 1
// bytes, at least one); the rest is what the server sends.
//
// Checked: the parser keeps its state across reads, so the device bytes and
// the broken state are the same whether the server's bytes come in one read
// or in pieces; it never yields more device bytes than it read; its answers
// stay in proportion to what it read (a few bytes per message, plus the
// settings once); and the device bytes it sends, once undoubled by a second
// telnet layer, are those bytes again.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz_checks.h"
#include "link/com_port_telnet.h"

namespace {

struct Outcome {
    std::vector<uint8_t> data;
    bool broken = false;
    size_t answered = 0;
};

Outcome receive_in_pieces(std::span<const uint8_t> bytes, size_t piece) {
    ComPortTelnet telnet(nullptr);
    telnet.outbound().clear();
    Outcome outcome;
    const LinkClock::time_point now{};
    for (size_t at = 0; at < bytes.size(); at += piece) {
        telnet.receive(bytes.subspan(at, std::min(piece, bytes.size() - at)), outcome.data, now);
        outcome.answered += telnet.outbound().size();
        telnet.outbound().clear();
    }
    outcome.broken = telnet.broken();
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::span<const uint8_t> server(data + 1, size - 1);
    const Outcome whole = receive_in_pieces(server, server.size() + 1);
    const Outcome pieces = receive_in_pieces(server, static_cast<size_t>(data[0]) % 7 + 1);
    FUZZ_CHECK(whole.data == pieces.data);
    FUZZ_CHECK(whole.broken == pieces.broken);
    FUZZ_CHECK(whole.data.size() <= server.size());
    // At most a 3-byte answer per 3-byte negotiation, and the settings once.
    FUZZ_CHECK(whole.answered <= server.size() + 64);

    // What this side sends, read by a second telnet layer.
    ComPortTelnet sender(nullptr);
    sender.send(server);
    ComPortTelnet reader(nullptr);
    std::vector<uint8_t> carried;
    reader.receive(sender.outbound(), carried, LinkClock::time_point{});
    FUZZ_CHECK(!reader.broken());
    FUZZ_CHECK(std::vector<uint8_t>(server.begin(), server.end()) == carried);
    return 0;
}
