#pragma once

// One owner per handle kind. Every owner is non-copyable and movable, releases its handle in the
// destructor, and offers Get(), Detach() and Reset(). Owners are meant for handles the holder created;
// handles borrowed from the system (stock objects, shared icons, GetDC of another thread) are not owned.

// winsock2.h first: windows.h without WIN32_LEAN_AND_MEAN would pull in the old winsock.h.
#include <winsock2.h>

#include <windows.h>

#include <commctrl.h>
#include <unknwn.h>

#include <utility>

namespace dravel::win {

// Generic owner over a traits type that knows the empty value and how to close.
template <class Traits> class CHandleOwner {
public:
    using Handle = typename Traits::Handle;

    CHandleOwner() noexcept = default;
    explicit CHandleOwner(Handle h) noexcept : m_h(h) {}
    ~CHandleOwner() { Reset(); }

    CHandleOwner(const CHandleOwner&) = delete;
    CHandleOwner& operator=(const CHandleOwner&) = delete;
    CHandleOwner(CHandleOwner&& other) noexcept : m_h(other.Detach()) {}
    CHandleOwner& operator=(CHandleOwner&& other) noexcept {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }

    Handle Get() const noexcept { return m_h; }
    explicit operator bool() const noexcept { return Traits::IsValid(m_h); }

    // Gives the handle up without closing it.
    Handle Detach() noexcept { return std::exchange(m_h, Traits::Empty()); }

    // Closes the current handle (if any) and takes the new one.
    void Reset(Handle h = Traits::Empty()) noexcept {
        Handle old = std::exchange(m_h, h);
        if (Traits::IsValid(old) && old != h)
            Traits::Close(old);
    }

private:
    Handle m_h = Traits::Empty();
};

namespace detail {

template <class H, BOOL(WINAPI* CloseFn)(H)> struct NullTraits {
    using Handle = H;
    static constexpr Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { CloseFn(h); }
};

// CloseHandle: both NULL and INVALID_HANDLE_VALUE mean "no handle" (APIs differ in which they return).
struct KernelTraits {
    using Handle = HANDLE;
    static constexpr Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};

struct SocketTraits {
    using Handle = SOCKET;
    static constexpr Handle Empty() noexcept { return INVALID_SOCKET; }
    static bool IsValid(Handle h) noexcept { return h != INVALID_SOCKET; }
    static void Close(Handle h) noexcept { ::closesocket(h); }
};

struct RegKeyTraits {
    using Handle = HKEY;
    static constexpr Handle Empty() noexcept { return nullptr; }
    // The predefined roots (HKEY_CURRENT_USER...) are never closed.
    static bool IsValid(Handle h) noexcept {
        return h != nullptr && (reinterpret_cast<ULONG_PTR>(h) & 0x80000000u) == 0;
    }
    static void Close(Handle h) noexcept { ::RegCloseKey(h); }
};

template <class H> struct GdiTraits {
    using Handle = H;
    static constexpr Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::DeleteObject(h); }
};

} // namespace detail

using CWindowHandle = CHandleOwner<detail::NullTraits<HWND, ::DestroyWindow>>;
using CKernelHandle = CHandleOwner<detail::KernelTraits>;
using CSocketHandle = CHandleOwner<detail::SocketTraits>;
using CRegKeyHandle = CHandleOwner<detail::RegKeyTraits>;
using CModuleHandle = CHandleOwner<detail::NullTraits<HMODULE, ::FreeLibrary>>;
using CMenuHandle = CHandleOwner<detail::NullTraits<HMENU, ::DestroyMenu>>;
using CIconHandle = CHandleOwner<detail::NullTraits<HICON, ::DestroyIcon>>;
// Cursors loaded from resources (LoadImage with IMAGE_CURSOR); shared system cursors are not owned.
using CCursorHandle = CHandleOwner<detail::NullTraits<HCURSOR, ::DestroyCursor>>;
using CHookHandle = CHandleOwner<detail::NullTraits<HHOOK, ::UnhookWindowsHookEx>>;
using CImageListHandle = CHandleOwner<detail::NullTraits<HIMAGELIST, ::ImageList_Destroy>>;
// A DC made by CreateCompatibleDC or CreateDC.
using CDcHandle = CHandleOwner<detail::NullTraits<HDC, ::DeleteDC>>;

// GDI objects, typed so that Get() needs no cast: CGdiObject<HFONT>, CGdiObject<HBITMAP>...
template <class H = HGDIOBJ> using CGdiObject = CHandleOwner<detail::GdiTraits<H>>;
using CFontHandle = CGdiObject<HFONT>;
using CBitmapHandle = CGdiObject<HBITMAP>;
using CBrushHandle = CGdiObject<HBRUSH>;
using CPenHandle = CGdiObject<HPEN>;
using CRgnHandle = CGdiObject<HRGN>;

// A DC obtained with GetDC/GetWindowDC: released to its window with ReleaseDC.
class CWindowDc {
public:
    CWindowDc() noexcept = default;
    // Takes the client-area DC of the window (GetDC).
    explicit CWindowDc(HWND hwnd) noexcept : m_hwnd(hwnd), m_hdc(::GetDC(hwnd)) {}
    // Adopts a DC that was obtained for hwnd.
    CWindowDc(HWND hwnd, HDC hdc) noexcept : m_hwnd(hwnd), m_hdc(hdc) {}
    ~CWindowDc() { Reset(); }

