#include "win/session/BulkNoteDlg.h"

#include "win/base/Debug.h"
#include "win/base/MessageBox.h"
#include "win/base/Text.h"
#include "win/conversation/ConversationInput.h"
#include "core/session/BulkNote.h"

#include "win/res/resource.h"

namespace dravel::win {

namespace {

// The dialog whose note is watched on this thread; one at a time (the dialog is modal).
thread_local CBulkNoteDlg* t_pWatching = nullptr;

KeyEvent KeyEventOf(UINT msg) {
    switch (msg) {
    case WM_KEYDOWN:
        return KeyEvent::Down;
    case WM_KEYUP:
        return KeyEvent::Up;
    default:
        return KeyEvent::Other;
    }
}

void SetControlKeyState(BYTE state) {
    BYTE keys[256] = {};
    if (!::GetKeyboardState(keys))
        return;
    keys[VK_CONTROL] = state;
    ::SetKeyboardState(keys);
}

} // namespace

CBulkNoteDlg::CBulkNoteDlg() : CDialog(IDD_BULK_NOTE) {}

CBulkNoteDlg::~CBulkNoteDlg() {
    StopWatchingKeys();
}

BOOL CBulkNoteDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_hwndNote = GetDlgItem(IDC_NOTE_EDIT);
    StartWatchingKeys();
    ::SetFocus(m_hwndNote);
    return FALSE;
}

void CBulkNoteDlg::OnOK() {
    const std::wstring typed = GetDlgItemText(IDC_NOTE_EDIT);
    // Nothing goes out with a "?" the administrator did not type.
    if (RefuseUncarriedText(m_hWnd, GetDlgItem(IDC_NOTE_EDIT), typed))
        return;
    m_strNote = WideToCp949(typed);
    switch (CheckBulkNote(m_strNote)) {
    case BulkNoteCheck::Empty:
        return;
    case BulkNoteCheck::Forbidden:
        AppMessageBox(m_hWnd, LoadResString(IDS_CONV_FORBIDDEN), MB_OK);
        return;
    case BulkNoteCheck::Ok:
        EndDialog(IDOK);
        return;
    }
}

LRESULT CBulkNoteDlg::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY)
        StopWatchingKeys();
    return CDialog::HandleMessage(msg, wParam, lParam);
}

void CBulkNoteDlg::PreTranslateMessage(const MSG& msg) {
    if (m_hWnd == nullptr || msg.hwnd == nullptr)
        return;
    BulkNoteKeyTarget target = BulkNoteKeyTarget::Other;
    if (msg.hwnd == m_hwndNote)
        target = BulkNoteKeyTarget::NoteEdit;
    else if (msg.hwnd == GetDlgItem(IDOK))
        target = BulkNoteKeyTarget::OkButton;
    else if (msg.hwnd == GetDlgItem(IDCANCEL))
        target = BulkNoteKeyTarget::CancelButton;
    switch (BulkNoteKeyRule(target, KeyEventOf(msg.message), static_cast<unsigned>(msg.wParam))) {
    case ControlKeyChange::Hold:
        // A multi-line edit in a dialog takes Control+Enter as a new line, plain Enter as the default button.
        SetControlKeyState(0x80);
        m_bControlMarked = true;
        break;
    case ControlKeyChange::Release:
        SetControlKeyState(0);
        m_bControlMarked = false;
        break;
    case ControlKeyChange::None:
        break;
    }
}

// A thread message hook sees each message as it leaves the queue, before the dialog manager's loop
// (or any other loop, a message box's included) lets IsDialogMessage look at it.
LRESULT CALLBACK CBulkNoteDlg::GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE && t_pWatching != nullptr) {
        try {
            t_pWatching->PreTranslateMessage(*reinterpret_cast<const MSG*>(lParam));
        } catch (...) {
            TraceCaughtException(L"bulk note key hook");
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void CBulkNoteDlg::StartWatchingKeys() {
    if (m_hHook != nullptr || t_pWatching != nullptr)
        return;
    m_hHook = ::SetWindowsHookExW(WH_GETMESSAGE, &CBulkNoteDlg::GetMessageHook, nullptr, ::GetCurrentThreadId());
    if (m_hHook != nullptr)
        t_pWatching = this;
}

void CBulkNoteDlg::StopWatchingKeys() {
    if (m_hHook == nullptr)
        return;
    ::UnhookWindowsHookEx(m_hHook);
    m_hHook = nullptr;
    // The dialog may end between Enter's key-down and key-up (a click on a button, say): Control must not
    // stay held for the windows that come after.
    if (m_bControlMarked) {
        SetControlKeyState(0);
        m_bControlMarked = false;
    }
    if (t_pWatching == this)
        t_pWatching = nullptr;
}

} // namespace dravel::win
