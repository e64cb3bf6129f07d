// Verbs around the messenger's own lists: the window selector, tab controls, mouse clicks at a point of
// a window and placing a window. The lists' items are read through accessibility (Accessibility.cpp).
#include "tests/e2e/uidriver/Driver.h"

#include <commctrl.h>


namespace {

constexpr long long kDefaultResolveWaitMs = 2000;
constexpr UINT kMessageTimeoutMs = 2000;

long long HandleNumber(HWND hwnd) {
    return static_cast<long long>(reinterpret_cast<intptr_t>(hwnd));
}

LRESULT SendTimed(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_NORMAL, kMessageTimeoutMs, &result))
        throw DriverError("window did not answer within " + std::to_string(kMessageTimeoutMs) + " ms");
    return static_cast<LRESULT>(result);
}

std::string RectJson(const RECT& rc) {
    return "[" + std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) + "," +
           std::to_string(rc.bottom) + "]";
}

} // namespace

// The selector of the window verbs, resolved through "find" with the same arguments.
HWND ResolveWindow(const Args& args) {
    std::vector<std::wstring> words;
    for (const wchar_t* key : {L"hwnd", L"class", L"title", L"title-has", L"pid", L"visible", L"id", L"child-class",
                               L"child-text", L"child-text-has"}) {
        if (args.Has(key))
            words.push_back(std::wstring(key) + L"=" + args.Str(key));
    }
    words.push_back(L"timeout=" + std::to_wstring(args.Int(L"wait", kDefaultResolveWaitMs)));
    JsonObject found;
    try {
        found = VerbWait(Args(words));
    } catch (const DriverError&) {
        throw DriverError("no window matches");
    }
    // "window":{"hwnd":N,...}
    const std::string& body = found.Body();
    size_t at = body.find("\"hwnd\":");
    if (at == std::string::npos)
        throw DriverError("internal error: no handle in the window description");
    return reinterpret_cast<HWND>(static_cast<intptr_t>(std::stoll(body.substr(at + 7))));
}

// select-tab <selector of a tab control> index=N: moves the focus to the tab as the arrow keys do, so
// the parent hears TCN_SELCHANGING / TCN_SELCHANGE; answers the tabs and the selection afterwards.
JsonObject VerbSelectTab(const Args& args) {
    HWND hwnd = ResolveWindow(args);
    if (lstrcmpiW(WindowClass(hwnd).c_str(), WC_TABCONTROLW) != 0)
        throw DriverError("not a tab control: class " + ToUtf8(WindowClass(hwnd)));
    if (!IsWindowEnabled(hwnd) && !args.Flag(L"force"))
        throw DriverError("tab control is disabled");
    auto count = static_cast<long long>(SendTimed(hwnd, TCM_GETITEMCOUNT, 0, 0));
    long long index = args.Int(L"index", -1);
    if (args.Has(L"index")) {
        if (index < 0 || index >= count)
            throw DriverError("no tab " + std::to_string(index) + " of " + std::to_string(count));
        SendTimed(hwnd, TCM_SETCURFOCUS, static_cast<WPARAM>(index), 0);
    }
    JsonObject out;
    return out.Num("hwnd", HandleNumber(hwnd))
        .Num("count", count)
        .Num("selected", SendTimed(hwnd, TCM_GETCURSEL, 0, 0))
        .Bool("enabled", IsWindowEnabled(hwnd));
}

// mouse <selector> x= y= (client; default the centre) button=left|right|double|move: puts the cursor
// there (programs read it with GetMessagePos / GetCursorPos) and posts the button messages a user's
// click would bring.
JsonObject VerbMouse(const Args& args) {
    HWND hwnd = ResolveWindow(args);
    RECT client{};
    GetClientRect(hwnd, &client);
    POINT pt{static_cast<LONG>(args.Int(L"x", client.right / 2)), static_cast<LONG>(args.Int(L"y", client.bottom / 2))};
    POINT screen = pt;
    ClientToScreen(hwnd, &screen);
    SetCursorPos(screen.x, screen.y);
    std::wstring button = args.Str(L"button", L"left");
    LPARAM at = MAKELPARAM(pt.x, pt.y);
    auto post = [&](UINT msg, WPARAM keys) {
        if (!PostMessageW(hwnd, msg, keys, at))
            throw DriverError("PostMessage failed, error " + std::to_string(GetLastError()));
    };
    post(WM_MOUSEMOVE, 0);
    if (button == L"left") {
        post(WM_LBUTTONDOWN, MK_LBUTTON);
        post(WM_LBUTTONUP, 0);
    } else if (button == L"double") {
        post(WM_LBUTTONDOWN, MK_LBUTTON);
        post(WM_LBUTTONUP, 0);
        post(WM_LBUTTONDBLCLK, MK_LBUTTON);
        post(WM_LBUTTONUP, 0);
    } else if (button == L"right") {
        post(WM_RBUTTONDOWN, MK_RBUTTON);
        post(WM_RBUTTONUP, 0);
    } else if (button != L"move") {
        throw DriverError("button is left, right, double or move");
    }
    JsonObject out;
    return out.Num("hwnd", HandleNumber(hwnd))
        .Raw("screen", "[" + std::to_string(screen.x) + "," + std::to_string(screen.y) + "]");
}

// move <selector> x= y= [width= height=]: places a window (screen coordinates) without activating it.
JsonObject VerbMove(const Args& args) {
    HWND hwnd = ResolveWindow(args);
    UINT flags = SWP_NOACTIVATE | SWP_NOZORDER;
    if (!args.Has(L"width") || !args.Has(L"height"))
        flags |= SWP_NOSIZE;
    if (!SetWindowPos(hwnd, nullptr, static_cast<int>(args.Int(L"x", 0)), static_cast<int>(args.Int(L"y", 0)),
                      static_cast<int>(args.Int(L"width", 0)), static_cast<int>(args.Int(L"height", 0)), flags))
        throw DriverError("SetWindowPos failed, error " + std::to_string(GetLastError()));
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    JsonObject out;
    return out.Num("hwnd", HandleNumber(hwnd)).Raw("rect", RectJson(rc));
}
