// The serial link on Win32: opening and configuring the COM port, the
// reader thread with its batches, relinking, one-byte key writes, the close
// sequence and port probing.
//
// Transfers: every transfer is overlapped and never returns while the
// system may still use its record or buffer: a pending transfer is waited
// for until it has ended, and one that is given up is cancelled first. The
// byte count of a read is used even when the read failed, since a read that
// was cancelled can fail after copying bytes. The reader keeps one event for
// its whole life (a fresh event per read would cost more than the read);
// writes and com_read make their own.
//
// Batches: the reader waits for one byte with the port's 250 ms time-out,
// then asks ClearCommError how many bytes are already waiting (cbInQue) and
// reads exactly those, which completes at once; the batch goes to the
// callback as one span (com_read_batch in com_link.h).
//
// Relinking: a read that fails outright (not a time-out) is followed by a
// 30 ms pause, so that a failing port does not make the reader spin. Two
// such failures in a row are what a vanished port shows (every read fails at
// once), and the link is then lost: the reader closes the port and tries to
// open the same port number every 500 ms, sleeping in between, configures
// it as com_open does and reads on. Handle changes happen under port_mutex_,
// which every write holds for its whole transfer, so no write uses a handle
// that the reader closed.
//
// Lifetime of the reader: com_start_reader raises the running flag before
// the thread exists, so a close that comes first still stops it; com_close
// clears the flag, sets the stop event (ending a pause or a relink wait),
// takes the port out of the link, cancels the pending read and waits for the
// thread's end, serving the paints that the callback's repaint requests wait
// for meanwhile, and only then closes the port, so the reader never uses a
// closed handle. A reader of an earlier opening has therefore always ended
// before the next one starts, and the owner may release whatever the
// callback feeds once com_close has returned.
#include "link/com_link_win32.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <span>
#include <string>
#include <utility>

#include "link/link_policy.h"
#include "link/port_list_win32.h"

namespace {

constexpr DWORD link_baud_rate = 19200;
// Clears fDtrControl (bits 4-5: DTR held off), fDsrSensitivity (6), fOutX
// (8), fInX (9), fNull (11) and fRtsControl (12-13: RTS held off) of the
// DCB's flag word; every other flag keeps the port's own setting.
constexpr uint32_t link_flag_mask = 0xFFFFC48F;
// A one-byte read returns with the byte as soon as it arrives, or with none
// after this long; writes have no time-out of their own.
constexpr DWORD read_timeout_ms = 250;
// Pause after configuring, before the receive buffer is purged.
constexpr auto settle_ms = static_cast<DWORD>(link_policy::settle.count());
// A key's write that the device does not let through (output handshaking
// held) is given up after this long, so that the window does not freeze.
constexpr auto write_limit_ms = static_cast<DWORD>(link_policy::key_write_limit.count());
// Pause after a read that failed outright (port closed or gone) rather than
// timed out: such reads fail at once, and the reader must not spin.
constexpr DWORD failed_read_pause_ms = 30;
// Reads that fail outright in a row before the link counts as lost.
constexpr int failures_before_lost = 2;
// Between two attempts to open a lost port.
constexpr auto relink_period_ms = static_cast<DWORD>(link_policy::retry.count());
// The most bytes one batch takes; more waiting go to the next batch.
constexpr size_t batch_limit = link_policy::batch_limit;
constexpr DWORD open_flags = FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL;

// The DCB's bit fields share one 32-bit word, the one after BaudRate.
constexpr size_t dcb_flags_offset = offsetof(DCB, BaudRate) + sizeof(DWORD);
static_assert(offsetof(DCB, wReserved) == dcb_flags_offset + sizeof(uint32_t));

void clear_link_flags(DCB& dcb) {
    auto* const bytes = reinterpret_cast<unsigned char*>(&dcb);
    uint32_t flags = 0;
    std::memcpy(&flags, bytes + dcb_flags_offset, sizeof flags);
    flags &= link_flag_mask;
    std::memcpy(bytes + dcb_flags_offset, &flags, sizeof flags);
}

HANDLE open_port(uint8_t port, DWORD flags) {
    const std::string name = com_port_name(port);
    return CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags,
                       nullptr);
}

