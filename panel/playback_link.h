// A recording played back behind the link seam: a loop-driven link that
// hands on the recorded bytes at their times (divided by the speed) and
// runs the recorded ticks, so that the display goes through exactly the
// states it went through when the session was recorded. The recorded ticks
// are the only ones (plays_ticks()): the panel's clock stays still while
// the link is there, also once it has played to its end.
//
// The link is named after the file. Keys go nowhere (send() refuses them).
// At the end of the recording, or where a damaged one stops, the link
// closes and the display keeps its last screen. The file is read one event
// ahead, so a recording of any length plays in the same memory.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "link/link.h"
#include "panel/remote_panel.h"
#include "record/recording_reader.h"

class PlaybackLink final : public Link {
public:
    // The speeds a recording plays at: above 0, up to a million times its
    // pace.
    static constexpr double fastest = 1e6;
    static constexpr bool speed_allowed(double speed) { return speed > 0 && speed <= fastest; }

    // `tick`: runs one tick of the display's timer.
    PlaybackLink(LinkEvents events, std::function<void()> tick, std::string path, double speed);

    // not_found when the file cannot be opened, bad_target when it is no
    // recording (problem() says why).
    LinkResult open() override;
    void close() override { state_ = LinkState::closed; }
    bool send(std::span<const uint8_t>) override { return false; }
    LinkState state() const override { return state_; }
    const std::string& target() const override { return path_; }
    LinkWatch watch() const override;
    void service(LinkClock::time_point now) override;
    bool plays_ticks() const override { return true; }

    // The recording played to its end (or to where it is damaged).
    bool finished() const { return finished_; }
    // What was wrong with the file, or empty.
    const std::string& problem() const;

private:
    LinkClock::time_point due(const RecordEvent& event) const;
    void hand_on(const RecordEvent& event);

    LinkEvents events_;
    std::function<void()> tick_;
    std::string path_;
    double speed_;
    std::optional<RecordingReader> reader_;
    std::optional<RecordEvent> next_;
    LinkState state_ = LinkState::closed;
    LinkClock::time_point start_{};
    bool finished_ = false;
    std::string problem_;
};

// Plays the recording at `path` on `panel` as its link, closing first
// whatever was open; the recorded ticks are the panel's tick(). Returns the
// link (the panel owns it), or null with the link closed and `problem`
// saying why the file cannot play.
PlaybackLink* play_recording(RemotePanel& panel, const std::string& path, double speed,
                             std::string& problem);
