// The serial link on Win32: opening and configuring the COM port, the
// reader thread, one-byte key writes, the close sequence and port probing.
//
// Every transfer makes its own OVERLAPPED record and event and reads the
// link's port handle anew, so the reader's pending read and a key's write
// can run together on two threads. A transfer never returns while the
// system may still use its record or buffer: a pending transfer is waited
// for until it has ended, and one that is given up is cancelled first.
//
// Lifetime of the reader: com_start_reader raises the running flag before
// the thread exists, so a close that comes first still stops it; com_close
// clears the flag, cancels the pending read and waits for the thread's end,
// serving the paints that the callback's repaint requests wait for
// meanwhile, and only then closes the port, so the reader never uses a
// closed handle. A reader of an earlier opening has therefore always ended
// before the next one starts, and the owner may release whatever the
// callback feeds once com_close has returned.
#include "serial/com_link_win32.h"

#include <cstddef>
#include <cstring>
#include <span>
#include <string>
#include <utility>

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
constexpr DWORD settle_ms = 400;
// A key's write that the device does not let through (output handshaking
// held) is given up after this long, so that the window does not freeze.
constexpr DWORD write_limit_ms = 500;
// Pause after a read that failed outright (port closed or gone) rather than
// timed out: such reads fail at once, and the reader must not spin.
constexpr DWORD failed_read_pause_ms = 30;

enum class Transfer { complete, timed_out, failed };

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

ComResult configure_port(HANDLE port) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb)) return ComResult::get_state_failed;
    dcb.BaudRate = link_baud_rate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    clear_link_flags(dcb);
    if (!SetCommState(port, &dcb)) return ComResult::set_state_failed;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadTotalTimeoutConstant = read_timeout_ms;
    SetCommTimeouts(port, &timeouts);
    Sleep(settle_ms);
    if (!PurgeComm(port, PURGE_RXCLEAR)) return ComResult::purge_failed;
    return ComResult::ok;
}

// One overlapped transfer of `count` bytes on the link's current port.
// `start` issues the ReadFile or WriteFile. A transfer still pending after
// `limit` ms is cancelled, and waited for until the cancel has taken effect.
// A read that ends without a byte is a time-out (Windows completes it with
// 0 bytes, Wine fails it with ERROR_TIMEOUT).
template <class Start>
Transfer transfer(const std::atomic<HANDLE>& current_port, DWORD count, DWORD limit, Start start) {
    UniqueKernelHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!event) return Transfer::failed;
    const HANDLE port = current_port.load();
    if (port == nullptr) return Transfer::failed;
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.get();
    DWORD done = 0;
    BOOL ok = start(port, &done, &overlapped);
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(event.get(), limit) != WAIT_OBJECT_0) {
            CancelIoEx(port, &overlapped);
            WaitForSingleObject(event.get(), INFINITE);
        }
        ok = GetOverlappedResult(port, &overlapped, &done, FALSE);
    }
    if (!ok) return GetLastError() == ERROR_TIMEOUT ? Transfer::timed_out : Transfer::failed;
    if (done == count) return Transfer::complete;
    return done == 0 ? Transfer::timed_out : Transfer::failed;
}

Transfer read_bytes(const std::atomic<HANDLE>& port, uint8_t* buffer, uint32_t count) {
    return transfer(port, count, INFINITE, [&](HANDLE handle, DWORD* done, OVERLAPPED* overlapped) {
        return ReadFile(handle, buffer, count, done, overlapped);
    });
}

}  // namespace

ComLink::ComLink(ComReceiveCallback receive) : receive_(std::move(receive)) {}

ComLink::~ComLink() {
    com_close();
}

ComResult ComLink::com_open(uint8_t port) {
    const HANDLE handle = open_port(port, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL);
    if (handle == INVALID_HANDLE_VALUE) return ComResult::open_failed;
    const ComResult result = configure_port(handle);
    if (result != ComResult::ok) {
        // Released at once, so that the user can try again.
        CloseHandle(handle);
        return result;
    }
    port_ = handle;
    return ComResult::ok;
}

DWORD WINAPI ComLink::reader_main(LPVOID link) {
    static_cast<ComLink*>(link)->read_until_stopped();
    return 0;
}

void ComLink::read_until_stopped() {
    while (reader_running_.load()) {
        uint8_t received = 0;
        const Transfer result = read_bytes(port_, &received, 1);
        if (result == Transfer::complete) {
            if (receive_) receive_(std::span<const uint8_t>(&received, 1));
        } else if (result == Transfer::failed && reader_running_.load()) {
            Sleep(failed_read_pause_ms);
        }
    }
}

bool ComLink::com_start_reader() {
    if (reader_thread_) return false;
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
    // The port is cancelled, not closed, while the reader may still hold its
    // handle: the pending read ends at once, and the handle stays valid until
    // the reader has ended. A read the reader issues after the cancel ends by
    // its own time-out.
    const HANDLE port = port_.exchange(nullptr);
    if (port != nullptr) CancelIoEx(port, nullptr);
    // Taken out first: a close made while this one waits finds nothing to do.
    if (const UniqueKernelHandle thread = std::move(reader_thread_)) {
        wait_serving_sent_messages(thread.get());
    }
    if (port != nullptr) CloseHandle(port);
}

int ComLink::com_write(const uint8_t* buffer, uint32_t count) {
    const Transfer result = transfer(port_, count, write_limit_ms,
                                     [&](HANDLE port, DWORD* done, OVERLAPPED* overlapped) {
                                         return WriteFile(port, buffer, count, done, overlapped);
                                     });
    return result == Transfer::complete ? 1 : 0;
}

int ComLink::com_read(uint8_t* buffer, uint32_t count) {
    return read_bytes(port_, buffer, count) == Transfer::complete ? 1 : 0;
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
        case ERROR_SHARING_VIOLATION:
        case ERROR_SEM_TIMEOUT:
            return true;
        default:
            return false;
    }
}
