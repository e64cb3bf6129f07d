#include "win/base/Dialog.h"

#include "win/base/Debug.h"
#include "win/base/Handles.h"

#include <algorithm>
#include <vector>

namespace dravel::win {

namespace {

// WM_DPICHANGED, which older SDK headers lack.
constexpr UINT kDpiChangedMessage = 0x02E0;

// The thread's modeless dialogs and the message hook that serves them while there are any.
struct ModelessDialogs {
    std::vector<HWND> dialogs;
    CHookHandle hook;
};

thread_local ModelessDialogs t_modeless;

bool IsKeyboardMessage(UINT msg) {
    return msg >= WM_KEYFIRST && msg <= WM_KEYLAST;
}

// A menu tracked on this thread takes the keys itself (Escape closes the menu, not the dialog under it).
bool InMenuLoop() {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return ::GetGUIThreadInfo(::GetCurrentThreadId(), &info) &&
           (info.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE)) != 0;
}

// A message hook rather than a loop of our own: the main window runs modally inside the system's
// dialog loop, which knows nothing of our modeless dialogs.
LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE && !InMenuLoop()) {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        try {
            if (IsKeyboardMessage(msg->message) && CDialog::RouteDialogMessage(*msg)) {
                msg->message = WM_NULL;
                msg->wParam = 0;
                msg->lParam = 0;
            }
        } catch (...) {
            TraceCaughtException(L"dialog message hook");
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

CDialog::CDialog(UINT templateId, HINSTANCE module) noexcept : m_nTemplateId(templateId), m_hModule(module) {}

CDialog::CDialog(const DLGTEMPLATE* pTemplate) noexcept : m_pTemplate(pTemplate) {}

CDialog::~CDialog() {
    if (m_hWnd != nullptr)
        Unregister(m_hWnd);
}

INT_PTR CDialog::DoModal(HWND parent) {
    if (m_hWnd != nullptr)
        return -1;
    m_bModal = true;
    m_bInitFailed = false;
    const HINSTANCE module = m_hModule != nullptr ? m_hModule : ::GetModuleHandleW(nullptr);
    const LPARAM param = reinterpret_cast<LPARAM>(this);
    SetPendingCreate(this);
    INT_PTR result =
        m_pTemplate != nullptr
            ? ::DialogBoxIndirectParamW(module, m_pTemplate, parent, &CDialog::DialogProc, param)
            : ::DialogBoxParamW(module, MAKEINTRESOURCEW(m_nTemplateId), parent, &CDialog::DialogProc, param);
    SetPendingCreate(nullptr);
    if (m_bInitFailed)
        result = -1;
    return result;
}

bool CDialog::Create(HWND parent) {
    if (m_hWnd != nullptr)
        return false;
    m_bModal = false;
    m_bInitFailed = false;
    const HINSTANCE module = m_hModule != nullptr ? m_hModule : ::GetModuleHandleW(nullptr);
    const LPARAM param = reinterpret_cast<LPARAM>(this);
    SetPendingCreate(this);
    const HWND hwnd =
        m_pTemplate != nullptr
            ? ::CreateDialogIndirectParamW(module, m_pTemplate, parent, &CDialog::DialogProc, param)
            : ::CreateDialogParamW(module, MAKEINTRESOURCEW(m_nTemplateId), parent, &CDialog::DialogProc, param);
    SetPendingCreate(nullptr);
    if (hwnd == nullptr || m_bInitFailed) {
        // Unbound first: no handler of the failed object runs while the window goes.
        if (m_hWnd != nullptr) {
            Unregister(m_hWnd);
            Unbind();
        }
        if (hwnd != nullptr && ::IsWindow(hwnd))
            ::DestroyWindow(hwnd);
        return false;
    }
    m_bOwnsWindow = true;
    return true;
}

void CDialog::EndDialog(INT_PTR result) {
    if (m_hWnd == nullptr)
        return;
    if (m_bModal)
        ::EndDialog(m_hWnd, result);
    else
        ::ShowWindow(m_hWnd, SW_HIDE);
}

bool CDialog::SetDlgItemText(int id, std::wstring_view text) const {
    const std::wstring copy(text);
    return ::SetDlgItemTextW(m_hWnd, id, copy.c_str()) != FALSE;
}

bool CDialog::RouteDialogMessage(MSG& msg) {
    if (msg.hwnd == nullptr)
        return false;
    for (const HWND dlg : t_modeless.dialogs) {
        if ((msg.hwnd == dlg || ::IsChild(dlg, msg.hwnd)) && ::IsWindowEnabled(dlg)) {
            auto* dialog = static_cast<CDialog*>(FromHandle(dlg));
            if (dialog != nullptr && dialog->OnDialogKey(msg))
                return true;
            return ::IsDialogMessageW(dlg, &msg) != FALSE;
        }
    }
    return false;
}

LRESULT CDialog::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_NCDESTROY:
        Unregister(m_hWnd);
        return Default();
    case kDpiChangedMessage:
        // Moved to a display of another dpi: the window takes the rectangle the system suggests, as every
        // top-level window must; dialogs that draw for themselves handle the message before this.
        if (const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            suggested != nullptr && suggested->right >= suggested->left && suggested->bottom >= suggested->top)
            ::SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                           suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return Default();
    default:
        return CWindow::HandleMessage(msg, wParam, lParam);
    }
}

BOOL CDialog::OnInitDialog() {
    return TRUE;
}

bool CDialog::OnDialogKey(const MSG&) {
    return false;
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

bool CDialog::OnCommand(int id, int code, HWND hwndCtl) {
    // Code 0 is BN_CLICKED and also what menus and accelerators send; Enter and Escape come as clicks.
    if (code != BN_CLICKED)
        return false;
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // Once bound, every message arrives through the subclassed window procedure; the dialog manager
    // calls here only for its default processing, which is "not handled".
    if (msg != WM_INITDIALOG || FromHandle(hwnd) != nullptr)
        return FALSE;
    auto* self = reinterpret_cast<CDialog*>(lParam);
    if (!TakePendingCreate(self))
        return FALSE;
    if (!self->Bind(hwnd, true)) {
        self->m_bInitFailed = true;
        if (self->m_bModal)
            ::EndDialog(hwnd, -1);
        return FALSE;
    }
    if (!self->m_bModal)
        Register(hwnd);
    bool bFailed = false;
    const LRESULT result = self->Dispatch(hwnd, WM_INITDIALOG, wParam, lParam, bFailed);
    if (bFailed) {
        // A half-initialised dialog is never shown: a modal one ends with -1, Create destroys a modeless one.
        self->m_bInitFailed = true;
        if (self->m_bModal)
            ::EndDialog(hwnd, -1);
        return FALSE;
    }
    return static_cast<INT_PTR>(result);
}

void CDialog::Register(HWND hwnd) {
    auto& list = t_modeless.dialogs;
    if (std::find(list.begin(), list.end(), hwnd) != list.end())
        return;
    list.push_back(hwnd);
    if (!t_modeless.hook)
        t_modeless.hook.Reset(::SetWindowsHookExW(WH_GETMESSAGE, &GetMessageHook, nullptr, ::GetCurrentThreadId()));
}

void CDialog::Unregister(HWND hwnd) {
    auto& list = t_modeless.dialogs;
    list.erase(std::remove(list.begin(), list.end(), hwnd), list.end());
    if (list.empty())
        t_modeless.hook.Reset();
}

} // namespace dravel::win
