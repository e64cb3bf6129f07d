#include "win/ui/HTMLListCtrl.h"

#include "win/base/Messages.h"
#include "win/base/Text.h"
#include "win/res/resource.h"
#include "win/ui/Dpi.h"
#include "win/ui/GdiHelpers.h"
#include "win/ui/GdiTextSurface.h"
#include "win/ui/HtmlDrawText.h"
#include "win/ui/OffscreenBuffer.h"
#include "core/text/Cp949.h"
#include "core/ui/HtmlLayout.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <vector>

namespace dravel::win {

// The record travels as the standard notification header.
static_assert(offsetof(dravel::HtmlNotifyHeader, hwndFrom) == offsetof(NMHDR, hwndFrom));
static_assert(offsetof(dravel::HtmlNotifyHeader, idFrom) == offsetof(NMHDR, idFrom));
static_assert(offsetof(dravel::HtmlNotifyHeader, code) == offsetof(NMHDR, code));
static_assert(sizeof(dravel::HtmlNotifyHeader) == sizeof(NMHDR));

namespace {

constexpr size_t kPathBufferSize = 260;
constexpr int kCheckImageSize = 16;
constexpr COLORREF kCheckImageTransparent = RGB(255, 0, 255);
constexpr int kFontTenthPoints = 90; // 9 points: 12 pixels at 96 dpi

RECT ToRect(const dravel::TextRect& r) {
    return RECT{r.left, r.top, r.right, r.bottom};
}
dravel::TextRect FromRect(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

// Scroll information that asks for (or sets) the parts in mask, everything else zero.
SCROLLINFO ScrollInfo(UINT mask) {
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = mask;
    return si;
}

// The first bytes of text that fit into the path buffer with its terminator, never half a
// double-byte character.
std::string TruncateForPathBuffer(const std::string& text) {
    size_t end = 0;
    while (end < text.size()) {
        const size_t step = IsCp949LeadByte(text[end]) ? 2 : 1;
        if (end + step > kPathBufferSize - 1)
            break;
        end += step;
    }
    return text.substr(0, std::min(end, text.size()));
}

// PathCompactPathW, looked up once: the list replaces middle components with "..." as the shell does.
// The library stays loaded for the life of the process.
bool CompactPath(HDC hdc, wchar_t* path, int width) {
    using Fn = BOOL(WINAPI*)(HDC, LPWSTR, UINT);
    static const Fn compact = [] {
        HMODULE shlwapi = ::LoadLibraryW(L"shlwapi.dll");
        return shlwapi ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(shlwapi, "PathCompactPathW")))
                       : nullptr;
    }();
    return compact != nullptr && width > 0 && compact(hdc, path, static_cast<UINT>(width)) != FALSE;
}

// The eight 16 x 16 check images of bitmap 158 (drawn again at 150 and 200 % for scaled displays),
// magenta transparent. The 16-colour strip is copied to 24 bits first: masking the palette bitmap
// directly loses its box edges under Wine.
CImageListHandle LoadCheckImages(int dpi) {
    const int imageSize = dravel::ScaleForDpi(kCheckImageSize, dpi);
    CBitmapHandle strip = LoadBitmapForDpi(nullptr, IDB_CHECKBOXES, dpi);
    BITMAP bm{};
    if (!strip || ::GetObjectW(strip.Get(), sizeof(bm), &bm) == 0 || bm.bmWidth <= 0 || bm.bmHeight <= 0)
        return {};
    CDcHandle src(::CreateCompatibleDC(nullptr));
    CDcHandle dst(::CreateCompatibleDC(nullptr));
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = bm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    CBitmapHandle copy(::CreateDIBSection(dst.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!src || !dst || !copy)
        return {};
    {
        CSelectObjectGuard from(src.Get(), strip.Get());
        CSelectObjectGuard to(dst.Get(), copy.Get());
        ::BitBlt(dst.Get(), 0, 0, bm.bmWidth, bm.bmHeight, src.Get(), 0, 0, SRCCOPY);
    }
    CImageListHandle images(ImageList_Create(imageSize, imageSize, ILC_COLOR24 | ILC_MASK, bm.bmWidth / imageSize, 0));
    if (images && ImageList_AddMasked(images.Get(), copy.Get(), kCheckImageTransparent) < 0)
        images.Reset();
    return images;
}

} // namespace

std::wstring CompactPathText(HDC hdc, const std::string& path, int width) {
    const std::wstring wide = Cp949ToWide(TruncateForPathBuffer(path));
    wchar_t buffer[kPathBufferSize] = {};
    wide.copy(buffer, std::min(wide.size(), kPathBufferSize - 1));
    if (CompactPath(hdc, buffer, width))
        return buffer;
    return Cp949ToWide(path);
}

HTMLListCtrl::HTMLListCtrl() : m_model(*this) {
    MakeFont();
}

void HTMLListCtrl::MakeFont() {
    // Measuring keeps the font selected: let go of it before it is replaced.
    ReleaseMeasureDc();
    LOGFONTW lf{};
    lf.lfHeight = -dravel::TenthPointsToPixels(kFontTenthPoints, m_nDpi);
    lf.lfWeight = FW_NORMAL;
    wcscpy_s(lf.lfFaceName, L"\uB3CB\uC6C0"); // "돋움"
    m_font.Reset(::CreateFontIndirectW(&lf));
}

void HTMLListCtrl::OnDpiChanged(int dpi) {
    dpi = dravel::NormaliseDpi(dpi);
    if (dpi == m_nDpi)
        return;
    m_nDpi = dpi;
    MakeFont();
    if (m_hWnd != nullptr)
        m_checkImages = LoadCheckImages(m_nDpi);
    // Re-measures every item in the new font and margins, and repaints.
    m_model.SetDpi(m_nDpi);
}

HTMLListCtrl::~HTMLListCtrl() {
    DestroyWindow();
    ReleaseMeasureDc();
}

bool HTMLListCtrl::Create(HWND parent, const RECT& rect, int id, DWORD style) {
    WNDCLASSEXW wc{};
    wc.style = CS_DBLCLKS;
    wc.lpszClassName = kClassName;
    if (!RegisterWindowClass(wc))
        return false;
    m_model.SetControlId(id);
    m_model.SetClientSize(rect.right - rect.left, rect.bottom - rect.top);
    const HWND hwnd =
        CWindow::Create(kClassName, L"HTMLListCtrl", style, rect.left, rect.top, rect.right - rect.left,
                        rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
    if (hwnd == nullptr)
        return false;
    // Lengths follow the dpi of the window the list lives in.
    if (const int dpi = WindowDpi(hwnd); dpi != m_nDpi) {
        m_nDpi = dpi;
        MakeFont();
        m_model.SetDpi(dpi);
    }
    if (!m_checkImages)
        m_checkImages = LoadCheckImages(m_nDpi);
    SCROLLINFO si = ScrollInfo(SIF_RANGE | SIF_PAGE | SIF_POS);
    ::SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
    return true;
}

RECT HTMLListCtrl::GetItemRect(int index) const {
    return ToRect(m_model.GetItemRect(index));
}

void HTMLListCtrl::SyncScrollPos() {
    SCROLLINFO si = ScrollInfo(SIF_POS);
    if (m_hWnd != nullptr && ::GetScrollInfo(m_hWnd, SB_VERT, &si))
        m_model.SyncScrollPos(si.nPos);
}

void HTMLListCtrl::PaintTo(HDC hdc, const RECT& area) {
    SyncScrollPos();
    COffscreenBuffer buffer(hdc, area);
    const HDC dc = buffer.Dc();
    ::FillRect(dc, &area, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    m_rcPaint = area;
    {
        CSelectObjectGuard font(dc, m_font.Get());
        RECT client{};
        ::GetClientRect(m_hWnd, &client);
        m_model.PaintItems(client.left, client.right, [&](const dravel::TextRect& r, HtmlListItem& item, bool bSel) {
            DrawItem(dc, ToRect(r), item, bSel);
        });
    }
    buffer.Present();
}

void HTMLListCtrl::DrawItem(HDC hdc, const RECT& rect, HtmlListItem& item, bool bSelected) {
    if (!dravel::IsItemInPaintArea(FromRect(rect), FromRect(m_rcPaint)))
        return;
    const bool bImages = HasImages();
    const int image0Width = bImages ? ImageWidth(0) : 0;
    const int style = m_model.GetStyle();
    const dravel::HtmlItemGeometry g =
        dravel::ComputeHtmlItemGeometry(FromRect(rect), item, bSelected, style, bImages, image0Width, m_nDpi);

    const COLORREF oldText = ::SetTextColor(hdc, RGB(0, 0, 0));
    const COLORREF oldBack = ::SetBkColor(hdc, static_cast<COLORREF>(g.fillColor));
    const int oldMode = ::SetBkMode(hdc, OPAQUE);

    const RECT fill = ToRect(g.fill);
    FillSolid(hdc, fill, static_cast<COLORREF>(g.fillColor));
    if (style & dravel::HLS_GRID) {
        RECT edge = rect;
        ::DrawEdge(hdc, &edge, BDR_SUNKENOUTER, BF_LEFT | BF_BOTTOM | BF_FLAT);
    }
    if (g.bCheckBox && m_checkImages)
        ImageList_Draw(m_checkImages.Get(), g.nCheckImage, hdc, g.checkAt.x, g.checkAt.y, ILD_TRANSPARENT);
    if (g.bImage)
        ImageList_Draw(m_hImages, item.nSide, hdc, g.imageAt.x, g.imageAt.y, ILD_TRANSPARENT);

    DrawContent(hdc, item, ToRect(g.textBox));

    if (!g.outline.empty()) {
        CSelectObjectGuard pen(hdc, ::GetStockObject(BLACK_PEN));
        for (const auto& line : g.outline) {
            std::vector<POINT> points;
            points.reserve(line.size());
            for (const dravel::TextPoint& p : line)
                points.push_back(POINT{p.x, p.y});
            ::Polyline(hdc, points.data(), static_cast<int>(points.size()));
        }
    }

    ::SetBkMode(hdc, oldMode);
    ::SetBkColor(hdc, oldBack);
    ::SetTextColor(hdc, oldText);
    if (m_model.IsFocused() && bSelected) {
        RECT focus = rect;
        ::DrawFocusRect(hdc, &focus);
    }
}

void HTMLListCtrl::DrawContent(HDC hdc, const HtmlListItem& item, const RECT& box) {
    RECT rc = box;
    switch (item.nType) {
    case dravel::HLT_TEXT: {
        const std::wstring text = Cp949ToWide(item.strText);
        ::DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &rc, DT_WORDBREAK);
        break;
    }
    case dravel::HLT_HTML:
        HtmlDrawText(hdc, item.strText.data(), static_cast<int>(item.strText.size()), &rc, DT_WORDBREAK);
        break;
    case dravel::HLT_PATH: {
        const std::wstring shown = CompactPathText(hdc, item.strText, rc.right - rc.left);
        ::DrawTextW(hdc, shown.c_str(), static_cast<int>(shown.size()), &rc, DT_SINGLELINE | DT_VCENTER);
        break;
    }
    default:
        break;
    }
}

int HTMLListCtrl::LinkAtPress(int index) {
    const HtmlListItem* item = m_model.FindItem(index);
    if (item == nullptr || item->nType != dravel::HLT_HTML || !item->rect.Contains(m_ptPress.x, m_ptPress.y))
        return -1;
    // Laid out where DrawItem drew it, in the same font.
    const bool bImages = HasImages();
    const dravel::HtmlItemGeometry g = dravel::ComputeHtmlItemGeometry(item->rect, *item, false, m_model.GetStyle(),
                                                                       bImages, bImages ? ImageWidth(0) : 0, m_nDpi);
    const std::unique_ptr<dravel::TextSurface> surface = CreateMeasureSurface();
    if (!surface)
        return -1;
    for (const dravel::HtmlUnderlinedWord& word :
         dravel::HtmlUnderlinedWords(*surface, item->strText, g.textBox, DT_WORDBREAK)) {
        if (word.box.Contains(m_ptPress.x, m_ptPress.y))
            return word.nRun;
    }
    return -1;
}

LRESULT HTMLListCtrl::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_KEYDOWN:
    case WM_VSCROLL:
    case WM_MOUSEWHEEL:
        SyncScrollPos();
        break;
    default:
        break;
    }
    switch (msg) {
    case WM_RBUTTONDOWN:
        m_model.OnRButtonDown();
        return Default();
    case WM_LBUTTONDBLCLK:
        m_model.OnLButtonDblClk();
        return Default();
    case WM_COPY:
        if (m_onCopy)
            m_onCopy();
        return 0;
    case WM_KEYDOWN: {
        if (wParam == 'C' && ::GetKeyState(VK_CONTROL) < 0) {
            SendMessage(WM_COPY);
            return 0;
        }
        const int before = m_model.GetSelected();
        m_model.OnKeyDown(static_cast<unsigned>(wParam));
        NotifySelectionMoved(before);
        return Default();
    }
    case WM_GETOBJECT:
        if (const LRESULT r = m_accessible.OnGetObject(m_hWnd, wParam, lParam, *this); r != 0)
            return r;
        return Default();
    case WM_GETDLGCODE: {
        // Enter uses the selected item rather than the dialog's default button.
        const auto* pending = reinterpret_cast<const MSG*>(lParam);
        const bool bEnter = pending != nullptr && (pending->message == WM_KEYDOWN || pending->message == WM_CHAR) &&
                            pending->wParam == VK_RETURN && m_model.GetSelected() >= 0;
        return DLGC_WANTARROWS | DLGC_WANTCHARS | (bEnter ? DLGC_WANTMESSAGE : 0);
    }
    case WM_VSCROLL: {
        const int request = LOWORD(wParam);
        SCROLLINFO si = ScrollInfo(SIF_TRACKPOS | SIF_POS);
        ::GetScrollInfo(m_hWnd, SB_VERT, &si);
        // The 32-bit track position; the message's own is only 16 bits.
        m_model.OnVScroll(request, si.nTrackPos);
        return 0;
    }
    case WM_MOUSEWHEEL:
        m_model.OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_SETFOCUS:
        m_model.SetFocused(true);
        if (m_model.GetSelected() >= 0)
            NotifyAccEvent(EVENT_OBJECT_FOCUS, m_hWnd, m_model.GetSelected() + 1);
        return 0;
    case WM_KILLFOCUS:
        m_model.SetFocused(false);
        return 0;
    case WM_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
        return TRUE;
    case WM_DPICHANGED:
        // Sent to a top-level window; a test may send it to the list itself. The list is a child: its
        // place is its parent's to decide, so the suggested rectangle is not used.
        OnDpiChanged(DpiFromChangedMessage(wParam));
        return 0;
    case WM_DPICHANGED_AFTERPARENT:
        OnDpiChanged(DpiAfterParent(m_hWnd, wParam));
        return 0;
    case WM_PRINTCLIENT: {
        RECT client{};
        ::GetClientRect(m_hWnd, &client);
        PaintTo(reinterpret_cast<HDC>(wParam), client);
        return 0;
    }
    default:
        return CWindow::HandleMessage(msg, wParam, lParam);
    }
}

