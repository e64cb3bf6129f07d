#include "win/ui/SkinButton.h"

#include "win/ui/Dpi.h"
#include "win/ui/GdiHelpers.h"
#include "win/ui/OffscreenBuffer.h"

#include <commctrl.h>

namespace dravel::win {

namespace {

constexpr int kMaxTipWidth = 400;
constexpr UINT_PTR kToolId = 1;

RECT ToRect(const LayoutRect& r) {
    return RECT{r.left, r.top, r.right, r.bottom};
}

LayoutRect ToLayout(const RECT& r) {
    return LayoutRect{r.left, r.top, r.right, r.bottom};
}

// Size of an icon: twice its hot spot (the middle of an icon); the colour bitmap if that says nothing.
SIZE IconSize(HICON icon) {
    SIZE size{0, 0};
    ICONINFO ii{};
    if (!::GetIconInfo(icon, &ii))
        return size;
    CBitmapHandle colour(ii.hbmColor);
    CBitmapHandle mask(ii.hbmMask);
    size.cx = static_cast<LONG>(ii.xHotspot * 2);
    size.cy = static_cast<LONG>(ii.yHotspot * 2);
    if (size.cx <= 0 || size.cy <= 0) {
        BITMAP bm{};
        if (::GetObjectW(colour ? colour.Get() : mask.Get(), sizeof(bm), &bm) == sizeof(bm)) {
            size.cx = bm.bmWidth;
            size.cy = colour ? bm.bmHeight : bm.bmHeight / 2;
        }
    }
    return size;
}

// The program's button icons are 32 x 32 at 100 %; a scaled display takes the icon file's larger image.
constexpr int kButtonIconSize = 32;

CIconHandle LoadIconResource(UINT id, int dpi) {
    const int size = dpi == dravel::kDefaultDpi ? 0 : dravel::ScaleForDpi(kButtonIconSize, dpi);
    return CIconHandle(static_cast<HICON>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

} // namespace

CSkinButton::CSkinButton() noexcept : m_colours(::GetSysColor(COLOR_BTNFACE), ::GetSysColor(COLOR_BTNTEXT)) {}

CSkinButton::~CSkinButton() {
    m_tooltip.Reset();
}

bool CSkinButton::Attach(HWND button) {
    if (button == nullptr || !Subclass(button))
        return false;
    const auto style = static_cast<std::uint32_t>(::GetWindowLongPtrW(button, GWL_STYLE));
    const ButtonAttachment a = AttachButtonStyle(style);
    m_bDefault = a.bDefault;
    m_nDpi = WindowDpi(button);
    ::SetWindowLongPtrW(button, GWL_STYLE, static_cast<LONG_PTR>(a.nNewStyle));
    ::SetWindowPos(button, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    Invalidate();
    return true;
}

bool CSkinButton::AttachDlgItem(HWND parent, int id) {
    return Attach(::GetDlgItem(parent, id));
}

void CSkinButton::FreeImages() noexcept {
    for (Image& image : m_images)
        image = Image{};
}

void CSkinButton::OnDpiChanged(int dpi) {
    if (dpi == m_nDpi)
        return;
    m_nDpi = dpi;
    if (m_nImageIds[0] != 0)
        SetButtonIcons(m_nImageIds[0], m_nImageIds[1]);
}

int CSkinButton::SetButtonIcons(UINT activeId, UINT idleId) {
    FreeImages();
    m_nImageIds[0] = activeId;
    m_nImageIds[1] = idleId;
    int result = kButtonOk;
    const UINT ids[2] = {activeId, idleId};
    for (int i = 0; i < 2; ++i) {
        if (ids[i] == 0)
            continue;
        m_images[i].icon = LoadIconResource(ids[i], m_nDpi);
        if (!m_images[i].icon) {
            result = kButtonLoadFailed;
            continue;
        }
        const SIZE size = IconSize(m_images[i].icon.Get());
        m_images[i].cx = size.cx;
        m_images[i].cy = size.cy;
    }
    if (!m_images[0].IsSet())
        FreeImages();
    Repaint(true);
    return result;
}

int CSkinButton::SetStateColour(int index, COLORREF colour, bool bRepaint) {
    const int result = m_colours.Set(index, colour);
    if (result == kButtonOk)
        Repaint(bRepaint);
    return result;
}

void CSkinButton::SetTipText(std::wstring_view text, bool bActivate) {
    if (m_hWnd == nullptr)
        return;
    if (!m_tooltip) {
        INITCOMMONCONTROLSEX icc{.dwSize = sizeof(icc), .dwICC = ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
        m_tooltip.Reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                                          ::GetModuleHandleW(nullptr), nullptr));
        if (!m_tooltip)
            return;
        ::SendMessageW(m_tooltip.Get(), TTM_SETMAXTIPWIDTH, 0, kMaxTipWidth);
        ::SendMessageW(m_tooltip.Get(), TTM_ACTIVATE, FALSE, 0);
    }
    m_strTipText.assign(text);
    std::wstring copy(text);
    TOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = m_hWnd;
    ti.uId = kToolId;
    ti.hinst = nullptr;
    ti.lpszText = copy.data();
    if (!m_bTooltipHasTool) {
        ti.rect = GetClientRect();
        m_bTooltipHasTool = ::SendMessageW(m_tooltip.Get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)) != FALSE;
    } else {
        ::SendMessageW(m_tooltip.Get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    EnableTip(bActivate);
}

void CSkinButton::EnableTip(bool bEnable) {
    if (m_tooltip && m_bTooltipHasTool)
        ::SendMessageW(m_tooltip.Get(), TTM_ACTIVATE, bEnable ? TRUE : FALSE, 0);
}

void CSkinButton::Repaint(bool bRepaint) const {
    if (bRepaint && m_hWnd != nullptr)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CSkinButton::PaintBackground(HDC hdc, const RECT& rc) {
    FillSolid(hdc, rc, m_colours[BackgroundColourIndex(m_bHover, m_bPressed, m_bFocused)]);
}

void CSkinButton::PaintBorder(HDC hdc, const RECT& rc) {
    const COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    const COLORREF topLeft = m_bPressed ? shadow : light;
    const COLORREF bottomRight = m_bPressed ? light : shadow;
    const int w = rc.right - rc.left;
    const int h = rc.bottom - rc.top;
    FillSolid(hdc, RECT{rc.left, rc.top, rc.left + w - 1, rc.top + 1}, topLeft);
    FillSolid(hdc, RECT{rc.left, rc.top, rc.left + 1, rc.top + h - 1}, topLeft);
    FillSolid(hdc, RECT{rc.right - 1, rc.top, rc.right, rc.bottom}, bottomRight);
    FillSolid(hdc, RECT{rc.left, rc.bottom - 1, rc.right, rc.bottom}, bottomRight);
}

void CSkinButton::DrawImage(HDC hdc, const Image& image, const LayoutRect& at) const {
    ::DrawStateW(hdc, nullptr, nullptr, reinterpret_cast<LPARAM>(image.icon.Get()), 0, at.left, at.top, image.cx,
                 image.cy, DST_ICON | (m_bDisabled ? DSS_DISABLED : DSS_NORMAL));
}

void CSkinButton::DrawCaption(HDC hdc, const std::wstring& caption, LayoutRect area, bool bShift, bool bHover) {
    if (bShift)
        area = LayoutRect{area.left + 1, area.top + 1, area.right + 1, area.bottom + 1};
    const auto font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    CSelectObjectGuard selectFont(hdc,
                                  font != nullptr ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
    RECT measure = ToRect(area);
    measure.bottom = measure.top;
    ::DrawTextW(hdc, caption.c_str(), static_cast<int>(caption.size()), &measure,
                DT_WORDBREAK | DT_CENTER | DT_CALCRECT);
    RECT rc = ToRect(CentreCaption(area, measure.right - measure.left, measure.bottom - measure.top));
    const UINT format = DT_WORDBREAK | DT_CENTER;
    if (m_bDisabled) {
        RECT embossed = rc;
        ::OffsetRect(&embossed, 1, 1);
        ::SetTextColor(hdc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        ::DrawTextW(hdc, caption.c_str(), static_cast<int>(caption.size()), &embossed, format);
        ::SetTextColor(hdc, ::GetSysColor(COLOR_BTNSHADOW));
        ::DrawTextW(hdc, caption.c_str(), static_cast<int>(caption.size()), &rc, format);
        return;
    }
    const CaptionColours colours = CaptionColourIndexes(bHover, m_bPressed);
    ::SetTextColor(hdc, m_colours[colours.nText]);
    ::SetBkColor(hdc, m_colours[colours.nBack]);
    ::DrawTextW(hdc, caption.c_str(), static_cast<int>(caption.size()), &rc, format);
}

void CSkinButton::DrawItem(HDC target, const RECT& rcItem, UINT itemState) {
    SkinButtonState state;
    state.bSelected = (itemState & ODS_SELECTED) != 0;
    m_bPressed = IsDrawnPressed(state);
    m_bFocused = (itemState & ODS_FOCUS) != 0;
    m_bDisabled = (itemState & ODS_DISABLED) != 0;

    COffscreenBuffer buffer(target, rcItem);
    const HDC hdc = buffer.Dc();
    const int oldMode = ::SetBkMode(hdc, TRANSPARENT);
    const COLORREF oldText = ::GetTextColor(hdc);
    const COLORREF oldBk = ::GetBkColor(hdc);

    PaintBackground(hdc, rcItem);
    if (DecideFrame(true, m_bPressed, m_bHover, true) == ButtonFrame::Border)
        PaintBorder(hdc, rcItem);

    const std::wstring caption = GetText();
    const bool bShift = ShiftsWhenPressed(m_bPressed, false);
    LayoutRect textArea = ToLayout(rcItem);
    const Image& active = m_images[0];
    if (active.IsSet()) {
        const bool bUseActive = UseActiveImage(m_bPressed, m_bHover, false, m_images[1].IsSet());
        const Image& image = bUseActive ? active : m_images[1];
        const ButtonContentLayout layout = PlaceButtonContent(ALIGN_IMAGE_LEFT, ToLayout(rcItem), image.cx, image.cy,
                                                              !caption.empty(), bShift, m_nDpi);
        DrawImage(hdc, image, layout.image);
        textArea = layout.text;
    }
    if (!caption.empty())
        DrawCaption(hdc, caption, textArea, bShift, m_bHover);

    ::SetBkMode(hdc, oldMode);
    ::SetTextColor(hdc, oldText);
    ::SetBkColor(hdc, oldBk);
}

void CSkinButton::DrawInto(HDC hdc) {
    if (m_hWnd == nullptr || hdc == nullptr)
        return;
    UINT state = 0;
    if ((SendMessage(BM_GETSTATE) & BST_PUSHED) != 0)
        state |= ODS_SELECTED;
    if (::GetFocus() == m_hWnd)
        state |= ODS_FOCUS;
    if (!::IsWindowEnabled(m_hWnd))
        state |= ODS_DISABLED;
    DrawItem(hdc, GetClientRect(), state);
}

void CSkinButton::CancelHover() {
    if (!m_bHover)
        return;
    m_bHover = false;
    Invalidate();
}

void CSkinButton::OnMouseMove(UINT keys, POINT pt) {
    CWindow::OnMouseMove(keys, pt);
    POINT cursor{};
    ::GetCursorPos(&cursor);
    const bool bUnder = ::WindowFromPoint(cursor) == m_hWnd;
    const bool bAppActive = ::GetActiveWindow() != nullptr;
    switch (DecideHoverOnMove(true, m_bHover, (keys & MK_LBUTTON) != 0, bUnder, false, bAppActive)) {
    case HoverAction::Start: {
        m_bHover = true;
        Invalidate();
        TRACKMOUSEEVENT tme{.cbSize = sizeof(tme), .dwFlags = TME_LEAVE, .hwndTrack = m_hWnd, .dwHoverTime = 0};
        ::TrackMouseEvent(&tme);
        break;
    }
    case HoverAction::Cancel:
        CancelHover();
        break;
    case HoverAction::None:
        break;
    }
}

bool CSkinButton::OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case WM_DRAWITEM: {
        const auto& dis = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        DrawItem(dis.hDC, dis.rcItem, dis.itemState);
        result = TRUE;
        return true;
    }
    case WM_CTLCOLORBTN:
        result = reinterpret_cast<LRESULT>(::GetStockObject(HOLLOW_BRUSH));
        return true;
    default:
        return false;
    }
}

void CSkinButton::RelayToTooltip(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!m_tooltip || msg < WM_MOUSEFIRST || msg > WM_MOUSELAST)
        return;
    const DWORD pos = ::GetMessagePos();
    MSG relay{.hwnd = m_hWnd,
              .message = msg,
              .wParam = wParam,
              .lParam = lParam,
              .time = static_cast<DWORD>(::GetMessageTime()),
              .pt = POINT{static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))}};
    ::SendMessageW(m_tooltip.Get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
}

LRESULT CSkinButton::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    RelayToTooltip(msg, wParam, lParam);
    switch (msg) {
    case WM_LBUTTONDBLCLK:
        return DefaultProc(WM_LBUTTONDOWN, wParam, lParam);
    case WM_MOUSELEAVE:
        CancelHover();
        return 0;
    case WM_KILLFOCUS:
    case WM_CANCELMODE: {
        const LRESULT r = Default();
        CancelHover();
        return r;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE)
            CancelHover();
        return Default();
    case WM_ENABLE: {
        const LRESULT r = Default();
        if (wParam == FALSE) {
            CancelHover();
            // A disabled button cannot keep the keyboard: pass it on in the tab order.
            if (::GetFocus() == m_hWnd) {
                const HWND parent = ::GetParent(m_hWnd);
                const HWND next = ::GetNextDlgTabItem(parent, m_hWnd, FALSE);
                ::SetFocus(next != nullptr && next != m_hWnd ? next : parent);
            }
        }
        return r;
    }
    case WM_GETOBJECT:
        if (const LRESULT r = m_accessible.OnGetObject(m_hWnd, wParam, lParam, *this); r != 0)
            return r;
        return Default();
    case WM_GETDLGCODE: {
        LRESULT code = Default() & ~static_cast<LRESULT>(DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON);
        return code | (m_bDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    }
    case BM_SETSTYLE:
        m_bDefault = IsDefaultPushStyle(static_cast<std::uint32_t>(wParam));
        return DefaultProc(BM_SETSTYLE, RestyleOwnerDrawn(static_cast<std::uint32_t>(wParam)), lParam);
    case WM_DPICHANGED:
        // A button is a child: its place is the dialog's, only its images follow the dpi.
        OnDpiChanged(DpiFromChangedMessage(wParam));
        return 0;
    case WM_DPICHANGED_AFTERPARENT:
        OnDpiChanged(DpiAfterParent(m_hWnd, wParam));
        return Default();
    case WM_SIZE: {
        const LRESULT r = Default();
        // The tip covers the whole button, also after it was resized.
        if (m_tooltip && m_bTooltipHasTool) {
            TOOLINFOW ti{};
            ti.cbSize = TTTOOLINFOW_V2_SIZE;
            ti.hwnd = m_hWnd;
            ti.uId = kToolId;
            ti.rect = GetClientRect();
            ::SendMessageW(m_tooltip.Get(), TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
        }
        return r;
    }
    case WM_PRINTCLIENT:
        DrawInto(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_DESTROY:
        m_tooltip.Reset();
        m_bTooltipHasTool = false;
        return Default();
    default:
        return CWindow::HandleMessage(msg, wParam, lParam);
    }
}

} // namespace dravel::win
