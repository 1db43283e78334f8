// Owners of Windows kernel handles, and the main thread's way of waiting for
// a worker thread, shared by the serial link and the Windows program.
//
// UniqueKernelHandle closes its thread, event or file handle with
// CloseHandle when it goes out of scope, so that no path leaks one.
//
// wait_serving_sent_messages: a worker thread (the serial reader) may be
// inside a message it sent to one of this thread's windows (a repaint that
// returns only once the window has painted). A thread that waited for that
// worker without serving sent messages would wait for ever; this wait serves
// them while it waits.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

struct KernelHandleDeleter {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
// A thread, event or file handle, released with CloseHandle.
using UniqueKernelHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, KernelHandleDeleter>;

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
