// A Windows COM port as a transport under the link policy (polled_link.h),
// like a POSIX terminal: opened and configured at each opening (19200 baud,
// 8N1, DTR and RTS off, no XON/XOFF, 250 ms read time-out), read and
// written without ever holding the owner's thread.
//
// Reading: a reader thread of the port's own waits on the port, because
// the system offers no readiness to wait for on a COM port (and Wine none
// on a pseudo-terminal behind one). It takes what arrives in batches
// (com_read_batch, com_link.h), hands each batch to the transport's inbox,
// signals the inbox's event and calls `wake`; it does nothing else. The
// owner's loop waits on that event (the watch's first handle) and takes the
// inbox in read(). A full inbox (one batch limit) makes the reader wait for
// room, so the port's own buffer holds the rest. A read that fails outright
// (a vanished port: a USB adapter pulled) ends the reader and makes the
// transport lost; the policy then reopens the port every retry period. A
// read aborted by a line error (with the port's abort-on-error setting) is
// no loss: the errors are cleared and the reader goes on.
//
// Writing: write() takes what it can into one overlapped write and returns
// at once; while that write is in flight it takes nothing more, and the
// watch's second handle (asked for while output waits) is the write's
// event, so the owner's loop finds out when the line took it. Codes the
// line does not take in time are dropped by the policy's key write limit.
//
// Closing (the transport's destruction) stops the reader and cancels what
// is in flight, waits for both, then closes the port; since the reader never
// waits for the owner's thread, this never waits for a paint.
#pragma once

#include <cstdint>
#include <functional>

#include "link/transport.h"

// Opens COM port `port` ("COMn", or "\\.\COMn" from 10 on) exclusively and
// configures it; `wake` is called from the reader thread after each batch
// it hands on, and when the port has gone. A port that does not open or
// cannot be configured is released again at once.
TransportOpen open_com_port(uint8_t port, std::function<void()> wake);
