// The COM port transport (com_port_win32.h): opening and configuring, the
// reader thread and its inbox, overlapped key writes, closing, and which
// ports are present.
//
// Transfers are overlapped and never outlive their record or buffer: a
// transfer that is given up is cancelled and waited for until it has ended.
// The byte count of a read is used even when the read failed, since a read
// that was cancelled can fail after copying bytes. The reader keeps one
// event for all its reads.
#include "link/com_port_win32.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/com_link.h"
#include "link/link_policy.h"
#include "link/port_list_win32.h"
#include "platform/handles_win32.h"

namespace {

constexpr DWORD link_baud_rate = 19200;
// Clears fDtrControl (bits 4-5: DTR held off), fDsrSensitivity (6), fOutX
// (8), fInX (9), fNull (11) and fRtsControl (12-13: RTS held off) of the
// DCB's flag word; every other flag keeps the port's own setting.
constexpr uint32_t link_flag_mask = 0xFFFFC48F;
// A one-byte read returns with the byte as soon as it arrives, or with none
// after this long; writes have no time-out of their own.
constexpr DWORD read_timeout_ms = 250;
// The most bytes one write takes.
constexpr size_t write_chunk = 64;

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

// The line settings and time-outs of the link.
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

UniqueKernelHandle new_event(BOOL manual_reset) {
    return UniqueKernelHandle(CreateEventA(nullptr, manual_reset, FALSE, nullptr));
}

// What the reader thread and the owner's thread share. The reader appends
// to the inbox and sets `ready` under the mutex; the owner takes from it
// and resets `ready` under the same mutex once it is empty, so no signal
// is lost between the two.
struct Inbox {
    std::mutex mutex;
    std::vector<uint8_t> bytes;
    bool gone = false;         // the port failed: no more bytes come
    UniqueKernelHandle ready;  // manual reset: bytes wait, or the port has gone
    UniqueKernelHandle room;   // auto reset: the owner took bytes out
    UniqueKernelHandle stop;   // manual reset: the reader ends
};

// The reader's view of the port for one batch (com_read_batch): reads that
// wait for their bytes by the port's time-out, or until the reader is told
// to stop.
class ReaderPort {
public:
    ReaderPort(HANDLE port, HANDLE event, HANDLE stop) : port_(port), event_(event), stop_(stop) {}

    ComRead read(uint8_t* buffer, size_t count) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event_;
        DWORD done = 0;
        BOOL ok = ReadFile(port_, buffer, static_cast<DWORD>(count), &done, &overlapped);
        if (!ok && GetLastError() == ERROR_IO_PENDING) {
            const HANDLE waits[2] = {event_, stop_};
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
                CancelIoEx(port_, &overlapped);
            }
            ok = GetOverlappedResult(port_, &overlapped, &done, TRUE);
        }
        if (ok || GetLastError() == ERROR_TIMEOUT) {
            // Windows completes a timed-out read with fewer bytes, Wine fails
            // it with ERROR_TIMEOUT; the bytes it copied count either way.
            return {done == count ? ComTransfer::complete : ComTransfer::timed_out, done};
        }
        if (GetLastError() == ERROR_OPERATION_ABORTED) {
            // A line error with abort-on-error, or the stop's cancel: the
            // errors are cleared and the port read on (unless stopping).
            DWORD errors = 0;
            ClearCommError(port_, &errors, nullptr);
            return {ComTransfer::timed_out, done};
        }
        return {ComTransfer::failed, done};
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
    HANDLE stop_;
};

bool stopping(const Inbox& inbox) {
    return WaitForSingleObject(inbox.stop.get(), 0) == WAIT_OBJECT_0;
}

// The reader thread's loop: batches into the inbox until told to stop or
// the port has gone.
void read_into(HANDLE port, Inbox& inbox, const std::function<void()>& wake) {
    const UniqueKernelHandle event = new_event(TRUE);
    std::array<uint8_t, link_policy::batch_limit> buffer{};
    bool gone = !event;
    while (!gone && !stopping(inbox)) {
        {
            // Waits for room while a whole batch is still untaken.
            std::unique_lock lock(inbox.mutex);
            while (inbox.bytes.size() >= link_policy::batch_limit) {
                lock.unlock();
                const HANDLE waits[2] = {inbox.room.get(), inbox.stop.get()};
                if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) return;
                lock.lock();
            }
        }
        ReaderPort reader(port, event.get(), inbox.stop.get());
        const ComBatch batch = com_read_batch(reader, buffer);
        gone = batch.outcome == ComTransfer::failed;
        if (batch.count == 0 && !gone) continue;
        {
            std::lock_guard lock(inbox.mutex);
            inbox.bytes.insert(inbox.bytes.end(), buffer.begin(),
                               buffer.begin() + static_cast<std::ptrdiff_t>(batch.count));
            inbox.gone = gone;
            SetEvent(inbox.ready.get());
        }
        if (wake) wake();
    }
    if (gone) {
        std::lock_guard lock(inbox.mutex);
        inbox.gone = true;
        SetEvent(inbox.ready.get());
    }
}

