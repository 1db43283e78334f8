// The test writer (test_writer.h): the recording replayed into batches and
// spans between keys, then the rules of what changes by itself, then the
// module's text.
#include "panel/test_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "keyboard/key_names.h"
#include "protocol/screen_snapshot.h"
#include "record/recording_reader.h"

namespace {

constexpr int32_t rows = ScreenSnapshot::rows;
constexpr int32_t columns = ScreenSnapshot::columns;

// Bytes closer than this are one batch.
constexpr double batch_gap = 0.020;
// The first batch this soon after a key is the device's answer to it.
constexpr double answer_window = 0.5;
// A batch that changes this many cells draws a screen anew.
constexpr size_t screen_drawn = 20;
// Changed by itself this often within one span: it keeps changing.
constexpr size_t keeps_changing = 2;
// The module's own wait, and the first one's, where the device starts up.
constexpr double least_timeout = 2.0;
constexpr double least_first_timeout = 5.0;

size_t cell_index(int32_t row, int32_t column) {
    return static_cast<size_t>(row * columns + column);
}

// A Python string literal of UTF-8 text with no control characters: plain
// where nothing in it needs a backslash; else, for a regular expression
// (whose quotes are escaped already), a raw string; else one with escapes.
std::string python_string(const std::string& text, bool expression) {
    if (text.find_first_of("\"\\") == std::string::npos) return '"' + text + '"';
    if (expression) return "r\"" + text + '"';
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

std::string python_bytes(const std::vector<uint8_t>& codes) {
    std::string text = "b\"";
    for (const uint8_t code : codes) {
        std::array<char, 8> escape{};
        std::snprintf(escape.data(), escape.size(), "\\x%02x", code);
        text += escape.data();
    }
    return text + '"';
}

// A cell's character in a regular expression: itself, with a backslash
// before what the expression syntax would take (and before a quote, so the
// expression fits in a raw string).
std::string pattern_character(uint8_t code) {
    const std::string text = character_text(code);
    if (text.size() == 1 &&
        std::string_view(".^$*+?{}[]|()\\\"").find(text[0]) != std::string_view::npos) {
        return '\\' + text;
    }
    return text;
}

// One row as an anchored expression: the cells as they are, '.' for the
// cells in `wild`, runs of them as .{n}, trailing spaces as " *".
std::string row_pattern(const TestWriter::Cells& cells, int32_t row,
                        const TestWriter::CellSet& wild) {
    int32_t end = columns;
    while (end > 0 && !wild[cell_index(row, end - 1)] && cells[cell_index(row, end - 1)] == ' ')
        --end;
    std::string pattern = "^";
    for (int32_t column = 0; column < end;) {
        if (!wild[cell_index(row, column)]) {
            pattern += pattern_character(cells[cell_index(row, column)]);
            ++column;
            continue;
        }
        int32_t run = 0;
        while (column < end && wild[cell_index(row, column)]) {
            ++run;
            ++column;
        }
        pattern += run == 1 ? "." : ".{" + std::to_string(run) + "}";
    }
    if (end < columns) pattern += columns - end == 1 ? " " : " *";
    return pattern + "$";
}

TestWriter::CellSet row_cells(int32_t row) {
    TestWriter::CellSet cells;
    for (int32_t column = 0; column < columns; ++column) cells.set(cell_index(row, column));
    return cells;
}

// Every cell of the rows that hold one of `cells`.
TestWriter::CellSet whole_rows(const TestWriter::CellSet& cells) {
    TestWriter::CellSet rows_of;
    for (int32_t row = 0; row < rows; ++row) {
        if ((cells & row_cells(row)).any()) rows_of |= row_cells(row);
    }
    return rows_of;
}

// A wait's timeout, in half seconds upwards: twice the time the recorded
// screen took after the key, and a second; and at least the time it took
// after the screen the test last waited for, and a second and a half (keys
// the device did not take yet come sooner in the test than they were
// pressed).
double timeout_for(double after_key, double after_wait, double least) {
    const double wanted = std::max(2 * after_key + 1, after_wait + 1.5);
    return std::max(std::ceil(wanted * 2) / 2, least);
}

std::string format_seconds(double seconds) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.1f", seconds);
    return text.data();
}

// A line of the module's comments, in printable ASCII: what comes from a
// file (a name, a note) may hold line breaks or bytes that are no UTF-8,
// which Python would not read.
std::string comment_text(const std::string& text) {
    std::string clean = text;
    for (char& c : clean) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '?';
    }
    return clean;
}

}  // namespace