void HTMLListCtrl::OnSize(UINT, int cx, int cy) {
    m_model.OnSize(cx, cy);
}

void HTMLListCtrl::OnPaint() {
    m_bRepaintPending = false;
    CPaintDc dc(m_hWnd);
    if (dc.Get() != nullptr)
        PaintTo(dc.Get(), dc.Paint().rcPaint);
}

bool HTMLListCtrl::OnEraseBkgnd(HDC) {
    return true;
} // the paint covers everything

void HTMLListCtrl::OnLButtonDown(UINT, POINT pt) {
    ::SetFocus(m_hWnd);
    m_ptPress = pt;
    const int before = m_model.GetSelected();
    m_model.OnLButtonDown(pt.x, pt.y);
    NotifySelectionMoved(before);
    Default();
}

void HTMLListCtrl::OnDestroy() {
    // Timers and the update region go with the window.
    m_bScrollBarPending = false;
    m_bRepaintPending = false;
    ReleaseMeasureDc();
    m_font.Reset();
    Default();
}

void HTMLListCtrl::Notify(HtmlListNotify& notify) {
    const HWND parent = m_hWnd != nullptr ? ::GetParent(m_hWnd) : nullptr;
    if (parent == nullptr)
        return;
    notify.hdr.hwndFrom = m_hWnd;
    ::SendMessageW(parent, WM_NOTIFY, static_cast<WPARAM>(notify.hdr.idFrom), reinterpret_cast<LPARAM>(&notify));
}

