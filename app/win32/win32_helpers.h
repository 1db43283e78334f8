// Small GDI helpers of the Windows program.
//
// Owners of GDI handles: each releases its handle with the matching call
// when it goes out of scope, so that no path through a paint or a test leaks
// a device context, brush or bitmap. The kernel-handle owner is shared with
// the links (platform/handles_win32.h).
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
