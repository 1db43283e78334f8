// Paint throughput of the window's painter against the per-dot painter, on
// a real window under the program's repaint request.
//
// For each painter and size preset it measures, for a fixed time each:
//   * the painter alone, drawing into the window's device context: paints
//     per second without the window manager's part of a repaint;
//   * paints per second requested from the main thread (RedrawWindow with
//     RDW_INVALIDATE | RDW_UPDATENOW, painted at once by this thread);
//   * repaint requests per second made by a second thread, as the serial
//     reader makes them through its session's repaint callback: each
//     redraw_main_window() waits until the main thread, pumping its
//     messages, has painted.
// Usage: paint_bench [seconds per measurement, default 1] [presets, default 1234]
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/win32/main_window.h"
#include "app/win32/paint_win32.h"
#include "app/win32/win32_helpers.h"
#include "platform/handles_win32.h"
#include "protocol/display_session.h"
#include "tests/win32/dot_paint.h"

namespace {

// What the bench window paints, and how often it has.
struct Bench {
    RemotePanel panel;
    DisplaySession& session = panel.session();
    AppSettings settings;
    std::vector<uint32_t> pixels;
    HWND hwnd = nullptr;
    bool per_dot = false;
    uint64_t paints = 0;
};

LRESULT CALLBACK bench_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* bench = reinterpret_cast<Bench*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message != WM_PAINT || bench == nullptr)
        return DefWindowProcA(hwnd, message, wparam, lparam);
    ++bench->paints;
    if (!bench->per_dot) {
        paint_main_window(hwnd, bench->panel, bench->settings, bench->pixels, unscaled_dpi);
        return 0;
    }
    PaintSession paint(hwnd);
    if (paint.nothing_to_draw()) return 0;
    SetMapMode(paint.dc(), MM_TEXT);
    paint_display_per_dot(paint.dc(), bench->session, bench->settings);
    return 0;
}

double seconds_since(LARGE_INTEGER start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

struct Rate {
    double per_second;
    uint64_t paints;
};

double painter_alone(Bench& bench, double seconds) {
    HDC dc = GetDC(bench.hwnd);
    uint64_t count = 0;
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    double elapsed = 0;
    do {
        if (bench.per_dot) {
            paint_display_per_dot(dc, bench.session, bench.settings);
        } else {
            paint_display(dc, bench.panel, bench.settings, bench.pixels);
        }
        GdiFlush();
        ++count;
        elapsed = seconds_since(start);
    } while (elapsed < seconds);
    ReleaseDC(bench.hwnd, dc);
    return static_cast<double>(count) / elapsed;
}

Rate main_thread_paints(Bench& bench, double seconds) {
    bench.paints = 0;
    uint64_t requests = 0;
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    double elapsed = 0;
    do {
        RedrawWindow(bench.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        ++requests;
        elapsed = seconds_since(start);
    } while (elapsed < seconds);
    return {static_cast<double>(requests) / elapsed, bench.paints};
}

struct RequestRun {
    HWND hwnd;
    double seconds;
    uint64_t requests;
    double elapsed;
};

DWORD WINAPI request_thread(LPVOID parameter) {
    auto* run = static_cast<RequestRun*>(parameter);
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    do {
        redraw_main_window(run->hwnd);
        ++run->requests;
        run->elapsed = seconds_since(start);
    } while (run->elapsed < run->seconds);
    return 0;
}

Rate second_thread_requests(Bench& bench, double seconds) {
    bench.paints = 0;
    RequestRun run{bench.hwnd, seconds, 0, 0};
    UniqueKernelHandle thread(CreateThread(nullptr, 0, request_thread, &run, 0, nullptr));
    if (!thread) return {0, 0};
    // The main thread goes on with its ordinary message loop meanwhile.
    HANDLE waited = thread.get();
    for (;;) {
        const DWORD result = MsgWaitForMultipleObjects(1, &waited, FALSE, INFINITE, QS_ALLINPUT);
        if (result != WAIT_OBJECT_0 + 1) break;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return {static_cast<double>(run.requests) / run.elapsed, bench.paints};
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
    const std::string presets = argc > 2 ? argv[2] : "1234";

    const HINSTANCE instance = GetModuleHandleA(nullptr);
    Bench bench;
    bench.settings.color_scheme = 1;
    if (!bench.session.start()) return 1;

    WNDCLASSA window_class{};
    window_class.style = main_window_class_style;
    window_class.lpfnWndProc = bench_window_proc;
    window_class.hInstance = instance;
    window_class.lpszClassName = "ZezodavoruPaintBench";
    if (!RegisterClassA(&window_class)) return 1;
    bench.hwnd = CreateWindowExA(WS_EX_TOPMOST, window_class.lpszClassName, main_window_title,
                                 main_window_style | WS_VISIBLE, 50, 50, 500, 185, nullptr, nullptr,
                                 instance, &bench);
    if (bench.hwnd == nullptr) return 1;

    std::printf("%-8s %-6s %14s %16s %20s\n", "painter", "preset", "alone paints/s",
                "main repaints/s", "thread requests/s");
    double alone_rates[2] = {0, 0}, main_rates[2] = {0, 0}, thread_rates[2] = {0, 0};
    for (char preset_digit : presets) {
        bench.settings.size_preset = static_cast<uint8_t>(preset_digit - '0');
        for (int painter = 0; painter < 2; ++painter) {
            bench.per_dot = painter == 1;
            const double alone = painter_alone(bench, seconds);
            const Rate from_main = main_thread_paints(bench, seconds);
            const Rate from_thread = second_thread_requests(bench, seconds);
            alone_rates[painter] += alone;
            main_rates[painter] += from_main.per_second;
            thread_rates[painter] += from_thread.per_second;
            std::printf("%-8s %-6c %14.0f %16.0f %20.0f   (%llu / %llu paints)\n",
                        bench.per_dot ? "per-dot" : "window", preset_digit, alone,
                        from_main.per_second, from_thread.per_second,
                        static_cast<unsigned long long>(from_main.paints),
                        static_cast<unsigned long long>(from_thread.paints));
            std::fflush(stdout);
        }
    }
    std::printf(
        "speed-up of the window painter over the per-dot painter: alone %.1fx, main %.1fx, "
        "thread %.1fx\n",
        alone_rates[0] / alone_rates[1], main_rates[0] / main_rates[1],
        thread_rates[0] / thread_rates[1]);

    DestroyWindow(bench.hwnd);
    bench.session.stop();
    return 0;
}
