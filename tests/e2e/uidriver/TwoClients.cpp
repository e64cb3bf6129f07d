// Verbs for the messenger's own lists: the chat list's owner-drawn user list, the conversation's HTML
// history list, tab controls and mouse clicks at a point of a window.
//
// The user list is a standard list box: count, texts and item rectangles come by list box messages.
// Both lists hand out what they keep about an item through their item-copy message
// (win/ui/ListItemCopy.h): the driver owns a message-only window that the list sends each item to, as
// WM_COPYDATA, while the driver waits in SendMessageTimeout for the list's answer.
#include "win/ui/ListItemCopy.h"

#include "tests/e2e/uidriver/Driver.h"

#include <commctrl.h>

#include <map>
#include <optional>

namespace {

using dravel::win::kListCopyItemMessage;

constexpr long long kDefaultResolveWaitMs = 2000;
constexpr UINT kMessageTimeoutMs = 2000;
constexpr size_t kMaxItems = 10000;
// The window class the program registers for its HTML lists.
constexpr wchar_t kHtmlListClass[] = L"DravelOn.HTMLListCtrl";
// An HTML list that changes while it is read is read again, this many times at most.
constexpr int kHtmlReadAttempts = 5;

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

// One item as a list sent it: field name to value.
class ItemFields {
public:
    explicit ItemFields(std::map<std::wstring, std::wstring> fields) : m_fields(std::move(fields)) {}

    const std::wstring& Str(const wchar_t* name) const {
        auto it = m_fields.find(name);
        if (it == m_fields.end())
            throw DriverError("the list's answer has no field " + ToUtf8(name));
        return it->second;
    }
    long long Num(const wchar_t* name) const {
        const std::wstring& text = Str(name);
        try {
            size_t used = 0;
            long long value = std::stoll(text, &used);
            if (used == text.size())
                return value;
        } catch (const std::exception&) {
        }
        throw DriverError("the list's field " + ToUtf8(name) + " is no number: " + ToUtf8(text));
    }
    // "left,top,right,bottom" as the driver's [left,top,right,bottom].
    std::string Rect(const wchar_t* name) const {
        const std::wstring& text = Str(name);
        RECT rc{};
        if (swscanf(text.c_str(), L"%ld,%ld,%ld,%ld", &rc.left, &rc.top, &rc.right, &rc.bottom) != 4)
            throw DriverError("the list's field " + ToUtf8(name) + " is no rectangle: " + ToUtf8(text));
        return RectJson(rc);
    }

private:
    std::map<std::wstring, std::wstring> m_fields;
};

// A message-only window that receives the items a list copies out.
class ItemReceiver {
public:
    ItemReceiver() {
        static const ATOM atom = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"uidriver.ItemReceiver";
            return RegisterClassW(&wc);
        }();
        if (!atom)
            throw DriverError("RegisterClass failed, error " + std::to_string(GetLastError()));
        m_hwnd = CreateWindowExW(0, MAKEINTATOM(atom), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        if (!m_hwnd)
            throw DriverError("CreateWindow failed, error " + std::to_string(GetLastError()));
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~ItemReceiver() { DestroyWindow(m_hwnd); }
    ItemReceiver(const ItemReceiver&) = delete;
    ItemReceiver& operator=(const ItemReceiver&) = delete;

    // The list's fields of item index (-1: the list itself); nothing when the list has no such item or
    // keeps nothing about it.
    std::optional<ItemFields> Ask(HWND list, long long index) {
        m_hwndAsked = list;
        m_answer.reset();
        LRESULT sent =
            SendTimed(list, kListCopyItemMessage, reinterpret_cast<WPARAM>(m_hwnd), static_cast<LPARAM>(index));
        m_hwndAsked = nullptr;
        if (!sent || !m_answer)
            return std::nullopt;
        return ItemFields(std::move(*m_answer));
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<ItemReceiver*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg != WM_COPYDATA || !self)
            return DefWindowProcW(hwnd, msg, wParam, lParam);
        // Only the list being asked, while it is asked, is heard.
        const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!cds || reinterpret_cast<HWND>(wParam) != self->m_hwndAsked || self->m_answer)
            return FALSE;
        std::map<std::wstring, std::wstring> fields;
        for (auto& [name, value] : dravel::win::ParseListItemFields(*cds))
            fields.insert_or_assign(std::move(name), std::move(value));
        self->m_answer = std::move(fields);
        return TRUE;
    }

