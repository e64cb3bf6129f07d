// acc-items: what a screen reader gets from a window, through Active Accessibility only. The driver asks
// the window for its client object (AccessibleObjectFromWindow, which sends WM_GETOBJECT to the
// program and unmarshals the answer) and reads the object and each of its children.
//
// A failure names the call that failed and its HRESULT, so that a missing piece of the platform is told
// apart from a program that does not answer.
#include "tests/e2e/uidriver/Driver.h"

#include <oleacc.h>

#include <cstdio>

namespace {

constexpr long kMaxChildren = 10000;

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

[[noreturn]] void Fail(const char* call, HRESULT hr, JsonObject details = {}) {
    details.Str("call", FromUtf8(call)).Str("hresult", FromUtf8(Hex(hr)));
    throw DriverError(std::string(call) + " failed: " + Hex(hr), std::move(details));
}

class ComApartment {
public:
    ComApartment() : m_hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(m_hr))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT m_hr;
};

// Owns one reference.
class AccPtr {
public:
    AccPtr() = default;
    ~AccPtr() {
        if (m_p != nullptr)
            m_p->Release();
    }
    AccPtr(const AccPtr&) = delete;
    AccPtr& operator=(const AccPtr&) = delete;
    IAccessible* operator->() const { return m_p; }
    void** Put() { return reinterpret_cast<void**>(&m_p); }

private:
    IAccessible* m_p = nullptr;
};

VARIANT Child(long id) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

// One text property into out; a failing call is recorded beside it ("<key>-error").
void AddText(JsonObject& out, const char* key, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*),
             IAccessible* acc, long child) {
    BSTR text = nullptr;
    const HRESULT hr = (acc->*get)(Child(child), &text);
    if (FAILED(hr))
        out.Str(std::string(key) + "-error", FromUtf8(Hex(hr)));
    out.Str(key, text != nullptr ? std::wstring(text, SysStringLen(text)) : std::wstring());
    SysFreeString(text);
}

void AddNumber(JsonObject& out, const char* key, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*),
               IAccessible* acc, long child) {
    VARIANT v;
    VariantInit(&v);
    const HRESULT hr = (acc->*get)(Child(child), &v);
    if (FAILED(hr))
        out.Str(std::string(key) + "-error", FromUtf8(Hex(hr)));
    out.Num(key, SUCCEEDED(hr) && v.vt == VT_I4 ? v.lVal : -1);
    VariantClear(&v);
}

std::string Describe(IAccessible* acc, long child) {
    JsonObject out;
    out.Num("child", child);
    AddText(out, "name", &IAccessible::get_accName, acc, child);
    AddText(out, "description", &IAccessible::get_accDescription, acc, child);
    AddNumber(out, "role", &IAccessible::get_accRole, acc, child);
    AddNumber(out, "state", &IAccessible::get_accState, acc, child);
    AddText(out, "default-action", &IAccessible::get_accDefaultAction, acc, child);
    long x = 0, y = 0, w = 0, h = 0;
    if (acc->accLocation(&x, &y, &w, &h, Child(child)) == S_OK)
        out.Raw("location", JsonArray({std::to_string(x), std::to_string(y), std::to_string(w), std::to_string(h)}));
    return out.Close();
}

} // namespace

// acc-items <selector>: the window's client object ("self") and every child: name, description, role,
// state, default action and screen location.
JsonObject VerbAccItems(const Args& args) {
    HWND hwnd = ResolveWindow(args);
    ComApartment apartment;
    JsonObject where;
    where.Num("hwnd", static_cast<long long>(reinterpret_cast<intptr_t>(hwnd)));
    AccPtr acc;
    const HRESULT hr =
        AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible), acc.Put());
    if (FAILED(hr)) {
        // Which half failed: the program's answer, or the unmarshalling of it.
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutW(hwnd, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT), SMTO_NORMAL, 2000, &answer))
            where.Num("wm-getobject", static_cast<long long>(answer));
        Fail("AccessibleObjectFromWindow", hr, std::move(where));
    }
    long count = 0;
    if (const HRESULT countHr = acc->get_accChildCount(&count); FAILED(countHr))
        Fail("IAccessible::get_accChildCount", countHr, std::move(where));
    if (count < 0 || count > kMaxChildren)
        throw DriverError("child count out of range: " + std::to_string(count));
    std::vector<std::string> items;
    for (long child = 1; child <= count; ++child)
        items.push_back(Describe(acc.operator->(), child));
    where.Raw("self", Describe(acc.operator->(), CHILDID_SELF)).Num("count", count).Raw("items", JsonArray(items));
    return where;
}
