// What a screen reader gets from a window, through Active Accessibility only: acc-items for any window,
// list-items and html-items for the program's two lists. The driver asks the window for its client
// object (AccessibleObjectFromWindow, which sends WM_GETOBJECT to the program and unmarshals the
// answer) and reads the object and each of its children; it reads nothing else of the program.
//
// A failure names the call that failed and its HRESULT, so that a missing piece of the platform is told
// apart from a program that does not answer.
#include "tests/e2e/uidriver/Driver.h"

#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr long kMaxChildren = 10000;
// The window class the program registers for its HTML lists.
constexpr wchar_t kHtmlListClass[] = L"DravelOn.HTMLListCtrl";
// A list that changes while it is read (a message arriving) is read again, this many times at most.
constexpr int kListReadAttempts = 5;

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

namespace {

// One child as a list verb gives it: its index, text and state, and where it is in the list's client area.
struct ListChild {
    std::wstring strName;
    std::wstring strDescription;
    long nState = 0;
    RECT rc{};
};

// The list's children from position first on, at most limit of them, or nothing when the count changed
// while they were read.
std::optional<std::vector<ListChild>> ReadChildren(HWND hwnd, IAccessible* acc, long first, long limit) {
    long count = 0;
    if (const HRESULT hr = acc->get_accChildCount(&count); FAILED(hr))
        Fail("IAccessible::get_accChildCount", hr);
    if (count < 0 || count > kMaxChildren)
        throw DriverError("child count out of range: " + std::to_string(count));
    std::vector<ListChild> children;
    for (long child = first + 1; child <= count && child <= first + limit; ++child) {
        ListChild item;
        BSTR text = nullptr;
        if (SUCCEEDED(acc->get_accName(Child(child), &text)) && text != nullptr)
            item.strName.assign(text, SysStringLen(text));
        SysFreeString(text);
        text = nullptr;
        if (SUCCEEDED(acc->get_accDescription(Child(child), &text)) && text != nullptr)
            item.strDescription.assign(text, SysStringLen(text));
        SysFreeString(text);
        VARIANT state;
        VariantInit(&state);
        if (SUCCEEDED(acc->get_accState(Child(child), &state)) && state.vt == VT_I4)
            item.nState = state.lVal;
        VariantClear(&state);
        long x = 0, y = 0, w = 0, h = 0;
        if (acc->accLocation(&x, &y, &w, &h, Child(child)) == S_OK) {
            POINT origin{x, y};
            ScreenToClient(hwnd, &origin);
            item.rc = {origin.x, origin.y, origin.x + w, origin.y + h};
        }
        children.push_back(std::move(item));
    }
    long after = 0;
    if (FAILED(acc->get_accChildCount(&after)) || after != count)
        return std::nullopt;
    return children;
}

// The list's children (from position first, at most limit) as JSON items, each with `add` filling in
// what its kind of list tells.
template <class AddFields> JsonObject ListAnswer(HWND hwnd, AddFields add, long first = 0, long limit = kMaxChildren) {
    ComApartment apartment;
    AccPtr acc;
    if (const HRESULT hr =
            AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible), acc.Put());
        FAILED(hr))
        Fail("AccessibleObjectFromWindow", hr);
    for (int attempt = 0; attempt < kListReadAttempts; ++attempt) {
        const std::optional<std::vector<ListChild>> children = ReadChildren(hwnd, acc.operator->(), first, limit);
        if (!children)
            continue;
        long long selected = -1;
        std::vector<std::string> items;
        for (size_t i = 0; i < children->size(); ++i) {
            const ListChild& child = (*children)[i];
            const long long index = first + static_cast<long long>(i);
            if (selected < 0 && (child.nState & STATE_SYSTEM_SELECTED) != 0)
                selected = index;
            JsonObject item;
            item.Num("index", index)
                .Str("text", child.strName)
                .Bool("selected", (child.nState & STATE_SYSTEM_SELECTED) != 0)
                .Raw("rect", JsonArray({std::to_string(child.rc.left), std::to_string(child.rc.top),
                                        std::to_string(child.rc.right), std::to_string(child.rc.bottom)}))
                .Num("height", child.rc.bottom - child.rc.top);
            add(item, child);
            items.push_back(item.Close());
        }
        JsonObject out;
        return out.Num("hwnd", static_cast<long long>(reinterpret_cast<intptr_t>(hwnd)))
            .Num("count", static_cast<long long>(items.size()))
            .Num("selected", selected)
            .Raw("items", JsonArray(items));
    }
    throw DriverError("the list kept changing while it was read");
}

} // namespace

// list-items <selector of the user list>: every item's text, the presence its icon shows
// ("description"), whether it is enabled and selected, its client rectangle and height.
JsonObject VerbListItems(const Args& args) {
    return ListAnswer(ResolveWindow(args), [](JsonObject& item, const ListChild& child) {
        item.Str("description", child.strDescription).Bool("enabled", (child.nState & STATE_SYSTEM_UNAVAILABLE) == 0);
    });
}

// html-items <selector of an HTML list> [first= count=]: the items in order (or count of them from
// position first: a long history takes seconds to read whole) with the text a screen reader reads, their
// check state, selection and client rectangle; the selected position among them.
JsonObject VerbHtmlItems(const Args& args) {
    const HWND hwnd = ResolveWindow(args);
    if (lstrcmpiW(WindowClass(hwnd).c_str(), kHtmlListClass) != 0)
        throw DriverError("not an HTML list: class " + ToUtf8(WindowClass(hwnd)));
    const long long first = args.Int(L"first", 0), limit = args.Int(L"count", kMaxChildren);
    if (first < 0 || first > kMaxChildren || limit < 0)
        throw DriverError("first= and count= must be positions");
    return ListAnswer(
        hwnd,
        [](JsonObject& item, const ListChild& child) {
            item.Num("checked", (child.nState & STATE_SYSTEM_CHECKED) != 0 ? 1 : 0);
        },
        static_cast<long>(first), static_cast<long>(std::min<long long>(limit, kMaxChildren)));
}
