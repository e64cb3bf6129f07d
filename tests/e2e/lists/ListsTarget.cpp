// The windows that the driver's list verbs are tried on: the real chat list window with a recording
// owner, and an HTML list like a conversation's. What the windows ask of their owner goes, one line
// each, to the file named on the command line:
//   collect <view> | append <id> | delete <id> | open <name> <id> | select <index>
// (UTF-8). Closing the HTML list's window ends the program.
#include "win/chat/ChatListDlg.h"
#include "win/ui/HTMLListCtrl.h"

#include "win/base/Text.h"
#include "win/res/resource.h"

#include "tests/win/support/Korean.h"

#include <ole2.h>

#include <cstdio>
#include <string>

using namespace dravel;
using namespace dravel::win;
using dravel::win::test::Kr;

namespace {

std::FILE* g_report = nullptr;

void Report(const std::wstring& line) {
    if (!g_report)
        return;
    int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(n > 0 ? static_cast<size_t>(n) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, utf8.data(), n, nullptr, nullptr);
    std::fprintf(g_report, "%s\n", utf8.c_str());
    std::fflush(g_report);
}

class CRecordingOwner : public ChatListOwner {
public:
    CChatListDlg* m_pDlg = nullptr;

    bool HasConnection() const override { return true; }
    // The server's answers, as the devserver would give them.
    void SendChatListCollect(std::string_view view) override {
        Report(L"collect " + Cp949ToWide(std::string(view)));
        if (!m_pDlg)
            return;
        if (view == Kr(L"친구")) {
            m_pDlg->Records().LoadCollectedList("lee|1|" + Kr(L"이영희") + "|park|0|" + Kr(L"박민수"));
        } else {
            m_pDlg->Records().AddListEntry(Kr(L"이영희"), 1, "lee");
            m_pDlg->Records().AddListEntry(Kr(L"박민수"), 0, "park");
            m_pDlg->Records().AddListEntry(Kr(L"관리자"), 0, "tervo");
            m_pDlg->Records().EndListEntries("", 0, "");
        }
    }
    void SendDeleteFriend(std::string_view id) override { Report(L"delete " + Cp949ToWide(std::string(id))); }
    void SendAppendFriend(std::string_view id) override { Report(L"append " + Cp949ToWide(std::string(id))); }
    void OpenConversationForUser(const std::string& name, const std::string& id) override {
        Report(L"open " + Cp949ToWide(name) + L" " + Cp949ToWide(id));
    }
};

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NOTIFY: {
        const auto* notify = reinterpret_cast<const HtmlListNotify*>(lParam);
        if (notify->hdr.code == HLN_SELECT)
            Report(L"select " + std::to_wstring(notify->nIndex));
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    if (commandLine && *commandLine)
        g_report = _wfopen(commandLine, L"a");
    // As the program does at start: its windows hand their accessibility objects out through COM.
    const HRESULT ole = OleInitialize(nullptr);

    CRecordingOwner owner;
    CChatListDlg chatList(owner);
    owner.m_pDlg = &chatList;
    if (!chatList.Create())
        return 1;
    ::SetWindowPos(chatList.GetHwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);

    WNDCLASSW wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"DravelOn.E2EListsHost";
    RegisterClassW(&wc);
    HWND host = CreateWindowExW(0, wc.lpszClassName, L"HTML list target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 420, 0, 420,
                                420, nullptr, nullptr, instance, nullptr);
    HTMLListCtrl history;
    history.Create(host, RECT{5, 5, 390, 360}, IDC_HISTORY_LIST,
                   WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP);
    history.SetStyle(HLS_CHECKBOXES);
    history.AddItem(Kr(L"<font color=#0000ff>이영희<p><b>안녕하세요</b><p>2026-12-08 AM 09:00:00</font>"), 0, HLT_HTML);
    history.AddItem(Kr(L"<strong>반갑습니다</strong><p>2026/12/08 AM 09:00:05"), 1, HLT_HTML);
    history.AddItem(Kr(L"<font color=#ff0000><b>File_report.bin</b><p></font>"), 0, HLT_HTML);
    history.SetCheck(0, 1);
    history.SetCheck(2, 1);
    history.ScrollToEnd();

    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(chatList.GetHwnd(), &m)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
    chatList.DestroyWindow();
    if (g_report)
        std::fclose(g_report);
    if (SUCCEEDED(ole))
        OleUninitialize();
    return 0;
}
