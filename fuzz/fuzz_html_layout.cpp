// The HTML tokenizer and layout on arbitrary bytes: tokens stay inside the text and cover it, every
// call leaves the surface as it found it, measured extents agree with what is drawn, and the list
// model keeps its indices and heights consistent.
#include "core/ui/HtmlLayout.h"
#include "core/ui/HtmlListModel.h"
#include "tests/core/support/FakeTextSurface.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

using namespace dravel;
using dravel::test::CFakeTextSurface;

namespace {

void CheckTokens(const std::string& text) {
    const char* cursor = text.data();
    int remaining = static_cast<int>(text.size());
    int pending = 0;
    for (;;) {
        int length = 0;
        const char* before = cursor;
        const int token = NextHtmlToken(cursor, remaining, length, &pending);
        if (token == kHtmlEnd)
            break;
        if (cursor < before || length <= 0 || cursor + length > text.data() + text.size() || remaining < 0)
            abort();
        if ((token & ~kHtmlClosing) > kHtmlUnderline || (pending != 0 && pending != 1))
            abort();
        cursor += length;
    }
    if (remaining != 0 && cursor != text.data() + text.size())
        abort();
}

class CFuzzHost : public HtmlListHost {
public:
    void Notify(HtmlListNotify&) override {}
    void SetScrollBar(int total, int, int, bool) override { nBarTotal = total; }
    int nBarTotal = -1;
    void Repaint(const TextRect*, bool) override {}
    std::unique_ptr<TextSurface> CreateMeasureSurface() override { return std::make_unique<CFakeTextSurface>(); }
    bool HasImages() override { return true; }
    int ImageWidth(int) override { return 16; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const unsigned mode = data[0];
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    CheckTokens(text);

    const unsigned format = ((mode & 1) ? kDtWordBreak : 0u) | ((mode & 2) ? kDtSingleLine : 0u) | (mode & 0x8Cu);
    const int width = static_cast<int>(mode >> 4) * 25 - 40;
    const int top = (mode & 0x40) ? -30 : 7;

    CFakeTextSurface measure;
    TextRect extent{3, top, 3 + width, top + 100};
    const int measured =
        HtmlDrawText(&measure, text.data(), static_cast<int>(text.size()), &extent, format | kDtCalcRect);
    CFakeTextSurface draw;
    draw.SetTextColor(0x123456);
    TextRect box{3, top, 3 + width, top + 100};
    const int drawn = HtmlDrawText(&draw, text.data(), static_cast<int>(text.size()), &box, format);
    if (measured != drawn || measured < 0 || !measure.drawn.empty() || !measure.Balanced() || !draw.Balanced())
        abort();
    if (draw.GetTextColor() != 0x123456 || draw.BadStyles() != 0 || extent.right < extent.left)
        abort();
    for (const auto& d : draw.Words()) {
        // Every word lies within the measured extent.
        if (d.box.left < 3 ||
            d.box.left + CFakeTextSurface::ByteWidth(d.style) * static_cast<int>(d.text.size()) > extent.right)
            abort();
    }
    CFakeTextSurface nowhere;
    nowhere.position = {5, 5};
    HtmlDrawText(&nowhere, text.c_str(), -1, nullptr, format);

    // The list: items from slices of the text, a removal, and a relayout.
    CFuzzHost host;
    CHtmlListModel model(host);
    model.SetClientSize(200 + static_cast<int>(mode), 300);
    model.SetStyle(static_cast<int>(mode & 7));
    for (size_t pos = 0, n = 0; pos < text.size() && n < 8; pos += 1 + text.size() / 8, ++n)
        model.AddItem(text.substr(pos), static_cast<int>(n % 2), 1 + static_cast<int>(n % 4), 0);
    model.RemoveItem(static_cast<int>(mode % 5));
    model.OnSize(150, 120);
    int total = 0;
    for (int i = 0; i < model.GetCount(); ++i) {
        const HtmlListItem* item = model.FindItem(i);
        if (item == nullptr || item->nIndex != i || item->nHeight < 0)
            abort();
        total += item->nHeight;
    }
    if (total != host.nBarTotal)
        abort();
    model.OnMouseWheel(-120);
    model.OnKeyDown(kKeyDown);
    model.OnLButtonDown(10, 10);
    if (model.GetScrollPos() < 0 || model.GetScrollPos() > model.GetScrollLimit())
        abort();
    return 0;
}