// Why CreateFile could not open a port.
LinkResult open_failure(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return LinkResult::busy;
        default:
            return LinkResult::not_found;
    }
}

// The line settings and time-outs of the link; the settling pause and the
// purge that follow are the caller's.
LinkResult set_line(HANDLE port) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb)) return LinkResult::cannot_read_settings;
    dcb.BaudRate = link_baud_rate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    clear_link_flags(dcb);
    if (!SetCommState(port, &dcb)) return LinkResult::cannot_configure;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadTotalTimeoutConstant = read_timeout_ms;
    SetCommTimeouts(port, &timeouts);
    return LinkResult::ok;
}

// One overlapped transfer of `count` bytes on `port`, signalled through
// `event`. `start` issues the ReadFile or WriteFile. A transfer still
// pending after `limit` ms is cancelled, and waited for until the cancel
// has taken effect. A transfer that ends with fewer bytes is a time-out
// (Windows completes a read with fewer bytes, Wine fails it with
// ERROR_TIMEOUT); the bytes it copied count either way.
template <class Start>
ComRead transfer(HANDLE port, HANDLE event, DWORD count, DWORD limit, Start start) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    DWORD done = 0;
    BOOL ok = start(port, &done, &overlapped);
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(event, limit) != WAIT_OBJECT_0) {
            CancelIoEx(port, &overlapped);
            WaitForSingleObject(event, INFINITE);
        }
        ok = GetOverlappedResult(port, &overlapped, &done, FALSE);
    }
    if (!ok && GetLastError() != ERROR_TIMEOUT) return {ComTransfer::failed, done};
    return {done == count ? ComTransfer::complete : ComTransfer::timed_out, done};
}

ComRead read_with(HANDLE port, HANDLE event, uint8_t* buffer, DWORD count) {
    return transfer(port, event, count, INFINITE,
                    [&](HANDLE handle, DWORD* done, OVERLAPPED* overlapped) {
                        return ReadFile(handle, buffer, count, done, overlapped);
                    });
}

// The reader's view of the port for one batch: the port's handle and the
// reader's event.
class ReaderPort {
public:
    ReaderPort(HANDLE port, HANDLE event) : port_(port), event_(event) {}

    ComRead read(uint8_t* buffer, size_t count) {
        return read_with(port_, event_, buffer, static_cast<DWORD>(count));
    }
    // The bytes received and not yet read; none if the port cannot tell.
    size_t waiting() const {
        DWORD errors = 0;
        COMSTAT status{};
        return ClearCommError(port_, &errors, &status) ? status.cbInQue : 0;
    }

private:
    HANDLE port_;
    HANDLE event_;
};

}  // namespace

ComLink::ComLink(ComReceiveCallback receive, std::function<void(LinkState)> state_changed)
    : receive_(std::move(receive)),
      state_changed_(std::move(state_changed)),
      stop_event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

ComLink::~ComLink() {
    com_close();
}

LinkResult ComLink::com_open(uint8_t port) {
    com_close();
    const HANDLE handle = open_port(port, open_flags);
    if (handle == INVALID_HANDLE_VALUE) return open_failure(GetLastError());
    LinkResult result = set_line(handle);
    if (result == LinkResult::ok) {
        Sleep(settle_ms);
        if (!PurgeComm(handle, PURGE_RXCLEAR)) result = LinkResult::cannot_start;
    }
    if (result != LinkResult::ok) {
        // Released at once, so that the user can try again.
        CloseHandle(handle);
        return result;
    }
    std::lock_guard lock(port_mutex_);
    port_number_ = port;
    port_ = handle;
    state_ = LinkState::linked;
    return LinkResult::ok;
}

DWORD WINAPI ComLink::reader_main(LPVOID link) {
    static_cast<ComLink*>(link)->read_until_stopped();
    return 0;
}

bool ComLink::pause_unless_stopped(DWORD ms) const {
    return WaitForSingleObject(stop_event_.get(), ms) == WAIT_TIMEOUT;
}

