// The bulk note dialog under the window system: Enter starts a new line instead of sending, the
// forbidden characters and the empty note are refused, and Control is never left held.

#include "win/session/BulkNoteDlg.h"

#include "win/res/resource.h"

#include "support/DialogScript.h"

#include <gtest/gtest.h>

using namespace dravel::win;
using namespace dravel::win::test;

namespace {

constexpr wchar_t kForbiddenText[] = L"금칙문자 \":\" 또는 \"|\" 는 사용할 수 없습니다.";
constexpr LPARAM kEnterDown = 0x001C0001;
constexpr LPARAM kEnterUp = static_cast<LPARAM>(0xC01C0001u);

bool ControlHeld() {
    return (::GetKeyState(VK_CONTROL) & 0x8000) != 0;
}

struct BulkNoteFixture : ::testing::Test {
    CBulkNoteDlg dlg;
    CDialogScript script;

    HWND Note() const { return dlg.GetDlgItem(IDC_NOTE_EDIT); }
    bool Open() const { return dlg.GetHwnd() != nullptr && ::IsWindowVisible(dlg.GetHwnd()); }
    void Click(int id) const { dlg.PostMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    void TypeAtEnd(const wchar_t* text) const {
        ::SendMessageW(Note(), EM_SETSEL, 0x7FFFFFFF, 0x7FFFFFFF);
        ::SendMessageW(Note(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
    }
    INT_PTR Run() {
        script.Start();
        const INT_PTR result = dlg.DoModal();
        EXPECT_FALSE(script.TimedOut());
        EXPECT_TRUE(script.Finished());
        return result;
    }
};

TEST_F(BulkNoteFixture, EnterStartsANewLineAndBothLinesGoOutAsOneText) {
    script
        .Then([&] {
            if (!Open())
                return false;
            wchar_t caption[64] = {};
            ::GetWindowTextW(dlg.GetHwnd(), caption, 64);
            EXPECT_STREQ(caption, L"일괄 쪽지 보내기");
            EXPECT_EQ(::GetFocus(), Note());
            TypeAtEnd(L"first line");
            ::PostMessageW(Note(), WM_KEYDOWN, VK_RETURN, kEnterDown);
            return true;
        })
        .Then([&] {
            // Enter's key-down has been taken: Control counts as held until Enter goes up.
            if (!ControlHeld() || dlg.GetDlgItemText(IDC_NOTE_EDIT) == L"first line")
                return false;
            EXPECT_TRUE(Open());
            ::PostMessageW(Note(), WM_KEYUP, VK_RETURN, kEnterUp);
            return true;
        })
        .Then([&] {
            if (ControlHeld())
                return false;
            EXPECT_EQ(::GetKeyState(VK_CONTROL), 0); // neither held nor toggled
            TypeAtEnd(L"second line");
            EXPECT_TRUE(Open());
            Click(IDOK);
            return true;
        });
    EXPECT_EQ(Run(), IDOK);
    EXPECT_EQ(dlg.m_strNote, "first line\r\nsecond line");
    EXPECT_FALSE(ControlHeld());
}

TEST_F(BulkNoteFixture, ForbiddenCharactersAndEmptyNotesKeepTheDialogOpen) {
    HWND box = nullptr;
    auto refused = [&](const wchar_t* text) {
        script
            .Then([&, text] {
                if (!Open())
                    return false;
                dlg.SetDlgItemText(IDC_NOTE_EDIT, text);
                Click(IDOK);
                return true;
            })
            .Then([&] {
                box = FindMessageBox(dlg.GetHwnd());
                if (box == nullptr)
                    return false;
                EXPECT_TRUE(HasChildText(box, kForbiddenText));
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                return true;
            })
            .Then([&, text] {
                if (::IsWindow(box) && ::IsWindowVisible(box))
                    return false;
                EXPECT_TRUE(Open());
                EXPECT_EQ(dlg.GetDlgItemText(IDC_NOTE_EDIT), text); // the text stays for correction
                return true;
            });
    };
    refused(L"a:b");
    refused(L"a|b");
    // An empty note: no message, no end; give a box time to appear if one wrongly would.
    DWORD emptyAt = 0;
    script
        .Then([&] {
            dlg.SetDlgItemText(IDC_NOTE_EDIT, L"");
            Click(IDOK);
            emptyAt = ::GetTickCount();
            return true;
        })
        .Then([&] {
            if (::GetTickCount() - emptyAt < 300)
                return false;
            EXPECT_EQ(FindMessageBox(dlg.GetHwnd()), nullptr);
            EXPECT_TRUE(Open());
            dlg.SetDlgItemText(IDC_NOTE_EDIT, L"a b 김");
            Click(IDOK);
            return true;
        });
    EXPECT_EQ(Run(), IDOK);
    EXPECT_EQ(dlg.m_strNote, "a b \xB1\xE8");
}

TEST_F(BulkNoteFixture, ClosingWhileEnterIsDownReleasesControl) {
    script
        .Then([&] {
            if (!Open())
                return false;
            ::PostMessageW(Note(), WM_KEYDOWN, VK_RETURN, kEnterDown);
            return true;
        })
        .Then([&] {
            if (!ControlHeld())
                return false;
            Click(IDCANCEL);
            return true;
        });
    EXPECT_EQ(Run(), IDCANCEL);
    EXPECT_FALSE(ControlHeld());
}

} // namespace
