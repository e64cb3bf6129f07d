// Window verbs: find, inspect and drive the windows of other processes.
#include "tests/e2e/uidriver/Driver.h"

const wchar_t kSelectorKeys[] = L"hwnd,class,title,title-has,pid,visible,id,child-class,child-text,child-text-has";

namespace {

constexpr long long kDefaultResolveWaitMs = 2000;
constexpr long long kDefaultMessageTimeoutMs = 2000;

long long HandleNumber(HWND hwnd) {
    return static_cast<long long>(reinterpret_cast<intptr_t>(hwnd));
}

bool SameClass(HWND hwnd, const std::wstring& cls) {
    return cls.empty() || lstrcmpiW(WindowClass(hwnd).c_str(), cls.c_str()) == 0;
}

// Which window a verb acts on: a top-level window by handle, class, title or process, and optionally
// one of its descendants by control id, class or text. visible=1 applies to both levels.
class Selector {
public:
    explicit Selector(const Args& args)
        : m_hwnd(reinterpret_cast<HWND>(static_cast<intptr_t>(args.Int(L"hwnd", 0)))), m_strClass(args.Str(L"class")),
          m_title(args, L"title"), m_nPid(static_cast<DWORD>(args.Int(L"pid", 0))), m_bVisible(args.Flag(L"visible")),
          m_bHasId(args.Has(L"id")), m_nId(args.Int(L"id", 0)), m_strChildClass(args.Str(L"child-class")),
          m_childText(args, L"child-text") {
        m_bChild = m_bHasId || !m_strChildClass.empty() || m_childText.Active();
        if (!m_hwnd && m_strClass.empty() && !m_title.Active() && !m_nPid && !m_bChild)
            throw DriverError("no window selector given (hwnd, class, title, title-has, pid, id, child-...)");
    }

    bool TopMatches(HWND hwnd) const {
        return (!m_nPid || WindowPid(hwnd) == m_nPid) && (!m_bVisible || IsWindowVisible(hwnd)) &&
               SameClass(hwnd, m_strClass) && (!m_title.Active() || m_title.Matches(WindowText(hwnd)));
    }

    HWND Find() const {
        if (m_hwnd)
            return IsWindow(m_hwnd) && TopMatches(m_hwnd) ? (m_bChild ? FirstChild(m_hwnd) : m_hwnd) : nullptr;
        for (HWND top : TopLevelWindows()) {
            HWND found = !TopMatches(top) ? nullptr : m_bChild ? FirstChild(top) : top;
            if (found)
                return found;
        }
        return nullptr;
    }

private:
    HWND FirstChild(HWND top) const {
        for (HWND child : Descendants(top)) {
            if ((!m_bHasId || GetDlgCtrlID(child) == m_nId) && (!m_bVisible || IsWindowVisible(child)) &&
                SameClass(child, m_strChildClass) && (!m_childText.Active() || m_childText.Matches(WindowText(child))))
                return child;
        }
        return nullptr;
    }

    HWND m_hwnd;
    std::wstring m_strClass;
    TextFilter m_title;
    DWORD m_nPid;
    bool m_bVisible, m_bHasId;
    long long m_nId;
    std::wstring m_strChildClass;
    TextFilter m_childText;
    bool m_bChild = false;
};

// The target of an acting verb, waiting up to wait= ms (default 2 s) for it to appear.
HWND Resolve(const Args& args) {
    Selector selector(args);
    HWND hwnd = nullptr;
    if (!PollUntil(args.Int(L"wait", kDefaultResolveWaitMs), [&] { return (hwnd = selector.Find()) != nullptr; }))
        throw DriverError("no window matches");
    return hwnd;
}

UINT MessageTimeout(const Args& args) {
    return static_cast<UINT>(args.Int(L"timeout", kDefaultMessageTimeoutMs));
}

void Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!PostMessageW(hwnd, msg, wParam, lParam))
        throw DriverError("PostMessage failed, error " + std::to_string(GetLastError()));
}

// Sends with a deadline, so a hung or modal target cannot stall the driver.
LRESULT SendTimed(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, const Args& args) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_NORMAL, MessageTimeout(args), &result))
        throw DriverError("window did not answer within " + std::to_string(MessageTimeout(args)) + " ms");
    return static_cast<LRESULT>(result);
}

