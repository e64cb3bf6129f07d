#include "core/ui/HtmlReadingText.h"

#include "core/conversation/ConversationItems.h"
#include "tests/core/support/Korean.h"

#include <gtest/gtest.h>

#include <string>

using namespace dravel;

TEST(HtmlReadingText, ItemsReadAsTheirWordsLineByLineWithoutMarkup) {
    // A conversation item: sender, message and time on their own lines; what the peer typed stays text.
    EXPECT_EQ(
        HtmlReadingText(IncomingMessageItem(test::kNameKim, MessageBody("<b>hi</b> & bye"), "2020-01-02 PM 03:04:05")),
        test::kNameKim + "\n<b>hi</b> & bye\n2020-01-02 PM 03:04:05");
    EXPECT_EQ(HtmlReadingText(UnsentMessageItem(MessageBody("x"), "t", "unsent")).substr(0, 4), "x\nt\n");
    // A link reads as the address it is.
    EXPECT_EQ(HtmlReadingText(OwnMessageItem(MessageBody("see http://a.kr/?a=1&b=2345678901234567890."), "t")),
              "see http://a.kr/?a=1&b=2345678901234567890.\nt");
    // Words drawn together stay together, blanks collapse, breaks at the ends and repeated ones fold.
    EXPECT_EQ(HtmlReadingText("<p><br>a<b>b</b>   c <i> d</i><p><p>e<br>"), "ab c d\ne");
    // Unknown or malformed tags are drawn as words, so they are read too; an empty item reads empty.
    EXPECT_EQ(HtmlReadingText("<s>z</s>w <b"), "<s>zw <b");
    EXPECT_EQ(HtmlReadingText(""), "");
    EXPECT_EQ(HtmlReadingText(std::string_view("a\0b", 3)).size(), 3u);
}
