// The playback link (playback_link.h).
#include "panel/playback_link.h"

#include <memory>

PlaybackLink::PlaybackLink(LinkEvents events, std::function<void()> tick, std::string path,
                           double speed)
    : events_(std::move(events)), tick_(std::move(tick)), path_(std::move(path)), speed_(speed) {}

LinkResult PlaybackLink::open() {
    std::optional<RecordingSource> source = open_recording_source(path_);
    if (!source) {
        problem_ = "cannot be opened";
        return LinkResult::not_found;
    }
    reader_.emplace(std::move(*source));
    if (!reader_->read_header()) {
        problem_ = reader_->problem();
        reader_.reset();
        return LinkResult::bad_target;
    }
    state_ = LinkState::linked;
    finished_ = false;
    start_ = LinkClock::now();
    RecordEvent event;
    if (reader_->next(event)) next_ = std::move(event);
    return LinkResult::ok;
}

const std::string& PlaybackLink::problem() const {
    return reader_ && !reader_->problem().empty() ? reader_->problem() : problem_;
}

LinkClock::time_point PlaybackLink::due(const RecordEvent& event) const {
    return start_ + std::chrono::duration_cast<LinkClock::duration>(
                        std::chrono::duration<double>(event.t / speed_));
}

LinkWatch PlaybackLink::watch() const {
    LinkWatch watch;
    if (state_ == LinkState::linked) watch.wake = next_ ? due(*next_) : LinkClock::now();
    return watch;
}

void PlaybackLink::service(LinkClock::time_point now) {
    if (state_ != LinkState::linked) return;
    while (next_ && due(*next_) <= now) {
        hand_on(*next_);
        RecordEvent event;
        if (reader_->next(event)) {
            next_ = std::move(event);
        } else {
            next_.reset();
        }
    }
    if (next_) return;
    finished_ = true;
    state_ = LinkState::closed;
    if (events_.state_changed) events_.state_changed(state_);
}

void PlaybackLink::hand_on(const RecordEvent& event) {
    switch (event.kind) {
        case RecordKind::rx:
            if (events_.received) events_.received(event.bytes);
            return;
        case RecordKind::drop:
            if (events_.dropped) events_.dropped(event.bytes);
            return;
        case RecordKind::tick:
            if (tick_) tick_();
            return;
        default:  // keys, link changes and marks change nothing on the display
            return;
    }
}

PlaybackLink* play_recording(RemotePanel& panel, const std::string& path, double speed,
                             std::string& problem) {
    // Looked at here first: the panel lets a link that fails to open go,
    // and with it the reason.
    std::optional<RecordingSource> source = open_recording_source(path);
    problem = "cannot be opened";
    if (source) {
        RecordingReader reader(std::move(*source));
        problem = reader.read_header() ? std::string() : reader.problem();
    }
    if (!problem.empty()) {
        panel.close();
        return nullptr;
    }
    PlaybackLink* playing = nullptr;
    const LinkResult result = panel.open([&](LinkEvents events) {
        auto link = std::make_unique<PlaybackLink>(
            std::move(events), [&panel] { panel.tick(); }, path, speed);
        playing = link.get();
        return MadeLink{LinkResult::ok, std::move(link)};
    });
    if (result == LinkResult::ok) return playing;
    problem = link_result_text(result);
    return nullptr;
}
