#include "core/ui/HtmlListModel.h"

#include "core/ui/DpiScale.h"
#include "core/ui/HtmlLayout.h"

#include <algorithm>
#include <climits>

namespace dravel {

namespace {

constexpr unsigned kMeasureFlowFormat = kDtCalcRect | kDtExternalLeading | kDtWordBreak; // 0x610
constexpr unsigned kMeasurePathFormat = kDtCalcRect | kDtSingleLine | kDtVCenter;        // 0x424

// Heights come from outside (a caller's value, a measured text): keep sums from overflowing.
int AddClamped(int a, int b) {
    const long long sum = static_cast<long long>(a) + b;
    return static_cast<int>(std::clamp<long long>(sum, INT_MIN, INT_MAX));
}

} // namespace

HtmlItemGeometry ComputeHtmlItemGeometry(const TextRect& r, const HtmlListItem& item, bool bSelected, int style,
                                         bool bHasImages, int image0Width, int dpi) {
    // Every offset below is in logical pixels; the image widths come from the images themselves.
    const auto px = [dpi](int logical) { return ScaleForDpi(logical, dpi); };
    HtmlItemGeometry g;
    const bool bRight = item.nSide != 0;
    g.fill = bRight ? TextRect{r.left + px(79), r.top + px(12), r.right, r.bottom}
                    : TextRect{r.left, r.top + px(12), r.right - px(48), r.bottom};
    g.fillColor = bSelected ? kHtmlListSelectionColor : (item.nChecked ? kHtmlListCheckedColor : kHtmlListWhite);

    int x = r.left;
    if (style & HLS_CHECKBOXES) {
        g.bCheckBox = true;
        g.nCheckImage = item.nChecked ? 1 : 0;
        g.checkAt = {r.left + px(3), r.top + item.nHeight / 2 - px(8)};
        x = r.left + px(19);
    }
    const bool bImages = (style & HLS_IMAGES) && bHasImages;
    if (bImages) {
        g.bImage = true;
        g.imageAt = {x + px(5), r.top + px(15)};
    }
    g.textBox.left = r.left + (bImages ? image0Width + px(10) : 0) + ((style & HLS_CHECKBOXES) ? px(21) : px(5)) +
                     (bRight ? px(50) : 0);
    g.textBox.top = r.top + (item.nFixedHeight ? 0 : px(15));
    g.textBox.right = r.right - (bRight ? px(15) : px(50));
    g.textBox.bottom = r.bottom;

    if (item.nType != HLT_HTML && item.nType != HLT_TEXT && item.nType != HLT_PATH)
        return g;
    const int l = g.textBox.left;
    const int t = g.textBox.top;
    const int rr = g.textBox.right;
    const int b = g.textBox.bottom;
    if (bRight) {
        // Tail on the right, near the bottom.
        g.outline = {{{l - px(1), t - px(3)},
                      {l - px(3), t - px(1)},
                      {l - px(3), b - px(4)},
                      {l - px(1), b - px(2)},
                      {rr, b - px(2)},
                      {rr + px(2), b - px(4)},
                      {rr + px(2), b - px(7)},
                      {rr + px(12), b - px(11)},
                      {rr + px(2), b - px(15)},
                      {rr + px(2), t - px(1)},
                      {rr, t - px(3)},
                      {l - px(1), t - px(3)}},
                     {{l, b - px(1)},
                      {rr, b - px(1)},
                      {rr + px(3), b - px(4)},
                      {rr + px(3), b - px(7)},
                      {rr + px(12), b - px(11)}},
                     {{rr + px(3), b - px(15)}, {rr + px(3), t}}};
    } else {
        // Tail on the left, near the top.
        g.outline = {{{l - px(1), t - px(3)},
                      {l - px(3), t - px(1)},
                      {l - px(3), t + px(5)},
                      {l - px(10), t + px(8)},
                      {l - px(3), t + px(12)},
                      {l - px(3), b - px(4)},
                      {l - px(1), b - px(2)},
                      {rr, b - px(2)},
                      {rr + px(2), b - px(4)},
                      {rr + px(2), t - px(1)},
                      {rr, t - px(3)},
                      {l - px(1), t - px(3)}},
                     {{l, b - px(1)}, {rr, b - px(1)}, {rr + px(3), b - px(4)}, {rr + px(3), t - px(1)}}};
    }
    return g;
}

void CHtmlListModel::SetClientSize(int cx, int cy) {
    m_nClientWidth = cx;
    m_nClientHeight = cy;
}

void CHtmlListModel::OnSize(int cx, int cy) {
    SetClientSize(cx, cy);
    Relayout();
    ResetScrollBar();
    m_host.Repaint(nullptr, false);
}

void CHtmlListModel::SetDpi(int dpi) {
    m_nDpi = NormaliseDpi(dpi);
    Relayout();
    ResetScrollBar();
    m_host.Repaint(nullptr, false);
}

void CHtmlListModel::SetStyle(int style) {
    m_nStyle = style;
    Relayout();
    ResetScrollBar();
    m_host.Repaint(nullptr, false);
}

int CHtmlListModel::MeasureItem(TextSurface& surface, const std::string& text, int type, int side) {
    const int width = m_nClientWidth;
    const auto px = [this](int logical) { return ScaleForDpi(logical, m_nDpi); };
    int imageMargin = 0;
    if ((m_nStyle & HLS_IMAGES) && m_host.HasImages())
        imageMargin = m_host.ImageWidth(side) + px(10);
    const int checkMargin = (m_nStyle & HLS_CHECKBOXES) ? px(24) : px(5);
    TextRect box{0, 0, width - checkMargin - imageMargin, m_nClientHeight};
    if (side != 0) {
        box.left = px(50);
        box.right -= px(15);
    } else {
        box.right -= px(50);
    }
    const int length = static_cast<int>(std::min<size_t>(text.size(), INT_MAX));
    switch (type) {
    case HLT_HTML:
        HtmlDrawText(&surface, text.data(), length, &box, kMeasureFlowFormat);
        break;
    case HLT_TEXT:
        surface.DrawText(text, box, kMeasureFlowFormat);
        break;
    case HLT_PATH:
        surface.DrawText(text, box, kMeasurePathFormat);
        break;
    default:
        return 0;
    }
    return AddClamped(box.Height(), px(20));
}

int CHtmlListModel::AddItem(std::string text, int side, int type, int height) {
    auto item = std::make_unique<HtmlListItem>();
    item->nIndex = m_nCount;
    item->nSide = side;
    item->nType = type;
    item->strText = std::move(text);
    if (height == 0) {
        const std::unique_ptr<TextSurface> surface = m_host.CreateMeasureSurface();
        item->nHeight = surface ? MeasureItem(*surface, item->strText, type, side) : 0;
        item->nFixedHeight = 0;
    } else {
        // A negative height would run the following items backwards over this one.
        item->nHeight = std::max(height, 0);
        item->nFixedHeight = 1;
    }
    HtmlListItem* raw = item.get();
    m_items.push_back(std::move(item));
    ++m_nCount;
    m_nTotalHeight = AddClamped(m_nTotalHeight, raw->nHeight);
    // The position stays; the caller scrolls and the item paints with the next repaint.
    ResetScrollBar();
    m_indexMap[raw->nIndex] = raw;
    return m_nCount - 1;
}

bool CHtmlListModel::RemoveItem(int index) {
    HtmlListItem* item = Find(index);
    if (item == nullptr)
        return false;
    const auto it = std::find_if(m_items.begin(), m_items.end(), [&](const auto& p) { return p.get() == item; });
    const int position = static_cast<int>(it - m_items.begin());
    if (m_nSelected == position)
        m_nSelected = -1;
    else if (m_nSelected > position)
        --m_nSelected; // the selection stays on the same item
    m_nTotalHeight = AddClamped(m_nTotalHeight, -item->nHeight);
    m_items.erase(it);
    m_nCount = static_cast<int>(m_items.size());
    RebuildIndexMap();
    ResetScrollBar();
    m_host.Repaint(nullptr, false);
    return true;
}

std::string CHtmlListModel::GetItemText(int index) const {
    const HtmlListItem* item = FindItem(index);
    return item ? item->strText : std::string();
}

void CHtmlListModel::SetItemText(int index, std::string text, bool bRemeasure) {
    HtmlListItem* item = Find(index);
    if (item == nullptr)
        return;
    item->strText = std::move(text);
    if (bRemeasure) {
        item->nFixedHeight = 0;
        Relayout();
        ResetScrollBar();
        m_host.Repaint(nullptr, false);
    } else {
        RepaintItem(*item);
    }
}

int CHtmlListModel::GetItemData(int index) const {
    const HtmlListItem* item = FindItem(index);
    return item ? item->nData : 0;
}

void CHtmlListModel::SetItemData(int index, int value) {
    if (HtmlListItem* item = Find(index))
        item->nData = value;
}

int CHtmlListModel::GetCheck(int index) const {
    const HtmlListItem* item = FindItem(index);
    return item ? item->nChecked : 0;
}

void CHtmlListModel::SetCheck(int index, int state) {
    if (HtmlListItem* item = Find(index)) {
        item->nChecked = state;
        RepaintItem(*item);
    }
}

int CHtmlListModel::GetItemSide(int index) const {
    const HtmlListItem* item = FindItem(index);
    return item ? item->nSide : 0;
}

void CHtmlListModel::SetItemSide(int index, int side) {
    if (HtmlListItem* item = Find(index)) {
        item->nSide = side;
        RepaintItem(*item);
    }
}

TextRect CHtmlListModel::GetItemRect(int index) const {
    const HtmlListItem* item = FindItem(index);
    return item ? item->rect : TextRect{};
}

const HtmlListItem* CHtmlListModel::FindItem(int index) const {
    const auto it = m_indexMap.find(index);
    return it == m_indexMap.end() ? nullptr : it->second;
}

HtmlListItem* CHtmlListModel::Find(int index) {
    const auto it = m_indexMap.find(index);
    return it == m_indexMap.end() ? nullptr : it->second;
}

void CHtmlListModel::RebuildIndexMap() {
    m_indexMap.clear();
    int position = 0;
    for (const auto& item : m_items) {
        item->nIndex = position++;
        m_indexMap[item->nIndex] = item.get();
    }
}

void CHtmlListModel::Relayout() {
    m_nCount = 0;
    m_nTotalHeight = 0;
    m_indexMap.clear();
    std::unique_ptr<TextSurface> surface;
    for (const auto& item : m_items) {
        item->nIndex = m_nCount;
        if (!item->nFixedHeight) {
            if (!surface)
                surface = m_host.CreateMeasureSurface();
            item->nHeight = surface ? MeasureItem(*surface, item->strText, item->nType, item->nSide) : 0;
        }
        ++m_nCount;
        m_nTotalHeight = AddClamped(m_nTotalHeight, item->nHeight);
        m_indexMap[item->nIndex] = item.get();
    }
}

void CHtmlListModel::PaintItems(int clientLeft, int clientRight,
                                const std::function<void(const TextRect&, HtmlListItem&, bool)>& draw) {
    int y = -m_nScrollPos;
    int position = 0;
    for (const auto& item : m_items) {
        const TextRect rect{clientLeft, y, clientRight, AddClamped(y, item->nHeight)};
        draw(rect, *item, position == m_nSelected);
        item->rect = rect;
        y = rect.bottom;
        ++position;
    }
}

int CHtmlListModel::GetScrollLimit() const {
    const int total = std::max(m_nTotalHeight, 0);
    const int page = std::clamp(m_nClientHeight, 0, total == INT_MAX ? INT_MAX : total + 1);
    return std::max(0, page > 0 ? total - page + 1 : total);
}

void CHtmlListModel::ResetScrollBar() {
    // The scroll bar keeps its position inside the new range.
    m_nScrollPos = std::clamp(m_nScrollPos, 0, GetScrollLimit());
    m_host.SetScrollBar(std::max(m_nTotalHeight, 0), std::max(m_nClientHeight, 0), m_nScrollPos, true);
}

void CHtmlListModel::SetScrollPos(int position, bool bRedrawBar) {
    m_nScrollPos = std::clamp(position, 0, GetScrollLimit());
    m_host.SetScrollBar(std::max(m_nTotalHeight, 0), std::max(m_nClientHeight, 0), m_nScrollPos, bRedrawBar);
}

void CHtmlListModel::SendNotify(unsigned code, const HtmlListItem* item) {
    HtmlListNotify notify;
    notify.hdr.idFrom = static_cast<std::uintptr_t>(static_cast<unsigned>(m_nControlId));
    notify.hdr.code = code;
    if (item != nullptr) {
        notify.nIndex = item->nIndex;
        notify.strText = item->strText;
        notify.nData = item->nData;
        notify.nChecked = item->nChecked;
    }
    m_host.Notify(notify);
}

void CHtmlListModel::RepaintItem(const HtmlListItem& item) {
    const TextRect rect = item.rect;
    m_host.Repaint(&rect, false);
}

void CHtmlListModel::OnLButtonDown(int x, int y) {
    SendNotify(HLN_PRESS, nullptr);
    m_nSelected = -1;
    int position = 0;
    for (const auto& p : m_items) {
        HtmlListItem& item = *p;
        if (item.rect.Contains(x, y)) {
            if (m_nStyle & HLS_CHECKBOXES) {
                const auto px = [this](int logical) { return ScaleForDpi(logical, m_nDpi); };
                const TextRect box{item.rect.left + px(3), item.rect.top + item.nHeight / 2 - px(8),
                                   item.rect.left + px(18), item.rect.top + item.nHeight / 2 + px(7)};
                if (box.Contains(x, y)) {
                    item.nChecked = item.nChecked ? 0 : 1;
                    SendNotify(HLN_CHECK, &item);
                }
            }
            // The parent may have removed items in its handler: look the item up again.
            const HtmlListItem* still =
                position < static_cast<int>(m_items.size()) && m_items[position].get() == &item ? &item : nullptr;
            SendNotify(HLN_SELECT, still);
            m_nSelected = still ? position : -1;
            m_host.Repaint(nullptr, false);
            return;
        }
        ++position;
    }
    SendNotify(HLN_SELECT, nullptr);
    m_host.Repaint(nullptr, false);
}

void CHtmlListModel::OnRButtonDown() {
    SendNotify(HLN_RCLICK, nullptr);
}

void CHtmlListModel::OnLButtonDblClk() {
    SendNotify(HLN_DBLCLK, nullptr);
}

void CHtmlListModel::OnKeyDown(unsigned key) {
    if (key == kKeyUp || key == kKeyDown) {
        if (m_items.empty())
            return;
        const int last = static_cast<int>(m_items.size()) - 1;
        if (key == kKeyUp)
            Select(m_nSelected < 0 ? 0 : std::max(m_nSelected - 1, 0));
        else
            Select(m_nSelected < 0 ? last : std::min(m_nSelected + 1, last));
    } else if (key == kKeyReturn) {
        if (m_nSelected >= 0 && m_nSelected < static_cast<int>(m_items.size()))
            SendNotify(HLN_ACTIVATE, m_items[static_cast<size_t>(m_nSelected)].get());
    } else if (key == kKeySpace && (m_nStyle & HLS_CHECKBOXES) && m_nSelected >= 0 &&
               m_nSelected < static_cast<int>(m_items.size())) {
        HtmlListItem& item = *m_items[static_cast<size_t>(m_nSelected)];
        item.nChecked = item.nChecked ? 0 : 1;
        RepaintItem(item);
        SendNotify(HLN_CHECK, &item);
    }
}

void CHtmlListModel::Select(int position) {
    if (position < 0 || position >= static_cast<int>(m_items.size()))
        return;
    m_nSelected = position;
    ScrollIntoView(position);
    m_host.Repaint(nullptr, false);
    SendNotify(HLN_SELECT, m_items[static_cast<size_t>(position)].get());
}

int CHtmlListModel::ItemTop(int position) const {
    int s = 0;
    for (int i = 0; i < position && i < static_cast<int>(m_items.size()); ++i)
        s = AddClamped(s, m_items[static_cast<size_t>(i)]->nHeight);
    return s;
}

void CHtmlListModel::ScrollIntoView(int position) {
    if (position < 0 || position >= static_cast<int>(m_items.size()))
        return;
    const int s = ItemTop(position);
    const int height = m_items[static_cast<size_t>(position)]->nHeight;
    const int old = m_nScrollPos;
    int target = old;
    if (s < old)
        target = s;
    else if (AddClamped(s, height) > AddClamped(old, m_nClientHeight))
        target = AddClamped(AddClamped(s, height), -m_nClientHeight);
    if (target != old) {
        SetScrollPos(target, true);
        if (m_nScrollPos != old)
            m_host.Repaint(nullptr, false);
    }
}

void CHtmlListModel::ScrollToEnd() {
    SetScrollPos(GetScrollLimit(), true);
    m_host.Repaint(nullptr, false);
}

void CHtmlListModel::SyncScrollPos(int position) {
    m_nScrollPos = std::clamp(position, 0, GetScrollLimit());
}

void CHtmlListModel::OnVScroll(int request, int trackPosition) {
    const int old = m_nScrollPos;
    const int limit = GetScrollLimit();
    switch (request) {
    case kScrollLineDown:
    case kScrollPageDown:
        if (old >= limit)
            return;
        SetScrollPos(old + std::min(ScaleForDpi(kScrollStep, m_nDpi), limit - old), true);
        break;
    case kScrollLineUp:
    case kScrollPageUp:
        if (old <= 0)
            return;
        SetScrollPos(old - std::min(ScaleForDpi(kScrollStep, m_nDpi), old), true);
        break;
    case kScrollThumbTrack:
    case kScrollThumbPosition:
        SetScrollPos(trackPosition, request == kScrollThumbPosition);
        break;
    default:
        return;
    }
    if (m_nScrollPos != old)
        m_host.Repaint(nullptr, true);
}

void CHtmlListModel::OnMouseWheel(int delta) {
    const int old = m_nScrollPos;
    // One step per message, whatever the amount.
    if (delta < 0)
        SetScrollPos(std::min(old + ScaleForDpi(kWheelStep, m_nDpi), GetScrollLimit()), true);
    else if (delta > 0)
        SetScrollPos(std::max(old - ScaleForDpi(kWheelStep, m_nDpi), 0), true);
    if (m_nScrollPos != old)
        m_host.Repaint(nullptr, true);
}

void CHtmlListModel::SetFocused(bool bFocused) {
    m_bFocused = bFocused;
    if (m_nSelected >= 0 && m_nSelected < static_cast<int>(m_items.size()))
        RepaintItem(*m_items[static_cast<size_t>(m_nSelected)]);
}

} // namespace dravel