    HWND m_hwnd = nullptr;
    HWND m_hwndAsked = nullptr;
    std::optional<std::map<std::wstring, std::wstring>> m_answer;
};

// One reading of an HTML list; nothing when the list changed while it was read.
std::optional<JsonObject> ReadHtmlList(HWND hwnd, ItemReceiver& receiver) {
    std::optional<ItemFields> before = receiver.Ask(hwnd, -1);
    if (!before)
        throw DriverError("the HTML list did not describe itself");
    long long count = before->Num(L"count");
    if (count < 0 || static_cast<size_t>(count) > kMaxItems)
        throw DriverError("implausible item count in the HTML list: " + std::to_string(count));
    std::vector<std::string> items;
    for (long long i = 0; i < count; ++i) {
        std::optional<ItemFields> fields = receiver.Ask(hwnd, i);
        if (!fields)
            return std::nullopt;
        JsonObject item;
        item.Num("index", fields->Num(L"index"))
            .Str("text", fields->Str(L"text"))
            .Num("side", fields->Num(L"side"))
            .Num("checked", fields->Num(L"checked"))
            .Num("data", fields->Num(L"data"))
            .Num("type", fields->Num(L"type"))
            .Num("height", fields->Num(L"height"))
            .Raw("rect", fields->Rect(L"rect"));
        items.push_back(item.Close());
    }
    std::optional<ItemFields> after = receiver.Ask(hwnd, -1);
    if (!after || after->Num(L"count") != count)
        return std::nullopt;
    JsonObject out;
    return out.Num("hwnd", HandleNumber(hwnd))
        .Num("count", count)
        .Num("selected", after->Num(L"selected"))
        .Num("scroll", after->Num(L"scroll"))
        .Raw("items", JsonArray(items));
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

// list-items <selector of a list box>: every item's text, rectangle (client) and height, and, when
// the item carries the user list's record, its login ID, icon number and whether it is enabled.
JsonObject VerbListItems(const Args& args) {
    HWND hwnd = ResolveWindow(args);
    auto count = static_cast<long long>(SendTimed(hwnd, LB_GETCOUNT, 0, 0));
    if (count < 0 || static_cast<size_t>(count) > kMaxItems)
        throw DriverError("not a list box, or an implausible count " + std::to_string(count));
    auto selected = static_cast<long long>(SendTimed(hwnd, LB_GETCURSEL, 0, 0));
    ItemReceiver receiver;
    std::vector<std::string> items;
    for (long long i = 0; i < count; ++i) {
        auto index = static_cast<WPARAM>(i);
        LRESULT length = SendTimed(hwnd, LB_GETTEXTLEN, index, 0);
        std::wstring text(length > 0 ? static_cast<size_t>(length) + 1 : 1, L'\0');
        LRESULT copied = length > 0 ? SendTimed(hwnd, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data())) : 0;
        text.resize(copied > 0 && copied <= length ? static_cast<size_t>(copied) : 0);
        RECT rc{};
        SendTimed(hwnd, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rc));
        JsonObject item;
        item.Num("index", i).Str("text", text).Raw("rect", RectJson(rc));
        item.Num("height", SendTimed(hwnd, LB_GETITEMHEIGHT, index, 0));
        if (std::optional<ItemFields> record = receiver.Ask(hwnd, i)) {
            item.Str("id", record->Str(L"id"))
                .Num("image", record->Num(L"image"))
                .Bool("enabled", record->Str(L"enabled") == L"1")
                .Num("value", record->Num(L"value"));
        }
        items.push_back(item.Close());
    }
    JsonObject out;
    return out.Num("hwnd", HandleNumber(hwnd))
        .Num("count", count)
        .Num("selected", selected)
        .Raw("items", JsonArray(items));
}

// html-items <selector of an HTML list>: the items in order with their HTML text, side, check state,
// data and the client rectangle they were last painted in; the selected position and scroll position.
// A list that changes while it is read (a message arriving) is read again.
JsonObject VerbHtmlItems(const Args& args) {
    HWND hwnd = ResolveWindow(args);
    if (lstrcmpiW(WindowClass(hwnd).c_str(), kHtmlListClass) != 0)
        throw DriverError("not an HTML list: class " + ToUtf8(WindowClass(hwnd)));
    ItemReceiver receiver;
    for (int attempt = 0; attempt < kHtmlReadAttempts; ++attempt) {
        if (std::optional<JsonObject> list = ReadHtmlList(hwnd, receiver))
            return *list;
    }
    throw DriverError("the HTML list kept changing while it was read");
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
