// The HTML renderer over a surface of known metrics: bytes 6 px wide (bold 7, small 4), base font 12
// px high, so a line is 15 px and a space 6 px.

#include "core/ui/HtmlLayout.h"
#include "tests/core/support/FakeTextSurface.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace dravel;
using dravel::test::CFakeTextSurface;

namespace {

constexpr int kLine = 15;
constexpr unsigned kWrap = kDtWordBreak;
constexpr TextColor kRed = MakeTextColor(255, 0, 0);
constexpr TextColor kGreen = MakeTextColor(0, 255, 0);
constexpr TextColor kBlue = MakeTextColor(0, 0, 255);

int Draw(CFakeTextSurface& s, const std::string& text, TextRect rect = {0, 0, 300, 200}, unsigned format = kWrap) {
    return HtmlDrawText(&s, text.c_str(), static_cast<int>(text.size()), &rect, format);
}

TextRect Measure(const std::string& text, int width = 300, int top = 0, unsigned format = kWrap) {
    CFakeTextSurface s;
    TextRect rect{10, top, 10 + width, top + 500};
    HtmlDrawText(&s, text.c_str(), -1, &rect, format | kDtCalcRect);
    EXPECT_TRUE(s.drawn.empty());
    return rect;
}

// All tokens of a text as (code, bytes).
std::vector<std::pair<int, std::string>> Tokens(const std::string& text) {
    std::vector<std::pair<int, std::string>> out;
    const char* cursor = text.data();
    int remaining = static_cast<int>(text.size());
    int pending = 0;
    for (;;) {
        int length = 0;
        const int token = NextHtmlToken(cursor, remaining, length, &pending);
        if (token == kHtmlEnd)
            break;
        out.emplace_back(token, std::string(cursor, static_cast<size_t>(length)));
        cursor += length;
    }
    return out;
}

using TokenList = std::vector<std::pair<int, std::string>>;

TEST(HtmlTokenizer, TagNamesMatchOverTheTableNameOnly) {
    EXPECT_EQ(Tokens("<br>x"), (TokenList{{kHtmlBreak, "<br>"}, {kHtmlText, "x"}}));
    EXPECT_EQ(Tokens("<b>"), (TokenList{{kHtmlBold, "<b>"}}));
    EXPECT_EQ(Tokens("<bogus></bogus>"), (TokenList{{kHtmlBold, "<bogus>"}, {kHtmlBold + kHtmlClosing, "</bogus>"}}));
    EXPECT_EQ(Tokens("<underline>"), (TokenList{{kHtmlUnderline, "<underline>"}}));
    EXPECT_EQ(Tokens("<pre>"), (TokenList{{kHtmlParagraph, "<pre>"}}));
    EXPECT_EQ(Tokens("<STRONG><Em><SUP></sub>"), (TokenList{{kHtmlBold, "<STRONG>"},
                                                            {kHtmlItalic, "<Em>"},
                                                            {kHtmlSuperscript, "<SUP>"},
                                                            {kHtmlSubscript + kHtmlClosing, "</sub>"}}));
}

TEST(HtmlTokenizer, UnknownAndMalformedTagsBecomeText) {
    EXPECT_EQ(Tokens("<s>x"), (TokenList{{kHtmlText, "<s>"}, {kHtmlText, "x"}}));
    EXPECT_EQ(Tokens("</s>x"), (TokenList{{kHtmlClosing, "</s>"}, {kHtmlText, "x"}}));
    EXPECT_EQ(Tokens("<b class=x>"), (TokenList{{kHtmlText, "<b"}, {kHtmlText, "class=x>"}}));
    EXPECT_EQ(Tokens("<p align=x>"), (TokenList{{kHtmlText, "<p"}, {kHtmlText, "align=x>"}}));
    EXPECT_EQ(Tokens("a<b"), (TokenList{{kHtmlText, "a"}, {kHtmlText, "<b"}}));
    EXPECT_EQ(Tokens("<"), (TokenList{{kHtmlText, "<"}}));
    EXPECT_EQ(Tokens("</"), (TokenList{{kHtmlClosing, "</"}}));
    EXPECT_EQ(Tokens("</font >"), (TokenList{{kHtmlClosing, "</font"}, {kHtmlText, ">"}}));
    EXPECT_EQ(Tokens("<font color=#ff0000>x"), (TokenList{{kHtmlFont, "<font color=#ff0000>"}, {kHtmlText, "x"}}));
    EXPECT_EQ(Tokens("<font color=1"), (TokenList{{kHtmlFont, "<font color=1"}}));
}

TEST(HtmlTokenizer, BlanksAreSingleAsciiBytesAndDoubleByteCharactersStayWhole) {
    EXPECT_TRUE(IsHtmlBlank(' ') && IsHtmlBlank('\t') && IsHtmlBlank('\n') && IsHtmlBlank('\r') && IsHtmlBlank('\v') &&
                IsHtmlBlank('\f'));
    EXPECT_FALSE(IsHtmlBlank(0xA0) || IsHtmlBlank(0x85) || IsHtmlBlank(0));
    // "가 나" with a full-width space (A1 A1) between two more characters: one word.
    EXPECT_EQ(Tokens("\xB0\xA1 \xB3\xAA\xA1\xA1\xB4\xD9"),
              (TokenList{{kHtmlText, "\xB0\xA1"}, {kHtmlText, "\xB3\xAA\xA1\xA1\xB4\xD9"}}));
    // A trail byte with the value of '<' or a blank does not occur in 949, but a lone byte before
    // a tag must still end the word at the tag.
    EXPECT_EQ(Tokens("\xC5<b>"), (TokenList{{kHtmlText, "\xC5"}, {kHtmlBold, "<b>"}}));
}

TEST(HtmlTokenizer, BlockTagsSwallowFollowingBlanksAndClearThePendingBlank) {
    EXPECT_EQ(Tokens("a<br>  b"), (TokenList{{kHtmlText, "a"}, {kHtmlBreak, "<br>  "}, {kHtmlText, "b"}}));
    // After a blank, an inline tag also takes the blanks that follow it.
    EXPECT_EQ(Tokens("a <b> c"), (TokenList{{kHtmlText, "a"}, {kHtmlBold, "<b>"}, {kHtmlText, "c"}}));
    const char* text = " <p> x";
    const char* cursor = text;
    int remaining = 6;
    int length = 0;
    int pending = 0;
    EXPECT_EQ(NextHtmlToken(cursor, remaining, length, &pending), kHtmlParagraph);
    EXPECT_EQ(cursor, text + 1);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(pending, 0);
    cursor += length;
    EXPECT_EQ(NextHtmlToken(cursor, remaining, length, nullptr), kHtmlText);
    EXPECT_EQ(NextHtmlToken(cursor += length, remaining, length, nullptr), kHtmlEnd);
}

TEST(HtmlColor, SixCharactersAfterOptionalQuoteAndHash) {
    auto parse = [](const std::string& s) { return ParseHtmlColor(s.data(), static_cast<int>(s.size())); };
    EXPECT_EQ(parse("#ff0000>"), kRed);
    EXPECT_EQ(parse("'#00ff00'"), kGreen);
    EXPECT_EQ(parse("00ff00"), kGreen);
    EXPECT_EQ(parse("\"#0000FF\""), kBlue);
    EXPECT_EQ(parse("#12AbzZ"), MakeTextColor(0x12, 0xAB, 0));
    EXPECT_EQ(parse("red"), MakeTextColor(0x0E, 0xD0, 0)); // no colour names, only hex digits
    EXPECT_EQ(parse("#ff"), kRed);
    EXPECT_EQ(ParseHtmlColor(nullptr, -5), 0u);
    // Only the bytes given are read: "ff" beyond the length counts as 0.
    EXPECT_EQ(ParseHtmlColor("#0000ff", 5), 0u);
}

TEST(HtmlLayout, EmptyAndBlankTextsDrawNothingAndMeasureOneLine) {
    for (const std::string text : {"", "   ", " \t\r\n"}) {
        CFakeTextSurface s;
        EXPECT_EQ(Draw(s, text), 0);
        EXPECT_TRUE(s.drawn.empty());
        const TextRect r = Measure(text);
        EXPECT_EQ(r.right, 10);
        EXPECT_EQ(r.bottom, kLine);
    }
    CFakeTextSurface s;
    EXPECT_EQ(HtmlDrawText(nullptr, "a", -1, nullptr, 0), 0);
    EXPECT_EQ(HtmlDrawText(&s, nullptr, 5, nullptr, 0), 0);
    EXPECT_EQ(s.Saves(), 0);
}

TEST(HtmlLayout, BreaksAndParagraphsGiveLineOffsets) {
    CFakeTextSurface s;
    EXPECT_EQ(Draw(s, "a<br>b"), kLine);
    EXPECT_EQ(s.drawn[1].box.top, kLine);
    EXPECT_EQ(s.drawn[1].box.left, 0);
    EXPECT_EQ(Draw(s, "<p>a"), 0);
    EXPECT_EQ(Draw(s, " <p>a"), kLine * 3 / 2);
    EXPECT_EQ(Draw(s, "a<p>b<p>c"), 2 * (kLine * 3 / 2));
    EXPECT_EQ(Draw(s, "a</p>b</br>c"), 0);
    EXPECT_EQ(Draw(s, "a<br>b<p>c", {0, 0, 300, 200}, kWrap | kDtSingleLine), 0);
    // The explicit length ends the text before the break.
    TextRect rect{0, 0, 300, 100};
    EXPECT_EQ(HtmlDrawText(&s, "a<br>b", 1, &rect, 0), 0);
    const TextRect r = Measure("ab<br>c");
    EXPECT_EQ(r.bottom, 2 * kLine);
    EXPECT_EQ(r.right, 10 + 12);
}

TEST(HtmlLayout, WordsWrapAtBlanksOnlyAndDropTheBlankAtTheWrap) {
    CFakeTextSurface s;
    // Words of 18 px, a space of 6 in a 40 px line: one word per line.
    EXPECT_EQ(Draw(s, "aaa bbb ccc", {0, 0, 40, 100}), 2 * kLine);
    ASSERT_EQ(s.drawn.size(), 3u);
    EXPECT_EQ(s.drawn[1].box, (TextRect{0, kLine, 40, 2 * kLine}));
    EXPECT_EQ(s.drawn[2].box.left, 0);
    // Without word breaks the line grows instead.
    CFakeTextSurface n;
    EXPECT_EQ(Draw(n, "aaa bbb", {0, 0, 40, 100}, 0), 0);
    EXPECT_EQ(n.drawn[1].box, (TextRect{24, 0, 42, kLine}));
    // Tokens without a blank between them stay on one line.
    CFakeTextSurface j;
    EXPECT_EQ(Draw(j, "abc<b>def</b>", {0, 0, 20, 100}), 0);
    EXPECT_EQ(j.drawn[1].box.left, 18);
    EXPECT_EQ(Measure("aaa bbb", 40).right, 10 + 18);
}

TEST(HtmlLayout, AWordWiderThanTheBoxWidensTheLine) {
    CFakeTextSurface s;
    EXPECT_EQ(Draw(s, "abcdefgh", {5, 0, 25, 100}), 0);
    EXPECT_EQ(s.drawn[0].box, (TextRect{5, 0, 5 + 48, kLine}));
    EXPECT_EQ(Measure("abcdefgh", 20).right, 10 + 48);
    // The widened line then holds the words that fit in it.
    EXPECT_EQ(Draw(s, "abcdefgh a ab", {0, 0, 20, 100}), kLine);
    EXPECT_EQ(s.drawn.back().box, (TextRect{12, kLine, 48, 2 * kLine}));
}

TEST(HtmlLayout, StylesFollowTagsWithoutNestingCounts) {
    CFakeTextSurface s;
    Draw(s, "<B>a</b> <Strong>b</STRONG> <b><b>c</b>d <i><u>e</u></i> <bogus>f</bogus>g <em>h");
    const auto w = s.Words();
    ASSERT_EQ(w.size(), 8u);
    EXPECT_EQ(w[0].style, kStyleBold);
    EXPECT_EQ(w[1].style, kStyleBold);
    EXPECT_EQ(w[2].style, kStyleBold);
    EXPECT_EQ(w[3].style, 0u);
    EXPECT_EQ(w[4].style, kStyleItalic | kStyleUnderline);
    EXPECT_EQ(w[5].style, kStyleBold);
    EXPECT_EQ(w[6].style, 0u);
    EXPECT_EQ(w[7].style, kStyleItalic);
    // Bold words and the blank before them are measured in the bold font.
    EXPECT_EQ(w[1].box.left, 7 + 7);
}

TEST(HtmlLayout, UnknownTagsAreDrawnLiterallyOrDropped) {
    CFakeTextSurface s;
    Draw(s, "<b class=x>y <s>z</s>w");
    std::vector<std::string> words;
    for (const auto& d : s.Words())
        words.push_back(d.text);
    EXPECT_EQ(words, (std::vector<std::string>{"<b", "class=x>y", "<s>", "z", "w"}));
    for (const auto& d : s.Words())
        EXPECT_EQ(d.style, 0u);
    EXPECT_EQ(s.Words()[4].box.left, s.Words()[3].box.left + 6);
}

TEST(HtmlLayout, SubscriptsSitOnTheLineBottomInTheSmallFont) {
    CFakeTextSurface s;
    Draw(s, "H<sub>2</sub>O x<sup>2</sup>", {0, 0, 300, 100}, kWrap | kDtNoPrefix);
    const auto w = s.Words();
    ASSERT_EQ(w.size(), 5u);
    EXPECT_EQ(w[1].style, kStyleSubscript);
    EXPECT_EQ(w[1].format & (kDtBottom | kDtSingleLine), kDtBottom | kDtSingleLine);
    EXPECT_EQ(w[1].box.bottom - w[1].box.top, kLine);
    EXPECT_EQ(w[2].box.left, 6 + 4);
    EXPECT_EQ(w[4].style, kStyleSuperscript);
    EXPECT_EQ(w[4].format & kDtBottom, 0u);
    EXPECT_EQ(StyledFontHeight(-12, kStyleSubscript), -8);
    EXPECT_EQ(StyledFontHeight(12, kStyleSuperscript | kStyleBold), 8);
    EXPECT_EQ(StyledFontHeight(-12, kStyleBold | kStyleItalic), -12);
    EXPECT_EQ(StyledFontWeight(kStyleBold), 700);
    EXPECT_EQ(StyledFontWeight(kStyleUnderline), 400);
}

TEST(HtmlLayout, BlanksUnderlinedBetweenUnderlinedWordsIndentedAtStartSwallowedAfterBreaks) {
    CFakeTextSurface s;
    Draw(s, "<u>ab cd</u> ef");
    ASSERT_EQ(s.drawn.size(), 4u);
    EXPECT_EQ(s.drawn[2].text, " ");
    EXPECT_EQ(s.drawn[2].box, (TextRect{12, 0, 18, kLine}));
    EXPECT_EQ(s.drawn[2].style, kStyleUnderline);
    EXPECT_EQ(s.drawn[3].text, "ef"); // the blank before "ef" is not underlined

    CFakeTextSurface t;
    Draw(t, " a<br> b <p>  c");
    ASSERT_EQ(t.drawn.size(), 3u);
    EXPECT_EQ(t.drawn[0].box.left, 6);
    EXPECT_EQ(t.drawn[1].box.left, 0);
    EXPECT_EQ(t.drawn[2].box.left, 0);

    // An underlined word that wraps gets no gap box for the dropped blank.
    CFakeTextSurface u;
    Draw(u, "<u>aaa bbb</u>", {0, 0, 30, 100});
    EXPECT_EQ(u.drawn.size(), 2u);
}

TEST(HtmlLayout, FontColorsIncludingTheCaseAndPositionRules) {
    CFakeTextSurface s;
    s.SetTextColor(kBlue);
    Draw(s, "<FONT COLOR=#FF0000>a</font>b <font color='#00ff00'>c</font> <font color=00ff00>d");
    auto w = s.Words();
    EXPECT_EQ(w[0].color, kRed);
    EXPECT_EQ(w[1].color, kBlue);
    EXPECT_EQ(w[2].color, kGreen);
    EXPECT_EQ(w[3].color, kGreen);
    EXPECT_EQ(s.GetTextColor(), kBlue); // restored at the end

    // '<font>' followed by the text "color=" colours what follows.
    CFakeTextSurface p;
    Draw(p, "<font>color=#ff0000 x");
    EXPECT_EQ(p.Words()[0].color, kRed);
    EXPECT_EQ(p.Words()[1].color, kRed);

    // An attribute not at the fixed position changes nothing, but its closing tag still pops. With
    // nothing pushed in this call, a pop brings back the colour this call started with, not what an
    // earlier call (here one that left two colours stacked) started with.
    CFakeTextSurface first;
    first.SetTextColor(kGreen);
    Draw(first, "<font color=#ff0000>a <font color=#0000ff>b");
    const TextColor start = MakeTextColor(1, 2, 3);
    CFakeTextSurface q;
    q.SetTextColor(start);
    Draw(q, "<font size=2 color=#00ff00>x</font>y </font></font>z");
    ASSERT_EQ(q.Words().size(), 3u);
    for (const auto& d : q.Words())
        EXPECT_EQ(d.color, start) << d.text;
    EXPECT_EQ(q.GetTextColor(), start);
}

TEST(HtmlLayout, NineNestedColoursLoseTheEighth) {
    CFakeTextSurface s;
    const TextColor before = MakeTextColor(1, 2, 3);
    s.SetTextColor(before);
    std::string text;
    for (int i = 1; i <= 9; ++i)
        text += "<font color=#0000" + std::string(1, static_cast<char>('0' + i)) + "0>c" + std::to_string(i) + " ";
    for (int i = 0; i < 9; ++i)
        text += "</font>p" + std::to_string(i) + " ";
    Draw(s, text, {0, 0, 2000, 100});
    const auto w = s.Words();
    ASSERT_EQ(w.size(), 18u);
    auto colour = [](int i) { return MakeTextColor(0, 0, i * 16); };
    EXPECT_EQ(w[8].color, colour(9));
    EXPECT_EQ(w[9].color, colour(7)); // the eighth was not stored
    for (int k = 1; k <= 6; ++k)
        EXPECT_EQ(w[9 + k].color, colour(7 - k)) << k;
    EXPECT_EQ(w[16].color, before);
    EXPECT_EQ(w[17].color, before); // empty stack: the bottom entry
}

// Words as drawn, joined by single blanks.
std::string DrawnText(const CFakeTextSurface& s) {
    std::string out;
    for (const auto& d : s.Words())
        out += (out.empty() ? "" : " ") + d.text;
    return out;
}

TEST(HtmlLayout, CharacterReferencesAreDrawnAndMeasuredAsTheirCharacters) {
    CFakeTextSurface s;
    Draw(s, "&lt;b&gt;x a &amp;lt; &quot;q&quot; &nbsp; &LT; &lt R&amp;D & \xB0\xA1&amp;\xB3\xAA <b>&lt;/b&gt;</b>",
         {0, 0, 2000, 100});
    EXPECT_EQ(DrawnText(s), "<b>x a &lt; \"q\" &nbsp; &LT; &lt R&D & \xB0\xA1&\xB3\xAA </b>");
    const auto w = s.Words();
    for (size_t i = 0; i + 1 < w.size(); ++i)
        EXPECT_EQ(w[i].style, 0u) << w[i].text;
    EXPECT_EQ(w.back().style, kStyleBold);
    // Widths are those of the decoded bytes: "<b>x" is 4 bytes, then a blank.
    EXPECT_EQ(w[1].box.left, 4 * 6 + 6);
    EXPECT_EQ(Measure("&lt;b&gt;x").right, 10 + 4 * 6);
}

TEST(HtmlText, EscapedTextIsDrawnAsTextAndUnescapesToItself) {
    EXPECT_EQ(EscapeHtmlText("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c'");
    EXPECT_EQ(UnescapeHtmlText("&amp;lt; &lt&gt; &nbsp; &QUOT; &"), "&lt; &lt> &nbsp; &QUOT; &");

    std::vector<std::string> texts = {"", "<b>x</b> <font color=#ff0000>y</font><br>z", "&amp; &lt;",
                                      "\xBE\xC8\xB3\xE7<\xC7\xCF&\xBC\xBC\xBF\xE4\"", "&&&;;<<>>"};
    std::string all;
    for (int c = 0; c < 256; ++c)
        all.push_back(static_cast<char>(c));
    texts.push_back(all);
    std::mt19937 random(7);
    for (int i = 0; i < 200; ++i) {
        std::string t(random() % 40, '\0');
        for (char& c : t)
            c = "&<>\"ltgampquo;#\xB0\xA1 x"[random() % 20];
        texts.push_back(t);
    }
    for (const std::string& text : texts) {
        const std::string html = EscapeHtmlText(text);
        EXPECT_EQ(html.find_first_of("<>\""), std::string::npos);
        EXPECT_EQ(UnescapeHtmlText(html), text);
    }

    // Markup written by a peer shows as the same words, in the surface's style and colour.
    CFakeTextSurface s;
    s.SetTextColor(kBlue);
    Draw(s, EscapeHtmlText(texts[1]) + " " + EscapeHtmlText(texts[3]), {0, 0, 2000, 100});
    EXPECT_EQ(DrawnText(s), "<b>x</b> <font color=#ff0000>y</font><br>z " + texts[3]);
    for (const auto& d : s.Words()) {
        EXPECT_EQ(d.style, 0u);
        EXPECT_EQ(d.color, kBlue);
    }
}

TEST(HtmlLayout, NegativeTopMirrorsGapBoxesAndMeasuredBottom) {
    const TextRect r = Measure("a<br>b", 100, -10);
    EXPECT_EQ(r.bottom, -10 - (kLine + kLine));
    CFakeTextSurface s;
    Draw(s, "a<br><u>b c</u>", {0, -10, 100, 100});
    ASSERT_EQ(s.drawn.size(), 4u);
    EXPECT_EQ(s.drawn[2].box.top, -10 + kLine); // words still go down
    EXPECT_EQ(s.drawn[3].box, (TextRect{6, -10 - kLine, 12, -10 - 2 * kLine}));
}

TEST(HtmlLayout, FormatFlagsStateAndFontSelections) {
    CFakeTextSurface s;
    s.SelectStyle(kStyleItalic);
    Draw(s, "a b <b>c d</b> e", {0, 0, 300, 100}, kDtCenter | kDtRight | kDtTabStop | kDtVCenter | kWrap);
    for (const auto& d : s.drawn)
        EXPECT_EQ(d.format, kDtVCenter | kWrap | kDtNoPrefix);
    EXPECT_EQ(s.Selects(), 1 + 3); // base, bold, base again
    EXPECT_TRUE(s.Balanced());
    EXPECT_EQ(s.Style(), kStyleItalic);
}

TEST(HtmlLayout, WithoutARectangleStartsAtTheCurrentPosition) {
    CFakeTextSurface s;
    s.position = {100, 40};
    s.resolution = 130;
    EXPECT_EQ(HtmlDrawText(&s, "aaa bbb", -1, nullptr, kWrap), kLine);
    EXPECT_EQ(s.drawn[0].box, (TextRect{100, 40, 130, 40 + kLine}));
    EXPECT_EQ(s.drawn[1].box.top, 40 + kLine);
    // A start beyond the surface's width is a zero-wide line, widened by each word.
    s.position = {200, 0};
    EXPECT_EQ(HtmlDrawText(&s, "a b", -1, nullptr, kWrap), kLine);
}

} // namespace

TEST(HtmlLayout, UnderlinedWordsAreFoundWhereTheyAreDrawnNumberedByTheirTag) {
    using Words = std::vector<std::pair<int, TextRect>>;
    const auto words = [](const std::string& text, TextRect rect) {
        CFakeTextSurface s;
        Words out;
        for (const HtmlUnderlinedWord& w : HtmlUnderlinedWords(s, text, rect, kWrap))
            out.emplace_back(w.nRun, w.box);
        EXPECT_TRUE(s.drawn.empty());
        EXPECT_TRUE(s.Balanced());
        return out;
    };
    // A word's box takes in the underlined blank before it; a wrap drops that blank.
    EXPECT_EQ(words("ab <u>cd ef</u> gh<br><u>ij</u>", {10, 5, 310, 200}),
              (Words{{0, {22, 5, 40, 20}}, {0, {40, 5, 58, 20}}, {1, {10, 20, 22, 35}}}));
    EXPECT_EQ(words("<u>aaa bbb</u>", {0, 0, 30, 100}), (Words{{0, {0, 0, 18, 15}}, {0, {0, 15, 18, 30}}}));
    EXPECT_EQ(words("<b>a</b> </u>b", {0, 0, 30, 100}), Words{});
}