    CWindowDc(const CWindowDc&) = delete;
    CWindowDc& operator=(const CWindowDc&) = delete;
    CWindowDc(CWindowDc&& other) noexcept
        : m_hwnd(std::exchange(other.m_hwnd, nullptr)), m_hdc(std::exchange(other.m_hdc, nullptr)) {}
    CWindowDc& operator=(CWindowDc&& other) noexcept {
        if (this != &other) {
            Reset();
            m_hwnd = std::exchange(other.m_hwnd, nullptr);
            m_hdc = std::exchange(other.m_hdc, nullptr);
        }
        return *this;
    }

    HDC Get() const noexcept { return m_hdc; }
    explicit operator bool() const noexcept { return m_hdc != nullptr; }
    HDC Detach() noexcept {
        m_hwnd = nullptr;
        return std::exchange(m_hdc, nullptr);
    }
    void Reset(HWND hwnd = nullptr, HDC hdc = nullptr) noexcept {
        if (m_hdc != nullptr && m_hdc != hdc)
            ::ReleaseDC(m_hwnd, m_hdc);
        m_hwnd = hwnd;
        m_hdc = hdc;
    }

private:
    HWND m_hwnd = nullptr;
    HDC m_hdc = nullptr;
};

// BeginPaint/EndPaint for WM_PAINT handlers.
class CPaintDc {
public:
    explicit CPaintDc(HWND hwnd) noexcept : m_hwnd(hwnd) { m_hdc = ::BeginPaint(hwnd, &m_ps); }
    ~CPaintDc() {
        if (m_hdc != nullptr)
            ::EndPaint(m_hwnd, &m_ps);
    }
    CPaintDc(const CPaintDc&) = delete;
    CPaintDc& operator=(const CPaintDc&) = delete;

    HDC Get() const noexcept { return m_hdc; }
    const PAINTSTRUCT& Paint() const noexcept { return m_ps; }

private:
    HWND m_hwnd;
    HDC m_hdc = nullptr;
    PAINTSTRUCT m_ps{};
};

// Selects an object into a DC and puts the previous one back when it goes out of scope, so that
// every selection is undone even on an early return. Declare it after the owner of the object, so
// that the object is deselected before it is deleted. Not for regions: selecting a region returns a
// complexity code, not the previous object.
class CSelectObjectGuard {
public:
    CSelectObjectGuard(HDC hdc, HGDIOBJ obj) noexcept : m_hdc(hdc), m_prev(::SelectObject(hdc, obj)) {}
    ~CSelectObjectGuard() { Restore(); }

    CSelectObjectGuard(const CSelectObjectGuard&) = delete;
    CSelectObjectGuard& operator=(const CSelectObjectGuard&) = delete;
    CSelectObjectGuard(CSelectObjectGuard&& other) noexcept
        : m_hdc(std::exchange(other.m_hdc, nullptr)), m_prev(std::exchange(other.m_prev, nullptr)) {}
    CSelectObjectGuard& operator=(CSelectObjectGuard&&) = delete;

    // False when the selection failed (the object selected before was null or HGDI_ERROR).
    bool Succeeded() const noexcept { return m_prev != nullptr && m_prev != HGDI_ERROR; }

    void Restore() noexcept {
        if (m_hdc != nullptr && Succeeded())
            ::SelectObject(m_hdc, m_prev);
        m_hdc = nullptr;
        m_prev = nullptr;
    }

private:
    HDC m_hdc;
    HGDIOBJ m_prev;
};

// The process and thread handles CreateProcess hands back, closed together.
class CProcessInformation {
public:
    CProcessInformation() noexcept = default;
    ~CProcessInformation() { Reset(); }
    CProcessInformation(const CProcessInformation&) = delete;
    CProcessInformation& operator=(const CProcessInformation&) = delete;

    // The structure to pass to CreateProcess; whatever it held before is closed first.
    PROCESS_INFORMATION* Put() noexcept {
        Reset();
        return &m_info;
    }

    void Reset() noexcept {
        if (m_info.hThread != nullptr)
            ::CloseHandle(m_info.hThread);
        if (m_info.hProcess != nullptr)
            ::CloseHandle(m_info.hProcess);
        m_info = PROCESS_INFORMATION{};
    }

private:
    PROCESS_INFORMATION m_info{};
};

// Owner of one COM reference. Not copyable (like every owner here): take another reference
// explicitly with Share().
template <class T> class CComPtr {
public:
    CComPtr() noexcept = default;
    // Adopts a reference the caller already holds (no AddRef).
    explicit CComPtr(T* p) noexcept : m_p(p) {}
    ~CComPtr() { Reset(); }

    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;
    CComPtr(CComPtr&& other) noexcept : m_p(other.Detach()) {}
    CComPtr& operator=(CComPtr&& other) noexcept {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }

    // Takes a new reference to p (AddRef).
    static CComPtr AddRefFrom(T* p) noexcept {
        if (p != nullptr)
            p->AddRef();
        return CComPtr(p);
    }
    CComPtr Share() const noexcept { return AddRefFrom(m_p); }

    T* Get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }

    T* Detach() noexcept { return std::exchange(m_p, nullptr); }
    void Reset(T* p = nullptr) noexcept {
        T* old = std::exchange(m_p, p);
        if (old != nullptr)
            old->Release();
    }

    // For out-parameters: releases the current reference and returns the slot to fill.
    T** Put() noexcept {
        Reset();
        return &m_p;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

private:
    T* m_p = nullptr;
};

} // namespace dravel::win
