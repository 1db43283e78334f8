// The telnet side of an rfc2217:// link: the device's bytes carried in
// telnet's binary mode, and the line's settings asked for with the
// COM-PORT-OPTION, over the telnet library (libtelnet), which keeps the
// parser's state across reads, undoubles 0xFF on the way in and doubles it
// on the way out, and answers the server's option negotiation.
//
// No sockets here: receive() takes what came from the server and gives the
// device's bytes; what must go to the server (answers, settings, key codes)
// collects in outbound() for the caller to send. So the same code runs under
// the network transport, its tests and the fuzzer.
//
// Negotiation: binary both ways and the COM-PORT-OPTION are offered at
// once. When the server takes the option, the settings are sent: 19200
// baud, 8 data bits, no parity, 1 stop bit, no flow control, DTR and RTS
// off. Servers acknowledge each setting, but not always (a server on a
// pseudo-terminal never acknowledges DTR and RTS): acknowledgements still
// missing after the acknowledgement wait, or that report another value,
// are logged and the link goes on. Line and modem state notifications are
// taken and ignored. A subnegotiation longer than the library's bound
// (16 KiB), anything else the library warns of, or compression the server
// turns on unasked, breaks the link.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/link.h"

struct telnet_t;
union telnet_event_t;
struct ComPortSetting;

class ComPortTelnet {
public:
    using Log = std::function<void(const std::string&)>;

    // Queues the offers of binary mode and of the COM-PORT-OPTION.
    explicit ComPortTelnet(Log log);
    ~ComPortTelnet();
    ComPortTelnet(const ComPortTelnet&) = delete;
    ComPortTelnet& operator=(const ComPortTelnet&) = delete;

    // Takes bytes from the server (at `now`); the device's bytes among them
    // are appended to `data`. Nothing more is taken once broken().
    void receive(std::span<const uint8_t> bytes, std::vector<uint8_t>& data,
                 LinkClock::time_point now);
    // Queues the bytes for the device, each 0xFF doubled.
    void send(std::span<const uint8_t> bytes);
    // What waits to go to the server; the caller erases what it sent.
    std::vector<uint8_t>& outbound() { return outbound_; }

    // The negotiation is over: the server refused the COM-PORT-OPTION, or
    // took it and has reported on the line since (a server that turns the
    // client away takes the option too, then says so and closes), or the
    // acknowledgement wait (link_policy.h) is over by `now`.
    bool negotiated(LinkClock::time_point now) const;
    // When the acknowledgement wait ends, once the settings went out.
    std::optional<LinkClock::time_point> acknowledgement_end() const;
    // The server broke the protocol; the connection is of no further use.
    bool broken() const { return broken_; }
    // Logs the acknowledgements still missing once their wait (link_policy.h)
    // is over.
    void check_acknowledgements(LinkClock::time_point now);

private:
    static void on_event(telnet_t* telnet, telnet_event_t* event, void* self);
    void handle(const telnet_event_t& event);
    void send_settings();
    void take_report(std::span<const uint8_t> report);

    Log log_;
    std::unique_ptr<telnet_t, void (*)(telnet_t*)> telnet_;
    std::vector<uint8_t> outbound_;
    std::vector<uint8_t>* data_ = nullptr;  // where receive() puts the device's bytes
    std::vector<const ComPortSetting*> unacknowledged_;
    LinkClock::time_point now_{};
    LinkClock::time_point acknowledgement_end_{};
    bool answered_ = false;  // the server took or refused the option
    bool refused_ = false;
    bool reported_ = false;  // the server sent a COM-PORT-OPTION message
    bool broken_ = false;
};
