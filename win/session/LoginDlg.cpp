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
    // The user's own value first (kept there where the machine's could not be written), then the machine's.
    // Read access is enough here, and works for users who may not write machine-wide settings.
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        const CRegistryKey key = CRegistryKey::OpenRead(root, kLoginIdKey);
        if (!key.IsOpen())
            continue;
        LONG status = ERROR_FILE_NOT_FOUND;
        const std::wstring stored = key.ReadString(kLoginIdValue, kMaxStoredIdChars, &status);
        if (status != ERROR_SUCCESS)
            continue;
        // The 64-byte limit is on the ID's code page 949 bytes, checked after conversion.
        if (const auto id = RememberedLoginId(WideToCp949(stored))) {
            m_strUserId = *id;
            return;
        }
    }
}

void CLoginDlg::RememberId() const {
    // The machine's key where this user may write it, else the user's own. A user value from an earlier
    // run is kept up to date too: it is read first.
    const std::wstring id = Cp949ToWide(m_strUserId);
    const CRegistryKey machine = CRegistryKey::OpenWrite(HKEY_LOCAL_MACHINE, kLoginIdKey, true);
    const bool bMachine = machine.IsOpen() && machine.WriteString(kLoginIdValue, id);
    const CRegistryKey user = CRegistryKey::OpenWrite(HKEY_CURRENT_USER, kLoginIdKey, !bMachine);
    LONG status = ERROR_FILE_NOT_FOUND;
    if (user.IsOpen() && bMachine)
        user.ReadString(kLoginIdValue, kMaxStoredIdChars, &status);
    if (user.IsOpen() && (!bMachine || status != ERROR_FILE_NOT_FOUND))
        user.WriteString(kLoginIdValue, id);
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