void HTMLListCtrl::SetScrollBar(int total, int page, int position, bool bRedraw) {
    if (m_hWnd == nullptr)
        return;
    SCROLLINFO si{.cbSize = sizeof(si),
                  .fMask = SIF_RANGE | SIF_PAGE | SIF_POS,
                  .nMin = 0,
                  .nMax = total,
                  .nPage = static_cast<UINT>(page),
                  .nPos = position,
                  .nTrackPos = 0};
    // Drawing a scroll bar costs far more than painting the items (tens of milliseconds under
    // Wine): a burst of additions redraws it once, shortly after the burst.
    ::SetScrollInfo(m_hWnd, SB_VERT, &si, FALSE);
    if (bRedraw && !m_bScrollBarPending && ::SetTimer(m_hWnd, kScrollBarTimer, kScrollBarDelayMs, nullptr) != 0)
        m_bScrollBarPending = true;
}

void HTMLListCtrl::OnTimer(UINT_PTR id) {
    if (id != kScrollBarTimer) {
        Default();
        return;
    }
    ::KillTimer(m_hWnd, kScrollBarTimer);
    m_bScrollBarPending = false;
    SCROLLINFO si = ScrollInfo(SIF_RANGE | SIF_PAGE | SIF_POS);
    if (::GetScrollInfo(m_hWnd, SB_VERT, &si))
        ::SetScrollInfo(m_hWnd, SB_VERT, &si, TRUE);
}

