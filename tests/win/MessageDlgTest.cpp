// The conversation window under a real window system, with a stand-in for the main window and the
// connection. Message boxes are answered from a second thread, as a user would; the transfers run
// against servers on free loopback ports in this process.

#include "win/conversation/MessageDlg.h"

#include "win/base/Handles.h"
#include "win/base/Text.h"
#include "win/base/Winsock.h"

#include "win/res/resource.h"
#include "win/ui/HTMLListCtrl.h"

#include "tests/core/support/Bytes.h"

#include "support/Korean.h"
#include "support/LoopbackServer.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;
using dravel::test::LengthPrefix;
using dravel::test::ReadFileBytes;
using dravel::test::WriteFileBytes;

namespace {

CWinsockInit g_winsock;

struct Call {
    std::string strWhat, strName, strId, strText;
    bool bIncoming = false;
};

class CFakeOwner : public ConversationOwner {
public:
    bool m_bConnected = true;
    std::wstring m_strLogFolder;
    std::wstring m_strUserLogFolder;
    std::wstring m_strDownloadFolder;
    std::vector<Call> m_calls;

    bool HasConnection() const override { return m_bConnected; }
    bool m_bAway = false;
    bool IsConnectionAway() const override { return m_bAway; }
    uint64_t m_nOrder = 0;
    uint64_t NextWaitingOrder() override { return ++m_nOrder; }
    // False: the connection did not take the message.
    bool m_bSendsGoOut = true;
    bool SendPrivateMessage(const std::string& name, const std::string& id, const std::string& text) override {
        m_calls.push_back({"message", name, id, text});
        return m_bSendsGoOut;
    }
    void SendFileOffer(const std::string& name, const std::string& id, const std::string& path) override {
        m_calls.push_back({"offer", name, id, path});
    }
    void SendFileAnswer(const std::string& name, const std::string& id, const std::string& key,
                        bool bIncoming) override {
        m_calls.push_back({"answer", name, id, key, bIncoming});
    }
    std::string TransferHost() const override { return "127.0.0.1"; }
    std::string OwnUserId() const override { return "kim"; }
    std::wstring LogFolder() const override { return m_strLogFolder; }
    std::wstring UserLogFolder() const override { return m_strUserLogFolder; }
    std::wstring DownloadFolder() const override { return m_strDownloadFolder; }
    std::vector<std::string> m_activated;
    void OnConversationActivated(const std::string& name) override { m_activated.push_back(name); }
    std::set<std::string> m_muted;
    bool IsPeerMuted(const std::string& id) const override { return m_muted.contains(id); }
    void SetPeerMuted(const std::string& id, bool bMuted) override {
        bMuted ? void(m_muted.insert(id)) : void(m_muted.erase(id));
    }
};

// A fresh folder under the temporary folder, removed with everything in it.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& tag) {
        wchar_t dir[MAX_PATH];
        ::GetTempPathW(MAX_PATH, dir);
        m_path = std::filesystem::path(dir) / (L"dravel_conv_" + tag + L"_" + std::to_wstring(::GetCurrentProcessId()));
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
        std::filesystem::create_directories(m_path, ec);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    std::wstring Path() const { return m_path.wstring(); }
    std::filesystem::path operator/(const std::wstring& name) const { return m_path / name; }
    std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path))
            names.push_back(entry.path().filename().wstring());
        return names;
    }

private:
    std::filesystem::path m_path;
};

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

// Answers the next message box of the program from a thread of its own: its text, then the button.
class BoxAnswer {
public:
    explicit BoxAnswer(int button) {
        m_thread = std::thread([this, button] {
            const HWND box = WaitForWindow(L"Dravel On");
            if (box == nullptr)
                return;
            m_strText = WindowText(::GetDlgItem(box, 0xFFFF));
            m_box = box;
            ::PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
            m_bAnswered = true;
        });
    }
    ~BoxAnswer() { Join(); }
    void Join() {
        if (m_thread.joinable())
            m_thread.join();
    }
    // Pumps this thread's messages (a box runs its own loop) until the box was answered and is gone.
    bool Wait() {
        const bool bDone = PumpUntil([this] { return m_bAnswered.load(); }, 8000);
        Join();
        return bDone && PumpUntil([this] { return !::IsWindow(m_box.load()); });
    }
    const std::wstring& Text() const { return m_strText; }

private:
    std::thread m_thread;
    std::atomic<bool> m_bAnswered{false};
    std::atomic<HWND> m_box{nullptr};
    std::wstring m_strText;
};

// The services a test gives the window: no pause and no beep unless asked for, its own ports, a chosen
// file instead of the dialog, and the opened files written down instead of run.
class CTestServices : public ConversationServices {
public:
    unsigned m_nSendPauseMs = 0;
    int m_nUploadPort = 0;
    int m_nDownloadPort = 0;
    std::function<std::optional<std::wstring>()> m_chooseFile;
    mutable std::vector<std::wstring> m_opened;

