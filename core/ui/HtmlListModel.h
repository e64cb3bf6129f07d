#pragma once

// The item model of the HTML list control: items of cached heights, the index map, selection, the
// scroll position in pixels, hit testing, keys and the notifications to the parent, in the order the
// parent relies on. The window only shows it; it reaches the window through HtmlListHost.

#include "core/ui/TextSurface.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace dravel {

// Item content kinds.
inline constexpr int HLT_HTML = 1;
inline constexpr int HLT_TEXT = 2;
inline constexpr int HLT_PATH = 3;

// Control style bits.
inline constexpr int HLS_CHECKBOXES = 1;
inline constexpr int HLS_GRID = 2;
inline constexpr int HLS_IMAGES = 4;

// Notification codes.
inline constexpr unsigned HLN_SELECT = 1;
inline constexpr unsigned HLN_PRESS = 2;
inline constexpr unsigned HLN_RCLICK = 3;
inline constexpr unsigned HLN_DBLCLK = 4;
inline constexpr unsigned HLN_CHECK = 5;
// Enter on the selected item: the keyboard's way of using an item, as a click is the mouse's.
inline constexpr unsigned HLN_ACTIVATE = 6;

// Scroll requests and keys, with the platform's values.
inline constexpr int kScrollLineUp = 0;
inline constexpr int kScrollLineDown = 1;
inline constexpr int kScrollPageUp = 2;
inline constexpr int kScrollPageDown = 3;
inline constexpr int kScrollThumbPosition = 4;
inline constexpr int kScrollThumbTrack = 5;
inline constexpr unsigned kKeyReturn = 0x0D;
inline constexpr unsigned kKeySpace = 0x20;
inline constexpr unsigned kKeyUp = 0x26;
inline constexpr unsigned kKeyDown = 0x28;

inline constexpr int kWheelStep = 40;
inline constexpr int kScrollStep = 50;

struct HtmlListItem {
    int nIndex = -1;
    int nHeight = 0;
    int nType = HLT_TEXT;
    std::string strText;
    int nData = 0;
    TextRect rect;
    int nChecked = 0;
    int nFixedHeight = 0;
    int nSide = 0;
};

// Laid out like the platform's notification header (window, id, code), so that the record travels
// with the standard notification message.
struct HtmlNotifyHeader {
    void* hwndFrom = nullptr;
    std::uintptr_t idFrom = 0;
    unsigned code = 0;
};

struct HtmlListNotify {
    HtmlNotifyHeader hdr;
    int nIndex = -1;
    std::string strText;
    int nData = 0;
    int nChecked = 0;
};

class HtmlListHost {
public:
    virtual ~HtmlListHost() = default;
    // Sends the record to the parent and returns when the parent's handler has.
    virtual void Notify(HtmlListNotify& notify) = 0;
    // Vertical scroll bar: range 0..total, page, position.
    virtual void SetScrollBar(int total, int page, int position, bool bRedraw) = 0;
    // Repaints one rectangle, or the whole control for null; bNow paints before returning.
    virtual void Repaint(const TextRect* rect, bool bNow) = 0;
    // A surface with the control's font selected, for measuring.
    virtual std::unique_ptr<TextSurface> CreateMeasureSurface() = 0;
    // The external image list: whether it is set and holds images, and the width of one image.
    virtual bool HasImages() = 0;
    virtual int ImageWidth(int image) = 0;
};

// What DrawItem paints for one item, in client coordinates.
struct HtmlItemGeometry {
    TextRect fill;
    TextColor fillColor = 0;
    bool bCheckBox = false;
    TextPoint checkAt;
    int nCheckImage = 0;
    bool bImage = false;
    TextPoint imageAt;
    TextRect textBox;
    std::vector<std::vector<TextPoint>> outline;
};

inline constexpr TextColor kHtmlListSelectionColor = MakeTextColor(127, 202, 254);
inline constexpr TextColor kHtmlListCheckedColor = MakeTextColor(255, 247, 178);
inline constexpr TextColor kHtmlListWhite = MakeTextColor(255, 255, 255);

