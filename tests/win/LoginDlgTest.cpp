// The login dialog under the window system: the remembered ID in the machine-wide registry, the
// refusal of empty input, and the skinned, topmost window; and the connecting notice.

#include "win/session/LoginDlg.h"
#include "win/base/Registry.h"
#include "core/session/LoginRules.h"

#include "win/res/resource.h"

#include "support/DialogScript.h"

#include <gtest/gtest.h>

#include <optional>

using namespace dravel;
using namespace dravel::win;
using namespace dravel::win::test;

namespace {

constexpr wchar_t kMissingText[] = L"사용자 ID 또는 암호가 입력되지 않았습니다.";

std::optional<std::wstring> StoredId(HKEY root = HKEY_LOCAL_MACHINE) {
    const CRegistryKey key = CRegistryKey::OpenRead(root, kLoginIdKey);
    LONG status = 0;
    std::wstring value = key.ReadString(kLoginIdValue, 1024, &status);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

void StoreId(const std::wstring& id, HKEY root = HKEY_LOCAL_MACHINE) {
    ASSERT_TRUE(CRegistryKey::OpenWrite(root, kLoginIdKey).WriteString(kLoginIdValue, id));
}

void ForgetId() {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        ::RegDeleteKeyValueW(root, kLoginIdKey, kLoginIdValue);
}

struct LoginFixture : ::testing::Test {
    CLoginDlg dlg;
    CDialogScript script;

    void SetUp() override { ForgetId(); }
    void TearDown() override { ForgetId(); }

    bool Open() const { return dlg.GetHwnd() != nullptr && ::IsWindowVisible(dlg.GetHwnd()); }
    std::wstring Text(int id) const { return dlg.GetDlgItemText(id); }
    void Type(const wchar_t* id, const wchar_t* password) const {
        dlg.SetDlgItemText(IDC_USER_ID, id);
        dlg.SetDlgItemText(IDC_PASSWORD, password);
    }
    void Click(int id) const { dlg.PostMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    INT_PTR Run() {
        script.Start();
        const INT_PTR result = dlg.DoModal();
        EXPECT_FALSE(script.TimedOut());
        EXPECT_TRUE(script.Finished());
        return result;
    }
};

TEST_F(LoginFixture, FirstStartShowsThePassedIdAndRemembersTheConfirmedOne) {
    // The whole key may be missing on a first start: OK creates it.
    std::optional<std::wstring> config;
    {
        const CRegistryKey key = CRegistryKey::OpenRead(HKEY_LOCAL_MACHINE, kLoginIdKey);
        LONG status = 0;
        const std::wstring value = key.ReadString(L"Config", 1024, &status);
        if (status == ERROR_SUCCESS)
            config = value;
    }
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kLoginIdKey);

    dlg.m_strUserId = "guest";
    script.Then([&] {
        if (!Open())
            return false;
        EXPECT_EQ(Text(IDC_USER_ID), L"guest");
        EXPECT_EQ(Text(IDC_PASSWORD), L"");
        // The skin: topmost, the bitmap's size, pure green see-through.
        const RECT rc = dlg.GetWindowRect();
        EXPECT_EQ(rc.right - rc.left, 243);
        EXPECT_EQ(rc.bottom - rc.top, 270);
        EXPECT_NE(::GetWindowLongPtrW(dlg.GetHwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
        COLORREF key = 0;
        BYTE alpha = 0;
        DWORD flags = 0;
        EXPECT_TRUE(::GetLayeredWindowAttributes(dlg.GetHwnd(), &key, &alpha, &flags));
        EXPECT_EQ(key, RGB(0, 255, 0));
        EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY));
        // A press on the skin moves the window, as one on a caption would (taken from the queue, not run).
        dlg.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        MSG drag{};
        EXPECT_TRUE(::PeekMessageW(&drag, dlg.GetHwnd(), WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE) &&
                    drag.wParam == HTCAPTION);
        dlg.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        EXPECT_NE(dlg.SendMessage(WM_GETICON, ICON_BIG), 0);
        EXPECT_NE(dlg.SendMessage(WM_QUERYDRAGICON), 0);
        Type(L"kim", L"secret");
        Click(IDOK);
        return true;
    });
    EXPECT_EQ(Run(), IDOK);
    EXPECT_EQ(dlg.m_strUserId, "kim");
    EXPECT_EQ(dlg.m_strPassword, "secret");
    EXPECT_EQ(StoredId(), L"kim");
    // Only the ID is stored.
    {
        const CRegistryKey key = CRegistryKey::OpenRead(HKEY_LOCAL_MACHINE, kLoginIdKey);
        DWORD values = 0;
        ASSERT_EQ(::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                                     nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(values, 1u);
    }
    if (config)
        CRegistryKey::OpenWrite(HKEY_LOCAL_MACHINE, kLoginIdKey).WriteString(L"Config", *config);
}

TEST_F(LoginFixture, RememberedIdReplacesThePassedOneAndThePasswordHasTheFocus) {
    StoreId(L"lee");
    dlg.m_strUserId = "park";
    script.Then([&] {
        if (!Open())
            return false;
        EXPECT_EQ(Text(IDC_USER_ID), L"lee");
        EXPECT_EQ(::GetFocus(), dlg.GetDlgItem(IDC_PASSWORD));
        Click(IDCANCEL);
        return true;
    });
    EXPECT_EQ(Run(), IDCANCEL);
    EXPECT_EQ(StoredId(), L"lee");
}

TEST_F(LoginFixture, TheUsersOwnIdComesBeforeTheMachinesAndTheConfirmedOneReplacesBoth) {
    StoreId(L"lee");
    StoreId(L"park", HKEY_CURRENT_USER);
    script.Then([&] {
        if (!Open())
            return false;
        EXPECT_EQ(Text(IDC_USER_ID), L"park");
        Type(L"kim", L"secret");
        Click(IDOK);
        return true;
    });
    EXPECT_EQ(Run(), IDOK);
    EXPECT_EQ(StoredId(), L"kim");
    EXPECT_EQ(StoredId(HKEY_CURRENT_USER), L"kim");
}

TEST_F(LoginFixture, EmptyPasswordOrIdIsRefusedAndNothingIsStored) {
    HWND box = nullptr;
    std::vector<std::wstring> boxTexts;
    auto refused = [&](const wchar_t* id, const wchar_t* password) {
        script
            .Then([&, id, password] {
                if (!Open())
                    return false;
                Type(id, password);
                Click(IDOK);
                return true;
            })
            .Then([&] {
                box = FindMessageBox(dlg.GetHwnd());
                if (box == nullptr)
                    return false;
                boxTexts = ChildTexts(box);
                EXPECT_TRUE(HasChildText(box, kMissingText));
                wchar_t caption[64] = {};
                ::GetWindowTextW(box, caption, 64);
                EXPECT_STREQ(caption, L"Dravel On");
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                return true;
            })
            .Then([&] {
                if (::IsWindow(box) && ::IsWindowVisible(box))
                    return false;
                EXPECT_TRUE(Open()); // the dialog stays
                EXPECT_EQ(StoredId(), std::nullopt);
                return true;
            });
    };
    refused(L"kim", L"");
    refused(L"", L"secret");
    script.Then([&] {
        Click(IDCANCEL);
        return true;
    });
    EXPECT_EQ(Run(), IDCANCEL);
    EXPECT_EQ(StoredId(), std::nullopt);
}

TEST_F(LoginFixture, SixtyThreeByteIdsComeBackWholeLongerOnesAreIgnored) {
    // "kim" and thirty times "김": 63 bytes in code page 949, 33 characters on the screen.
    std::string id949 = "kim";
    std::wstring idWide = L"kim";
    for (int i = 0; i < 30; ++i) {
        id949 += "\xB1\xE8";
        idWide += L"김";
    }
    ASSERT_EQ(id949.size(), 63u);
    script.Then([&] {
        if (!Open())
            return false;
        Type(idWide.c_str(), L"pw");
        Click(IDOK);
        return true;
    });
    ASSERT_EQ(Run(), IDOK);
    EXPECT_EQ(dlg.m_strUserId, id949);
    EXPECT_EQ(StoredId(), idWide);

    CLoginDlg again;
    CDialogScript script2;
    std::wstring shown;
    script2.Then([&] {
        if (again.GetHwnd() == nullptr || !::IsWindowVisible(again.GetHwnd()))
            return false;
        shown = again.GetDlgItemText(IDC_USER_ID);
        again.PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return true;
    });
    script2.Start();
    EXPECT_EQ(again.DoModal(), IDCANCEL);
    EXPECT_EQ(shown, idWide);

    // 64 bytes no longer fit the stored value's buffer: the passed ID stays.
    StoreId(std::wstring(64, L'a'));
    CLoginDlg third;
    third.m_strUserId = "passed";
    CDialogScript script3;
    script3.Then([&] {
        if (third.GetHwnd() == nullptr || !::IsWindowVisible(third.GetHwnd()))
            return false;
        shown = third.GetDlgItemText(IDC_USER_ID);
        third.PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return true;
    });
    script3.Start();
    EXPECT_EQ(third.DoModal(), IDCANCEL);
    EXPECT_EQ(shown, L"passed");
}

TEST(ConnectingDlgTest, CreatedHiddenDisabledAndCentred) {
    CConnectingDlg dlg;
    ASSERT_TRUE(dlg.Create());
    const HWND hwnd = dlg.GetHwnd();
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    EXPECT_FALSE(::IsWindowEnabled(hwnd));
    // System-modal (Windows makes it topmost; Wine only keeps the style).
    EXPECT_NE(::GetWindowLongPtrW(hwnd, GWL_STYLE) & DS_SYSMODAL, 0);
    EXPECT_TRUE(HasChildText(hwnd, L"Dravel On 에 접속 승인 중 입니다....\n잠시만 기다려 주십시요."));
    dlg.ShowWindow(SW_SHOWNORMAL);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    dlg.ShowWindow(SW_HIDE);
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    // Centred on the screen.
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const RECT rc = dlg.GetWindowRect();
    EXPECT_NEAR((rc.left + rc.right) / 2, (work.left + work.right) / 2, 2);
}

} // namespace