TestWriter::TestWriter(std::string origin, std::string author)
    : origin_(std::move(origin)), author_(std::move(author)), key_names_(named_key_codes()) {
    session_.start();
    cells_ = current_cells();
    start_cells_ = cells_;
    segments_.emplace_back();
    segments_.back().before = cells_;
}

void TestWriter::set_header(const RecordingHeader& header) {
    header_ = header;
    if (!header.complete) {
        warnings_.emplace_back(
            "the recording holds only the session's last minutes: the test begins in its middle, "
            "and may need the keys that led there");
    }
    if (header.side == "device") {
        warnings_.emplace_back(
            "the recording was made on the device's side: the display's own timer is not in it");
    }
}

TestWriter::Cells TestWriter::current_cells() {
    Cells cells{};
    const std::optional<ScreenSnapshot> screen = session_.snapshot();
    if (!screen) return cells;
    for (int32_t row = 0; row < rows; ++row) {
        for (int32_t column = 0; column < columns; ++column) {
            cells[cell_index(row, column)] = screen->cells[row][column];
        }
    }
    return cells;
}

void TestWriter::add(const RecordEvent& event) {
    switch (event.kind) {
        case RecordKind::rx:
            take_bytes(event.bytes, event.t);
            break;
        case RecordKind::tick:
            take_tick(event.t);
            break;
        case RecordKind::tx:
            if (!event.bytes.empty()) take_key(event.bytes, event.t);
            break;
        case RecordKind::mark:
            notes_.push_back(event.text);
            break;
        case RecordKind::link:
        case RecordKind::drop:
            break;
    }
}

void TestWriter::take_bytes(const std::vector<uint8_t>& bytes, double t) {
    if (!burst_open_ || t - last_bytes_ >= batch_gap) {
        close_burst();
        open_burst(t);
    }
    session_.interpret_bytes(bytes);
    last_bytes_ = t;
}

void TestWriter::take_tick(double t) {
    close_burst();
    const Cells before = cells_;
    session_.on_timer();
    cells_ = current_cells();
    if (cells_ != before) add_burst(BurstKind::by_itself, t, before);
}

void TestWriter::take_key(const std::vector<uint8_t>& codes, double t) {
    close_burst();
    end_segment();
    Segment segment;
    segment.key_time = t;
    segment.codes = codes;
    segment.notes = std::move(notes_);
    notes_.clear();
    segment.before = cells_;
    segments_.push_back(std::move(segment));
    awaiting_answer_ = true;
    ++keys_;
}

void TestWriter::open_burst(double t) {
    burst_open_ = true;
    burst_before_ = cells_;
    last_bytes_ = t;
}

void TestWriter::close_burst() {
    if (!burst_open_) return;
    burst_open_ = false;
    Segment& segment = segments_.back();
    const bool answer = awaiting_answer_ && last_bytes_ - segment.key_time <= answer_window;
    awaiting_answer_ = false;
    cells_ = current_cells();
    add_burst(answer ? BurstKind::answer : BurstKind::by_itself, last_bytes_, burst_before_);
    if (answer) {
        segment.answer = bursts_.size() - 1;
        segment.answered = cells_;
    }
}

