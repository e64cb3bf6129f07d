// The dialog base of the Win32 base with real dialogs: binding at WM_INITDIALOG, how modal and modeless
// dialogs end, exceptions kept inside, and dialog keys in plain and modal loops.

#include "win/base/Dialog.h"

#include "support/DialogTemplate.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace dravel::win;
using namespace dravel::win::test;

namespace {

constexpr WORD kEditId = 1001;
constexpr int kCustomCommand = 2001;
constexpr UINT_PTR kWatchdogTimer = 99;
constexpr INT_PTR kTimedOut = 999;

CTemplate MakeTestTemplate(DWORD extraStyle = 0) {
    CTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | extraStyle, L"Test", 160, 60);
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
    const CTemplate t = MakeTestTemplate();
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
    const CTemplate t = MakeTestTemplate();
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
    const CTemplate t = MakeTestTemplate();
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
    const CTemplate t = MakeTestTemplate();
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
    const CTemplate t = MakeTestTemplate();
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
    const CTemplate t = MakeTestTemplate();
    CProbeDialog dlg(t.Get());
    dlg.m_bWatchdog = false;
    int nCommand = 0; // the last command that is not the edit control's notification
    dlg.m_fnCommand = [&](CProbeDialog&, int id) {
        if (id != kEditId)
            nCommand = id;
        return false;
    };
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
    EXPECT_EQ(nCommand, IDCANCEL) << "Escape ends the dialog through IDCANCEL";
}

TEST(DialogBase, ModelessDialogGetsDialogKeysInsideAModalLoop) {
    const CTemplate t = MakeTestTemplate();
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
    const CTemplate t = MakeTestTemplate(WS_VISIBLE);
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

} // namespace