    unsigned SendPauseMs() const override { return m_nSendPauseMs; }
    void Beep() const override {}
    int UploadPort() const override { return m_nUploadPort; }
    int DownloadPort() const override { return m_nDownloadPort; }
    std::optional<std::wstring> ChooseFile(HWND) const override { return m_chooseFile ? m_chooseFile() : std::nullopt; }
    void OpenFile(HWND, const std::wstring& path) const override { m_opened.push_back(path); }
};

// A conversation with 이영희 (ID "lee") as the main window opens one, logging into its own folder.
// The control object behind a child window of the dialog.
struct CWindowLookup : CWindow {
    static CWindow* Find(HWND hwnd) { return FromHandle(hwnd); }
};

class ConversationTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_owner.m_strLogFolder = m_logs.Path();
        m_owner.m_strDownloadFolder = m_documents.Path();
        ASSERT_TRUE(m_dlg.Create(nullptr));
        m_dlg.SetPeer(m_strPeer, "lee");
        m_dlg.SetOpened(true);
        ::SetWindowPos(m_dlg.GetHwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        m_dlg.OpenLog();
        ASSERT_TRUE(PumpUntil([&] { return m_dlg.IsVisible(); }));
    }
    void TearDown() override { m_dlg.DestroyWindow(); }

    HWND Edit() const { return m_dlg.GetDlgItem(IDC_MESSAGE_EDIT); }
    void Type(const wchar_t* text) const { ::SetWindowTextW(Edit(), text); }
    void PressEnter() const {
        ::PostMessageW(Edit(), WM_KEYDOWN, VK_RETURN, 1);
        ::PostMessageW(Edit(), WM_CHAR, L'\r', 1);
        ::PostMessageW(Edit(), WM_KEYUP, VK_RETURN, 0xC0000001);
    }
    std::string Log() const { return ReadFileBytes(m_logs / L"lee_kim.Log"); }

    // The history list and its items.
    HWND HistoryList() const { return m_dlg.GetDlgItem(IDC_HISTORY_LIST); }
    HTMLListCtrl& History() const { return *static_cast<HTMLListCtrl*>(CWindowLookup::Find(HistoryList())); }
    int ItemCount() { return History().GetCount(); }
    std::string ItemHtml(int index) { return History().GetItemText(index); }
    int ItemSide(int index) { return History().GetItemSide(index); }
    RECT ItemRect(int index) { return History().GetItemRect(index); }

    // Clicks the item's middle as the user would; the answer to the click comes a message later.
    void ClickItem(int index) {
        ::UpdateWindow(HistoryList());
        const RECT rc = ItemRect(index);
        const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
        ::PostMessageW(HistoryList(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::PostMessageW(HistoryList(), WM_LBUTTONUP, 0, at);
    }

    // The user offers a file with the attach button, as the server's acceptance requires.
    void Offer(const std::wstring& path) {
        m_services.m_chooseFile = [path] { return std::optional<std::wstring>(path); };
        ::SendMessageW(m_dlg.GetDlgItem(IDC_ATTACH), BM_CLICK, 0, 0);
    }
    // The user clicks a file item and answers the question.
    void Click(int index, int answer) {
        BoxAnswer box(answer);
        ClickItem(index);
        ASSERT_TRUE(box.Wait());
    }

    TempFolder m_logs{L"logs"};
    TempFolder m_documents{L"documents"};
    CFakeOwner m_owner;
    CTestServices m_services;
    CMessageDlg m_dlg{m_owner, m_services};
    std::string m_strPeer = Kr(L"이영희");
};

const std::regex kSentTime(R"(\d{4}/\d\d/\d\d (AM|PM) \d\d:\d\d:\d\d)");

TEST_F(ConversationTest, TitleNamesThePeerAndSendingWaitsForTheHistory) {
    EXPECT_EQ(WindowText(m_dlg.GetHwnd()), L"Messanger - 이영희");
    EXPECT_FALSE(::IsWindowEnabled(m_dlg.GetDlgItem(IDC_SEND)));
    EXPECT_FALSE(::IsWindowEnabled(m_dlg.GetDlgItem(IDC_ATTACH)));
    EXPECT_TRUE(std::filesystem::exists(m_logs / L"lee_kim.Log")) << "the log is open";
    EXPECT_EQ(::SendMessageW(Edit(), EM_GETLIMITTEXT, 0, 0), 254);
    EXPECT_NE(HistoryList(), nullptr);
    EXPECT_EQ(::GetDlgCtrlID(HistoryList()), IDC_HISTORY_LIST);
}

// A move to a display of twice the dpi: the window takes the suggested rectangle, the history list its
// scaled place and its items about twice their height (twice the margins, a font twice as tall); back at
// 96 dpi each item is where it was.
TEST_F(ConversationTest, ADpiChangeScalesTheHistoryAndItsItems) {
    m_dlg.Records().AppendIncoming(m_strPeer, Kr(L"안녕하세요"), std::time(nullptr), false);
    ::UpdateWindow(HistoryList());
    const RECT item = ItemRect(0);
    const RECT window = m_dlg.GetWindowRect();
    ASSERT_GT(item.bottom - item.top, 20);
    auto changeDpi = [&](int dpi, int scale) {
        RECT suggested{window.left, window.top, window.left + scale * (window.right - window.left),
                       window.top + scale * (window.bottom - window.top)};
        m_dlg.SendMessage(WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        ::InvalidateRect(HistoryList(), nullptr, FALSE);
        ::UpdateWindow(HistoryList());
    };
    changeDpi(192, 2);
    EXPECT_EQ(m_dlg.GetWindowRect().right - m_dlg.GetWindowRect().left, 2 * (window.right - window.left));
    RECT list{};
    ::GetWindowRect(HistoryList(), &list);
    ::MapWindowPoints(nullptr, m_dlg.GetHwnd(), reinterpret_cast<POINT*>(&list), 2);
    EXPECT_EQ(list.left, 10);
    EXPECT_EQ(list.top, 10);
    const RECT big = ItemRect(0);
    // Lines of a font twice as tall are not always exactly twice as high.
    EXPECT_GE(10 * (big.bottom - big.top), 18 * (item.bottom - item.top));
    EXPECT_LE(big.bottom - big.top, 2 * (item.bottom - item.top) + 6);

    changeDpi(96, 1);
    const RECT again = ItemRect(0);
    EXPECT_EQ(again.top, item.top);
    EXPECT_EQ(again.bottom, item.bottom);
}

TEST_F(ConversationTest, ForbiddenCharactersAreRefusedAndTheTextStays) {
    for (const wchar_t* text : {L"abc:def", L"a|b"}) {
        Type(text);
        BoxAnswer box(IDOK);
        PressEnter();
        ASSERT_TRUE(box.Wait()) << "no message box for " << WideToCp949(text);
        EXPECT_EQ(box.Text(), LoadResString(IDS_CONV_FORBIDDEN));
        EXPECT_EQ(WindowText(Edit()), text);
    }
    EXPECT_TRUE(m_owner.m_calls.empty());
    EXPECT_EQ(ItemCount(), 0);
    EXPECT_EQ(Log(), "");
}

// A character code page 949 cannot carry is named, nothing is sent and the first of them is selected.
TEST_F(ConversationTest, CharactersOutside949AreNamedAndNothingIsSent) {
    const std::wstring text = L"좋아요 😀 a😀";
    Type(text.c_str());
    BoxAnswer box(IDOK);
    PressEnter();
    ASSERT_TRUE(box.Wait());
    EXPECT_EQ(box.Text(), L"보낼 수 없는 문자가 있습니다: 😀");
    EXPECT_EQ(WindowText(Edit()), text);
    DWORD start = 0, end = 0;
    ::SendMessageW(Edit(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(std::make_pair(start, end), std::make_pair(DWORD{4}, DWORD{6}));
    EXPECT_TRUE(m_owner.m_calls.empty());
}

// Files dropped on the window: a folder is refused, several ask once, each is then offered.
TEST_F(ConversationTest, DroppedFilesAreOfferedAfterOneQuestionAndFoldersAreRefused) {
    m_dlg.NoteHistoryRequest();
    m_dlg.Records().LoadHistory(m_strPeer, "", 0);
    const std::filesystem::path folder = m_documents / L"폴더";
    std::filesystem::create_directories(folder);
    const auto drop = [&](const std::vector<std::wstring>& paths) {
        std::wstring list;
        for (const std::wstring& path : paths)
            list += path + L'\0';
        list += L'\0';
        HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
        auto* files = static_cast<DROPFILES*>(::GlobalLock(memory));
        files->pFiles = sizeof(DROPFILES);
        files->fWide = TRUE;
        std::memcpy(files + 1, list.data(), list.size() * sizeof(wchar_t));
        ::GlobalUnlock(memory);
        ::PostMessageW(m_dlg.GetHwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    };
    struct Case {
        std::vector<std::wstring> paths;
        int nAnswer; // the box that comes up, 0 for none
        size_t nOffers;
    };
    const Case cases[] = {
        {{L"C:\\docs\\a.txt"}, 0, 1},
        {{L"C:\\docs\\a.txt", L"C:\\docs\\b.txt"}, IDYES, 2},
        {{L"C:\\docs\\a.txt", L"C:\\docs\\b.txt"}, IDNO, 0},
        {{folder.wstring(), L"C:\\docs\\c.txt"}, IDOK, 1},
    };
    for (const Case& c : cases) {
        m_owner.m_calls.clear();
        if (c.nAnswer != 0) {
            BoxAnswer box(c.nAnswer);
            drop(c.paths);
            ASSERT_TRUE(box.Wait());
        } else {
            drop(c.paths);
        }
        ASSERT_TRUE(PumpUntil([&] { return m_owner.m_calls.size() >= c.nOffers; }));
        PumpFor(50); // the wait is the check: no offer beyond those
        EXPECT_EQ(m_owner.m_calls.size(), c.nOffers) << c.paths.size() << " " << c.nAnswer;
    }
}

TEST_F(ConversationTest, EnterSendsEchoesAndLogsEvenBeforeTheHistory) {
    Type(L"abc");
    PressEnter();
    ASSERT_TRUE(PumpUntil([&] { return ItemCount() == 1 && !m_owner.m_calls.empty() && WindowText(Edit()).empty(); }));
    ASSERT_EQ(m_owner.m_calls.size(), 1u);
    EXPECT_EQ(m_owner.m_calls[0].strWhat, "message");
    EXPECT_EQ(m_owner.m_calls[0].strName, m_strPeer);
    EXPECT_EQ(m_owner.m_calls[0].strId, "lee");
    EXPECT_EQ(m_owner.m_calls[0].strText, "abc");
    EXPECT_EQ(WindowText(Edit()), L"");
    const std::string item = ItemHtml(0);
    EXPECT_EQ(item.rfind("<strong>abc</strong><p>", 0), 0u) << item;
    EXPECT_TRUE(std::regex_search(item, kSentTime)) << item;

    const std::string log = Log();
    EXPECT_TRUE(std::regex_match(log, std::regex(R"(\. \d{4}/\d\d/\d\d (AM|PM) \d\d:\d\d:\d\d abc\r\n)"))) << log;

    // Enter on an empty edit sends nothing; the send button does what Enter does once enabled.
    PressEnter();
    PumpFor(100); // the wait is the check: nothing goes out within it
    EXPECT_EQ(m_owner.m_calls.size(), 1u);
    m_dlg.NoteHistoryRequest();
    m_dlg.Records().LoadHistory(m_strPeer, "", 0);
    Type(L"두 번째");
    ::SendMessageW(m_dlg.GetDlgItem(IDC_SEND), BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return m_owner.m_calls.size() >= 2; }));
    ASSERT_EQ(m_owner.m_calls.size(), 2u);
    EXPECT_EQ(m_owner.m_calls[1].strText, Kr(L"두 번째"));
}

TEST_F(ConversationTest, AMessageThatDidNotGoOutSaysSoAndIsNotLogged) {
    m_owner.m_bConnected = false;
    Type(L"hello");
    PressEnter();
    ASSERT_TRUE(PumpUntil([&] { return ItemCount() == 1; }));
    EXPECT_TRUE(m_owner.m_calls.empty());
    // The connection refuses it (broken or full): the same.
    m_owner.m_bConnected = true;
    m_owner.m_bSendsGoOut = false;
    Type(L"again");
    PressEnter();
    ASSERT_TRUE(PumpUntil([&] { return ItemCount() == 2; }));
    EXPECT_EQ(m_owner.m_calls.size(), 1u);
    for (int i = 0; i < 2; ++i)
        EXPECT_NE(ItemHtml(i).find(Kr(L"전송되지 않았습니다.")), std::string::npos) << ItemHtml(i);
    EXPECT_EQ(Log(), "");
}

// While the connection is away a message waits in its item and goes out, logged, when it is back.
TEST_F(ConversationTest, AMessageTypedWhileAwayWaitsAndGoesOutOnceLater) {
    m_owner.m_bAway = true;
    Type(L"later");
    PressEnter();
    ASSERT_TRUE(PumpUntil([&] { return ItemCount() == 1; }));
    EXPECT_TRUE(m_owner.m_calls.empty());
    EXPECT_NE(ItemHtml(0).find(Kr(L"전송 대기 중")), std::string::npos) << ItemHtml(0);
    EXPECT_EQ(m_dlg.WaitingCount(), 1u);
    m_owner.m_bAway = false;
    EXPECT_TRUE(m_dlg.SendOldestWaiting());
    EXPECT_FALSE(m_dlg.SendOldestWaiting());
    ASSERT_EQ(m_owner.m_calls.size(), 1u);
    EXPECT_EQ(m_owner.m_calls[0].strText, "later");
    EXPECT_EQ(ItemHtml(0).find(Kr(L"전송 대기 중")), std::string::npos) << ItemHtml(0);
    EXPECT_TRUE(std::regex_match(Log(), std::regex(R"(\. \d{4}/\d\d/\d\d (AM|PM) \d\d:\d\d:\d\d later\r\n)"))) << Log();
}

TEST_F(ConversationTest, MessagesInARowKeepApartWithoutHoldingUpTheWindow) {
    m_services.m_nSendPauseMs = 2000;
    Type(L"one");
    PressEnter();
    ASSERT_TRUE(PumpUntil([&] { return m_owner.m_calls.size() == 1; }));
    // During the pause the window works: the next text waits in the edit and goes when the pause ends.
    Type(L"two");
    PressEnter();
    PumpFor(20); // the wait is the check: within the pause the second text stays in the edit
    EXPECT_EQ(m_owner.m_calls.size(), 1u);
    EXPECT_EQ(GetWindowTextLengthW(Edit()), 3);
    ASSERT_TRUE(PumpUntil([&] { return m_owner.m_calls.size() == 2; }));
    EXPECT_EQ(m_owner.m_calls[1].strText, "two");
    EXPECT_EQ(GetWindowTextLengthW(Edit()), 0);
}

// A message in a window that shows but is not active asks for attention until the window is activated,
// which tells the owner the messages are read. "알림 끄기" is the same command from the window menu and
// from a menu, and the window menu shows it checked.
TEST_F(ConversationTest, AttentionLastsUntilActivationAndMuteTogglesFromEitherMenu) {
    m_dlg.ShowWindow(SW_SHOWNOACTIVATE);
    m_dlg.AskForAttention();
    EXPECT_TRUE(m_dlg.IsAskingForAttention());
    ::SendMessageW(m_dlg.GetHwnd(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_FALSE(m_dlg.IsAskingForAttention());
    ASSERT_FALSE(m_owner.m_activated.empty());
    EXPECT_EQ(m_owner.m_activated.back(), m_strPeer);
    m_dlg.ShowWindow(SW_HIDE);
    m_dlg.AskForAttention(); // hidden: nothing on the taskbar to flash
    EXPECT_FALSE(m_dlg.IsAskingForAttention());

    const HMENU sys = ::GetSystemMenu(m_dlg.GetHwnd(), FALSE);
    for (const bool bSysCommand : {true, false, true}) {
        const bool bWasMuted = m_owner.m_muted.contains("lee");
        if (bSysCommand)
            ::SendMessageW(m_dlg.GetHwnd(), WM_SYSCOMMAND, ID_ATTENTION_MUTE, 0);
        else
            ::SendMessageW(m_dlg.GetHwnd(), WM_COMMAND, ID_ATTENTION_MUTE, 0);
        EXPECT_NE(m_owner.m_muted.contains("lee"), bWasMuted);
        ::SendMessageW(m_dlg.GetHwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sys), MAKELPARAM(0, TRUE));
        EXPECT_EQ((::GetMenuState(sys, ID_ATTENTION_MUTE, MF_BYCOMMAND) & MF_CHECKED) != 0, !bWasMuted);
    }
}

TEST_F(ConversationTest, EscapeHidesAndTheWindowKeepsItsItems) {
    m_dlg.Records().AppendIncoming(m_strPeer, "hi", LocalTime(2020, 1, 2, 9, 0, 0), true);
    ::PostMessageW(m_dlg.GetHwnd(), WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(m_dlg.GetHwnd()); }));
    EXPECT_TRUE(::IsWindow(m_dlg.GetHwnd()));
    // Enter elsewhere in the dialog does nothing.
    ::SendMessageW(m_dlg.GetHwnd(), WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(::IsWindow(m_dlg.GetHwnd()));
    m_dlg.Records().AppendIncoming(m_strPeer, "still there?", LocalTime(2020, 1, 2, 9, 1, 0), true);
    EXPECT_FALSE(m_dlg.IsVisible());
    EXPECT_EQ(ItemCount(), 2);
    m_dlg.Raise();
    EXPECT_TRUE(PumpUntil([&] { return m_dlg.IsVisible(); }));
}

TEST_F(ConversationTest, HistoryIsShownLoggedAndEnablesSending) {
    const std::string history = ">|" + Kr(L"안녕하세요") + "|2020-01-02 PM 03:04:05|<|\"say \"\"hi\"\"\"|" +
                                "2020-01-02 PM 03:05:00|<|File_report.txt|2020-01-02 PM 03:06:00";
    m_dlg.NoteHistoryRequest();
    m_dlg.Records().LoadHistory(m_strPeer, history, LocalTime(2020, 1, 3, 0, 0, 0));
    EXPECT_TRUE(m_dlg.IsOpened());
    EXPECT_TRUE(::IsWindowEnabled(m_dlg.GetDlgItem(IDC_SEND)));
    EXPECT_TRUE(::IsWindowEnabled(m_dlg.GetDlgItem(IDC_ATTACH)));
    ASSERT_EQ(ItemCount(), 3);
    EXPECT_EQ(ItemHtml(0), "<strong>" + Kr(L"안녕하세요") + "</strong><p>2020-01-02 PM 03:04:05");
    EXPECT_EQ(ItemSide(0), 1);
    EXPECT_EQ(ItemSide(1), 0);
    // The peer's words are escaped text inside the item's own markup.
    EXPECT_NE(ItemHtml(1).find("<b>say &quot;hi&quot;</b>"), std::string::npos) << ItemHtml(1);
    EXPECT_EQ(Log(), ". 2020-01-02 PM 03:04:05 " + Kr(L"안녕하세요") +
                         "\r\n> 2020-01-02 PM 03:05:00 say \"hi\"\r\nF 2020-01-02 PM 03:06:00 File_report.txt\r\n");
}

TEST_F(ConversationTest, IncomingMessageCarriesItsOwnTimeAndIsWrapped) {
    m_dlg.Records().AppendIncoming(m_strPeer, "hello|2020-01-02 PM 03:04:05", LocalTime(2021, 5, 5, 5, 5, 5), true);
    m_dlg.Records().AppendIncoming(m_strPeer, std::string(30, 'x'), LocalTime(2020, 1, 2, 0, 30, 0), false);
    m_dlg.Records().AppendNotice(Kr(L"공지"), 0);
    ASSERT_EQ(ItemCount(), 3);
    EXPECT_EQ(ItemHtml(0), "<font color=#0000ff>" + m_strPeer + "<p><b>hello</b><p>2020-01-02 PM 03:04:05</font>");
    EXPECT_NE(ItemHtml(1).find(std::string(26, 'x') + " xxxx"), std::string::npos);
    EXPECT_NE(ItemHtml(1).find("2020-01-02 AM 12:30:00"), std::string::npos);
    EXPECT_EQ(ItemHtml(2), "<font color=#ff0000>" + Kr(L"공지") + "</font>");
    // Only the first was to be logged; notices never are.
    EXPECT_EQ(Log(), "> 2020-01-02 PM 03:04:05 hello\r\n");
}

TEST_F(ConversationTest, WhereTheProgramsFolderCannotBeWrittenTheLogGoesToTheUsersFolder) {
    // Nothing can be made in the program's folder (here it is not there at all): the log goes to the
    // user's folder under its usual name, and an old log named after the peer alone moves along there.
    const TempFolder user{L"userlogs"};
    WriteFileBytes(user / L"park.Log", "old\r\n");
    CFakeOwner owner;
    owner.m_strLogFolder = (m_logs / L"locked").wstring() + L"\\";
    owner.m_strUserLogFolder = user.Path();
    CMessageDlg dlg{owner, m_services};
    ASSERT_TRUE(dlg.Create(nullptr));
    dlg.SetPeer(Kr(L"박민수"), "park");
    dlg.OpenLog();
    ASSERT_TRUE(std::filesystem::exists(user / L"park_kim.Log")) << "the log is open";
    dlg.Records().AppendIncoming(Kr(L"박민수"), "hello|2020-01-02 PM 03:04:05", LocalTime(2021, 5, 5, 5, 5, 5), true);
    dlg.DestroyWindow();
    EXPECT_EQ(ReadFileBytes(user / L"park_kim.Log"), "old\r\n> 2020-01-02 PM 03:04:05 hello\r\n");
    EXPECT_FALSE(std::filesystem::exists(user / L"park.Log"));
    EXPECT_FALSE(std::filesystem::exists(m_logs / L"locked"));
    // The program's folder, where it can be written, keeps its logs there (every other test here).
    EXPECT_TRUE(std::filesystem::exists(m_logs / L"lee_kim.Log"));
}

TEST_F(ConversationTest, ClickingFileItemsAsksForTheFileAndKeepsTheAnswer) {
    m_dlg.Records().AppendIncoming(m_strPeer, "File_report.txt", LocalTime(2020, 1, 2, 15, 4, 5), true);
    m_dlg.Records().AppendOutgoing(m_strPeer, "File_C:\\work\\plan.doc|2020/01/02 AM 12:30:00", 0, true);
    m_dlg.Records().AppendIncoming(m_strPeer, "just text", LocalTime(2020, 1, 2, 15, 4, 5), false);
    EXPECT_EQ(Log(),
              "F 2020-01-02 PM 03:04:05 File_report.txt\r\nS 2020/01/02 AM 12:30:00 Send_C:\\work\\plan.doc\r\n");
    ::UpdateWindow(HistoryList());

    {
        BoxAnswer box(IDYES);
        ClickItem(0);
        ASSERT_TRUE(box.Wait());
        EXPECT_EQ(box.Text(), LoadResString(IDS_CONV_OPEN_AFTER));
    }
    ASSERT_EQ(m_owner.m_calls.size(), 1u);
    EXPECT_EQ(m_owner.m_calls[0].strWhat, "answer");
    EXPECT_EQ(m_owner.m_calls[0].strText, "report.txt.202001021504");
    EXPECT_TRUE(m_owner.m_calls[0].bIncoming);

    {
        BoxAnswer box(IDNO);
        ClickItem(1);
        ASSERT_TRUE(box.Wait());
    }
    ASSERT_EQ(m_owner.m_calls.size(), 2u);
    EXPECT_EQ(m_owner.m_calls[1].strText, "plan.doc.202001020030");
    EXPECT_FALSE(m_owner.m_calls[1].bIncoming);

    // A plain message asks nothing; nor does going through the items with the arrow keys.
    ClickItem(2);
    ::SetFocus(HistoryList());
    ::PostMessageW(HistoryList(), WM_KEYDOWN, VK_UP, 1); // onto the file sent
    PumpFor(300);                                        // the wait is the check: no box and no answer within it
    EXPECT_EQ(m_owner.m_calls.size(), 2u);
    // Enter uses the selected item as a click does.
    {
        BoxAnswer box(IDNO);
        ::PostMessageW(HistoryList(), WM_KEYDOWN, VK_RETURN, 1);
        ASSERT_TRUE(box.Wait());
    }
    ASSERT_EQ(m_owner.m_calls.size(), 3u);
    EXPECT_EQ(m_owner.m_calls[2].strText, "plan.doc.202001020030");

    // Each answer is kept for its own file: once downloaded, the first is opened (yes) and the second not.
    LoopbackServer server([&](SOCKET s) { LoopbackServer::WriteAll(s, LengthPrefix(1) + "x"); });
    m_services.m_nDownloadPort = server.Port();
    m_dlg.Records().StartFileReceive(m_strPeer, "report.txt.202001021504", 0);
    m_dlg.Records().StartFileReceive(m_strPeer, "plan.doc.202001020030", 0);
    EXPECT_EQ(server.Accepted(), 2);
    EXPECT_EQ(m_services.m_opened, std::vector<std::wstring>{(m_documents / L"report.txt").wstring()});
}

TEST_F(ConversationTest, AttachOffersTheChosenFileOnly) {
    std::optional<std::wstring> choice = L"C:\\docs\\보고서.txt";
    m_services.m_chooseFile = [&] { return choice; };
    m_dlg.NoteHistoryRequest();
    m_dlg.Records().LoadHistory(m_strPeer, "", 0);
    ::SendMessageW(m_dlg.GetDlgItem(IDC_ATTACH), BM_CLICK, 0, 0);
    choice.reset(); // cancelled
    ::SendMessageW(m_dlg.GetDlgItem(IDC_ATTACH), BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !m_owner.m_calls.empty(); }));
    ASSERT_EQ(m_owner.m_calls.size(), 1u);
    EXPECT_EQ(m_owner.m_calls[0].strWhat, "offer");
    EXPECT_EQ(m_owner.m_calls[0].strText, Kr(L"C:\\docs\\보고서.txt"));
    EXPECT_EQ(ItemCount(), 0);
}

TEST_F(ConversationTest, UploadShowsAndLogsTheSentFile) {
    const std::filesystem::path source = m_documents / L"plan.txt";
    WriteFileBytes(source, "twelve bytes");
    std::string received;
    LoopbackServer server([&](SOCKET s) { received = LoopbackServer::ReadAll(s); });
    m_services.m_nUploadPort = server.Port();
    const std::string path = WideToCp949(source.wstring());
    // The server may only name what the user offered: a file it names on its own is not read.
    WriteFileBytes(m_documents / L"secret.txt", "secret");
    m_dlg.Records().StartFileSend(m_strPeer, WideToCp949((m_documents / L"secret.txt").wstring()), 0, "20200102150405");
    EXPECT_EQ(ItemCount(), 0);
    EXPECT_EQ(server.Accepted(), 0);

    m_dlg.NoteHistoryRequest();

    m_dlg.Records().LoadHistory(m_strPeer, "", 0);
    Offer(source.wstring());
    EXPECT_TRUE(m_dlg.Records().ExpectsFileReply(COM_FILE_ACCEPT, path));
    m_dlg.Records().StartFileSend(m_strPeer, path, 0, "20200102150405");
    // Accepted once: a repeated acceptance uploads nothing more.
    EXPECT_FALSE(m_dlg.Records().ExpectsFileReply(COM_FILE_ACCEPT, path));
    m_dlg.Records().StartFileSend(m_strPeer, path, 0, "20200102150405");
    ASSERT_EQ(ItemCount(), 1);
    EXPECT_EQ(ItemHtml(0), "<font color=#ff000f><b>Send_plan.txt</b></font><p>2020/01/02 PM 03:04:05");
    EXPECT_EQ(Log(), "S 2020/01/02 PM 03:04:05 Send_" + path + "\r\n");
    std::string name = "kim_lee_plan.txt.202001021504";
    name.resize(256, '\0');
    EXPECT_TRUE(received == LengthPrefix(12) + name + "twelve bytes") << received.size();
    EXPECT_EQ(server.Accepted(), 1);
}

TEST_F(ConversationTest, DownloadBacksUpTheOldFileAndOpensWhenAsked) {
    WriteFileBytes(m_documents / L"a.txt", "old");
    const std::string content(5000, 'n');
    LoopbackServer server([&](SOCKET s) { LoopbackServer::WriteAll(s, LengthPrefix(5000) + content); });
    m_services.m_nDownloadPort = server.Port();
    const std::vector<std::wstring>& opened = m_services.m_opened;
    // The peer's name may try to leave the folder; only its last part is used.
    m_dlg.Records().AppendIncoming(m_strPeer, "File_..\\..\\a.txt", LocalTime(2020, 1, 2, 15, 4, 5), false);
    m_dlg.Records().AppendIncoming(m_strPeer, "File_b.txt", LocalTime(2020, 1, 2, 15, 4, 5), false);
    Click(0, IDYES);
    Click(1, IDNO);

    // Only a clicked file comes down, and only once.
    m_dlg.Records().StartFileReceive(m_strPeer, "c.txt.202001021504", 0);
    EXPECT_EQ(server.Accepted(), 0);
    m_dlg.Records().StartFileReceive(m_strPeer, "..\\..\\a.txt.202001021504", 0);
    m_dlg.Records().StartFileReceive(m_strPeer, "..\\..\\a.txt.202001021504", 0);
    EXPECT_EQ(server.Accepted(), 1);
    EXPECT_TRUE(ReadFileBytes(m_documents / L"a.txt") == content);
    std::vector<std::wstring> backups;
    for (const std::wstring& name : m_documents.Names())
        if (name != L"a.txt")
            backups.push_back(name);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_TRUE(std::regex_match(backups[0], std::wregex(LR"(a-bak \d{12}\.txt)"))) << WideToCp949(backups[0]);
    EXPECT_EQ(ReadFileBytes(m_documents / backups[0]), "old");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], (m_documents / L"a.txt").wstring());
}

