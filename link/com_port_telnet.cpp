// The telnet and COM-PORT-OPTION side of an rfc2217:// link over libtelnet
// (com_port_telnet.h). The option's messages follow its RFC: the client
// sends commands 1..12, the server answers each with the same command plus
// 100 and the value it now has.
#include "link/com_port_telnet.h"

#include <libtelnet.h>

#include <algorithm>
#include <array>
#include <cstddef>  // libtelnet.h uses size_t without it

#include "link/link_policy.h"

struct ComPortSetting {
    uint8_t command;
    std::array<uint8_t, 4> value;
    uint8_t size;
    const char* name;
};

namespace {

constexpr unsigned char com_port_option = 44;
constexpr uint8_t server_offset = 100;  // a server's answer to command c is c + 100
constexpr uint8_t notify_linestate = 106;
constexpr uint8_t notify_modemstate = 107;

// The line the device speaks: 19200 baud 8N1, no flow control, DTR and RTS
// held off (SET-BAUDRATE, SET-DATASIZE, SET-PARITY 1 = none, SET-STOPSIZE
// 1 = one, SET-CONTROL 1 = no flow control, 9 = DTR off, 12 = RTS off).
constexpr std::array<ComPortSetting, 7> line_settings{{
    {1, {0x00, 0x00, 0x4B, 0x00}, 4, "19200 baud"},
    {2, {8}, 1, "8 data bits"},
    {3, {1}, 1, "no parity"},
    {4, {1}, 1, "1 stop bit"},
    {5, {1}, 1, "no flow control"},
    {5, {9}, 1, "DTR off"},
    {5, {12}, 1, "RTS off"},
}};

// What this side agrees to: binary both ways, suppress-go-ahead both ways
// (the server offers it), and the COM-PORT-OPTION on this side. Anything
// else the server offers or asks for is refused.
constexpr std::array<telnet_telopt_t, 4> agreed_options{{
    {TELNET_TELOPT_BINARY, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {com_port_option, TELNET_WILL, TELNET_DONT},
    {-1, 0, 0},
}};

std::span<const uint8_t> bytes_of(const char* buffer, size_t size) {
    return {reinterpret_cast<const uint8_t*>(buffer), size};
}

uint32_t big_endian(std::span<const uint8_t> bytes) {
    uint32_t value = 0;
    for (const uint8_t b : bytes.first(std::min<size_t>(bytes.size(), 4))) value = value << 8 | b;
    return value;
}

}  // namespace

ComPortTelnet::ComPortTelnet(Log log)
    : log_(std::move(log)),
      telnet_(telnet_init(agreed_options.data(), &ComPortTelnet::on_event, 0, this), &telnet_free) {
    if (!telnet_) {
        broken_ = true;
        return;
    }
    telnet_negotiate(telnet_.get(), TELNET_WILL, TELNET_TELOPT_BINARY);
    telnet_negotiate(telnet_.get(), TELNET_DO, TELNET_TELOPT_BINARY);
    telnet_negotiate(telnet_.get(), TELNET_WILL, com_port_option);
}

ComPortTelnet::~ComPortTelnet() = default;

void ComPortTelnet::receive(std::span<const uint8_t> bytes, std::vector<uint8_t>& data,
                            LinkClock::time_point now) {
    if (broken_ || bytes.empty()) return;
    now_ = now;
    data_ = &data;
    telnet_recv(telnet_.get(), reinterpret_cast<const char*>(bytes.data()), bytes.size());
    data_ = nullptr;
    check_acknowledgements(now);
}

void ComPortTelnet::send(std::span<const uint8_t> bytes) {
    if (broken_ || bytes.empty()) return;
    telnet_send(telnet_.get(), reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

bool ComPortTelnet::negotiated(LinkClock::time_point now) const {
    return refused_ || (answered_ && (reported_ || now >= acknowledgement_end_));
}

std::optional<LinkClock::time_point> ComPortTelnet::acknowledgement_end() const {
    if (!answered_ || refused_) return std::nullopt;
    return acknowledgement_end_;
}

void ComPortTelnet::check_acknowledgements(LinkClock::time_point now) {
    if (unacknowledged_.empty() || now < acknowledgement_end_) return;
    std::string missing;
    for (const ComPortSetting* setting : unacknowledged_)
        missing += (missing.empty() ? "" : ", ") + std::string(setting->name);
    unacknowledged_.clear();
    if (log_) log_("the server did not acknowledge " + missing + "; going on without");
}

void ComPortTelnet::on_event(telnet_t*, telnet_event_t* event, void* self) {
    static_cast<ComPortTelnet*>(self)->handle(*event);
}

void ComPortTelnet::handle(const telnet_event_t& event) {
    if (broken_) return;
    switch (event.type) {
        case TELNET_EV_DATA:
            if (data_ != nullptr) {
                const auto bytes = bytes_of(event.data.buffer, event.data.size);
                data_->insert(data_->end(), bytes.begin(), bytes.end());
            }
            break;
        case TELNET_EV_SEND: {
            const auto bytes = bytes_of(event.data.buffer, event.data.size);
            outbound_.insert(outbound_.end(), bytes.begin(), bytes.end());
            break;
        }
        case TELNET_EV_DO:
            if (event.neg.telopt == com_port_option && !answered_) {
                answered_ = true;
                send_settings();
            }
            break;
        case TELNET_EV_DONT:
            if (event.neg.telopt == com_port_option && !answered_) {
                answered_ = true;
                refused_ = true;
                if (log_) log_("the server does not take line settings; going on without");
            }
            break;
        case TELNET_EV_SUBNEGOTIATION:
            if (event.sub.telopt == com_port_option)
                take_report(bytes_of(event.sub.buffer, event.sub.size));
            break;
        case TELNET_EV_WARNING:
            // Each warning is a server breaking the protocol (a subnegotiation
            // over the bound, whose rest the library would take as data; a
            // stray byte after IAC inside one; a malformed message of an
            // option never agreed to).
        case TELNET_EV_ERROR:
        case TELNET_EV_COMPRESS:  // never offered: the rest would be read as compressed
            broken_ = true;
            break;
        default:
            break;
    }
    if (broken_ && log_) log_("the server broke the telnet protocol");
}

void ComPortTelnet::send_settings() {
    for (const ComPortSetting& setting : line_settings) {
        std::array<char, 5> message{};
        message[0] = static_cast<char>(setting.command);
        std::copy_n(setting.value.begin(), setting.size, message.begin() + 1);
        telnet_subnegotiation(telnet_.get(), com_port_option, message.data(),
                              static_cast<size_t>(setting.size) + 1);
        unacknowledged_.push_back(&setting);
    }
    acknowledgement_end_ = now_ + link_policy::acknowledgement_wait;
}

void ComPortTelnet::take_report(std::span<const uint8_t> report) {
    if (report.empty()) return;
    reported_ = true;
    const uint8_t command = report[0];
    if (command == notify_linestate || command == notify_modemstate) return;
    if (command <= server_offset) return;
    // The first setting of that command still waiting takes the answer.
    const auto waiting = std::find_if(unacknowledged_.begin(), unacknowledged_.end(),
                                      [command](const ComPortSetting* setting) {
                                          return setting->command + server_offset == command;
                                      });
    if (waiting == unacknowledged_.end()) return;
    const ComPortSetting& setting = **waiting;
    unacknowledged_.erase(waiting);
    const std::span<const uint8_t> value = report.subspan(1);
    const std::span<const uint8_t> asked(setting.value.data(), setting.size);
    if (!std::equal(value.begin(), value.end(), asked.begin(), asked.end()) && log_) {
        log_(std::string("the server answered ") + setting.name + " with the value " +
             std::to_string(big_endian(value)));
    }
}
