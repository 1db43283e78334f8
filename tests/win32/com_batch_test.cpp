// The serial reader's batches (com_read_batch) against a port made in
// memory: the bytes a device sent arrive in chunks, a read for one byte
// waits for the next chunk, and the port tells how many bytes wait. Batches
// must keep the arrival order across their boundaries, respect the batch
// buffer's size, keep the bytes of a read that failed after copying, and,
// fed to a display session, ask for one repaint per batch that ends a
// repainting command while leaving the screen as byte-by-byte feeding does.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "protocol/display_session.h"
#include "link/com_link.h"

namespace {

// A port whose device sends `chunks`, one after another: a chunk arrives
// whole when a one-byte read finds nothing waiting. A read may be told to
// fail after copying some bytes, as a cancelled read does.
class FakePort {
public:
    explicit FakePort(std::vector<std::vector<uint8_t>> chunks)
        : chunks_(chunks.begin(), chunks.end()) {}

    ComRead read(uint8_t* buffer, size_t count) {
        ++reads;
        if (received_.empty() && count == 1 && !chunks_.empty()) {
            received_.insert(received_.end(), chunks_.front().begin(), chunks_.front().end());
            chunks_.pop_front();
        }
        size_t copied = std::min(count, received_.size());
        if (fail_after) copied = std::min(copied, *fail_after);
        std::copy_n(received_.begin(), copied, buffer);
        received_.erase(received_.begin(), received_.begin() + static_cast<long>(copied));
        if (fail_after) return {ComTransfer::failed, copied};
        return {copied == count ? ComTransfer::complete : ComTransfer::timed_out, copied};
    }
    size_t waiting() const { return received_.size(); }
    bool drained() const { return chunks_.empty() && received_.empty(); }

    // The next reads fail after copying this many bytes.
    std::optional<size_t> fail_after;
    int reads = 0;

private:
    std::deque<std::vector<uint8_t>> chunks_;
    std::deque<uint8_t> received_;
};

std::vector<uint8_t> sequence(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    return bytes;
}

TEST(ComBatch, KeepsArrivalOrderAcrossBatchesAndTheBufferSize) {
    const std::vector<uint8_t> sent = sequence(30);
    // Chunks of 1, 12, 3 and 14 bytes, read through a 5-byte buffer.
    FakePort port({{sent.begin(), sent.begin() + 1},
                   {sent.begin() + 1, sent.begin() + 13},
                   {sent.begin() + 13, sent.begin() + 16},
                   {sent.begin() + 16, sent.end()}});
    std::array<uint8_t, 5> buffer{};
    std::vector<uint8_t> got;
    std::vector<size_t> sizes;
    while (!port.drained()) {
        const ComBatch batch = com_read_batch(port, buffer);
        ASSERT_NE(batch.outcome, ComTransfer::failed);
        ASSERT_GT(batch.count, 0u);
        ASSERT_LE(batch.count, buffer.size());
        sizes.push_back(batch.count);
        got.insert(got.end(), buffer.begin(), buffer.begin() + static_cast<long>(batch.count));
    }
    EXPECT_EQ(got, sent);
    // A batch takes what already waits, never more than its buffer, and
    // never waits for a chunk that has not arrived.
    EXPECT_EQ(sizes, (std::vector<size_t>{1, 5, 5, 2, 3, 5, 5, 4}));

    // Nothing more: the first read times out and no second read is made.
    const int reads = port.reads;
    const ComBatch idle = com_read_batch(port, buffer);
    EXPECT_EQ(idle.count, 0u);
    EXPECT_EQ(idle.outcome, ComTransfer::timed_out);
    EXPECT_EQ(port.reads, reads + 1);
}

TEST(ComBatch, ReadsThatFailAfterCopyingKeepTheirBytes) {
    const std::vector<uint8_t> sent = sequence(6);
    std::array<uint8_t, 16> buffer{};

    // The second read (of the five waiting bytes) fails after copying two.
    FakePort rest_fails({sent});
    struct FailingRest {
        FakePort& port;
        ComRead read(uint8_t* out, size_t count) {
            if (count > 1) port.fail_after = 2;
            return port.read(out, count);
        }
        size_t waiting() const { return port.waiting(); }
    } failing_rest{rest_fails};
    const ComBatch partial = com_read_batch(failing_rest, buffer);
    EXPECT_EQ(partial.outcome, ComTransfer::failed);
    ASSERT_EQ(partial.count, 3u);
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 3),
              std::vector<uint8_t>(sent.begin(), sent.begin() + 3));

    // The first read fails after copying its byte: the byte counts, and no
    // second read is tried on a port that failed.
    FakePort first_fails({sent});
    first_fails.fail_after = 1;
    const ComBatch one = com_read_batch(first_fails, buffer);
    EXPECT_EQ(one.outcome, ComTransfer::failed);
    ASSERT_EQ(one.count, 1u);
    EXPECT_EQ(buffer[0], sent[0]);
    EXPECT_EQ(first_fails.reads, 1);
}

// The screen's characters and the cursor, which every command here changes.
std::vector<uint8_t> screen_of(DisplaySession& session) {
    return session.with_state([](SessionState& s) {
        std::vector<uint8_t> screen(s.display->ddram.begin(), s.display->ddram.end());
        screen.push_back(static_cast<uint8_t>(s.display->ddram_cursor));
        return screen;
    });
}

TEST(ComBatch, OneRepaintPerBatchAndTheScreenOfOneRepaintPerCommand) {
    std::vector<uint8_t> row = {0x8C, 0x03};
    for (uint8_t c = 'a'; c < 'a' + 20; ++c) row.push_back(c);
    const std::vector<std::vector<uint8_t>> chunks = {
        // Three scrolls and a backspace, arrived together: one batch.
        {0x91, 0x92, 0x9C, 0x90},
        // A row of text split across two batches: no repaint before its
        // last byte, one after it.
        {row.begin(), row.begin() + 9},
        {row.begin() + 9, row.end()},
        // Bytes that ask for no repaint.
        {0x85, 0x86, 0x88, 0x41, 0x55},
        // A command that repaints, then a command that does not, in one batch.
        {0x8E, 'Z', 0x88},
        {0x00},
    };
    DisplaySession batched;
    DisplaySession by_byte;
    ASSERT_TRUE(batched.start());
    ASSERT_TRUE(by_byte.start());
    const uint64_t batched_start = batched.repaint_count();
    const uint64_t by_byte_start = by_byte.repaint_count();

    FakePort port(chunks);
    std::array<uint8_t, 64> buffer{};
    std::vector<uint64_t> repaints;
    while (!port.drained()) {
        const ComBatch batch = com_read_batch(port, buffer);
        ASSERT_GT(batch.count, 0u);
        const uint64_t before = batched.repaint_count();
        batched.interpret_bytes(std::span<const uint8_t>(buffer.data(), batch.count));
        repaints.push_back(batched.repaint_count() - before);
    }
    for (const auto& chunk : chunks) {
        for (uint8_t b : chunk) by_byte.interpret_byte(b);
    }
    EXPECT_EQ(repaints, (std::vector<uint64_t>{1, 0, 1, 0, 1, 0}));
    EXPECT_EQ(batched.repaint_count() - batched_start, 3u);
    EXPECT_EQ(by_byte.repaint_count() - by_byte_start, 6u);
    EXPECT_EQ(screen_of(batched), screen_of(by_byte));
}

}  // namespace