// hasImages: an external image list is in use (HLS_IMAGES and a list with images); image0Width: the
// width of its first image, in pixels. The bubble's margins and outline scale with dpi.
HtmlItemGeometry ComputeHtmlItemGeometry(const TextRect& rect, const HtmlListItem& item, bool bSelected, int style,
                                         bool bHasImages, int image0Width, int dpi = 96);

// Whether an item of rect is to be drawn at all in a repaint of area.
inline bool IsItemInPaintArea(const TextRect& rect, const TextRect& area) {
    return rect.bottom > area.top && rect.top < area.bottom;
}

class CHtmlListModel {
public:
    explicit CHtmlListModel(HtmlListHost& host) : m_host(host) {}

    // The id the notifications carry.
    void SetControlId(int id) { m_nControlId = id; }
    // Stores the client size without any relayout (creation).
    void SetClientSize(int cx, int cy);
    // A resize: stores the size, re-measures, resets the scroll bar and repaints.
    void OnSize(int cx, int cy);

    void SetStyle(int style);
    int GetStyle() const { return m_nStyle; }
    // The control's dpi: margins and the space around measured text scale with it (the text itself is
    // measured in the font the host has made for that dpi). A change re-measures every item.
    void SetDpi(int dpi);
    int GetDpi() const { return m_nDpi; }

    int AddItem(std::string text, int side, int type, int height);
    bool RemoveItem(int index);
    std::string GetItemText(int index) const;
    void SetItemText(int index, std::string text, bool bRemeasure);
    int GetItemData(int index) const;
    void SetItemData(int index, int value);
    int GetCheck(int index) const;
    void SetCheck(int index, int state);
    int GetItemSide(int index) const;
    void SetItemSide(int index, int side);
    TextRect GetItemRect(int index) const;
    int GetSelected() const { return m_nSelected; }
    int GetCount() const { return m_nCount; }
    const HtmlListItem* FindItem(int index) const;

    // Height of an item of that content at the current width and style.
    int MeasureItem(TextSurface& surface, const std::string& text, int type, int side);
    void Relayout();

    // Walks every item top to bottom, storing its rectangle, and hands each to draw.
    void PaintItems(int clientLeft, int clientRight,
                    const std::function<void(const TextRect&, HtmlListItem&, bool bSelected)>& draw);

    void OnLButtonDown(int x, int y);
    void OnRButtonDown();
    void OnLButtonDblClk();
    void OnKeyDown(unsigned key);
    // Selects the item at position as Up and Down do: scrolled into view, repainted, the parent told.
    void Select(int position);
    void OnVScroll(int request, int trackPosition);
    void OnMouseWheel(int delta);
    void ScrollIntoView(int position);
    // Scrolls to the scroll limit (a conversation shows its newest item) and repaints.
    void ScrollToEnd();
    // Takes over a position that was set on the scroll bar directly, without repainting.
    void SyncScrollPos(int position);
    void SetFocused(bool bFocused);
    bool IsFocused() const { return m_bFocused; }

    int GetScrollPos() const { return m_nScrollPos; }
    // The largest position the scroll bar allows for range 0..total and page = client height.
    int GetScrollLimit() const;

private:
    HtmlListItem* Find(int index);
    void RebuildIndexMap();
    void ResetScrollBar();
    void SetScrollPos(int position, bool bRedrawBar);
    void SendNotify(unsigned code, const HtmlListItem* item);
    void RepaintItem(const HtmlListItem& item);
    int ItemTop(int position) const;

    HtmlListHost& m_host;
    std::vector<std::unique_ptr<HtmlListItem>> m_items;
    std::unordered_map<int, HtmlListItem*> m_indexMap;
    int m_nCount = 0;
    int m_nTotalHeight = 0;
    int m_nControlId = 0;
    int m_nClientWidth = 0;
    int m_nClientHeight = 0;
    int m_nSelected = -1;
    bool m_bFocused = false;
    int m_nStyle = 0;
    int m_nDpi = 96;
    int m_nScrollPos = 0;
};

} // namespace dravel
