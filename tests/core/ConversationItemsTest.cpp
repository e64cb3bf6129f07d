#include "core/conversation/ConversationItems.h"
#include "core/conversation/TextRules.h"
#include "core/ui/HtmlLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dravel;

TEST(ConversationItems, LogLinesOfEveryKind) {
    EXPECT_EQ(LogLine(LogKind::Incoming, "T", "hi"), "> T hi\n");
    EXPECT_EQ(LogLine(LogKind::IncomingFile, "T", "File_a"), "F T File_a\n");
    EXPECT_EQ(LogLine(LogKind::Own, "T", "yo"), ". T yo\n");
    EXPECT_EQ(LogLine(LogKind::OwnFile, "T", "Send_a"), "S T Send_a\n");
    EXPECT_EQ(SentFileLogLine("T", "C:\\a.txt"), "S T Send_C:\\a.txt\n");
}

TEST(ConversationItems, WebAddressesInMessagesBecomeTheProgramsOwnLinks) {
    const std::string link = HtmlLinkMarkup("");
    const std::string open = link.substr(0, link.find("</u>"));
    const std::string close = "</u></font>";
    const std::string longAddress = "http://a.kr/" + std::string(3000, 'x');
    struct Case {
        std::string text;
        std::string html;               // the item's body
        std::vector<std::string> links; // what its links open
    };
    const std::vector<Case> cases = {
        {"see http://a.kr/x.", "see " + open + "http://a.kr/x" + close + ".", {"http://a.kr/x"}},
        {"(HTTPS://A.kr/?a=1&b=2) ok",
         "(" + open + "HTTPS://A.kr/?a=1&amp;b=2" + close + ") ok",
         {"HTTPS://A.kr/?a=1&b=2"}},
        // 949 text right around it: "주소" before, "확인" after.
        {"\xC1\xD6\xBC\xD2http://a.kr\xC8\xAE\xC0\xCE",
         "\xC1\xD6\xBC\xD2" + open + "http://a.kr" + close + "\xC8\xAE\xC0\xCE",
         {"http://a.kr"}},
        // A long address keeps the blank the wrapping puts into it, inside the one link.
        {"http://example.com/abcdefghij/x",
         open + "http://example.com/abcdefg hij/x" + close,
         {"http://example.com/abcdefghij/x"}},
        {"http://a.kr http://b.kr",
         open + "http://a.kr" + close + " " + open + "http://b.kr" + close,
         {"http://a.kr", "http://b.kr"}},
        // Markup from outside stays text; a quote ends an address.
        {"<a href=http://a.kr>x</a>",
         "&lt;a href=" + open + "http://a.kr" + close + "&gt;x&lt;/a&gt;",
         {"http://a.kr"}},
        {"http://x\"onclick=y", open + "http://x" + close + "&quot;onclick=y", {"http://x"}},
        // Not addresses the default browser is given, or not addresses at all.
        {"javascript:alert(1) file://c/x ftp://a.kr", "javascript:alert(1) file://c/x ftp://a.kr", {}},
        {"xhttp://a.kr http:// https://@a.kr/", "xhttp://a.kr http:// https://@a.kr/", {}},
        {"http://a.kr\\b", "http://a.kr\\b", {}},
        {longAddress, WrapText(longAddress), {}},
    };
    for (const Case& c : cases) {
        const CMessageBody body = MessageBody(c.text);
        EXPECT_EQ(body.strHtml, c.html) << c.text;
        EXPECT_EQ(body.links, c.links) << c.text;
    }
    EXPECT_EQ(link, "<font color=#0645AD><u></u></font>");
    EXPECT_EQ(ParseHtmlColor(link.c_str() + 12, 8), kHtmlLinkColor);
}
