#include "win/ui/SkinButton.h"

#include "win/base/Text.h"
#include "win/ui/Dpi.h"
#include "win/ui/GdiHelpers.h"
#include "win/ui/OffscreenBuffer.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

namespace dravel::win {

namespace {

constexpr size_t kMaxUrl = MAX_PATH - 1; // the address buffer holds 260 characters with its end
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
    DropBackdrop();
}

bool CSkinButton::Attach(HWND button) {
    if (button == nullptr || !Subclass(button))
        return false;
    const auto style = static_cast<std::uint32_t>(::GetWindowLongPtrW(button, GWL_STYLE));
    const ButtonAttachment a = AttachButtonStyle(style);
    m_bCheckBox = a.bCheckBox;
    m_bDefault = a.bDefault;
    m_nAttachedType = a.nType;
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

bool CSkinButton::Create(HWND parent, int id, const wchar_t* caption, const RECT& rc, DWORD style) {
    CWindowHandle button(::CreateWindowExW(
        0, L"BUTTON", caption, style | WS_CHILD, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr));
    if (!button || !Attach(button.Get()))
        return false;
    // From here on the window goes with this object (m_bOwnsWindow).
    button.Detach();
    m_bOwnsWindow = true;
    // The parent's font, as a dialog gives its template controls.
    if (const auto font = reinterpret_cast<HFONT>(::SendMessageW(parent, WM_GETFONT, 0, 0)))
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return true;
}

void CSkinButton::FreeImages() noexcept {
    for (Image& image : m_images)
        image = Image{};
}

void CSkinButton::OnDpiChanged(int dpi) {
    if (dpi == m_nDpi)
        return;
    m_nDpi = dpi;
    if (m_nImageIds[0] == 0)
        return;
    if (m_bBitmapImages)
        SetButtonBitmaps(m_nImageIds[0], m_crImageTransparent[0], m_nImageIds[1], m_crImageTransparent[1]);
    else
        SetButtonIcons(m_nImageIds[0], m_nImageIds[1]);
}

int CSkinButton::SetButtonIcons(UINT activeId, UINT idleId) {
    FreeImages();
    m_nImageIds[0] = activeId;
    m_nImageIds[1] = idleId;
    m_bBitmapImages = false;
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

bool CSkinButton::LoadMaskedBitmap(UINT id, COLORREF transparent, Image& image) const {
    CBitmapHandle bitmap = LoadBitmapForDpi(nullptr, id, m_nDpi, LR_DEFAULTCOLOR);
    BITMAP bm{};
    if (!bitmap || ::GetObjectW(bitmap.Get(), sizeof(bm), &bm) != sizeof(bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0)
        return false;
    CBitmapHandle mask(::CreateBitmap(bm.bmWidth, bm.bmHeight, 1, 1, nullptr));
    CWindowDc screen(nullptr);
    CDcHandle imageDc(::CreateCompatibleDC(screen.Get()));
    CDcHandle maskDc(::CreateCompatibleDC(screen.Get()));
    if (!mask || !imageDc || !maskDc)
        return false;
    {
        CSelectObjectGuard selImage(imageDc.Get(), bitmap.Get());
        CSelectObjectGuard selMask(maskDc.Get(), mask.Get());
        // Colour to monochrome: pixels of the source's background colour become 1.
        ::SetBkColor(imageDc.Get(), transparent);
        ::BitBlt(maskDc.Get(), 0, 0, bm.bmWidth, bm.bmHeight, imageDc.Get(), 0, 0, SRCCOPY);
        // Black out the transparent pixels of the image, so that OR-ing it leaves the background.
        ::SetBkColor(imageDc.Get(), RGB(255, 255, 255));
        ::SetTextColor(imageDc.Get(), RGB(0, 0, 0));
        ::BitBlt(imageDc.Get(), 0, 0, bm.bmWidth, bm.bmHeight, maskDc.Get(), 0, 0, 0x00220326); // DSna
    }
    image.bitmap = std::move(bitmap);
    image.mask = std::move(mask);
    image.cx = bm.bmWidth;
    image.cy = bm.bmHeight;
    image.transparent = transparent;
    return true;
}

int CSkinButton::SetButtonBitmaps(UINT activeId, COLORREF activeTransparent, UINT idleId, COLORREF idleTransparent) {
    FreeImages();
    m_nImageIds[0] = activeId;
    m_nImageIds[1] = idleId;
    m_crImageTransparent[0] = activeTransparent;
    m_crImageTransparent[1] = idleTransparent;
    m_bBitmapImages = true;
    bool bOk = LoadMaskedBitmap(activeId, activeTransparent, m_images[0]);
    if (bOk && idleId != 0)
        bOk = LoadMaskedBitmap(idleId, idleTransparent, m_images[1]);
    if (!bOk)
        FreeImages();
    Repaint(true);
    return bOk ? kButtonOk : kButtonLoadFailed;
}

int CSkinButton::SetStateColour(int index, COLORREF colour, bool bRepaint) {
    const int result = m_colours.Set(index, colour);
    if (result == kButtonOk)
        Repaint(bRepaint);
    return result;
}

int CSkinButton::GetStateColour(int index, COLORREF* colour) const {
    std::uint32_t value = 0;
    const int result = m_colours.Get(index, value);
    if (result == kButtonOk && colour != nullptr)
        *colour = value;
    return result;
}

void CSkinButton::ResetColours(bool bRepaint) {
    m_colours.Reset(::GetSysColor(COLOR_BTNFACE), ::GetSysColor(COLOR_BTNTEXT));
    Repaint(bRepaint);
}

void CSkinButton::SetFlatStyle(bool bFlat, bool bRepaint) {
    m_bFlat = bFlat;
    if (!bFlat)
        m_bHover = false;
    Repaint(bRepaint);
}

int CSkinButton::SetImagePosition(int align, bool bRepaint) {
    if (!IsValidImageAlign(align))
        return kButtonInvalidAlign;
    m_nAlign = align;
    Repaint(bRepaint);
    return kButtonOk;
}

void CSkinButton::EnableBorder(bool bEnable, bool bRepaint) {
    m_bDrawBorder = bEnable;
    Repaint(bRepaint);
}

void CSkinButton::EnableFlatFocus(bool bEnable, bool bRepaint) {
    m_bDrawFlatFocus = bEnable;
    Repaint(bRepaint);
}

void CSkinButton::SetCheck(bool bChecked, bool bRepaint) {
    if (!m_bCheckBox)
        return;
    m_bChecked = bChecked;
    Repaint(bRepaint);
}

int CSkinButton::SetHoverCursor(UINT cursorId, bool bRepaint) {
    m_cursor.Reset();
    if (cursorId == 0)
        return kButtonOk;
    m_cursor.Reset(static_cast<HCURSOR>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(cursorId), IMAGE_CURSOR, 0, 0, LR_DEFAULTCOLOR)));
    Repaint(bRepaint);
    return m_cursor ? kButtonOk : kButtonLoadFailed;
}

void CSkinButton::SetLinkAddress(std::wstring_view url) {
    m_strUrl.assign(url.substr(0, std::min(url.size(), kMaxUrl)));
    // An embedded end of text ends the address, as in a fixed buffer.
    if (const size_t nul = m_strUrl.find(L'\0'); nul != std::wstring::npos)
        m_strUrl.resize(nul);
}

int CSkinButton::SetMenu(UINT menuId, HWND owner, bool bRepaint) {
    m_menu.Reset();
    m_hMenuOwner = nullptr;
    if (menuId == 0) {
        Repaint(bRepaint);
        return kButtonOk;
    }
    m_menu.Reset(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(menuId)));
    if (!m_menu)
        return kButtonLoadFailed;
    m_hMenuOwner = owner;
    Repaint(bRepaint);
    return kButtonOk;
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

void CSkinButton::SetTipText(UINT stringId, bool bActivate) {
    const std::wstring text = LoadResString(stringId);
    if (!text.empty())
        SetTipText(text, bActivate);
}

void CSkinButton::EnableTip(bool bEnable) {
    if (m_tooltip && m_bTooltipHasTool)
        ::SendMessageW(m_tooltip.Get(), TTM_ACTIVATE, bEnable ? TRUE : FALSE, 0);
}

void CSkinButton::SetParentBackdrop(bool bRepaint) {
    m_bTransparentBackground = true;
    DropBackdrop();
    Repaint(bRepaint);
}

void CSkinButton::DropBackdrop() noexcept {
    m_backdropSelection.reset();
    m_backdropDc.Reset();
    m_backdropBitmap.Reset();
}

void CSkinButton::CopyBackdrop(HDC hdc, const RECT& rc) {
    const RECT client = GetClientRect();
    const int cx = client.right;
    const int cy = client.bottom;
    if (!m_backdropDc) {
        const HWND parent = ::GetParent(m_hWnd);
        RECT inParent = GetWindowRect();
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&inParent), 2);
        CWindowDc parentDc(parent);
        m_backdropDc.Reset(::CreateCompatibleDC(parentDc.Get()));
        m_backdropBitmap.Reset(::CreateCompatibleBitmap(parentDc.Get(), cx, cy));
        if (!m_backdropDc || !m_backdropBitmap) {
            DropBackdrop();
            PaintBackground(hdc, rc);
            return;
        }
        m_backdropSelection.emplace(m_backdropDc.Get(), m_backdropBitmap.Get());
        ::BitBlt(m_backdropDc.Get(), 0, 0, cx, cy, parentDc.Get(), inParent.left, inParent.top, SRCCOPY);
    }
    ::BitBlt(hdc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, m_backdropDc.Get(), rc.left, rc.top,
             SRCCOPY);
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

void CSkinButton::DrawRaisedEdge(HDC hdc, const RECT& rc) const {
    const int l = rc.left, t = rc.top, r = rc.right, b = rc.bottom;
    SysColourLine(hdc, COLOR_BTNHIGHLIGHT, {{l, b - 1}, {l, t}, {r, t}});
    SysColourLine(hdc, COLOR_3DLIGHT, {{l + 1, b - 2}, {l + 1, t + 1}, {r - 1, t + 1}});
    SysColourLine(hdc, COLOR_3DDKSHADOW, {{l, b - 1}, {r - 1, b - 1}, {r - 1, t - 1}});
    SysColourLine(hdc, COLOR_BTNSHADOW, {{l + 1, b - 2}, {r - 2, b - 2}, {r - 2, t}});
}

bool CSkinButton::OpenLinkAddress(const std::wstring& url) {
    SHELLEXECUTEINFOW sei{};
    sei.cbSize = sizeof(sei);
    sei.fMask = SEE_MASK_FLAG_NO_UI;
    sei.lpVerb = L"open";
    sei.lpFile = url.c_str();
    sei.nShow = SW_SHOWMAXIMIZED;
    return ::ShellExecuteExW(&sei) != FALSE;
}

void CSkinButton::DrawImage(HDC hdc, const Image& image, const LayoutRect& at) const {
    if (image.icon) {
        ::DrawStateW(hdc, nullptr, nullptr, reinterpret_cast<LPARAM>(image.icon.Get()), 0, at.left, at.top, image.cx,
                     image.cy, DST_ICON | (m_bDisabled ? DSS_DISABLED : DSS_NORMAL));
        return;
    }
    if (!image.bitmap)
        return;
    CDcHandle mem(::CreateCompatibleDC(hdc));
    if (!mem)
        return;
    const COLORREF oldBk = ::SetBkColor(hdc, RGB(255, 255, 255));
    const COLORREF oldText = ::SetTextColor(hdc, RGB(0, 0, 0));
    {
        CSelectObjectGuard select(mem.Get(), image.mask.Get());
        ::BitBlt(hdc, at.left, at.top, image.cx, image.cy, mem.Get(), 0, 0, SRCAND);
    }
    {
        CSelectObjectGuard select(mem.Get(), image.bitmap.Get());
        ::BitBlt(hdc, at.left, at.top, image.cx, image.cy, mem.Get(), 0, 0, SRCPAINT);
    }
    ::SetBkColor(hdc, oldBk);
    ::SetTextColor(hdc, oldText);
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
    SkinButtonState s;
    s.bFlat = m_bFlat;
    s.bSelected = (itemState & ODS_SELECTED) != 0;
    s.bCheckBox = m_bCheckBox;
    s.bChecked = m_bChecked;
    s.bMenuShown = m_bMenuShown;
    m_bPressed = IsDrawnPressed(s);
    m_bFocused = (itemState & ODS_FOCUS) != 0;
    m_bDisabled = (itemState & ODS_DISABLED) != 0;

    COffscreenBuffer buffer(target, rcItem);
    const HDC hdc = buffer.Dc();
    const int oldMode = ::SetBkMode(hdc, TRANSPARENT);
    const COLORREF oldText = ::GetTextColor(hdc);
    const COLORREF oldBk = ::GetBkColor(hdc);

    RECT rc = rcItem;
    if (HasDefaultFrame(m_bFlat, m_bFocused, m_bDefault)) {
        ::FrameRect(hdc, &rc, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        ::InflateRect(&rc, -1, -1);
    }

    if (m_bTransparentBackground)
        CopyBackdrop(hdc, rc);
    else
        PaintBackground(hdc, rc);

    switch (DecideFrame(m_bFlat, m_bPressed, m_bHover, m_bDrawBorder)) {
    case ButtonFrame::ShadowRect:
        ::FrameRect(hdc, &rc, ::GetSysColorBrush(COLOR_BTNSHADOW));
        break;
    case ButtonFrame::Border:
        PaintBorder(hdc, rc);
        break;
    case ButtonFrame::RaisedEdge:
        DrawRaisedEdge(hdc, rc);
        break;
    case ButtonFrame::None:
        break;
    }

    const std::wstring caption = GetText();
    const bool bShift = ShiftsWhenPressed(m_bPressed, m_bCheckBox);
    LayoutRect textArea = ToLayout(rcItem);
    const Image& active = m_images[0];
    if (active.IsSet()) {
        const bool bUseActive = UseActiveImage(m_bPressed, m_bHover, m_bCheckBox, m_images[1].IsSet());
        const Image& image = bUseActive ? active : m_images[1];
        const ButtonContentLayout layout =
            PlaceButtonContent(m_nAlign, ToLayout(rcItem), image.cx, image.cy, !caption.empty(), bShift, m_nDpi);
        DrawImage(hdc, image, layout.image);
        textArea = layout.text;
    }
    if (!caption.empty())
        DrawCaption(hdc, caption, textArea, bShift, m_bHover);

    if (DrawsFocusRect(m_bFlat, m_bFocused, m_bDrawFlatFocus)) {
        RECT focus = rc;
        ::InflateRect(&focus, -3, -3);
        ::SetTextColor(hdc, RGB(0, 0, 0));
        ::SetBkColor(hdc, RGB(255, 255, 255));
        ::DrawFocusRect(hdc, &focus);
    }
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
    if (!m_bFlat || !m_bHover)
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
    switch (DecideHoverOnMove(m_bFlat, m_bHover, (keys & MK_LBUTTON) != 0, bUnder, m_bAlwaysTrack, bAppActive)) {
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

void CSkinButton::OnClicked() {
    switch (DecideClick(m_bCheckBox, static_cast<bool>(m_menu), !m_strUrl.empty())) {
    case ClickAction::ToggleCheck:
        m_bChecked = !m_bChecked;
        Invalidate();
        break;
    case ClickAction::ShowMenu: {
        m_bMenuShown = true;
        Invalidate();
        ::UpdateWindow(m_hWnd);
        const RECT rc = GetWindowRect();
        const HWND owner = m_hMenuOwner != nullptr ? m_hMenuOwner : ::GetParent(m_hWnd);
        const HWND self = m_hWnd;
        ::TrackPopupMenuEx(::GetSubMenu(m_menu.Get(), 0), TPM_LEFTALIGN | TPM_LEFTBUTTON, rc.left, rc.bottom, owner,
                           nullptr);
        // The menu loop runs messages: the button may be gone now.
        if (FromHandle(self) == this) {
            m_bMenuShown = false;
            Invalidate();
        }
        break;
    }
    case ClickAction::OpenLink:
        OpenLinkAddress(m_strUrl);
        break;
    case ClickAction::Nothing:
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
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
            OnClicked();
        return false; // the parent still gets the click
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
    case WM_SETCURSOR:
        if (m_cursor) {
            ::SetCursor(m_cursor.Get());
            return TRUE;
        }
        return Default();
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
    case WM_SYSCOLORCHANGE:
        DropBackdrop();
        return Default();
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
        DropBackdrop();
        return Default();
    default:
        return CWindow::HandleMessage(msg, wParam, lParam);
    }
}

} // namespace dravel::win
