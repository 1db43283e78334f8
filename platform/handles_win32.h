// Owners of Windows kernel handles, shared by the links and the Windows
// program: UniqueKernelHandle closes its thread, event or file handle with
// CloseHandle when it goes out of scope, so that no path leaks one.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

struct KernelHandleDeleter {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
// A thread, event or file handle, released with CloseHandle.
using UniqueKernelHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, KernelHandleDeleter>;
