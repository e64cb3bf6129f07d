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
    const auto L = [](const std::string& shown) { return HtmlLinkMarkup(shown); };
    const std::string longAddress = "http://a.kr/" + std::string(3000, 'x');
    struct Case {
        std::string text, html;         // the message and its item body
        std::vector<std::string> links; // what its links open
    };
    const std::vector<Case> cases = {
        {"see http://a.kr/x.", "see " + L("http://a.kr/x") + ".", {"http://a.kr/x"}},
        {"(HTTPS://A.kr/?a=1&b=2)", "(" + L("HTTPS://A.kr/?a=1&amp;b=2") + ")", {"HTTPS://A.kr/?a=1&b=2"}},
        // 949 text right around it ("주소", "확인"); the wrapping's blank stays inside the one link.
        {"\xC1\xD6\xBC\xD2http://a.kr\xC8\xAE", "\xC1\xD6\xBC\xD2" + L("http://a.kr") + "\xC8\xAE", {"http://a.kr"}},
        {"http://example.com/abcdefghij/x", L("http://example.com/abcdefg hij/x"), {"http://example.com/abcdefghij/x"}},
        {"http://a.kr http://b.kr", L("http://a.kr") + " " + L("http://b.kr"), {"http://a.kr", "http://b.kr"}},
        // Markup from outside stays text; a quote ends an address.
        {"<a href=http://a.kr>x</a>", "&lt;a href=" + L("http://a.kr") + "&gt;x&lt;/a&gt;", {"http://a.kr"}},
        {"http://x\"onclick=y", L("http://x") + "&quot;onclick=y", {"http://x"}},
        // Not addresses the default browser is given, or not addresses at all.
        {"javascript:x file://c/x xhttp://a.kr http:// https://@a.kr/ http://a.kr\\b",
         "javascript:x file://c/x xhttp://a.kr http:// https://@a.kr/ http://a.kr\\b",
         {}},
        {longAddress, WrapText(longAddress), {}},
    };
    for (const Case& c : cases) {
        const CMessageBody body = MessageBody(c.text);
        EXPECT_EQ(body.strHtml, c.html) << c.text;
        EXPECT_EQ(body.links, c.links) << c.text;
    }
    EXPECT_EQ(L("a"), "<font color=#0645AD><u>a</u></font>");
    EXPECT_EQ(ParseHtmlColor("#0645AD", 7), kHtmlLinkColor);
}
