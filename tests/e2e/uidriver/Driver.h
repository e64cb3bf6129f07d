// Shared pieces of the UI driver: arguments, JSON answers, errors and the verb table.
#pragma once

#include <windows.h>

#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

// A verb's arguments: "key=value" words; the value may hold blanks (TAB-separated in serve mode).
class Args {
public:
    explicit Args(const std::vector<std::wstring>& words);

    bool Has(std::wstring_view key) const;
    std::wstring Str(std::wstring_view key, std::wstring_view fallback = L"") const;
    // Decimal, 0x hex or negative; a value that is not a number is an error, not a default.
    long long Int(std::wstring_view key, long long fallback) const;
    bool Flag(std::wstring_view key) const { return Int(key, 0) != 0; }
    // Keys a verb does not know are reported instead of silently ignored (typos would pass unnoticed).
    void CheckKnown(std::wstring_view verb, std::wstring_view knownKeys) const;

private:
    std::vector<std::pair<std::wstring, std::wstring>> m_vecItems;
};

// Members of one JSON object, written in order; nested objects and arrays go in through Raw.
class JsonObject {
public:
    JsonObject& Str(std::string_view key, std::wstring_view value);
    JsonObject& Num(std::string_view key, long long value);
    JsonObject& Bool(std::string_view key, bool value);
    JsonObject& Raw(std::string_view key, std::string_view json);
    std::string Close() const { return "{" + m_strBody + "}"; }
    const std::string& Body() const { return m_strBody; }

private:
    void Key(std::string_view key);
    std::string m_strBody;
};

std::string JsonString(std::wstring_view value);
std::string JsonArray(const std::vector<std::string>& items);

// A verb's failure: the message, and members that explain it (elapsed time, what was seen).
struct DriverError : std::runtime_error {
    explicit DriverError(const std::string& message, JsonObject details = {})
        : std::runtime_error(message), m_details(std::move(details)) {}
    JsonObject m_details;
};

using VerbFn = JsonObject (*)(const Args&);
struct Verb {
    const wchar_t* name;
    VerbFn fn;
    const wchar_t* keys; // comma-separated keys it accepts besides the window selector's
    bool selector;       // accepts the window selector keys
};

extern const wchar_t kSelectorKeys[];

// Milliseconds since an arbitrary start, for time-outs and elapsed figures.
long long NowMs();

// Calls attempt() every 10 ms until it returns true (then true) or timeoutMs has passed (then false).
template <class Attempt> bool PollUntil(long long timeoutMs, Attempt attempt) {
    long long deadline = NowMs() + timeoutMs;
    for (;;) {
        if (attempt())
            return true;
        if (NowMs() >= deadline)
            return false;
        Sleep(10);
    }
}

// key=TEXT matches exactly, key-has=TEXT as a substring; both may be given.
class TextFilter {
public:
    TextFilter(const Args& args, const std::wstring& key)
        : m_bExact(args.Has(key)), m_strExact(args.Str(key)), m_strPart(args.Str(key + L"-has")) {}
    bool Active() const { return m_bExact || !m_strPart.empty(); }
    bool Matches(const std::wstring& text) const {
        return (!m_bExact || text == m_strExact) && (m_strPart.empty() || text.find(m_strPart) != std::wstring::npos);
    }

private:
    bool m_bExact;
    std::wstring m_strExact, m_strPart;
};

// Verbs, grouped by file: windows (Windows.cpp), message boxes (MsgBox.cpp), registry and processes
// (System.cpp).
JsonObject VerbList(const Args&);
JsonObject VerbFind(const Args&);
JsonObject VerbWait(const Args&);
JsonObject VerbWaitGone(const Args&);
JsonObject VerbGetText(const Args&);
JsonObject VerbWaitText(const Args&);
JsonObject VerbSetText(const Args&);
JsonObject VerbClick(const Args&);
JsonObject VerbCommand(const Args&);
JsonObject VerbSysCommand(const Args&);
JsonObject VerbPost(const Args&);
JsonObject VerbSend(const Args&);
JsonObject VerbKey(const Args&);
JsonObject VerbClose(const Args&);
JsonObject VerbForeground(const Args&);
JsonObject VerbWorkArea(const Args&);
JsonObject VerbActivate(const Args&);
JsonObject VerbCopyData(const Args&);
JsonObject VerbMsgBox(const Args&);
JsonObject VerbRegSet(const Args&);
JsonObject VerbRegGet(const Args&);
JsonObject VerbRegDelete(const Args&);
JsonObject VerbPids(const Args&);
JsonObject VerbKill(const Args&);
JsonObject VerbWaitExit(const Args&);
JsonObject VerbLaunch(const Args&);
JsonObject VerbCmdline(const Args&);
JsonObject VerbMutexHold(const Args&);
JsonObject VerbMutexRelease(const Args&);
JsonObject VerbClipboard(const Args&), VerbDrop(const Args&);
JsonObject VerbFocus(const Args&); // Session.cpp
JsonObject VerbListItems(const Args&), VerbHtmlItems(const Args&), VerbSelectTab(const Args&), VerbMouse(const Args&),
    VerbMove(const Args&); // TwoClients.cpp
// The window of a verb's selector, waiting up to wait= ms (TwoClients.cpp).
HWND ResolveWindow(const Args& args);
JsonObject VerbAccItems(const Args&); // Accessibility.cpp
JsonObject VerbType(const Args&);     // Keyboard.cpp

// Window helpers shared by the window and message-box verbs.
std::wstring WindowClass(HWND hwnd);
std::wstring WindowText(HWND hwnd);
DWORD WindowPid(HWND hwnd);
std::vector<HWND> TopLevelWindows();
std::vector<HWND> Descendants(HWND hwnd);
std::string WindowJson(HWND hwnd);
