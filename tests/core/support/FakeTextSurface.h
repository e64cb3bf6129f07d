#pragma once

// A drawing surface of known metrics for the renderer and the list model: every byte is 6 pixels
// wide (7 in bold, 4 at 70 % height), the base font is 12 pixels high (8 at 70 %). It records what
// is drawn and checks that every saved state is restored.

#include "core/ui/TextSurface.h"

#include <algorithm>
#include <string>
#include <vector>

namespace dravel::test {

class CFakeTextSurface : public TextSurface {
public:
    struct Drawn {
        std::string text;
        TextRect box;
        unsigned format = 0;
        unsigned style = 0;
        TextColor color = 0;
    };

    static int ByteWidth(unsigned style) {
        if (style & (kStyleSuperscript | kStyleSubscript))
            return 4;
        return (style & kStyleBold) ? 7 : 6;
    }
    static int Height(unsigned style) { return (style & (kStyleSuperscript | kStyleSubscript)) ? 8 : 12; }

    void SaveState() override {
        m_saved.push_back({m_nStyle, m_color});
        ++m_nSaves;
    }
    void RestoreState() override {
        if (m_saved.empty()) {
            ++m_nUnbalanced;
            return;
        }
        m_nStyle = m_saved.back().style;
        m_color = m_saved.back().color;
        m_saved.pop_back();
    }
    void SelectStyle(unsigned style) override {
        m_nStyle = style;
        ++m_nSelects;
        if (style >= kStyleCount)
            ++m_nBadStyles;
    }
    int TextWidth(std::string_view bytes) override { return static_cast<int>(bytes.size()) * ByteWidth(m_nStyle); }
    int TextHeight(std::string_view) override { return Height(m_nStyle); }
    int DrawText(std::string_view bytes, TextRect& box, unsigned format) override {
        const int width = TextWidth(bytes);
        if (format & kDtCalcRect) {
            measured.push_back({std::string(bytes), box, format, m_nStyle, m_color});
            int lines = 1;
            if ((format & kDtWordBreak) && !(format & kDtSingleLine) && box.Width() > 0)
                lines = std::max(1, (width + box.Width() - 1) / box.Width());
            box.right = box.left + ((format & kDtWordBreak) ? std::min(width, std::max(box.Width(), 0)) : width);
            box.bottom = box.top + lines * Height(m_nStyle);
            return lines * Height(m_nStyle);
        }
        drawn.push_back({std::string(bytes), box, format, m_nStyle, m_color});
        return Height(m_nStyle);
    }
    TextColor GetTextColor() override { return m_color; }
    void SetTextColor(TextColor color) override { m_color = color; }
    TextPoint CurrentPosition() override { return position; }
    int HorizontalResolution() override { return resolution; }

    // The words drawn, without the blanks drawn under underlines.
    std::vector<Drawn> Words() const {
        std::vector<Drawn> words;
        for (const Drawn& d : drawn) {
            if (d.text != " ")
                words.push_back(d);
        }
        return words;
    }
    bool Balanced() const { return m_saved.empty() && m_nUnbalanced == 0; }
    unsigned Style() const { return m_nStyle; }
    int Saves() const { return m_nSaves; }
    int Selects() const { return m_nSelects; }
    int BadStyles() const { return m_nBadStyles; }

    std::vector<Drawn> drawn;
    std::vector<Drawn> measured;
    TextPoint position;
    int resolution = 1024;

private:
    struct State {
        unsigned style;
        TextColor color;
    };
    std::vector<State> m_saved;
    unsigned m_nStyle = 0;
    TextColor m_color = 0;
    int m_nSaves = 0;
    int m_nSelects = 0;
    int m_nUnbalanced = 0;
    int m_nBadStyles = 0;
};

} // namespace dravel::test
