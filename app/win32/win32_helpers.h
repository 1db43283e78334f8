// Small Win32 helpers of the front end.
//
// Owners of Win32 handles: each closes its handle with the matching call when
// it goes out of scope, so that no path through a paint or a test leaks a
// device context, brush, bitmap or kernel handle.
//
// wait_serving_sent_messages: the main thread's way of waiting for the
// serial reader. The reader's repaint request is a message sent to the main
// window that does not return before the main thread has painted, so a main
// thread that waited without serving sent messages would wait for ever.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
// A brush, bitmap or other GDI object, released with DeleteObject.
template <class Handle>
using UniqueGdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, GdiObjectDeleter>;

struct MemoryDcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
// A device context made with CreateCompatibleDC, released with DeleteDC.
using UniqueMemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, MemoryDcDeleter>;

struct KernelHandleDeleter {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
// A thread, event or file handle, released with CloseHandle.
using UniqueKernelHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, KernelHandleDeleter>;

// Selects a GDI object into a device context and puts the previous one back.
class ObjectSelection {
public:
    ObjectSelection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~ObjectSelection() { SelectObject(dc_, previous_); }
    ObjectSelection(const ObjectSelection&) = delete;
    ObjectSelection& operator=(const ObjectSelection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// One WM_PAINT: BeginPaint on construction, EndPaint on destruction.
class PaintSession {
public:
    explicit PaintSession(HWND hwnd) : hwnd_(hwnd), dc_(BeginPaint(hwnd, &paint_)) {}
    ~PaintSession() { EndPaint(hwnd_, &paint_); }
    PaintSession(const PaintSession&) = delete;
    PaintSession& operator=(const PaintSession&) = delete;

    HDC dc() const { return dc_; }
    // Nothing to draw: BeginPaint gave no device context or an empty update
    // rectangle.
    bool nothing_to_draw() const { return dc_ == nullptr || IsRectEmpty(&paint_.rcPaint); }

private:
    HWND hwnd_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// Waits until `object` (a thread, an event) is signalled, meanwhile serving
// the messages that other threads send to this thread's windows, such as the
// synchronous paint of a repaint request. Posted messages stay queued. False
// if the wait failed.
// MWMO_INPUTAVAILABLE: a sent message that was already pending (and noticed
// by an earlier look at the queue) still ends the wait at once.
inline bool wait_serving_sent_messages(HANDLE object) {
    for (;;) {
        const DWORD result =
            MsgWaitForMultipleObjectsEx(1, &object, INFINITE, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (result == WAIT_OBJECT_0) return true;
        if (result != WAIT_OBJECT_0 + 1) return false;
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
