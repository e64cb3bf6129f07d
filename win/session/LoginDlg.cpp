#include "win/session/LoginDlg.h"

#include "win/base/MessageBox.h"
#include "win/base/Registry.h"
#include "win/base/Text.h"
#include "core/session/LoginRules.h"

#include "win/res/resource.h"

namespace dravel::win {

namespace {

// Wide characters read back from "LoginId": one more than an ID may have in bytes, so that an ID of 63
// single-byte characters fits and a longer value shows up as too long instead of being cut.
constexpr size_t kMaxStoredIdChars = kMaxRememberedIdBytes + 1;

std::string EditText949(const CDialog& dlg, int id) {
    return WideToCp949(dlg.GetDlgItemText(id));
}

} // namespace

CLoginDlg::CLoginDlg()
    : CSkinDialog(IDD_LOGIN), m_hIcon(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

CLoginDlg::~CLoginDlg() = default;

BOOL CLoginDlg::OnInitDialog() {
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    CSkinDialog::OnInitDialog();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    EnableClientDrag(true);
    SetBitmap(static_cast<UINT>(IDB_LOGIN_SKIN));
    SetBackgroundMode(kSkinFitWindow);
    SetColourKey(RGB(0, 255, 0), true);

    LoadRememberedId();

    SetDlgItemText(IDC_USER_ID, Cp949ToWide(m_strUserId));
    SetDlgItemText(IDC_PASSWORD, Cp949ToWide(m_strPassword));
    ::SetFocus(GetDlgItem(IDC_PASSWORD));
    return FALSE;
}

void CLoginDlg::LoadRememberedId() {
    // Read access is enough here, and works for users who may not write machine-wide settings.
    const CRegistryKey key = CRegistryKey::OpenRead(HKEY_LOCAL_MACHINE, kLoginIdKey);
    if (!key.IsOpen())
        return;
    LONG status = ERROR_FILE_NOT_FOUND;
    const std::wstring stored = key.ReadString(kLoginIdValue, kMaxStoredIdChars, &status);
    if (status != ERROR_SUCCESS)
        return;
    // The 64-byte limit is on the ID's code page 949 bytes, checked after conversion.
    if (const auto id = RememberedLoginId(WideToCp949(stored)))
        m_strUserId = *id;
}

void CLoginDlg::RememberId() const {
    // Opens the key, or creates it when missing; a user without the right to write machine-wide
    // settings simply logs in without the ID being remembered.
    const CRegistryKey key = CRegistryKey::OpenWrite(HKEY_LOCAL_MACHINE, kLoginIdKey, true);
    if (key.IsOpen())
        key.WriteString(kLoginIdValue, Cp949ToWide(m_strUserId));
}

void CLoginDlg::OnOK() {
    m_strUserId = EditText949(*this, IDC_USER_ID);
    m_strPassword = EditText949(*this, IDC_PASSWORD);
    if (!LoginInputComplete(m_strUserId, m_strPassword)) {
        AppMessageBox(m_hWnd, LoadResString(IDS_SESSION_LOGIN_MISSING), MB_OK);
        return;
    }
    RememberId();
    EndDialog(IDOK);
}

LRESULT CLoginDlg::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_QUERYDRAGICON)
        return reinterpret_cast<LRESULT>(m_hIcon);
    return CSkinDialog::HandleMessage(msg, wParam, lParam);
}

void CLoginDlg::OnPaint() {
    if (!::IsIconic(m_hWnd) || m_hIcon == nullptr) {
        CSkinDialog::OnPaint();
        return;
    }
    CPaintDc dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()));
    const RECT rc = GetClientRect();
    const int x = (rc.right - rc.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rc.bottom - rc.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc.Get(), x, y, m_hIcon);
}

CConnectingDlg::CConnectingDlg() : CDialog(IDD_CONNECTING) {}

} // namespace dravel::win
