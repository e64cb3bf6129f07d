// Verbs for the messenger's own lists: the chat list's owner-drawn user list, the conversation's HTML
// history list, tab controls and mouse clicks at a point of a window.
//
// The user list is a standard list box: count, texts and item rectangles come by message; the record
// behind each item (login ID, icon, state) is read from the program's memory through the item data.
// The HTML list answers no messages about its items, so its items are read from the program's memory
// too: the control object hangs on its window as a property, and the layout of the objects is taken
// from the program's own headers (the driver is built by the same compiler with the same flags).
// The program's headers come first: once the driver's own WindowText is declared, their inline calls of
// theirs would be ambiguous.
#include "win/chat/ContactListBox.h"
#include "win/ui/HTMLListCtrl.h"

#include "Driver.h"

#include <commctrl.h>

#include <cstddef>
#include <cstring>

namespace {

using dravel::CHtmlListModel;
using dravel::HtmlListItem;
using dravel::TextRect;
using dravel::win::ContactItemRecord;
using dravel::win::CWindow;
using dravel::win::HTMLListCtrl;

constexpr long long kDefaultResolveWaitMs = 2000;
constexpr UINT kMessageTimeoutMs = 2000;
// Sanity limits for what is read from another process.
constexpr size_t kMaxItems = 10000;
constexpr size_t kMaxTextBytes = 1 << 20;

long long HandleNumber(HWND hwnd) {
    return static_cast<long long>(reinterpret_cast<intptr_t>(hwnd));
}

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

// Code page 949 bytes as UTF-16 (the program's texts).
std::wstring FromCp949(const std::string& bytes) {
    if (bytes.empty())
        return {};
    int n = MultiByteToWideChar(949, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(n > 0 ? static_cast<size_t>(n) : 0, L'\0');
    if (n > 0)
        MultiByteToWideChar(949, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

// Reading the memory of the process that owns a window.
class RemoteMemory {
public:
    explicit RemoteMemory(HWND hwnd) {
        DWORD pid = WindowPid(hwnd);
        m_hProcess = OpenProcess(PROCESS_VM_READ | PROCESS_QUERY_INFORMATION, FALSE, pid);
        if (!m_hProcess)
            throw DriverError("cannot read process " + std::to_string(pid) + ", error " +
                              std::to_string(GetLastError()));
    }
    ~RemoteMemory() { CloseHandle(m_hProcess); }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    void Read(uintptr_t address, void* out, size_t size) const {
        SIZE_T got = 0;
        if (!address || !ReadProcessMemory(m_hProcess, reinterpret_cast<const void*>(address), out, size, &got) ||
            got != size)
            throw DriverError("cannot read " + std::to_string(size) + " bytes of the program's memory");
    }
    template <class T> T Value(uintptr_t address) const {
        T value{};
        Read(address, &value, sizeof value);
        return value;
    }
    // A std::string of this compiler's library: pointer to the characters, then the length.
    std::string String(uintptr_t address) const {
        uintptr_t data = Value<uintptr_t>(address);
        size_t size = Value<size_t>(address + sizeof(uintptr_t));
        if (size > kMaxTextBytes)
            throw DriverError("implausible text length " + std::to_string(size));
        std::string text(size, '\0');
        if (size)
            Read(data, text.data(), size);
        return text;
    }

private:
    HANDLE m_hProcess = nullptr;
};

static_assert(sizeof(std::string) == 4 * sizeof(void*), "the string layout read below is libstdc++'s");
static_assert(sizeof(std::vector<int>) == 3 * sizeof(void*), "the vector layout read below is libstdc++'s");
static_assert(sizeof(std::unique_ptr<HtmlListItem>) == sizeof(void*));

// Offsets of private members: an explicit instantiation may name them, and hands the member pointer
// out through a friend function.
template <class Tag, typename Tag::type M> struct Expose {
    friend typename Tag::type MemberOf(Tag) { return M; }
};
struct ModelOfList {
    using type = CHtmlListModel HTMLListCtrl::*;
    friend type MemberOf(ModelOfList);
};
struct ItemsOfModel {
    using type = std::vector<std::unique_ptr<HtmlListItem>> CHtmlListModel::*;
    friend type MemberOf(ItemsOfModel);
};
struct SelectedOfModel {
    using type = int CHtmlListModel::*;
    friend type MemberOf(SelectedOfModel);
};
struct ScrollOfModel {
    using type = int CHtmlListModel::*;
    friend type MemberOf(ScrollOfModel);
};
template struct Expose<ModelOfList, &HTMLListCtrl::m_model>;
template struct Expose<ItemsOfModel, &CHtmlListModel::m_items>;
template struct Expose<SelectedOfModel, &CHtmlListModel::m_nSelected>;
template struct Expose<ScrollOfModel, &CHtmlListModel::m_nScrollPos>;

template <class Object, class Member> uintptr_t OffsetOf(Member Object::*member) {
    // Only addresses are computed; no object is touched.
    alignas(Object) static unsigned char storage[sizeof(Object)];
    auto* object = reinterpret_cast<Object*>(storage);
    return reinterpret_cast<uintptr_t>(&(object->*member)) - reinterpret_cast<uintptr_t>(storage);
}

uintptr_t BaseOffsetOfWindow() {
    alignas(HTMLListCtrl) static unsigned char storage[sizeof(HTMLListCtrl)];
    auto* list = reinterpret_cast<HTMLListCtrl*>(storage);
    return reinterpret_cast<uintptr_t>(static_cast<CWindow*>(list)) - reinterpret_cast<uintptr_t>(storage);
}

// The HTMLListCtrl object of a window of another process; throws when the window is not one.
uintptr_t HtmlListObject(HWND hwnd) {
    if (lstrcmpiW(WindowClass(hwnd).c_str(), HTMLListCtrl::kClassName) != 0)
        throw DriverError("not an HTML list: class " + ToUtf8(WindowClass(hwnd)));
    ATOM atom = GlobalFindAtomW(L"DravelOn.CWindow.This");
    auto window = atom ? reinterpret_cast<uintptr_t>(GetPropW(hwnd, MAKEINTATOM(atom))) : 0;
    if (!window)
        throw DriverError("the HTML list has no control object");
    return window - BaseOffsetOfWindow();
}

} // namespace

// list-items <selector of a list box>: every item's text, rectangle (client) and height, and, when
// the item carries the user list's record, its login ID, icon number and whether it is enabled.
JsonObject VerbListItems(const Args& args) {
    HWND hwnd = ResolveWindow(args);
    auto count = static_cast<long long>(SendTimed(hwnd, LB_GETCOUNT, 0, 0));
    if (count < 0 || static_cast<size_t>(count) > kMaxItems)
        throw DriverError("not a list box, or an implausible count " + std::to_string(count));
    auto selected = static_cast<long long>(SendTimed(hwnd, LB_GETCURSEL, 0, 0));
    std::unique_ptr<RemoteMemory> memory;
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
        auto data = static_cast<uintptr_t>(SendTimed(hwnd, LB_GETITEMDATA, index, 0));
        if (data != 0 && data != static_cast<uintptr_t>(LB_ERR)) {
            if (!memory)
                memory = std::make_unique<RemoteMemory>(hwnd);
            auto record = memory->Value<ContactItemRecord>(data);
            record.szId[sizeof record.szId - 1] = '\0';
            item.Str("id", FromCp949(record.szId))
                .Num("image", record.nImage)
                .Bool("enabled", (record.uState & 1) == 0)
                .Num("value", record.nValue);
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
JsonObject VerbHtmlItems(const Args& args) {
    HWND hwnd = ResolveWindow(args);
    uintptr_t list = HtmlListObject(hwnd);
    RemoteMemory memory(hwnd);
    uintptr_t model = list + OffsetOf(MemberOf(ModelOfList{}));
    uintptr_t vector = model + OffsetOf(MemberOf(ItemsOfModel{}));
    auto begin = memory.Value<uintptr_t>(vector);
    auto end = memory.Value<uintptr_t>(vector + sizeof(uintptr_t));
    if (end < begin || (end - begin) % sizeof(void*) != 0 || (end - begin) / sizeof(void*) > kMaxItems)
        throw DriverError("implausible item table in the HTML list");
    std::vector<std::string> items;
    for (uintptr_t slot = begin; slot < end; slot += sizeof(void*)) {
        auto address = memory.Value<uintptr_t>(slot);
        JsonObject item;
        if (!address) {
            items.push_back(item.Raw("item", "null").Close());
            continue;
        }
        auto field = [&](auto member) { return address + OffsetOf(member); };
        auto rect = memory.Value<TextRect>(field(&HtmlListItem::rect));
        item.Num("index", memory.Value<int>(field(&HtmlListItem::nIndex)))
            .Str("text", FromCp949(memory.String(field(&HtmlListItem::strText))))
            .Num("side", memory.Value<int>(field(&HtmlListItem::nSide)))
            .Num("checked", memory.Value<int>(field(&HtmlListItem::nChecked)))
            .Num("data", memory.Value<int>(field(&HtmlListItem::nData)))
            .Num("type", memory.Value<int>(field(&HtmlListItem::nType)))
            .Num("height", memory.Value<int>(field(&HtmlListItem::nHeight)))
            .Raw("rect", RectJson(RECT{rect.left, rect.top, rect.right, rect.bottom}));
        items.push_back(item.Close());
    }
    JsonObject out;
    return out.Num("hwnd", HandleNumber(hwnd))
        .Num("count", static_cast<long long>(items.size()))
        .Num("selected", memory.Value<int>(model + OffsetOf(MemberOf(SelectedOfModel{}))))
        .Num("scroll", memory.Value<int>(model + OffsetOf(MemberOf(ScrollOfModel{}))))
        .Raw("items", JsonArray(items));
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
