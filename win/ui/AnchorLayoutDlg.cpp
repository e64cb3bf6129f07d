#include "win/ui/AnchorLayoutDlg.h"

#include "win/ui/Dpi.h"

#include "win/base/Handles.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace dravel::win {

namespace {

RECT ToRect(const LayoutRect& r) {
    return RECT{r.left, r.top, r.right, r.bottom};
}

LayoutRect ToLayout(const RECT& r) {
    return LayoutRect{r.left, r.top, r.right, r.bottom};
}

// Class names are ASCII; anything else cannot match a known class anyway.
std::string NarrowClassName(HWND hwnd) {
    wchar_t name[64] = {};
    const int n = ::GetClassNameW(hwnd, name, static_cast<int>(std::size(name)));
    std::string out;
    for (int i = 0; i < n; ++i)
        out += name[i] < 0x80 ? static_cast<char>(name[i]) : '?';
    return out;
}

// The last position the horizontal scroll bar can reach, 0 without one.
int HorizontalScrollLimit(HWND hwnd, int& pos) {
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    if (!::GetScrollInfo(hwnd, SB_HORZ, &si)) {
        pos = 0;
        return 0;
    }
    pos = si.nPos;
    const int page = si.nPage > 0 ? static_cast<int>(si.nPage) - 1 : 0;
    return std::max(si.nMax - page - si.nMin, 0);
}

} // namespace

CAnchorLayoutDlg::CAnchorLayoutDlg(UINT templateId, HINSTANCE module) noexcept : CDialog(templateId, module) {
    m_gripSize = SIZE{::GetSystemMetrics(SM_CXVSCROLL), ::GetSystemMetrics(SM_CYHSCROLL)};
}

CAnchorLayoutDlg::CAnchorLayoutDlg(const DLGTEMPLATE* pTemplate) noexcept : CDialog(pTemplate) {
    m_gripSize = SIZE{::GetSystemMetrics(SM_CXVSCROLL), ::GetSystemMetrics(SM_CYHSCROLL)};
}

BOOL CAnchorLayoutDlg::OnInitDialog() {
    const BOOL result = CDialog::OnInitDialog();
    UpdateGripSquare(false);
    const RECT rc = GetWindowRect();
    m_minTrackSize = SIZE{rc.right - rc.left, rc.bottom - rc.top};
    m_nDpi = WindowDpi(m_hWnd);
    m_bInitialised = true;
    return result;
}

void CAnchorLayoutDlg::OnDpiChanged(int dpi, const RECT* suggested) {
    const int old = m_nDpi;
    if (dpi != old) {
        m_nDpi = dpi;
        for (Entry& e : m_entries)
            e.anchors = RescaleAnchorEntry(e.anchors, old, dpi);
        m_gripSize = SIZE{RescaleForDpi(m_gripSize.cx, old, dpi), RescaleForDpi(m_gripSize.cy, old, dpi)};
        m_minTrackSize = SIZE{RescaleForDpi(m_minTrackSize.cx, old, dpi), RescaleForDpi(m_minTrackSize.cy, old, dpi)};
        // The program's own controls take the dpi from here (wParam, which the system leaves 0): Wine sends
        // children nothing, and a second report of the same dpi changes nothing.
        for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
            ::SendMessageW(child, WM_DPICHANGED_AFTERPARENT, MAKEWPARAM(dpi, dpi), 0);
    }
    const RECT before = GetClientRect();
    if (suggested != nullptr)
        MoveToSuggestedRect(m_hWnd, reinterpret_cast<LPARAM>(suggested));
    const RECT after = GetClientRect();
    // The same client size sends no WM_SIZE: the controls move to their scaled places here.
    if (m_bInitialised && after.right == before.right && after.bottom == before.bottom)
        ArrangeControls();
}

void CAnchorLayoutDlg::UpdateGripSquare(bool bInvalidate) {
    if (bInvalidate)
        ::InvalidateRect(m_hWnd, &m_rcGrip, TRUE);
    const RECT client = GetClientRect();
    m_rcGrip = ToRect(GripSquare(client.right, client.bottom, m_gripSize.cx, m_gripSize.cy));
    if (bInvalidate)
        ::InvalidateRect(m_hWnd, &m_rcGrip, TRUE);
}

void CAnchorLayoutDlg::ShowSizeGrip(bool bShow) {
    m_bShowGrip = bShow;
    if (IsWindow())
        ::InvalidateRect(m_hWnd, &m_rcGrip, TRUE);
}