class ComPort final : public Transport {
public:
    ComPort(HANDLE port, std::unique_ptr<Inbox> inbox, UniqueKernelHandle write_event)
        : port_(port), inbox_(std::move(inbox)), write_event_(std::move(write_event)) {}
    ~ComPort() override {
        SetEvent(inbox_->stop.get());
        CancelIoEx(port_, nullptr);  // the reader's read and a write in flight
        if (reader_.joinable()) reader_.join();
        if (writing_) {
            DWORD done = 0;
            GetOverlappedResult(port_, &write_, &done, TRUE);
        }
        CloseHandle(port_);
    }
    ComPort(const ComPort&) = delete;
    ComPort& operator=(const ComPort&) = delete;

    // Starts the reader; false if the thread could not be made.
    bool start(std::function<void()> wake) {
        try {
            reader_ = std::thread([port = port_, inbox = inbox_.get(), wake = std::move(wake)] {
                read_into(port, *inbox, wake);
            });
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

    LinkWatch io_watch(bool output) const override {
        LinkWatch watch;
        watch.handles[0] = inbox_->ready.get();
        if (output && writing_) watch.handles[1] = write_event_.get();
        return watch;
    }

    TransportIo read(std::span<uint8_t> buffer) override {
        std::lock_guard lock(inbox_->mutex);
        std::vector<uint8_t>& bytes = inbox_->bytes;
        const size_t count = std::min(buffer.size(), bytes.size());
        std::copy_n(bytes.begin(), count, buffer.begin());
        bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
        if (count > 0) SetEvent(inbox_->room.get());
        if (!bytes.empty()) return {count, false};
        if (inbox_->gone) return {count, true, LinkResult::not_found};
        ResetEvent(inbox_->ready.get());
        return {count, false};
    }

    TransportIo write(std::span<const uint8_t> bytes) override {
        if (writing_) {
            DWORD done = 0;
            if (!GetOverlappedResult(port_, &write_, &done, FALSE)) {
                if (GetLastError() == ERROR_IO_INCOMPLETE) return {};  // still in flight
                if (GetLastError() != ERROR_OPERATION_ABORTED)
                    return {0, true, LinkResult::not_found};
            }
            writing_ = false;
        }
        const size_t count = std::min(bytes.size(), out_.size());
        if (count == 0) return {};
        std::copy_n(bytes.begin(), count, out_.begin());
        write_ = OVERLAPPED{};
        write_.hEvent = write_event_.get();
        DWORD written = 0;
        if (WriteFile(port_, out_.data(), static_cast<DWORD>(count), &written, &write_)) {
            // Done at once, with what the line took (Wine takes part of it
            // from a full pseudo-terminal).
            return {std::min<size_t>(written, count), false};
        }
        if (GetLastError() != ERROR_IO_PENDING) return {0, true, LinkResult::not_found};
        writing_ = true;  // taken; the line sends it when it can
        return {count, false};
    }

private:
    HANDLE port_;
    std::unique_ptr<Inbox> inbox_;
    UniqueKernelHandle write_event_;
    std::thread reader_;
    OVERLAPPED write_{};
    std::array<uint8_t, write_chunk> out_{};
    bool writing_ = false;
};

}  // namespace

TransportOpen open_com_port(uint8_t port, std::function<void()> wake) {
    const HANDLE handle = open_port(port, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL);
    if (handle == INVALID_HANDLE_VALUE) return {open_failure(GetLastError()), nullptr};
    const LinkResult configured = set_line(handle);
    if (configured != LinkResult::ok) {
        // Released at once, so that the user can try again.
        CloseHandle(handle);
        return {configured, nullptr};
    }
    auto inbox = std::make_unique<Inbox>();
    inbox->ready = new_event(TRUE);
    inbox->room = new_event(FALSE);
    inbox->stop = new_event(TRUE);
    UniqueKernelHandle write_event = new_event(TRUE);
    if (!inbox->ready || !inbox->room || !inbox->stop || !write_event) {
        CloseHandle(handle);
        return {LinkResult::cannot_start, nullptr};
    }
    auto transport = std::make_unique<ComPort>(handle, std::move(inbox), std::move(write_event));
    if (!transport->start(std::move(wake))) return {LinkResult::cannot_start, nullptr};
    return {LinkResult::ok, std::move(transport)};
}

bool com_port_present(uint8_t n) {
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
