#pragma once
// One way to own what the system hands out. UniqueAny, in the shape of wil's
// unique_any, owns one handle: its type, the function that closes it and the
// value that means "none" are its parameters. UniqueMedium, in the shape of
// wil's unique_stg_medium, owns a storage medium held by value. Beside them
// the scoped objects of drawing: a window's device context, an object
// selected into one, and one paint of a window; and the lock of a global
// memory block.
#include <windows.h>
#include <objidl.h>
#include <shellapi.h>

#include <cstdint>
#include <type_traits>
#include <utility>

namespace varno::win {

// Owns a handle of type T and closes it with Close when it goes. None, as an
// integer, is the value that holds nothing (-1: INVALID_HANDLE_VALUE).
template <class T, auto Close, std::intptr_t None = 0> class UniqueAny {
  public:
    UniqueAny() = default;
    explicit UniqueAny(T h) : h_(h) {}
    ~UniqueAny() { Reset(); }
    UniqueAny(UniqueAny&& o) noexcept : h_(o.Detach()) {}
    UniqueAny& operator=(UniqueAny&& o) noexcept {
        if (this != &o)
            Reset(o.Detach());
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;

    static T Nothing() {
        if constexpr (std::is_pointer_v<T>)
            return reinterpret_cast<T>(None);
        else
            return static_cast<T>(None);
    }
    T Get() const { return h_; }
    explicit operator bool() const { return h_ != Nothing(); }
    // Closes what it holds, then holds h.
    void Reset(T h = Nothing()) {
        if (h_ != Nothing())
            (void)Close(h_);
        h_ = h;
    }
    // Gives the handle up without closing it: someone else owns it now.
    [[nodiscard]] T Detach() { return std::exchange(h_, Nothing()); }
    // For an out-parameter: closes what it holds first.
    T* Put() {
        Reset();
        return &h_;
    }

  private:
    T h_ = Nothing();
};

template <class H> using GdiObject = UniqueAny<H, &::DeleteObject>; // fonts, brushes, bitmaps
using UniqueWindow = UniqueAny<HWND, &::DestroyWindow>;
using UniqueFile = UniqueAny<HANDLE, &::CloseHandle, -1>; // CreateFileW
using UniqueFind = UniqueAny<HANDLE, &::FindClose, -1>;   // FindFirstFileExW
using UniqueGlobal = UniqueAny<HGLOBAL, &::GlobalFree>;
using UniqueHook = UniqueAny<HHOOK, &::UnhookWindowsHookEx>;
using UniqueDrop = UniqueAny<HDROP, &::DragFinish>; // the HDROP of WM_DROPFILES
using UniqueKey = UniqueAny<HKEY, &::RegCloseKey>;
using UniqueHandle = UniqueAny<HANDLE, &::CloseHandle>;       // OpenProcess, CreateEventW
using UniqueSnapshot = UniqueAny<HANDLE, &::CloseHandle, -1>; // CreateToolhelp32Snapshot

// A storage medium that a data object filled (IDataObject::GetData, through
// Put), released with ReleaseStgMedium when it goes. Empty, it holds
// TYMED_NULL and no pUnkForRelease, which ReleaseStgMedium leaves alone.
class UniqueMedium {
  public:
    UniqueMedium() = default;
    ~UniqueMedium() { Reset(); }
    UniqueMedium(UniqueMedium&& o) noexcept : m_(o.Detach()) {}
    UniqueMedium& operator=(UniqueMedium&& o) noexcept {
        if (this != &o) {
            Reset();
            m_ = o.Detach();
        }
        return *this;
    }
    UniqueMedium(const UniqueMedium&) = delete;
    UniqueMedium& operator=(const UniqueMedium&) = delete;

    const STGMEDIUM& Get() const { return m_; }
    const STGMEDIUM* operator->() const { return &m_; }
    // Releases what it holds; then it is empty.
    void Reset() {
        ReleaseStgMedium(&m_);
        m_ = STGMEDIUM{};
    }
    // For the out-parameter of GetData: releases what it holds first.
    STGMEDIUM* Put() {
        Reset();
        return &m_;
    }
    // Gives the medium up without releasing it: someone else owns it now.
    [[nodiscard]] STGMEDIUM Detach() { return std::exchange(m_, STGMEDIUM{}); }

  private:
    STGMEDIUM m_{};
};

// A window's device context (the screen's for nullptr), released when it goes.
class WindowDC {
  public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC Get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

// An object selected into a device context; the one it replaced is selected
// back when this goes.
class SelectedObject {
  public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (old_ && old_ != HGDI_ERROR)
            SelectObject(dc_, old_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

  private:
    HDC dc_;
    HGDIOBJ old_;
};

// The memory of a movable global block, locked while this lives.
class LockedGlobal {
  public:
    explicit LockedGlobal(HGLOBAL block) : block_(block), memory_(GlobalLock(block)) {}
    ~LockedGlobal() {
        if (memory_)
            GlobalUnlock(block_);
    }
    LockedGlobal(const LockedGlobal&) = delete;
    LockedGlobal& operator=(const LockedGlobal&) = delete;
    void* Get() const { return memory_; }

  private:
    HGLOBAL block_;
    void* memory_;
};

// One paint of a window (WM_PAINT): BeginPaint, and EndPaint when it goes.
class PaintDC {
  public:
    explicit PaintDC(HWND window) : window_(window), dc_(BeginPaint(window, &ps_)) {}
    ~PaintDC() { EndPaint(window_, &ps_); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    HDC Get() const { return dc_; }

  private:
    HWND window_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

} // namespace varno::win