TEST_F(ConversationTest, OfferedNamesThatAreNoFileAreRefused) {
    LoopbackServer server([&](SOCKET s) { LoopbackServer::WriteAll(s, LengthPrefix(1) + "x"); });
    m_services.m_nDownloadPort = server.Port();
    const char* const offers[] = {"CON", "..\\.."};
    for (const char* offered : offers)
        m_dlg.Records().AppendIncoming(m_strPeer, std::string("File_") + offered, LocalTime(2020, 1, 2, 15, 4, 5), false);
    for (int i = 0; i < 2; ++i) {
        Click(i, IDNO);
        BoxAnswer box(IDOK);
        m_dlg.Records().StartFileReceive(m_strPeer, std::string(offers[i]) + ".202001021504", 0);
        ASSERT_TRUE(box.Wait()) << offers[i];
        EXPECT_NE(box.Text().find(LoadResString(IDS_CONV_BAD_NAME)), std::wstring::npos);
    }
    EXPECT_EQ(server.Accepted(), 0);
    EXPECT_TRUE(m_documents.Names().empty());
    EXPECT_TRUE(std::filesystem::is_directory(m_documents.Path()));
}

TEST_F(ConversationTest, WithoutADocumentsFolderNothingIsDownloaded) {
    LoopbackServer server([&](SOCKET s) { LoopbackServer::WriteAll(s, LengthPrefix(1) + "x"); });
    m_services.m_nDownloadPort = server.Port();
    m_dlg.Records().AppendIncoming(m_strPeer, "File_a.txt", LocalTime(2020, 1, 2, 15, 4, 5), false);
    // No documents folder, or one that is the program's own folder: the user is told, nothing moves.
    for (const std::wstring& folder : {std::wstring(), m_logs.Path() + L"\\"}) {
        m_owner.m_strDownloadFolder = folder;
        Click(0, IDYES);
        BoxAnswer box(IDOK);
        m_dlg.Records().StartFileReceive(m_strPeer, "a.txt.202001021504", 0);
        ASSERT_TRUE(box.Wait());
        EXPECT_EQ(box.Text(), LoadResString(IDS_CONV_NO_DOCUMENTS));
    }
    EXPECT_EQ(server.Accepted(), 0);
    EXPECT_TRUE(m_documents.Names().empty());
}