void TestWriter::add_burst(BurstKind kind, double end, const Cells& before) {
    Burst burst{segments_.size() - 1, kind, end, {}, {}};
    const Cells& before_key = segments_.back().before;
    for (size_t c = 0; c < cell_count; ++c) {
        if (before[c] == cells_[c]) continue;
        burst.changed.set(c);
        burst.anew[c] = cells_[c] != before_key[c];
        changed_by_[c] = bursts_.size();
    }
    bursts_.push_back(burst);
}

void TestWriter::end_segment() {
    Segment& segment = segments_.back();
    segment.settled = cells_;
    segment.changed_by = changed_by_;
    if (!segment.answer) segment.answered = segment.before;
}

void TestWriter::mark_start_up() {
    std::optional<size_t> last_drawn;
    for (size_t b = 0; b < bursts_.size() && bursts_[b].segment == 0; ++b) {
        if (bursts_[b].changed.count() >= screen_drawn) last_drawn = b;
    }
    if (!last_drawn) return;
    for (size_t b = 0; b <= *last_drawn; ++b) bursts_[b].kind = BurstKind::start_up;
}

// The rows that changed by themselves after the span's screen was last drawn
// anew by itself (before the first key: after the start-up), or in the
// whole span if it never was.
TestWriter::CellSet TestWriter::restless_after_drawing(size_t segment) const {
    CellSet after;
    for (const Burst& burst : bursts_) {
        if (burst.segment != segment || burst.kind == BurstKind::answer) continue;
        if (burst.changed.count() >= screen_drawn) {
            after.reset();
        } else if (burst.kind == BurstKind::by_itself) {
            after |= burst.changed;
        }
    }
    return whole_rows(after);
}

// The rows with a cell that changed by itself twice or more in the span (a
// change back to what it showed before the key is not counted), and those
// of restless_after_drawing().
TestWriter::CellSet TestWriter::restless_within(size_t segment) const {
    std::array<size_t, cell_count> changes{};
    for (const Burst& burst : bursts_) {
        if (burst.segment != segment || burst.kind != BurstKind::by_itself) continue;
        for (size_t c = 0; c < cell_count; ++c) changes[c] += burst.anew[c] ? 1 : 0;
    }
    CellSet restless;
    for (size_t c = 0; c < cell_count; ++c) restless[c] = changes[c] >= keeps_changing;
    return whole_rows(restless) | restless_after_drawing(segment);
}

// The rows that went on changing by themselves after their screen was
// drawn in two spans or more.
TestWriter::CellSet TestWriter::restless_everywhere() const {
    std::array<size_t, rows> spans{};
    for (size_t segment = 0; segment < segments_.size(); ++segment) {
        const CellSet after = restless_after_drawing(segment);
        for (int32_t row = 0; row < rows; ++row) spans[row] += (after & row_cells(row)).any();
    }
    CellSet restless;
    for (int32_t row = 0; row < rows; ++row) {
        if (spans[row] >= 2) restless |= row_cells(row);
    }
    return restless;
}

double TestWriter::shown_at(const Segment& segment, const CellSet& cells) const {
    double shown = 0;
    for (size_t c = 0; c < cell_count; ++c) {
        const std::optional<size_t> burst = segment.changed_by[c];
        if (cells[c] && burst) shown = std::max(shown, bursts_[*burst].end);
    }
    return shown;
}