void ComLink::read_until_stopped() {
    UniqueKernelHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    std::array<uint8_t, batch_limit> buffer{};
    int failures = 0;
    while (event && reader_running_.load()) {
        const HANDLE port = port_.load();
        if (port == nullptr) break;  // taken by com_close
        ReaderPort reader(port, event.get());
        const ComBatch batch = com_read_batch(reader, buffer);
        if (batch.count > 0 && receive_)
            receive_(std::span<const uint8_t>(buffer.data(), batch.count));
        if (batch.outcome != ComTransfer::failed) {
            failures = 0;
        } else if (!reader_running_.load()) {
            break;
        } else if (++failures < failures_before_lost) {
            pause_unless_stopped(failed_read_pause_ms);
        } else {
            failures = 0;
            relink();
        }
    }
}

void ComLink::relink() {
    {
        std::lock_guard lock(port_mutex_);
        if (!reader_running_.load()) return;
        if (const HANDLE gone = port_.exchange(nullptr)) CloseHandle(gone);
    }
    report_state(LinkState::lost);
    while (pause_unless_stopped(relink_period_ms)) {
        bool handle_taken = false;
        const HANDLE handle = open_port(port_number_, open_flags);
        if (handle == INVALID_HANDLE_VALUE) continue;
        const bool ready = set_line(handle) == LinkResult::ok && pause_unless_stopped(settle_ms) &&
                           PurgeComm(handle, PURGE_RXCLEAR);
        {
            std::lock_guard lock(port_mutex_);
            if (ready && reader_running_.load()) {
                port_ = handle;
                handle_taken = true;
            } else {
                CloseHandle(handle);
            }
        }
        if (handle_taken) return report_state(LinkState::linked);
        if (!reader_running_.load()) return;
    }
}

void ComLink::report_state(LinkState state) {
    state_ = state;
    if (state_changed_) state_changed_(state);
}

bool ComLink::com_start_reader() {
    if (reader_thread_ || !stop_event_ || !ResetEvent(stop_event_.get())) return false;
    reader_running_ = true;
    reader_thread_.reset(CreateThread(nullptr, 0, reader_main, this, 0, nullptr));
    if (!reader_thread_) {
        reader_running_ = false;
        return false;
    }
    return true;
}

void ComLink::com_close() {
    reader_running_ = false;
    if (stop_event_) SetEvent(stop_event_.get());
    // The port is cancelled, not closed, while the reader may still hold its
    // handle: the pending read ends at once, and the handle stays valid until
    // the reader has ended. A read the reader issues after the cancel ends by
    // its own time-out.
    HANDLE port = nullptr;
    {
        std::lock_guard lock(port_mutex_);
        port = port_.exchange(nullptr);
    }
    if (port != nullptr) CancelIoEx(port, nullptr);
    // Taken out first: a close made while this one waits finds nothing to do.
    if (const UniqueKernelHandle thread = std::move(reader_thread_)) {
        wait_serving_sent_messages(thread.get());
    }
    if (port != nullptr) CloseHandle(port);
    state_ = LinkState::closed;
}

int ComLink::com_write(const uint8_t* buffer, uint32_t count) {
    std::lock_guard lock(port_mutex_);
    const HANDLE port = port_.load();
    if (port == nullptr) return 0;
    const UniqueKernelHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!event) return 0;
    const ComRead result = transfer(port, event.get(), count, write_limit_ms,
                                    [&](HANDLE handle, DWORD* done, OVERLAPPED* overlapped) {
                                        return WriteFile(handle, buffer, count, done, overlapped);
                                    });
    return result.outcome == ComTransfer::complete ? 1 : 0;
}

int ComLink::com_read(uint8_t* buffer, uint32_t count) {
    std::lock_guard lock(port_mutex_);
    const HANDLE port = port_.load();
    if (port == nullptr) return 0;
    const UniqueKernelHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!event) return 0;
    return read_with(port, event.get(), buffer, count).outcome == ComTransfer::complete ? 1 : 0;
}

int ComLink::com_send_byte(uint8_t code) {
    const uint8_t buffer[1] = {code};
    return com_write(buffer, 1);
}

bool ComLink::com_probe_port(uint8_t n) {
    const HANDLE handle = open_port(n, 0);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return true;
    }
    switch (GetLastError()) {
        case ERROR_ACCESS_DENIED:
        case ERROR_GEN_FAILURE:
        case ERROR_SEM_TIMEOUT:
        case ERROR_SHARING_VIOLATION:
            return true;
        default:
            return false;
    }
}

bool com_port_present(uint8_t n) {
    return ComLink::com_probe_port(n);
}