TEST_F(ConversationTest, RefusedOfferIsExplained) {
    EXPECT_FALSE(m_dlg.Records().ExpectsFileReply(COM_FILE_REJECT, Kr(L"C:\\docs\\a.txt")));
    m_dlg.NoteHistoryRequest();
    m_dlg.Records().LoadHistory(m_strPeer, "", 0);
    Offer(L"C:\\docs\\a.txt");
    EXPECT_TRUE(m_dlg.Records().ExpectsFileReply(COM_FILE_REJECT, Kr(L"C:\\docs\\a.txt")));
    BoxAnswer box(IDOK);
    m_dlg.Records().ShowDuplicateFile(m_strPeer, Kr(L"C:\\docs\\a.txt"), 0, "");
    ASSERT_TRUE(box.Wait());
    EXPECT_FALSE(m_dlg.Records().ExpectsFileReply(COM_FILE_REJECT, Kr(L"C:\\docs\\a.txt")));
    EXPECT_EQ(box.Text(), LoadResString(IDS_CONV_DUPLICATE));
}

TEST_F(ConversationTest, LongHistoryShowsInOnePaint) {
    std::string history;
    for (int i = 0; i < 2000; ++i) {
        history += i % 2 ? "<|" : ">|";
        history += Kr(L"메시지 번호 ") + std::to_string(i) + " with some words to wrap and measure|";
        history += "2020-01-02 PM 03:04:05|";
    }
    const auto start = std::chrono::steady_clock::now();
    m_dlg.NoteHistoryRequest();
    m_dlg.Records().LoadHistory(m_strPeer, history, 0);
    const auto loaded = std::chrono::steady_clock::now();
    // Nothing has been painted yet: the list waits for one paint of the whole result.
    RECT update{};
    EXPECT_TRUE(::GetUpdateRect(HistoryList(), &update, FALSE));
    ::UpdateWindow(HistoryList());
    const auto painted = std::chrono::steady_clock::now();
    const auto ms = [](auto d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); };
    std::printf("2000-entry history: load %lld ms, paint %lld ms, total %lld ms\n",
                static_cast<long long>(ms(loaded - start)), static_cast<long long>(ms(painted - loaded)),
                static_cast<long long>(ms(painted - start)));
    EXPECT_EQ(ItemCount(), 2000);
    EXPECT_LT(ms(painted - start), 10000); // a sanity bound only
    EXPECT_EQ(Log().size() > 2000 * 30, true);
}

} // namespace
