// The COM port's portable part: the device names of COM port numbers and
// the reader's batch, the one routine of the COM port's reader that needs
// no system call of its own (so that it is tested natively too). The port
// itself is a transport (com_port_win32.h).
//
// The reader takes what arrives in batches: it waits for one byte, then asks
// the port how many more are already waiting and takes them all in a second
// read that completes at once. A batch is handed on as one span, so the
// display session asks for one repaint per batch rather than one per
// command; at the line's own rate a batch is a single byte, so nothing
// changes there, and a burst costs a few paints instead of one per command.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "link/link.h"

// The device name of port n: "COMn" for 0..9, "\\.\COMn" from 10 on (the
// plain name is known to the system only for ports 1..9).
std::string com_port_name(uint8_t port);

// How a read on the port ended: with every byte asked for, with fewer when
// the port's time-out ran out first, or failed (port gone, read cancelled).
// `count` bytes were copied in every case, also when the read failed.
enum class ComTransfer { complete, timed_out, failed };
struct ComRead {
    ComTransfer outcome = ComTransfer::failed;
    size_t count = 0;
};

// One batch of the reader. `port` offers read(buffer, count) -> ComRead,
// which waits for the bytes by the port's time-out, and waiting() -> size_t,
// the bytes already received and not yet read. The batch is the bytes in
// buffer[0, count), in arrival order, at most buffer.size() of them (the
// rest stays for the next batch); its outcome is failed if either read
// failed, else that of the first read. A failure never drops bytes that a
// read had copied.
struct ComBatch {
    ComTransfer outcome = ComTransfer::failed;
    size_t count = 0;
};

template <class Port>
ComBatch com_read_batch(Port& port, std::span<uint8_t> buffer) {
    if (buffer.empty()) return {};
    const ComRead first = port.read(buffer.data(), 1);
    ComBatch batch{first.outcome, std::min<size_t>(first.count, 1)};
    if (batch.count == 0 || first.outcome == ComTransfer::failed) return batch;
    const size_t waiting = std::min(port.waiting(), buffer.size() - 1);
    if (waiting == 0) return batch;
    const ComRead rest = port.read(buffer.data() + 1, waiting);
    batch.count += std::min(rest.count, waiting);
    if (rest.outcome == ComTransfer::failed) batch.outcome = ComTransfer::failed;
    return batch;
}