void HTMLListCtrl::Repaint(const dravel::TextRect* rect, bool bNow) {
    if (m_hWnd == nullptr)
        return;
    // Invalidating is a round trip to the window server under Wine: a conversation loading its
    // history asks for a repaint after every item, so skip what is already waiting to be painted.
    if (!m_bRepaintPending) {
        if (rect == nullptr) {
            ::InvalidateRect(m_hWnd, nullptr, FALSE);
            m_bRepaintPending = true;
        } else if (!rect->IsEmpty()) {
            const RECT rc = ToRect(*rect);
            ::InvalidateRect(m_hWnd, &rc, FALSE);
        }
    }
    if (bNow)
        ::UpdateWindow(m_hWnd);
}

std::unique_ptr<dravel::TextSurface> HTMLListCtrl::CreateMeasureSurface() {
    // One memory context with the list's font for all measuring: a fresh context and font
    // selection for every added item would cost more than the measuring itself.
    if (!m_measureDc) {
        m_measureDc.Reset(::CreateCompatibleDC(nullptr));
        if (!m_measureDc)
            return nullptr;
        if (m_font)
            m_measureFont.emplace(m_measureDc.Get(), m_font.Get());
    }
    return std::make_unique<CGdiTextSurface>(m_measureDc.Get());
}

void HTMLListCtrl::ReleaseMeasureDc() {
    m_measureFont.reset();
    m_measureDc.Reset();
}

bool HTMLListCtrl::HasImages() {
    return (m_model.GetStyle() & dravel::HLS_IMAGES) && m_hImages != nullptr && ImageList_GetImageCount(m_hImages) > 0;
}

int HTMLListCtrl::ImageWidth(int image) {
    IMAGEINFO info{};
    if (m_hImages == nullptr || !ImageList_GetImageInfo(m_hImages, image, &info))
        return 0;
    return info.rcImage.right - info.rcImage.left;
}

} // namespace dravel::win
