#include "DialogScript.h"

namespace dravel::win::test {

namespace {

CDialogScript* g_pRunning = nullptr;

struct BoxSearch {
    HWND except;
    HWND found;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    wchar_t cls[32] = {};
    ::GetClassNameW(hwnd, cls, 32);
    if (hwnd == search->except || std::wstring(cls) != L"#32770" || !::IsWindowVisible(hwnd))
        return TRUE;
    // A message box has a static text and no edit.
    if (::FindWindowExW(hwnd, nullptr, L"Edit", nullptr) != nullptr)
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

BOOL CALLBACK CollectText(HWND hwnd, LPARAM param) {
    wchar_t text[512] = {};
    ::GetWindowTextW(hwnd, text, 512);
    reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(text);
    return TRUE;
}

BOOL CALLBACK CloseAll(HWND hwnd, LPARAM) {
    if (::IsWindowVisible(hwnd))
        ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    return TRUE;
}

} // namespace

void CDialogScript::Start(DWORD timeoutMs) {
    g_pRunning = this;
    m_bRunning = true;
    m_dwDeadline = ::GetTickCount() + timeoutMs;
    m_nTimer = ::SetTimer(nullptr, 0, 20, &CDialogScript::OnTick);
}

CDialogScript::~CDialogScript() {
    if (m_nTimer != 0)
        ::KillTimer(nullptr, m_nTimer);
    if (g_pRunning == this)
        g_pRunning = nullptr;
}

void CALLBACK CDialogScript::OnTick(HWND, UINT, UINT_PTR id, DWORD) {
    if (g_pRunning == nullptr || g_pRunning->m_nTimer != id) {
        ::KillTimer(nullptr, id);
        return;
    }
    g_pRunning->Tick();
}

void CDialogScript::Tick() {
    if (!m_bRunning)
        return;
    // A step may pump messages (a message box): no ticks inside a tick.
    m_bRunning = false;
    while (m_nNext < m_steps.size() && m_steps[m_nNext]())
        ++m_nNext;
    m_bRunning = true;
    if (Finished()) {
        ::KillTimer(nullptr, m_nTimer);
        m_nTimer = 0;
        return;
    }
    if (static_cast<LONG>(::GetTickCount() - m_dwDeadline) > 0) {
        m_bTimedOut = true;
        ::KillTimer(nullptr, m_nTimer);
        m_nTimer = 0;
        ::EnumThreadWindows(::GetCurrentThreadId(), &CloseAll, 0);
    }
}

HWND FindMessageBox(HWND except) {
    BoxSearch search{except, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<std::wstring> ChildTexts(HWND hwnd) {
    std::vector<std::wstring> texts;
    ::EnumChildWindows(hwnd, &CollectText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

bool HasChildText(HWND hwnd, const std::wstring& text) {
    for (const auto& t : ChildTexts(hwnd))
        if (t == text)
            return true;
    return false;
}

} // namespace dravel::win::test
