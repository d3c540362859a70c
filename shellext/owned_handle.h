// One move-only owner for Win32 handles, with a close policy per kind.
#pragma once

#include <windows.h>

namespace shellext {

template <typename Handle, typename Policy>
class Owned {
public:
    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {}
    Owned(Owned&& other) noexcept : handle_(other.release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    Handle release() {
        Handle handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void reset(Handle handle = nullptr) {
        if (handle_) Policy::close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

struct IconPolicy { static void close(HICON icon) { DestroyIcon(icon); } };
struct GdiObjectPolicy { static void close(HGDIOBJ object) { DeleteObject(object); } };
struct MemoryDcPolicy { static void close(HDC dc) { DeleteDC(dc); } };
struct ScreenDcPolicy { static void close(HDC dc) { ReleaseDC(nullptr, dc); } };
struct MenuPolicy { static void close(HMENU menu) { DestroyMenu(menu); } };
struct KeyPolicy { static void close(HKEY key) { RegCloseKey(key); } };
struct WindowPolicy { static void close(HWND window) { DestroyWindow(window); } };
struct KernelObjectPolicy { static void close(HANDLE object) { CloseHandle(object); } };
struct LocalMemoryPolicy { static void close(HLOCAL memory) { LocalFree(memory); } };

using OwnedIcon = Owned<HICON, IconPolicy>;
using OwnedBitmap = Owned<HBITMAP, GdiObjectPolicy>;
using OwnedFont = Owned<HFONT, GdiObjectPolicy>;
using OwnedMemoryDc = Owned<HDC, MemoryDcPolicy>;
using OwnedScreenDc = Owned<HDC, ScreenDcPolicy>;
using OwnedMenu = Owned<HMENU, MenuPolicy>;
using OwnedKey = Owned<HKEY, KeyPolicy>;
using OwnedWindow = Owned<HWND, WindowPolicy>;
using OwnedKernelObject = Owned<HANDLE, KernelObjectPolicy>;
using OwnedLocalMemory = Owned<HLOCAL, LocalMemoryPolicy>;

// Selects an object into a device context and puts the previous one back.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection() {
        if (previous_) SelectObject(dc_, previous_);
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace shellext