// The waits after a key (or before the first): `restless` changes by itself
// everywhere; `vague` holds the cells whose value came by itself and keeps
// changing, carried from span to span.
std::vector<TestWriter::Wait> TestWriter::waits_of(size_t index, const CellSet& restless,
                                                   CellSet& vague) const {
    const Segment& segment = segments_[index];
    const CellSet answered =
        segment.answer ? bursts_[*segment.answer].changed & ~restless : CellSet{};
    CellSet by_itself;
    for (const Burst& burst : bursts_) {
        if (burst.segment == index && burst.kind != BurstKind::answer) by_itself |= burst.changed;
    }
    // What goes on changing here: its values, as recorded, are no one's to
    // wait for, now or later.
    const CellSet going_on = restless_after_drawing(index);
    CellSet keeps = restless_within(index);
    // Lines of text written by themselves twice (each alone, not as part
    // of a screen drawn anew), beside what always changes: the screen shows
    // what the device finds meanwhile (a log), and nothing the span drew is
    // the same another time.
    size_t lines_written = 0;
    for (const Burst& burst : bursts_) {
        const size_t written = (burst.anew & ~restless).count();
        if (burst.segment == index && burst.kind == BurstKind::by_itself &&
            written >= columns / 2 && burst.changed.count() < screen_drawn) {
            ++lines_written;
        }
    }
    const bool live = lines_written >= keeps_changing;
    const CellSet drawn_here =
        by_itself | (segment.answer ? bursts_[*segment.answer].changed : CellSet{});
    if (live) keeps |= whole_rows(drawn_here);

    CellSet vague_answered = vague;
    if (segment.answer) {
        const CellSet drawn = bursts_[*segment.answer].changed;
        vague_answered = (vague & ~drawn) | (drawn & restless);
    }
    const CellSet vague_settled = (vague_answered & ~by_itself) | (by_itself & (restless | keeps)) |
                                  going_on | (live ? keeps : CellSet{});
    vague = vague_settled;
    const CellSet wild_answered = restless | going_on | vague_answered;
    const CellSet wild_settled = restless | keeps | vague_settled;

    // The rows the span changed, as they ended it; those that tell the
    // settled screen from the one before the key first.
    const CellSet changed = (answered | by_itself) & ~wild_settled;
    std::vector<Wait> telling;
    std::vector<Wait> others;
    for (int32_t row = 0; row < rows; ++row) {
        const CellSet in_row = changed & row_cells(row);
        if (in_row.none()) continue;
        bool tells = false;
        for (size_t c = 0; c < cell_count; ++c) {
            tells = tells || (row_cells(row)[c] && !wild_settled[c] &&
                              segment.settled[c] != segment.before[c]);
        }
        const CellSet waited = row_cells(row) & ~wild_settled;
        Wait wait{row + 1, row_pattern(segment.settled, row, wild_settled),
                  shown_at(segment, waited)};
        (tells ? telling : others).push_back(std::move(wait));
    }
    std::vector<Wait> waits;
    if (telling.empty() && !others.empty() && segment.answer) {
        // The screen came back to what it was: the answer shows the key
        // was taken.
        const double shown = bursts_[*segment.answer].end;
        for (int32_t row = 0; row < rows; ++row) {
            bool tells = false;
            for (size_t c = 0; c < cell_count; ++c) {
                tells = tells || (row_cells(row)[c] && answered[c] && !wild_answered[c] &&
                                  segment.answered[c] != segment.before[c]);
            }
            if (tells)
                waits.push_back(
                    {row + 1, row_pattern(segment.answered, row, wild_answered), shown});
        }
    }
    waits.insert(waits.end(), telling.begin(), telling.end());
    waits.insert(waits.end(), others.begin(), others.end());
    return waits;
}

std::vector<std::string> TestWriter::key_lines(const Segment& segment) const {
    std::vector<std::string> lines;
    std::vector<uint8_t> unnamed;
    const auto send_unnamed = [&] {
        if (!unnamed.empty()) lines.push_back("panel.send(" + python_bytes(unnamed) + ")");
        unnamed.clear();
    };
    for (size_t i = 0; i < segment.codes.size();) {
        const NamedKeyCodes* best = nullptr;
        for (const NamedKeyCodes& named : key_names_) {
            const bool fits = named.codes.size() <= segment.codes.size() - i &&
                              std::equal(named.codes.begin(), named.codes.end(),
                                         segment.codes.begin() + static_cast<std::ptrdiff_t>(i));
            if (fits && (best == nullptr || named.codes.size() > best->codes.size())) best = &named;
        }
        if (best == nullptr) {
            unnamed.push_back(segment.codes[i++]);
            continue;
        }
        send_unnamed();
        lines.push_back("panel.press(" + python_string(best->name, false) + ")");
        i += best->codes.size();
    }
    send_unnamed();
    lines.back() += "  # " + format_seconds(segment.key_time) + " s";
    return lines;
}

