#pragma once

// Reading a window's IAccessible the way a screen reader does: WM_GETOBJECT and ObjectFromLresult, or
// AccessibleObjectFromWindow, then the IAccessible calls; and recording the accessibility events the
// program raises (an out-of-context hook of this process, delivered through this thread's messages).

#include "win/base/Handles.h"

#include "Wait.h"

#include <oleacc.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace dravel::win::test {

class CComScope {
public:
    CComScope() { m_hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~CComScope() {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    CComScope(const CComScope&) = delete;
    CComScope& operator=(const CComScope&) = delete;

private:
    HRESULT m_hr;
};

// The client-area object through the window's own answer to WM_GETOBJECT.
inline CComPtr<IAccessible> AccObjectOf(HWND hwnd) {
    CComPtr<IAccessible> acc;
    const LRESULT lr = ::SendMessageW(hwnd, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
    if (lr > 0)
        ::ObjectFromLresult(lr, __uuidof(IAccessible), 0, acc.PutVoid());
    return acc;
}

inline VARIANT AccChild(long id) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

// A text property; hr receives the call's result.
inline std::wstring AccText(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), IAccessible* acc, long child,
                            HRESULT* hr = nullptr) {
    BSTR text = nullptr;
    const HRESULT result = (acc->*get)(AccChild(child), &text);
    if (hr != nullptr)
        *hr = result;
    std::wstring out = text != nullptr ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
    ::SysFreeString(text);
    return out;
}
inline std::wstring AccName(IAccessible* acc, long child, HRESULT* hr = nullptr) {
    return AccText(&IAccessible::get_accName, acc, child, hr);
}

// A role or state; -1 when the call fails or gives no number.
inline long AccNumber(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), IAccessible* acc, long child) {
    VARIANT v;
    ::VariantInit(&v);
    const HRESULT hr = (acc->*get)(AccChild(child), &v);
    const long value = SUCCEEDED(hr) && v.vt == VT_I4 ? v.lVal : -1;
    ::VariantClear(&v);
    return value;
}
inline long AccRole(IAccessible* acc, long child) {
    return AccNumber(&IAccessible::get_accRole, acc, child);
}
inline long AccState(IAccessible* acc, long child) {
    return AccNumber(&IAccessible::get_accState, acc, child);
}

inline RECT AccLocation(IAccessible* acc, long child, HRESULT* hr = nullptr) {
    long x = 0, y = 0, w = 0, h = 0;
    const HRESULT result = acc->accLocation(&x, &y, &w, &h, AccChild(child));
    if (hr != nullptr)
        *hr = result;
    return RECT{x, y, x + w, y + h};
}

// A child id out of a VARIANT answer (get_accFocus, get_accSelection, accHitTest); -1 for none.
inline long AccChildOf(const VARIANT& v) {
    return v.vt == VT_I4 ? v.lVal : -1;
}

struct CAccEvent {
    DWORD event;
    HWND hwnd;
    LONG object;
    LONG child;
};

// Records the events of this process while it lives; Has waits (pumping messages) for one.
class CAccEventRecorder {
public:
    CAccEventRecorder(DWORD first, DWORD last) {
        s_pActive = this;
        m_hook = ::SetWinEventHook(first, last, nullptr, &Proc, ::GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    }
    ~CAccEventRecorder() {
        if (m_hook != nullptr)
            ::UnhookWinEvent(m_hook);
        s_pActive = nullptr;
    }
    CAccEventRecorder(const CAccEventRecorder&) = delete;
    CAccEventRecorder& operator=(const CAccEventRecorder&) = delete;

    bool IsHooked() const { return m_hook != nullptr; }
    bool Has(DWORD event, HWND hwnd, LONG child, DWORD timeoutMs = kWaitMs) {
        return PumpUntil(
            [&] {
                for (const CAccEvent& e : events)
                    if (e.event == event && e.hwnd == hwnd && e.object == OBJID_CLIENT && e.child == child)
                        return true;
                return false;
            },
            timeoutMs);
    }

    std::vector<CAccEvent> events;

private:
    static void CALLBACK Proc(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
        if (s_pActive != nullptr)
            s_pActive->events.push_back({event, hwnd, object, child});
    }

    static inline CAccEventRecorder* s_pActive = nullptr;
    HWINEVENTHOOK m_hook = nullptr;
};

} // namespace dravel::win::test
