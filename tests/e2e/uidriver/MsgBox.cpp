// The msgbox verb: wait for a message box, read it and optionally answer it.
#include "tests/e2e/uidriver/Driver.h"

namespace {

// The static control that carries a message box's text, in Windows and in Wine alike.
constexpr int kMessageTextId = 0xFFFF;

struct MessageBoxView {
    HWND hwnd = nullptr;
    std::wstring text;
    std::vector<std::pair<int, std::wstring>> buttons; // id, text
};

bool ReadMessageBox(HWND hwnd, MessageBoxView& view) {
    if (lstrcmpiW(WindowClass(hwnd).c_str(), L"#32770") != 0 || !IsWindowVisible(hwnd))
        return false;
    bool hasText = false;
    view = MessageBoxView{hwnd, {}, {}};
    for (HWND child : Descendants(hwnd)) {
        std::wstring cls = WindowClass(child);
        int id = GetDlgCtrlID(child);
        if (id == kMessageTextId && lstrcmpiW(cls.c_str(), L"Static") == 0) {
            hasText = true;
            view.text = WindowText(child);
        } else if (lstrcmpiW(cls.c_str(), L"Button") == 0 && IsWindowVisible(child)) {
            view.buttons.emplace_back(id, WindowText(child));
        }
    }
    return hasText;
}

// "예(&Y)" and "&Yes" both answer to "예" / "Yes".
std::wstring PlainLabel(std::wstring label) {
    size_t open = label.find(L"(&");
    if (open != std::wstring::npos && label.size() >= open + 4 && label[open + 3] == L')')
        label.erase(open, 4);
    std::wstring out;
    for (wchar_t c : label)
        if (c != L'&')
            out += c;
    while (!out.empty() && out.back() == L' ')
        out.pop_back();
    return out;
}

int ButtonToPress(const MessageBoxView& view, const std::wstring& press) {
    for (const auto& button : view.buttons)
        if (button.second == press || PlainLabel(button.second) == PlainLabel(press))
            return button.first;
    wchar_t* end = nullptr;
    long id = std::wcstol(press.c_str(), &end, 0);
    if (!press.empty() && *end == L'\0') {
        for (const auto& button : view.buttons)
            if (button.first == id)
                return button.first;
    }
    return -1;
}

std::string ButtonsJson(const MessageBoxView& view) {
    std::vector<std::string> items;
    for (const auto& button : view.buttons) {
        JsonObject item;
        items.push_back(item.Num("id", button.first).Str("text", button.second).Close());
    }
    return JsonArray(items);
}

} // namespace

// msgbox [pid=] [title=|title-has=] [text=|text-has=] [timeout=5000] [press=<id or button text>]
// Answers caption, text and buttons; with press=, clicks the button and waits until the box is gone.
JsonObject VerbMsgBox(const Args& args) {
    auto pid = static_cast<DWORD>(args.Int(L"pid", 0));
    TextFilter caption(args, L"title"), text(args, L"text");
    long long started = NowMs();
    MessageBoxView view;
    auto findBox = [&] {
        for (HWND top : TopLevelWindows()) {
            if ((!pid || WindowPid(top) == pid) && (!caption.Active() || caption.Matches(WindowText(top))) &&
                ReadMessageBox(top, view) && (!text.Active() || text.Matches(view.text)))
                return true;
        }
        return false;
    };
    if (!PollUntil(args.Int(L"timeout", 5000), findBox)) {
        JsonObject details;
        throw DriverError("timeout", details.Num("elapsed", NowMs() - started));
    }

    JsonObject out;
    out.Num("hwnd", reinterpret_cast<intptr_t>(view.hwnd))
        .Num("pid", WindowPid(view.hwnd))
        .Num("owner", reinterpret_cast<intptr_t>(GetWindow(view.hwnd, GW_OWNER)))
        .Str("caption", WindowText(view.hwnd))
        .Str("text", view.text)
        .Raw("buttons", ButtonsJson(view))
        .Num("elapsed", NowMs() - started);
    if (!args.Has(L"press"))
        return out;

    int id = ButtonToPress(view, args.Str(L"press"));
    if (id < 0) {
        JsonObject details;
        details.Str("caption", WindowText(view.hwnd)).Str("text", view.text).Raw("buttons", ButtonsJson(view));
        throw DriverError("no such button: " + ToUtf8(args.Str(L"press")), details);
    }
    // The box's own dialog procedure ends the box on WM_COMMAND with the button's id, as a click would.
    PostMessageW(view.hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(view.hwnd, id)));
    bool closed =
        PollUntil(args.Int(L"gone-timeout", 5000), [&] { return !IsWindow(view.hwnd) || !IsWindowVisible(view.hwnd); });
    out.Num("pressed", id).Bool("closed", closed);
    if (!closed)
        throw DriverError("message box still open after pressing " + std::to_string(id), out);
    return out;
}
