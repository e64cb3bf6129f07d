// Window and dialog base and message boxes of the Win32 base, with real windows under the window system.

#include "win/base/Dialog.h"
#include "win/base/MessageBox.h"
#include "win/base/Window.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace dravel::win;

namespace {

// Runs the thread's messages until pred() holds or the time is up; returns pred().
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs = 3000) {
    const DWORD start = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        MSG msg;
        // Bounded, so that a window that keeps generating messages cannot hold the test here.
        for (int n = 0; n < 100 && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// An in-memory DLGTEMPLATE, so that the tests do not depend on the program's resource script.
class CTemplateBuilder {
public:
    CTemplateBuilder(DWORD style, const wchar_t* title, short cx, short cy) {
        Append(LOWORD(style));
        Append(HIWORD(style));
        Append(0); // extended style
        Append(0);
        m_nCountAt = m_words.size();
        Append(0); // item count
        Append(0); // x
        Append(0); // y
        Append(static_cast<WORD>(cx));
        Append(static_cast<WORD>(cy));
        Append(0); // no menu
        Append(0); // default class
        AppendText(title);
    }

    // classAtom: 0x0080 button, 0x0081 edit, 0x0082 static.
    void AddItem(WORD id, WORD classAtom, const wchar_t* text, DWORD style, short x, short y, short cx, short cy) {
        if (m_words.size() % 2 != 0)
            Append(0); // items start on a DWORD boundary
        style |= WS_CHILD | WS_VISIBLE;
        Append(LOWORD(style));
        Append(HIWORD(style));
        Append(0);
        Append(0);
        Append(static_cast<WORD>(x));
        Append(static_cast<WORD>(y));
        Append(static_cast<WORD>(cx));
        Append(static_cast<WORD>(cy));
        Append(id);
        Append(0xFFFF);
        Append(classAtom);
        AppendText(text);
        Append(0); // no creation data
        ++m_words[m_nCountAt];
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void Append(WORD w) { m_words.push_back(w); }
    void AppendText(const wchar_t* text) {
        for (; *text != L'\0'; ++text)
            Append(static_cast<WORD>(*text));
        Append(0);
    }

    std::vector<WORD> m_words;
    size_t m_nCountAt = 0;
};

constexpr WORD kEditId = 1001;
constexpr int kCustomCommand = 2001;
constexpr UINT_PTR kWatchdogTimer = 99;
constexpr INT_PTR kTimedOut = 999;

CTemplateBuilder MakeTestTemplate(DWORD extraStyle = 0) {
    CTemplateBuilder t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | extraStyle, L"Test", 160, 60);
    t.AddItem(kEditId, 0x0081, L"", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 5, 5, 100, 12);
    t.AddItem(IDOK, 0x0080, L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 110, 5, 40, 14);
    return t;
}

// Records what reaches it; behaviour per test through the hooks.
class CProbeDialog : public CDialog {
public:
    using CDialog::CDialog;

    std::function<BOOL(CProbeDialog&)> m_fnInit;
    std::function<bool(CProbeDialog&, int id)> m_fnCommand;
    std::function<void(CProbeDialog&, UINT_PTR id)> m_fnTimer;
    std::vector<std::string> m_events;
    const CProbeDialog* m_pSeenAtInit = nullptr;
    HWND m_hwndSeenAtInit = nullptr;
    bool m_bWatchdog = true;

protected:
    BOOL OnInitDialog() override {
        m_events.push_back("init");
        m_pSeenAtInit = this;
        m_hwndSeenAtInit = GetHwnd();
        if (m_bWatchdog)
            SetTimer(kWatchdogTimer, 5000);
        return m_fnInit ? m_fnInit(*this) : TRUE;
    }
    bool OnCommand(int id, int code, HWND hwndCtl) override {
        if (m_fnCommand && m_fnCommand(*this, id))
            return true;
        return CDialog::OnCommand(id, code, hwndCtl);
    }
    void OnOK() override {
        m_events.push_back("ok");
        CDialog::OnOK();
    }
    void OnCancel() override {
        m_events.push_back("cancel");
        CDialog::OnCancel();
    }
    void OnTimer(UINT_PTR id) override {
        if (id == kWatchdogTimer) {
            m_events.push_back("watchdog");
            EndDialog(kTimedOut);
            return;
        }
        if (m_fnTimer)
            m_fnTimer(*this, id);
    }
    void OnDestroy() override {
        m_events.push_back("destroy");
        CDialog::OnDestroy();
    }
};

using Events = std::vector<std::string>;

TEST(DialogBase, ModalDialogBindsThisAtInitAndEndsFromAPostedCommand) {
    const CTemplateBuilder t = MakeTestTemplate();
    CProbeDialog dlg(t.Get());
    HWND hwndEdit = nullptr;
    dlg.m_fnInit = [&](CProbeDialog& d) {
        hwndEdit = d.GetDlgItem(kEditId);
        d.PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return TRUE;
    };
    EXPECT_EQ(dlg.DoModal(nullptr), IDOK);
    EXPECT_EQ(dlg.m_pSeenAtInit, &dlg);
    EXPECT_NE(dlg.m_hwndSeenAtInit, nullptr);
    EXPECT_NE(hwndEdit, nullptr);
    EXPECT_EQ(dlg.m_events, (Events{"init", "ok", "destroy"}));
    EXPECT_EQ(dlg.GetHwnd(), nullptr);
    EXPECT_FALSE(::IsWindow(dlg.m_hwndSeenAtInit));
}

TEST(DialogBase, CustomCommandEndsWithItsOwnResultAndCloseGoesThroughOnCancel) {
    const CTemplateBuilder t = MakeTestTemplate();
    CProbeDialog custom(t.Get());
    custom.m_fnInit = [](CProbeDialog& d) {
        d.PostMessage(WM_COMMAND, MAKEWPARAM(kCustomCommand, BN_CLICKED), 0);
        return TRUE;
    };
    custom.m_fnCommand = [](CProbeDialog& d, int id) {
        if (id != kCustomCommand)
            return false;
        d.EndDialog(42);
        return true;
    };
    EXPECT_EQ(custom.DoModal(nullptr), 42);
    EXPECT_EQ(custom.GetResult(), 42);

    // WM_CLOSE has no handler here: the dialog manager's default turns it into IDCANCEL.
    CProbeDialog closing(t.Get());
    closing.m_fnInit = [](CProbeDialog& d) {
        d.PostMessage(WM_CLOSE);
        return TRUE;
    };
    EXPECT_EQ(closing.DoModal(nullptr), IDCANCEL);
    EXPECT_EQ(closing.m_events, (Events{"init", "cancel", "destroy"}));
}

TEST(DialogBase, ExceptionInAHandlerStaysInsideAndTheDialogStillEnds) {
    const CTemplateBuilder t = MakeTestTemplate();
    CProbeDialog dlg(t.Get());
    int nTicks = 0;
    dlg.m_fnInit = [](CProbeDialog& d) {
        d.PostMessage(WM_COMMAND, MAKEWPARAM(kCustomCommand, BN_CLICKED), 0);
        d.SetTimer(5, 10);
        return TRUE;
    };
    dlg.m_fnCommand = [](CProbeDialog&, int id) -> bool {
        if (id == kCustomCommand)
            throw std::runtime_error("command failed");
        return false;
    };
    dlg.m_fnTimer = [&](CProbeDialog& d, UINT_PTR) {
        if (++nTicks == 1)
            throw 7; // not even a std::exception
        d.KillTimer(5);
        d.PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    };
    EXPECT_EQ(dlg.DoModal(nullptr), IDCANCEL);
    EXPECT_EQ(nTicks, 2);
    EXPECT_EQ(dlg.m_events, (Events{"init", "cancel", "destroy"}));
}

TEST(DialogBase, ExceptionInOnInitDialogEndsTheDialogWithMinusOne) {
    const CTemplateBuilder t = MakeTestTemplate();
    CProbeDialog modal(t.Get());
    modal.m_fnInit = [](CProbeDialog&) -> BOOL { throw std::runtime_error("init failed"); };
    EXPECT_EQ(modal.DoModal(nullptr), -1);
    EXPECT_EQ(modal.GetHwnd(), nullptr);
    EXPECT_FALSE(::IsWindow(modal.m_hwndSeenAtInit));

    CProbeDialog modeless(t.Get());
    modeless.m_fnInit = modal.m_fnInit;
    EXPECT_FALSE(modeless.Create(nullptr));
    EXPECT_EQ(modeless.GetHwnd(), nullptr);
    EXPECT_FALSE(::IsWindow(modeless.m_hwndSeenAtInit));
}

TEST(DialogBase, DialogItemTextIsUtf16) {
    const CTemplateBuilder t = MakeTestTemplate();
    CProbeDialog dlg(t.Get());
    std::wstring read;
    dlg.m_fnInit = [&](CProbeDialog& d) {
        EXPECT_TRUE(d.SetDlgItemText(kEditId, L"\uCABD\uC9C0 test"));
        read = d.GetDlgItemText(kEditId);
        d.EndDialog(IDOK);
        return TRUE;
    };
    EXPECT_EQ(dlg.DoModal(nullptr), IDOK);
    EXPECT_EQ(read, L"\uCABD\uC9C0 test");
}

TEST(DialogBase, ModelessDialogGetsDialogKeysInAPlainLoopAndHidesOnEnd) {
    const CTemplateBuilder t = MakeTestTemplate();
    CProbeDialog dlg(t.Get());
    dlg.m_bWatchdog = false;
    ASSERT_TRUE(dlg.Create(nullptr));
    const HWND hwnd = dlg.GetHwnd();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(::IsWindowVisible(hwnd)) << "shown only by ShowWindow";
    dlg.ShowWindow(SW_SHOW);

    // Escape in the edit control means IDCANCEL only if IsDialogMessage sees it.
    ::PostMessageW(dlg.GetDlgItem(kEditId), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_TRUE(PumpUntil([&] { return !dlg.m_events.empty() && dlg.m_events.back() == "cancel"; }));
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    EXPECT_TRUE(::IsWindow(hwnd)) << "a modeless dialog is hidden, not destroyed, by EndDialog";
    EXPECT_EQ(dlg.GetResult(), IDCANCEL);
}

TEST(DialogBase, ModelessDialogGetsDialogKeysInsideAModalLoop) {
    const CTemplateBuilder t = MakeTestTemplate();
    CProbeDialog modeless(t.Get());
    modeless.m_bWatchdog = false;
    CProbeDialog modal(t.Get());
    modal.m_fnInit = [&](CProbeDialog& d) {
        EXPECT_TRUE(modeless.Create(nullptr));
        modeless.ShowWindow(SW_SHOWNOACTIVATE);
        ::PostMessageW(modeless.GetDlgItem(kEditId), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        d.SetTimer(5, 20);
        return TRUE;
    };
    modal.m_fnTimer = [&](CProbeDialog& d, UINT_PTR) {
        if (!modeless.m_events.empty() && modeless.m_events.back() == "cancel")
            d.EndDialog(IDOK);
    };
    EXPECT_EQ(modal.DoModal(nullptr), IDOK);
    EXPECT_EQ(modeless.m_events, (Events{"init", "cancel"}));
}

TEST(DialogBase, DestroyingTheObjectDestroysALiveModelessWindowWithoutRunningItsHandlers) {
    const CTemplateBuilder t = MakeTestTemplate(WS_VISIBLE);
    HWND hwnd = nullptr;
    {
        CProbeDialog dlg(t.Get());
        dlg.m_bWatchdog = false;
        ASSERT_TRUE(dlg.Create(nullptr));
        hwnd = dlg.GetHwnd();
        EXPECT_TRUE(::IsWindowVisible(hwnd));
    }
    EXPECT_FALSE(::IsWindow(hwnd));
    // The object is gone: a stray key for the old window must not reach anything.
    MSG msg{hwnd, WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    EXPECT_FALSE(CDialog::RouteDialogMessage(msg));
}

const wchar_t kProbeClass[] = L"DravelOnBaseTestWindow";

class CProbeWindow : public CWindow {
public:
    HWND m_hwndAtNcCreate = nullptr;
    bool m_bNcCreateFirst = false;
    bool m_bCreateResult = true;
    bool m_bThrowInCreate = false;
    bool m_bThrowOnFirstTick = false;
    bool m_bThrowInPaint = false;
    std::vector<UINT_PTR> m_ticks;
    int m_nPaints = 0;
    int m_nFinal = 0;
    std::vector<std::string> m_events;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_NCCREATE) {
            m_hwndAtNcCreate = GetHwnd();
            m_bNcCreateFirst = m_events.empty();
            m_events.push_back("nccreate");
        }
        return CWindow::HandleMessage(msg, wParam, lParam);
    }
    bool OnCreate(CREATESTRUCTW& cs) override {
        m_events.push_back("create");
        if (m_bThrowInCreate)
            throw std::runtime_error("create failed");
        return m_bCreateResult && CWindow::OnCreate(cs);
    }
    void OnTimer(UINT_PTR id) override {
        m_ticks.push_back(id);
        if (m_bThrowOnFirstTick && m_ticks.size() == 1)
            throw std::runtime_error("tick failed");
        if (m_ticks.size() == 2) {
            KillTimer(id);
            DestroyWindow();
        }
    }
    void OnPaint() override {
        ++m_nPaints;
        if (m_bThrowInPaint)
            throw std::runtime_error("paint failed");
        CWindow::OnPaint();
    }
    void OnDestroy() override {
        m_events.push_back("destroy");
        CWindow::OnDestroy();
    }
    void OnFinalMessage(HWND) override { ++m_nFinal; }
};

class WindowBaseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(CWindow::RegisterWindowClass(kProbeClass)); }
};

TEST_F(WindowBaseTest, BindsAtNcCreateAndDispatchesTimersPastAThrowingHandler) {
    CProbeWindow window;
    window.m_bThrowOnFirstTick = true;
    const HWND hwnd = window.Create(kProbeClass, L"probe", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(window.m_hwndAtNcCreate, hwnd);
    EXPECT_TRUE(window.m_bNcCreateFirst);
    EXPECT_EQ(window.GetText(), L"probe") << "WM_NCCREATE reached the default procedure";

    window.SetTimer(7, 10);
    EXPECT_TRUE(PumpUntil([&] { return window.m_nFinal == 1; }));
    EXPECT_EQ(window.m_ticks, (std::vector<UINT_PTR>{7, 7}));
    EXPECT_EQ(window.m_events, (Events{"nccreate", "create", "destroy"}));
    EXPECT_EQ(window.GetHwnd(), nullptr);
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST_F(WindowBaseTest, CreationFailsWhenOnCreateRefusesOrThrows) {
    CProbeWindow refusing;
    refusing.m_bCreateResult = false;
    EXPECT_EQ(refusing.Create(kProbeClass, L"", WS_POPUP), nullptr);
    EXPECT_EQ(refusing.GetHwnd(), nullptr);

    CProbeWindow throwing;
    throwing.m_bThrowInCreate = true;
    EXPECT_EQ(throwing.Create(kProbeClass, L"", WS_POPUP), nullptr);
    EXPECT_EQ(throwing.GetHwnd(), nullptr);

    // The object can be used again afterwards.
    refusing.m_bCreateResult = true;
    EXPECT_NE(refusing.Create(kProbeClass, L"", WS_POPUP), nullptr);
    EXPECT_TRUE(refusing.DestroyWindow());
}

TEST_F(WindowBaseTest, ThrowingPaintHandlerDoesNotRepaintForEver) {
    CProbeWindow window;
    window.m_bThrowInPaint = true;
    ASSERT_NE(window.Create(kProbeClass, L"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100), nullptr);
    ::UpdateWindow(window.GetHwnd());
    PumpUntil([] { return false; }, 300);
    EXPECT_GE(window.m_nPaints, 1);
    EXPECT_LE(window.m_nPaints, 3);
}

// A window that owns itself and is destroyed from inside one of its own handlers.
class CSelfOwnedWindow : public CWindow {
public:
    static inline bool s_bCloseReturned = false;
    static inline bool s_bDeletedAfterClose = false;
    static inline bool s_bDeleted = false;
    ~CSelfOwnedWindow() override {
        s_bDeleted = true;
        s_bDeletedAfterClose = s_bCloseReturned;
    }

protected:
    void OnClose() override {
        DestroyWindow(); // nested WM_DESTROY / WM_NCDESTROY
        s_bCloseReturned = true;
    }
    void OnFinalMessage(HWND) override { delete this; }
};

TEST_F(WindowBaseTest, SelfOwnedWindowIsDeletedOnlyAfterItsHandlersReturn) {
    auto* window = new CSelfOwnedWindow;
    const HWND hwnd = window->Create(kProbeClass, L"", WS_POPUP);
    ASSERT_NE(hwnd, nullptr);
    ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(CSelfOwnedWindow::s_bDeleted);
    EXPECT_TRUE(CSelfOwnedWindow::s_bDeletedAfterClose);
    EXPECT_FALSE(::IsWindow(hwnd));
}

// Counts WM_SETTEXT and leaves the rest to the control.
class CTextCounter : public CWindow {
public:
    int m_nSetText = 0;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_SETTEXT)
            ++m_nSetText;
        return CWindow::HandleMessage(msg, wParam, lParam);
    }
};

TEST_F(WindowBaseTest, SubclassedControlKeepsItsOwnBehaviourAndIsGivenBack) {
    const HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    const LONG_PTR original = ::GetWindowLongPtrW(edit, GWLP_WNDPROC);
    {
        CTextCounter counter;
        ASSERT_TRUE(counter.Subclass(edit));
        EXPECT_FALSE(CTextCounter().Subclass(edit)) << "one object per window";
        ::SetWindowTextW(edit, L"\uCABD\uC9C0");
        EXPECT_EQ(counter.m_nSetText, 1);
        EXPECT_EQ(WindowText(edit), L"\uCABD\uC9C0") << "the edit control's own procedure stored the text";
        EXPECT_EQ(counter.Unsubclass(), edit);
        EXPECT_EQ(::GetWindowLongPtrW(edit, GWLP_WNDPROC), original);
        ::SetWindowTextW(edit, L"x");
        EXPECT_EQ(counter.m_nSetText, 1);

        ASSERT_TRUE(counter.Subclass(edit));
    } // the object goes first: the control is given back, not destroyed
    EXPECT_TRUE(::IsWindow(edit));
    EXPECT_EQ(::GetWindowLongPtrW(edit, GWLP_WNDPROC), original);
    ::DestroyWindow(edit);
}

TEST_F(WindowBaseTest, CentresOverTheOwnerInsideTheWorkArea) {
    CProbeWindow owner;
    ASSERT_NE(owner.Create(kProbeClass, L"", WS_POPUP | WS_VISIBLE, 100, 100, 400, 300), nullptr);
    CProbeWindow window;
    ASSERT_NE(window.Create(kProbeClass, L"", WS_POPUP, 0, 0, 200, 100, owner.GetHwnd()), nullptr);
    window.CenterWindow();
    RECT rc = window.GetWindowRect();
    EXPECT_EQ(rc.left, 200);
    EXPECT_EQ(rc.top, 200);

    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    ::SetWindowPos(owner.GetHwnd(), nullptr, work.left - 300, work.top - 300, 400, 300, SWP_NOZORDER);
    window.CenterWindow();
    rc = window.GetWindowRect();
    EXPECT_EQ(rc.left, work.left);
    EXPECT_EQ(rc.top, work.top);
}

// Closes the thread's message box from inside its modal loop and reports what it showed.
struct MessageBoxWatch {
    static inline std::wstring s_strCaption;
    static inline std::vector<std::wstring> s_texts;
    static inline int s_nTicks = 0;

    static BOOL CALLBACK CollectText(HWND hwnd, LPARAM) {
        s_texts.push_back(WindowText(hwnd));
        return TRUE;
    }
    static BOOL CALLBACK FindBox(HWND hwnd, LPARAM found) {
        wchar_t cls[32] = {};
        ::GetClassNameW(hwnd, cls, 32);
        if (std::wstring(cls) != L"#32770" || !::IsWindowVisible(hwnd))
            return TRUE;
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    static void CALLBACK OnTick(HWND, UINT, UINT_PTR id, DWORD) {
        HWND box = nullptr;
        ::EnumThreadWindows(::GetCurrentThreadId(), &FindBox, reinterpret_cast<LPARAM>(&box));
        if (box != nullptr) {
            s_strCaption = WindowText(box);
            ::EnumChildWindows(box, &CollectText, 0);
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            ::KillTimer(nullptr, id);
        } else if (++s_nTicks > 100) {
            ::KillTimer(nullptr, id);
            ::PostQuitMessage(0); // ends any modal loop rather than hanging the test
        }
    }
};

TEST(AppMessageBoxTest, ShowsThe949TextUnderTheApplicationTitle) {
    MessageBoxWatch::s_texts.clear();
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 30, &MessageBoxWatch::OnTick);
    ASSERT_NE(timer, 0u);
    const int result = AppMessageBox(nullptr, std::string_view("\xC2\xCA\xC1\xF6 ok"), MB_OK);
    MSG quit;
    const bool bTimedOut = ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    ASSERT_FALSE(bTimedOut) << "message box not found";
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(MessageBoxWatch::s_strCaption, L"Dravel On");
    bool bFound = false;
    for (const auto& text : MessageBoxWatch::s_texts)
        bFound = bFound || text == L"\uCABD\uC9C0 ok";
    EXPECT_TRUE(bFound);
}

} // namespace
