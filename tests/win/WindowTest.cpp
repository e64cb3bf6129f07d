// The window base of the Win32 base with real windows: binding at WM_NCCREATE, timers and paints past
// throwing handlers, self-owned windows, subclassing and centring.

#include "win/base/Window.h"

#include "support/Wait.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace dravel::win;
using namespace dravel::win::test;

namespace {

using Events = std::vector<std::string>;

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
    PumpFor(300);
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

// Counts WM_SETTEXT into a count that outlives it and leaves the rest to the control.
class CTextCounter : public CWindow {
public:
    explicit CTextCounter(int& count) : m_nSetText(count) {}

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_SETTEXT)
            ++m_nSetText;
        return CWindow::HandleMessage(msg, wParam, lParam);
    }

private:
    int& m_nSetText;
};

TEST_F(WindowBaseTest, SubclassedControlKeepsItsOwnBehaviourAndIsGivenBack) {
    const HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    const LONG_PTR original = ::GetWindowLongPtrW(edit, GWLP_WNDPROC);
    int setTexts = 0;
    {
        CTextCounter counter(setTexts);
        ASSERT_TRUE(counter.Subclass(edit));
        EXPECT_FALSE(CTextCounter(setTexts).Subclass(edit)) << "one object per window";
        ::SetWindowTextW(edit, L"\uCABD\uC9C0");
        EXPECT_EQ(setTexts, 1);
        EXPECT_EQ(WindowText(edit), L"\uCABD\uC9C0") << "the edit control's own procedure stored the text";
    } // the object goes first: the control is given back, not destroyed
    EXPECT_TRUE(::IsWindow(edit));
    EXPECT_EQ(::GetWindowLongPtrW(edit, GWLP_WNDPROC), original);
    ::SetWindowTextW(edit, L"x");
    EXPECT_EQ(setTexts, 1);
    {
        CTextCounter again(setTexts);
        ASSERT_TRUE(again.Subclass(edit)) << "a control given back can be taken over again";
    }
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

} // namespace
