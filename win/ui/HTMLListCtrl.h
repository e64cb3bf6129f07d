#pragma once

// A vertically scrolling list of speech-bubble items, each holding HTML-subset text, plain text or a
// one-line compacted path, with optional check boxes and per-item icons. It reports to its parent
// with WM_NOTIFY and an HtmlListNotify record (codes HLN_*). Texts are 949 bytes.

#include "win/base/Handles.h"
#include "win/base/Window.h"
#include "win/ui/Accessible.h"
#include "core/ui/DpiScale.h"
#include "core/ui/HtmlListModel.h"

#include <commctrl.h>

#include <functional>
#include <optional>
#include <string>

namespace dravel::win {

using dravel::HtmlListItem;
using dravel::HtmlListNotify;

// The text a path item shows in width pixels of hdc's font: middle components replaced by "...",
// or the whole path when it cannot be compacted.
std::wstring CompactPathText(HDC hdc, const std::string& path, int width);

// Screen readers see a list with one list item per item (child id = index + 1), read as its plain text.
class HTMLListCtrl : public CWindow, private dravel::HtmlListHost, private CAccessibleSource {
public:
    static constexpr const wchar_t* kClassName = L"DravelOn.HTMLListCtrl";

    HTMLListCtrl();
    ~HTMLListCtrl() override;

    bool Create(HWND parent, const RECT& rect, int id, DWORD style);
    // Ctrl+C and WM_COPY on the list: the owner puts what it chooses on the clipboard.
    std::function<void()> m_onCopy;

    void SetStyle(int style) { m_model.SetStyle(style); }
    int GetStyle() const { return m_model.GetStyle(); }
    // Not owned; the caller keeps it alive while the control uses it.
    void SetImageList(HIMAGELIST images) { m_hImages = images; }

    int AddItem(const std::string& text, int side, int type, int height = 0) {
        return m_model.AddItem(text, side, type, height);
    }
    bool RemoveItem(int index) { return m_model.RemoveItem(index); }
    std::string GetItemText(int index) const { return m_model.GetItemText(index); }
    void SetItemText(int index, const std::string& text, bool bRemeasure) {
        m_model.SetItemText(index, text, bRemeasure);
    }
    int GetItemData(int index) const { return m_model.GetItemData(index); }
    void SetItemData(int index, int value) { m_model.SetItemData(index, value); }
    int GetCheck(int index) const { return m_model.GetCheck(index); }
    void SetCheck(int index, int state) { m_model.SetCheck(index, state); }
    int GetItemSide(int index) const { return m_model.GetItemSide(index); }
    void SetItemSide(int index, int side) { m_model.SetItemSide(index, side); }
    RECT GetItemRect(int index) const;
    // The link under the latest left press in the item with that index: the number of its underlined
    // run (HtmlUnderlinedWords), -1 for none.
    int LinkAtPress(int index);
    int GetSelected() const { return m_model.GetSelected(); }
    // Selects the item at position as a click would, scrolled into view; screen readers are told.
    void SelectItem(int position);
    // The item's text as a screen reader reads it (HTML items without their markup).
    std::string GetItemReadingText(int index) const;
    int GetCount() const { return m_model.GetCount(); }
    // Scrolls to the end of the list and repaints (as a conversation does after each new item).
    void ScrollToEnd() { m_model.ScrollToEnd(); }
    // The dpi the list draws at: its window's, and the new one after WM_DPICHANGED (or
    // WM_DPICHANGED_AFTERPARENT). The caller's image list is the caller's to replace.
    int GetDpi() const { return m_nDpi; }

    // Paints the given part of the client area into hdc (the window's own paint, and printing).
    void PaintTo(HDC hdc, const RECT& area);

protected:
    // Draws one item; a derived control may draw its own. Items outside the repaint area are skipped.
    virtual void DrawItem(HDC hdc, const RECT& rect, HtmlListItem& item, bool bSelected);

    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnPaint() override;
    bool OnEraseBkgnd(HDC hdc) override;
    void OnLButtonDown(UINT keys, POINT pt) override;
    void OnDestroy() override;
    void OnTimer(UINT_PTR id) override;

private:
    // HtmlListHost
    void Notify(HtmlListNotify& notify) override;
    void SetScrollBar(int total, int page, int position, bool bRedraw) override;
    void Repaint(const dravel::TextRect* rect, bool bNow) override;
    std::unique_ptr<dravel::TextSurface> CreateMeasureSurface() override;
    bool HasImages() override;
    int ImageWidth(int image) override;

    // CAccessibleSource (HTMLListAccessible.cpp)
    long AccChildCount() override;
    long AccRole(long child) override;
    std::wstring AccName(long child) override;
    long AccState(long child) override;
    bool AccLocation(long child, RECT& rc) override;
    long AccHitTest(POINT pt) override;
    long AccFocusChild() override;
    long AccSelectedChild() override;
    // Where the item at position is now, client coordinates, whether painted yet or not.
    RECT ItemBoxNow(int position);
    // Tells accessibility clients where the selection went, if it moved from before.
    void NotifySelectionMoved(int before);

    void DrawContent(HDC hdc, const HtmlListItem& item, const RECT& box);
    // The scroll bar is the truth: a caller may have moved it directly.
    void SyncScrollPos();
    void ReleaseMeasureDc();
    // The list's font at its dpi.
    void MakeFont();
    void OnDpiChanged(int dpi);

    dravel::CHtmlListModel m_model;
    int m_nDpi = dravel::kDefaultDpi;
    CFontHandle m_font;
    CDcHandle m_measureDc;
    // The list's font stays selected into the measuring context while the context lives.
    std::optional<CSelectObjectGuard> m_measureFont;
    CImageListHandle m_checkImages;
    HIMAGELIST m_hImages = nullptr; // the caller's, not owned
    RECT m_rcPaint{};
    POINT m_ptPress{-1, -1};
    bool m_bScrollBarPending = false;
    // The whole client area is invalid and a paint will come.
    bool m_bRepaintPending = false;

    CAccessibleServer m_accessible;

    static constexpr UINT kScrollBarDelayMs = 30;
};

} // namespace dravel::win