// Posts, or with sync=1 sends and reports whether the target finished within timeout= ms (a handler
// that opens a modal box does not finish: done=false).
JsonObject Deliver(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, const Args& args) {
    JsonObject out;
    out.Num("hwnd", HandleNumber(hwnd));
    if (!args.Flag(L"sync")) {
        Post(hwnd, msg, wParam, lParam);
        return out;
    }
    DWORD_PTR result = 0;
    bool done = SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_NORMAL, MessageTimeout(args), &result) != 0;
    return out.Bool("done", done).Num("result", done ? static_cast<long long>(result) : 0);
}

// The window's own idea of its text (an edit's content, not the cached caption).
bool AskText(HWND hwnd, UINT timeout, std::wstring& text) {
    DWORD_PTR length = 0, copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, timeout, &length))
        return false;
    text.assign(length + 1, L'\0');
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL, timeout,
                             &copied))
        return false;
    text.resize(copied < length ? copied : length);
    return true;
}

JsonObject Elapsed(long long started) {
    JsonObject out;
    return out.Num("elapsed", NowMs() - started);
}

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lParam) {
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

} // namespace

std::wstring WindowClass(HWND hwnd) {
    wchar_t buf[256];
    int n = GetClassNameW(hwnd, buf, 256);
    return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

// The text the window system keeps for the window; never sends a message, so a hung owner cannot
// block a listing. Edit controls may hold newer text: get-text asks the window itself.
std::wstring WindowText(HWND hwnd) {
    std::wstring buf(4096, L'\0');
    int n = InternalGetWindowText(hwnd, buf.data(), static_cast<int>(buf.size()));
    buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return buf;
}

DWORD WindowPid(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> Descendants(HWND hwnd) {
    std::vector<HWND> windows;
    EnumChildWindows(hwnd, CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::string WindowJson(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    HWND parent = GetAncestor(hwnd, GA_PARENT);
    if (parent == GetDesktopWindow())
        parent = nullptr;
    bool child = (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) != 0;
    JsonObject out;
    out.Num("hwnd", HandleNumber(hwnd))
        .Num("parent", HandleNumber(parent))
        .Num("owner", HandleNumber(GetWindow(hwnd, GW_OWNER)))
        .Num("pid", WindowPid(hwnd))
        .Str("class", WindowClass(hwnd))
        .Str("text", WindowText(hwnd))
        .Num("id", child ? GetDlgCtrlID(hwnd) : 0)
        .Bool("visible", IsWindowVisible(hwnd))
        .Bool("enabled", IsWindowEnabled(hwnd))
        .Raw("rect", "[" + std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) +
                         "," + std::to_string(rc.bottom) + "]")
        .Bool("foreground", !parent && hwnd == GetForegroundWindow());
    return out.Close();
}

// list [top-level filters] [children=0] [visible=1]: matching top-level windows, each followed by all
// its descendants. Without filters, every top-level window.
JsonObject VerbList(const Args& args) {
    DWORD pid = static_cast<DWORD>(args.Int(L"pid", 0));
    bool visible = args.Flag(L"visible"), children = args.Int(L"children", 1) != 0;
    TextFilter title(args, L"title");
    std::wstring cls = args.Str(L"class");
    std::vector<std::string> items;
    for (HWND top : TopLevelWindows()) {
        if ((pid && WindowPid(top) != pid) || (visible && !IsWindowVisible(top)) || !SameClass(top, cls) ||
            (title.Active() && !title.Matches(WindowText(top))))
            continue;
        items.push_back(WindowJson(top));
        for (HWND child : children ? Descendants(top) : std::vector<HWND>{})
            if (!visible || IsWindowVisible(child))
                items.push_back(WindowJson(child));
    }
    JsonObject out;
    return out.Raw("windows", JsonArray(items));
}

static JsonObject WaitFor(const Args& args, long long defaultTimeout) {
    Selector selector(args);
    long long started = NowMs();
    HWND hwnd = nullptr;
    if (!PollUntil(args.Int(L"timeout", defaultTimeout), [&] { return (hwnd = selector.Find()) != nullptr; }))
        throw DriverError(defaultTimeout ? "timeout" : "not found", Elapsed(started));
    return Elapsed(started).Raw("window", WindowJson(hwnd));
}

JsonObject VerbFind(const Args& args) {
    return WaitFor(args, 0);
}

JsonObject VerbWait(const Args& args) {
    return WaitFor(args, 5000);
}

JsonObject VerbWaitGone(const Args& args) {
    Selector selector(args);
    long long started = NowMs();
    HWND hwnd = nullptr;
    if (!PollUntil(args.Int(L"timeout", 5000), [&] { return (hwnd = selector.Find()) == nullptr; }))
        throw DriverError("timeout", Elapsed(started).Raw("window", WindowJson(hwnd)));
    return Elapsed(started);
}

JsonObject VerbGetText(const Args& args) {
    HWND hwnd = Resolve(args);
    std::wstring text;
    if (!AskText(hwnd, MessageTimeout(args), text))
        throw DriverError("window did not answer within " + std::to_string(MessageTimeout(args)) + " ms");
    JsonObject out;
    return out.Num("hwnd", HandleNumber(hwnd)).Str("text", text);
}

// Effects of a posted click or key arrive later; this waits for the text they should produce.
JsonObject VerbWaitText(const Args& args) {
    Selector selector(args);
    TextFilter want(args, L"text");
    if (!want.Active())
        throw DriverError("give text= or text-has=");
    long long started = NowMs();
    HWND hwnd = nullptr;
    std::wstring text;
    if (!PollUntil(args.Int(L"timeout", 5000), [&] {
            hwnd = selector.Find();
            return hwnd && AskText(hwnd, 1000, text) && want.Matches(text);
        }))
        throw DriverError("timeout", Elapsed(started).Bool("found", hwnd != nullptr).Str("text", text));
    return Elapsed(started).Num("hwnd", HandleNumber(hwnd)).Str("text", text);
}

JsonObject VerbSetText(const Args& args) {
    HWND hwnd = Resolve(args);
    std::wstring text = args.Str(L"text");
    LRESULT result = SendTimed(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), args);
    JsonObject out;
    return out.Num("hwnd", HandleNumber(hwnd)).Num("result", result);
}

JsonObject VerbClick(const Args& args) {
    HWND hwnd = Resolve(args);
    // A user cannot click a disabled button; saying so catches faults that a forced click would hide.
    if (!IsWindowEnabled(hwnd) && !args.Flag(L"force"))
        throw DriverError("window is disabled");
    return Deliver(hwnd, BM_CLICK, 0, 0, args);
}

JsonObject VerbCommand(const Args& args) {
    HWND hwnd = Resolve(args);
    WPARAM wParam = MAKEWPARAM(args.Int(L"cmd", 0), args.Int(L"code", 0));
    return Deliver(hwnd, WM_COMMAND, wParam, static_cast<LPARAM>(args.Int(L"lparam", 0)), args);
}

JsonObject VerbSysCommand(const Args& args) {
    HWND hwnd = Resolve(args);
    return Deliver(hwnd, WM_SYSCOMMAND, static_cast<WPARAM>(args.Int(L"cmd", 0)),
                   static_cast<LPARAM>(args.Int(L"lparam", 0)), args);
}

JsonObject VerbPost(const Args& args) {
    JsonObject out;
    HWND hwnd = Resolve(args);
    Post(hwnd, static_cast<UINT>(args.Int(L"msg", 0)), static_cast<WPARAM>(args.Int(L"wparam", 0)),
         static_cast<LPARAM>(args.Int(L"lparam", 0)));
    return out.Num("hwnd", HandleNumber(hwnd));
}

JsonObject VerbSend(const Args& args) {
    JsonObject out;
    HWND hwnd = Resolve(args);
    LRESULT result =
        SendTimed(hwnd, static_cast<UINT>(args.Int(L"msg", 0)), static_cast<WPARAM>(args.Int(L"wparam", 0)),
                  static_cast<LPARAM>(args.Int(L"lparam", 0)), args);
    return out.Num("hwnd", HandleNumber(hwnd)).Num("result", result);
}

// Keyboard messages, posted so that they pass the target's message loop (dialog keys, accelerators)
// as real input would, or with sync=1 sent straight to the window. GetKeyState does not change.
JsonObject VerbKey(const Args& args) {
    HWND hwnd = Resolve(args);
    auto deliver = [&](UINT msg, WPARAM wParam, LPARAM lParam) {
        if (args.Flag(L"sync"))
            SendTimed(hwnd, msg, wParam, lParam, args);
        else
            Post(hwnd, msg, wParam, lParam);
    };
    if (args.Has(L"vk")) {
        auto vk = static_cast<UINT>(args.Int(L"vk", 0));
        LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
        deliver(WM_KEYDOWN, vk, scan | 1);
        if (vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_TAB || vk == VK_BACK)
            deliver(WM_CHAR, vk == VK_RETURN ? L'\r' : vk == VK_ESCAPE ? 27 : vk == VK_TAB ? L'\t' : 8, scan | 1);
        deliver(WM_KEYUP, vk, scan | 1 | (LPARAM{3} << 30));
    }
    for (wchar_t c : args.Str(L"chars"))
        deliver(WM_CHAR, c, 1);
    JsonObject out;
    return out.Num("hwnd", HandleNumber(hwnd));
}

JsonObject VerbClose(const Args& args) {
    JsonObject out;
    HWND hwnd = Resolve(args);
    Post(hwnd, WM_CLOSE, 0, 0);
    return out.Num("hwnd", HandleNumber(hwnd));
}

JsonObject VerbForeground(const Args&) {
    HWND hwnd = GetForegroundWindow();
    JsonObject out;
    out.Num("hwnd", HandleNumber(hwnd));
    if (!hwnd)
        return out.Raw("window", "null");
    return out.Num("pid", WindowPid(hwnd))
        .Str("title", WindowText(hwnd))
        .Str("class", WindowClass(hwnd))
        .Raw("window", WindowJson(hwnd));
}

JsonObject VerbWorkArea(const Args&) {
    RECT rc{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &rc, 0))
        throw DriverError("no work area");
    JsonObject out;
    return out.Raw("rect", "[" + std::to_string(rc.left) + "," + std::to_string(rc.top) + "," +
                               std::to_string(rc.right) + "," + std::to_string(rc.bottom) + "]");
}

JsonObject VerbActivate(const Args& args) {
    HWND top = GetAncestor(Resolve(args), GA_ROOT);
    SetForegroundWindow(top);
    JsonObject out;
    return out.Num("hwnd", HandleNumber(top)).Bool("foreground", GetForegroundWindow() == top);
}

namespace {

// What came back as WM_COPYDATA to the driver's own window while a copydata verb waited.
struct CopyDataAnswer {
    bool bArrived = false;
    ULONG_PTR nData = 0;
    std::wstring strText;
};
CopyDataAnswer g_copyDataAnswer;

LRESULT CALLBACK AnswerWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data == nullptr || (data->cbData != 0 && data->lpData == nullptr))
            return FALSE;
        g_copyDataAnswer.bArrived = true;
        g_copyDataAnswer.nData = data->dwData;
        g_copyDataAnswer.strText.assign(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
        return TRUE;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A message-only window of the driver's thread, made once: the sender's window of WM_COPYDATA (wParam),
// which the target may answer while the driver waits in SendMessageTimeout.
HWND AnswerWindow() {
    static HWND hwnd = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = AnswerWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"UIDriverAnswer";
        RegisterClassW(&wc);
        return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    }();
    if (!hwnd)
        throw DriverError("cannot make the answer window, error " + std::to_string(GetLastError()));
    return hwnd;
}

} // namespace

// copydata selector data=N text=T: sends WM_COPYDATA (dwData N, T as UTF-16 without a terminator) from
// the driver's window; answers the result and the text of a WM_COPYDATA sent back during the call.
JsonObject VerbCopyData(const Args& args) {
    HWND hwnd = Resolve(args);
    HWND from = AnswerWindow();
    std::wstring text = args.Str(L"text");
    COPYDATASTRUCT data{};
    data.dwData = static_cast<ULONG_PTR>(args.Int(L"data", 0));
    data.cbData = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    data.lpData = text.data();
    g_copyDataAnswer = {};
    LRESULT result =
        SendTimed(hwnd, WM_COPYDATA, reinterpret_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&data), args);
    JsonObject out;
    out.Num("hwnd", HandleNumber(hwnd)).Num("result", result);
    if (!g_copyDataAnswer.bArrived)
        return out.Raw("answer", "null");
    return out.Str("answer", g_copyDataAnswer.strText)
        .Num("answer-data", static_cast<long long>(g_copyDataAnswer.nData));
}