std::string TestWriter::comments() const {
    std::string text = "# Written by " + comment_text(author_) + " from " + comment_text(origin_);
    if (!header_.target.empty()) text += ",\n# a session on " + comment_text(header_.target);
    if (!header_.start.empty()) text += " begun " + comment_text(header_.start);
    text += ".\n";
    text +=
        "# Each key is followed by waits for the rows it changed, as the screen then\n"
        "# settled; what the device changed by itself while recorded (a status line's\n"
        "# counters, a busy indicator) is matched by '.'.\n"
        "#\n"
        "#     pytest -p zezodavoru.pytest_plugin --panel-target TARGET THIS_FILE\n";
    for (const std::string& warning : warnings_) text += "#\n# Note: " + warning + ".\n";
    return text;
}

std::string TestWriter::finish() {
    close_burst();
    end_segment();
    if (keys_ == 0) warnings_.emplace_back("no key was sent in the recording");
    mark_start_up();
    const CellSet restless = restless_everywhere();

    std::vector<std::string> body;
    CellSet vague;
    double waited = 0;  // when the recorded screen showed what was waited for last
    for (size_t index = 0; index < segments_.size(); ++index) {
        const Segment& segment = segments_[index];
        if (index > 0) {
            body.emplace_back();
            for (const std::string& note : segment.notes) body.push_back("# " + comment_text(note));
            for (std::string& line : key_lines(segment)) body.push_back(std::move(line));
        }
        const std::vector<Wait> waits = waits_of(index, restless, vague);
        if (waits.empty() && index > 0) body.emplace_back("# (no lasting change to wait for)");
        const double least = index == 0 ? least_first_timeout : least_timeout;
        double reached = waited;
        for (const Wait& wait : waits) {
            const double timeout =
                timeout_for(wait.shown - segment.key_time, wait.shown - waited, least);
            reached = std::max(reached, wait.shown);
            std::string line = "panel.wait_for(re.compile(" + python_string(wait.pattern, true) +
                               "), row=" + std::to_string(wait.row);
            if (timeout != least_timeout) line += ", timeout=" + format_seconds(timeout);
            body.push_back(line + ")");
        }
        waited = reached;
    }
    for (const std::string& note : notes_) body.push_back("# " + comment_text(note));

    std::string module = comments() + "\nimport re\n\n\ndef test_recorded_session(panel):\n";
    bool any = false;
    for (const std::string& line : body) {
        module += line.empty() ? "\n" : "    " + line + "\n";
        any = any || (!line.empty() && line[0] != '#');
    }
    if (!any) module += "    pass\n";
    return module;
}

bool write_test_of_recording(const std::string& path, const std::string& author,
                             std::string& module, std::vector<std::string>& warnings,
                             std::string& error) {
    const std::string name = path.empty() || path == "-" ? "standard input" : path;
    std::optional<RecordingSource> source = open_recording_source(path);
    if (!source) {
        error = "cannot read " + name;
        return false;
    }
    RecordingReader reader(std::move(*source));
    if (!reader.read_header()) {
        error = name + ": " + reader.problem();
        return false;
    }
    const size_t slash = name.find_last_of('/');
    TestWriter writer(slash == std::string::npos ? name : name.substr(slash + 1), author);
    writer.set_header(reader.header());
    RecordEvent event;
    while (reader.next(event)) writer.add(event);
    if (!reader.problem().empty()) writer.warn(name + ": " + reader.problem());
    module = writer.finish();
    warnings = writer.warnings();
    return true;
}
