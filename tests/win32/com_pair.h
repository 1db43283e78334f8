// The COM ports that with_com_ports.sh makes of pseudo-terminal pairs, as
// the Win32 tests see them: the port numbers and paths it passes in the
// environment, and the far end of the main pair, opened with plain
// blocking I/O, which plays the device.
//
// Environment, from the script:
//   ZEZ_TEST_COM_PORT        port number of the main pair's near end
//   ZEZ_TEST_COM_PEER        Windows path of the main pair's far end
//   ZEZ_TEST_VANISH_PORT     port number of a pair whose far end is ended
//   ZEZ_TEST_VANISH_REQUEST  file whose creation asks the script to end it;
//                            the script deletes it once the far end is gone
//   ZEZ_TEST_VANISH_RETURN   file whose creation asks the script to make the
//                            pair again under the same names; deleted once
//                            it is there
//   ZEZ_TEST_VANISH_PEER     Windows path of that pair's far end
//   ZEZ_TEST_FILE_PORT       port number that names an ordinary file
//   ZEZ_TEST_SOCKET_PORT     TCP port on 127.0.0.1 where ser2net serves a
//                            pair's near end as raw TCP
//   ZEZ_TEST_SOCKET_PEER     Windows path of that pair's far end
//
// serve_until is the program's message loop in small, for the links these
// tests drive themselves.
#pragma once

#include <windows.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "link/link.h"

using TestClock = std::chrono::steady_clock;

inline std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

inline std::optional<uint8_t> port_from(const char* name) {
    const auto value = environment(name);
    if (!value) return std::nullopt;
    return static_cast<uint8_t>(std::stoi(*value));
}

inline long long elapsed_ms(TestClock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(TestClock::now() - since).count();
}

// Waits up to `ms` for `done` to hold.
template <class Condition>
bool eventually(DWORD ms, Condition done) {
    const auto start = TestClock::now();
    while (!done()) {
        if (elapsed_ms(start) > ms) return false;
        Sleep(10);
    }
    return true;
}

// Waits on the link's handles until its deadline (10 ms at most), then
// serves it, until `done` holds or `ms` have passed.
template <class Done>
bool serve_until(Link& link, DWORD ms, Done done) {
    const auto start = TestClock::now();
    while (!done()) {
        if (elapsed_ms(start) > ms) return false;
        const LinkWatch watch = link.watch();
        std::array<HANDLE, 2> handles{};
        DWORD count = 0;
        for (LinkHandle handle : watch.handles) {
            if (handle != nullptr) handles[count++] = handle;
        }
        if (count > 0) {
            WaitForMultipleObjects(count, handles.data(), FALSE, 10);
        } else {
            Sleep(10);
        }
        link.service(LinkClock::now());
    }
    return true;
}

// Serves the link for `ms`.
inline void serve_for(Link& link, DWORD ms) {
    serve_until(link, ms, [] { return false; });
}

// The far end of the main pair.
class Peer {
public:
    explicit Peer(const std::string& path)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr)) {
        if (ok()) {
            COMMTIMEOUTS timeouts{};
            timeouts.ReadTotalTimeoutConstant = 100;
            SetCommTimeouts(handle_, &timeouts);
        }
    }
    ~Peer() {
        if (ok()) CloseHandle(handle_);
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }

    bool write(const std::vector<uint8_t>& bytes) {
        DWORD written = 0;
        return WriteFile(handle_, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    }

    // The bytes that arrive within `ms`, up to `limit` of them.
    std::vector<uint8_t> read(DWORD ms, size_t limit = 64) {
        std::vector<uint8_t> bytes;
        const auto start = TestClock::now();
        while (bytes.size() < limit && elapsed_ms(start) < ms) {
            uint8_t value = 0;
            DWORD got = 0;
            if (ReadFile(handle_, &value, 1, &got, nullptr) && got == 1) bytes.push_back(value);
        }
        return bytes;
    }

    // Reads until nothing more arrives.
    void drain() {
        std::vector<uint8_t> chunk(4096);
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(handle_, chunk.data(), DWORD(chunk.size()), &got, nullptr) || got == 0)
                return;
        }
    }

private:
    HANDLE handle_;
};

// The main pair: its port number and its far end, or nothing when the test
// does not run through with_com_ports.sh.
struct MainPair {
    uint8_t port;
    std::string peer_path;
};

inline std::optional<MainPair> main_pair_from_environment() {
    const auto port = port_from("ZEZ_TEST_COM_PORT");
    const auto peer_path = environment("ZEZ_TEST_COM_PEER");
    if (!port || !peer_path) return std::nullopt;
    return MainPair{*port, *peer_path};
}