RECT CAnchorLayoutDlg::ControlRect(HWND control) const {
    RECT rc{};
    ::GetWindowRect(control, &rc);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

bool CAnchorLayoutDlg::AnchorControl(int id, AnchorPoint topLeft, AnchorPoint bottomRight) {
    return AnchorControl(GetDlgItem(id), topLeft, bottomRight);
}

bool CAnchorLayoutDlg::AnchorControl(HWND control, AnchorPoint topLeft, AnchorPoint bottomRight) {
    if (control == nullptr || m_hWnd == nullptr || ::GetParent(control) != m_hWnd)
        return false;
    const auto style = static_cast<std::uint32_t>(::GetWindowLongPtrW(control, GWL_STYLE));
    const AnchoredControlTraits traits = ClassifyAnchoredControl(NarrowClassName(control), style);
    if (traits.bAddClipSiblings)
        ::SetWindowLongPtrW(control, GWL_STYLE, static_cast<LONG_PTR>(style | WS_CLIPSIBLINGS));

    const RECT client = GetClientRect();
    Entry entry;
    entry.hwnd = control;
    entry.anchors = MakeAnchorEntry(ToLayout(ControlRect(control)), client.right, client.bottom, topLeft, bottomRight);
    entry.anchors.bHScrollFix = traits.bHScrollFix;
    entry.anchors.bRepaint = traits.bRepaint;

    const auto it = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.hwnd == control; });
    if (it != m_entries.end())
        *it = entry;
    else
        m_entries.push_back(entry);
    return true;
}

void CAnchorLayoutDlg::ArrangeControls() {
    UpdateGripSquare(true);
    const RECT client = GetClientRect();
    HDWP batch = ::BeginDeferWindowPos(static_cast<int>(m_entries.size()));
    for (Entry& e : m_entries) {
        if (!::IsWindow(e.hwnd))
            continue;
        const RECT current = ControlRect(e.hwnd);
        const LayoutRect target = AnchoredRect(e.anchors, client.right, client.bottom);
        const AnchoredMove move = DecideAnchoredMove(ToLayout(current), target);
        if (!move.bMoves)
            continue;
        if (e.anchors.bHScrollFix) {
            const int growth = target.Width() - (current.right - current.left);
            int pos = 0;
            const int limit = HorizontalScrollLimit(e.hwnd, pos);
            e.anchors.bRepaint = HScrollFixNeedsRepaint(limit, pos, growth);
        }
        UINT flags = SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE;
        if (move.bKeepPosition)
            flags |= SWP_NOMOVE;
        if (move.bKeepSize)
            flags |= SWP_NOSIZE;
        if (batch != nullptr)
            batch = ::DeferWindowPos(batch, e.hwnd, nullptr, target.left, target.top, target.Width(), target.Height(),
                                     flags);
        // A batch that could not grow is gone (the system freed it): move the rest one by one.
        if (batch == nullptr)
            ::SetWindowPos(e.hwnd, nullptr, target.left, target.top, target.Width(), target.Height(), flags);
    }
    if (batch != nullptr)
        ::EndDeferWindowPos(batch);
    for (const Entry& e : m_entries) {
        if (e.anchors.bRepaint && ::IsWindow(e.hwnd)) {
            ::InvalidateRect(e.hwnd, nullptr, TRUE);
            ::UpdateWindow(e.hwnd);
        }
    }
}

LRESULT CAnchorLayoutDlg::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DPICHANGED && m_bInitialised) {
        OnDpiChanged(DpiFromChangedMessage(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    }
    if (msg == WM_PRINTCLIENT) {
        const LRESULT r = Default();
        PaintGrip(reinterpret_cast<HDC>(wParam));
        return r;
    }
    return CDialog::HandleMessage(msg, wParam, lParam);
}

void CAnchorLayoutDlg::OnSize(UINT type, int cx, int cy) {
    CDialog::OnSize(type, cx, cy);
    if (ShouldRearrange(m_bInitialised, type))
        ArrangeControls();
}

void CAnchorLayoutDlg::PaintGrip(HDC hdc) const {
    if (!m_bShowGrip || hdc == nullptr || ::IsZoomed(m_hWnd))
        return;
    RECT rc = m_rcGrip;
    ::DrawFrameControl(hdc, &rc, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
}

void CAnchorLayoutDlg::OnPaint() {
    CPaintDc dc(m_hWnd);
    PaintGrip(dc.Get());
}

UINT CAnchorLayoutDlg::OnNcHitTest(POINT pt) {
    POINT client = pt;
    ::ScreenToClient(m_hWnd, &client);
    if (IsOnGrip(m_bShowGrip, ToLayout(m_rcGrip), client.x, client.y))
        return HTBOTTOMRIGHT;
    return CDialog::OnNcHitTest(pt);
}

void CAnchorLayoutDlg::OnGetMinMaxInfo(MINMAXINFO& info) {
    CDialog::OnGetMinMaxInfo(info);
    if (m_bInitialised && m_bUseMinTrackSize)
        info.ptMinTrackSize = POINT{m_minTrackSize.cx, m_minTrackSize.cy};
}

void CAnchorLayoutDlg::OnDestroy() {
    CDialog::OnDestroy();
    m_entries.clear();
}

} // namespace dravel::win
