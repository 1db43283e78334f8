// The page's port and its transport (page_port.h).
#include "web/page_port.h"

#include <algorithm>

// The transport on one generation of the page's line: reads take what the
// page pushed, writes fill the output up to its limit.
class PageTransport final : public Transport {
public:
    PageTransport(PagePort& port, uint64_t generation) : port_(port), generation_(generation) {}

    int fd() const override { return -1; }

    TransportIo read(std::span<uint8_t> buffer) override {
        if (!current()) return {0, true};
        const size_t count = std::min(buffer.size(), port_.input_.size());
        std::copy_n(port_.input_.begin(), count, buffer.begin());
        port_.input_.erase(port_.input_.begin(),
                           port_.input_.begin() + static_cast<std::ptrdiff_t>(count));
        return {count, false};
    }

    TransportIo write(std::span<const uint8_t> bytes) override {
        if (!current()) return {0, true};
        const size_t room = PagePort::output_limit - port_.output_.size();
        const size_t count = std::min(room, bytes.size());
        port_.output_.insert(port_.output_.end(), bytes.begin(),
                             bytes.begin() + static_cast<std::ptrdiff_t>(count));
        return {count, false};
    }

private:
    bool current() const { return port_.present_ && port_.generation_ == generation_; }

    PagePort& port_;
    uint64_t generation_;
};

void PagePort::opened() {
    present_ = true;
    ++generation_;
    input_.clear();
    output_.clear();
}

void PagePort::gone() {
    present_ = false;
    input_.clear();
    output_.clear();
}

void PagePort::push(std::span<const uint8_t> bytes) {
    if (present_) input_.insert(input_.end(), bytes.begin(), bytes.end());
}

std::vector<uint8_t> PagePort::take_output() {
    std::vector<uint8_t> taken;
    taken.swap(output_);
    return taken;
}

TransportOpen PagePort::open_transport() {
    if (!present_) {
        if (reopen_hook_) reopen_hook_();
        return {LinkResult::not_found, nullptr};
    }
    return {LinkResult::ok, std::make_unique<PageTransport>(*this, generation_)};
}
