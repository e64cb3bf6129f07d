#include "win/ui/TrayIconDialog.h"

#include "win/base/Text.h"
#include "core/ui/TrayIconRules.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>

namespace dravel::win {

CTrayIconDialog::CTrayIconDialog(UINT templateId, HINSTANCE module) noexcept : CDialog(templateId, module) {
    InitRecord();
}

CTrayIconDialog::CTrayIconDialog(const DLGTEMPLATE* pTemplate) noexcept : CDialog(pTemplate) {
    InitRecord();
}

CTrayIconDialog::~CTrayIconDialog() {
    // ~CDialog destroys a live window, but by then this part of the object is gone: remove the icon here.
    if (m_bIconShown)
        HideTrayIcon();
}

void CTrayIconDialog::InitRecord() noexcept {
    // The first, smallest form of the record: icon, callback and a 64-character tooltip are all it needs.
    m_nid.cbSize = NOTIFYICONDATAW_V1_SIZE;
    m_nid.uID = static_cast<UINT>(dravel::kTrayIconId);
    m_nid.uFlags = NIF_MESSAGE;
    m_nid.uCallbackMessage = kTrayCallbackMessage;
}

void CTrayIconDialog::SetTrayIcon(HICON icon) noexcept {
    m_nid.hIcon = icon;
    m_nid.uFlags |= NIF_ICON;
}

void CTrayIconDialog::SetTrayIcon(UINT iconId, HINSTANCE module) noexcept {
    SetTrayIcon(MAKEINTRESOURCEW(iconId), module);
}

void CTrayIconDialog::SetTrayIcon(const wchar_t* iconName, HINSTANCE module) noexcept {
    // Shared: the system keeps the icon for the module's lifetime, nobody destroys it.
    const auto icon =
        static_cast<HICON>(::LoadImageW(module != nullptr ? module : ::GetModuleHandleW(nullptr), iconName, IMAGE_ICON,
                                        ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    if (icon != nullptr)
        SetTrayIcon(icon);
}

void CTrayIconDialog::SetTrayTooltip(std::string_view text949) {
    const std::wstring tip = Cp949ToWide(dravel::TruncateTrayTooltip(text949));
    // 63 bytes are at most 63 characters: the record's 64 always hold them and the NUL.
    const size_t length = std::min(tip.size(), std::size(m_nid.szTip) - 1);
    tip.copy(m_nid.szTip, length);
    m_nid.szTip[length] = L'\0';
    m_nid.uFlags |= NIF_TIP;
}

void CTrayIconDialog::SetTrayTooltip(std::wstring_view text) {
    SetTrayTooltip(std::string_view(WideToCp949(text)));
}

bool CTrayIconDialog::ShowTrayIcon() {
    if (m_bIconShown || !::Shell_NotifyIconW(NIM_ADD, &m_nid))
        return false;
    m_bIconShown = true;
    return true;
}

bool CTrayIconDialog::HideTrayIcon() {
    if (!m_bIconShown || !::Shell_NotifyIconW(NIM_DELETE, &m_nid))
        return false;
    m_bIconShown = false;
    return true;
}

bool CTrayIconDialog::UpdateTrayIcon() {
    return m_bIconShown && ::Shell_NotifyIconW(NIM_MODIFY, &m_nid);
}

bool CTrayIconDialog::SetTrayMenu(UINT menuId, HINSTANCE module) {
    return SetTrayMenu(MAKEINTRESOURCEW(menuId), module);
}

bool CTrayIconDialog::SetTrayMenu(const wchar_t* menuName, HINSTANCE module) {
    CMenuHandle menu(::LoadMenuW(module != nullptr ? module : ::GetModuleHandleW(nullptr), menuName));
    if (!menu)
        return false;
    m_menu = std::move(menu);
    return true;
}

void CTrayIconDialog::SetTrayMenu(HMENU menu) noexcept {
    m_menu.Reset(menu);
}

LRESULT CTrayIconDialog::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG:
        // Before the derived dialog's OnInitDialog, which may well show the icon.
        m_nid.hWnd = m_hWnd;
        m_nid.uID = static_cast<UINT>(dravel::kTrayIconId);
        break;
    case WM_DESTROY: {
        const LRESULT result = CDialog::HandleMessage(msg, wParam, lParam);
        if (m_nid.hWnd != nullptr && m_nid.uID != 0 && m_bIconShown)
            HideTrayIcon();
        return result;
    }
    case WM_SYSCOMMAND:
        if (dravel::IsMinimiseToTray(m_bMinimiseToTray, wParam)) {
            // Instead of minimising: into the tray. A window whose icon is already shown stays as it is.
            if (ShowTrayIcon())
                ::ShowWindow(m_hWnd, SW_HIDE);
            return 0;
        }
        break;
    case kTrayCallbackMessage:
        OnTrayCallback(wParam, lParam);
        return 0;
    default:
        break;
    }
    return CDialog::HandleMessage(msg, wParam, lParam);
}

void CTrayIconDialog::OnTrayCallback(WPARAM iconId, LPARAM mouseMessage) {
    const dravel::TrayOperation operation = dravel::MapTrayCallback(iconId, static_cast<std::uintptr_t>(mouseMessage));
    if (operation == dravel::TrayOperation::None)
        return;
    POINT pt{};
    ::GetCursorPos(&pt);
    switch (operation) {
    case dravel::TrayOperation::LeftPress:
        OnTrayLeftPress(pt);
        break;
    case dravel::TrayOperation::LeftDoubleClick:
        OnTrayLeftDoubleClick(pt);
        break;
    case dravel::TrayOperation::RightPress:
        OnTrayRightPress(pt);
        break;
    case dravel::TrayOperation::RightDoubleClick:
        OnTrayRightDoubleClick(pt);
        break;
    case dravel::TrayOperation::PointerMove:
        OnTrayPointerMove(pt);
        break;
    case dravel::TrayOperation::None:
        break;
    }
}

void CTrayIconDialog::OnTrayLeftPress(POINT) {}

void CTrayIconDialog::OnTrayLeftDoubleClick(POINT) {
    if (m_bMinimiseToTray && HideTrayIcon())
        ::ShowWindow(m_hWnd, SW_SHOW);
}

void CTrayIconDialog::OnTrayRightPress(POINT pt) {
    const HMENU popup = m_menu ? ::GetSubMenu(m_menu.Get(), 0) : nullptr;
    if (popup == nullptr)
        return;
    // Marked before every showing, so the default item is bold from the first time on.
    ::SetMenuDefaultItem(popup, m_nDefaultItem, TRUE);
    // The menu closes on a click elsewhere only if its owner is the foreground window, and the posted
    // message lets the next tray click open it again at once.
    ::SetForegroundWindow(m_hWnd);
    ::TrackPopupMenu(popup, TPM_BOTTOMALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0, m_hWnd, nullptr);
    ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

void CTrayIconDialog::OnTrayRightDoubleClick(POINT) {}

void CTrayIconDialog::OnTrayPointerMove(POINT) {}

} // namespace dravel::win
