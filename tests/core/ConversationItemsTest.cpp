#include "core/conversation/ConversationItems.h"

#include <gtest/gtest.h>

using namespace dravel;

TEST(ConversationItems, LogLinesOfEveryKind) {
    EXPECT_EQ(LogLine(LogKind::Incoming, "T", "hi"), "> T hi\n");
    EXPECT_EQ(LogLine(LogKind::IncomingFile, "T", "File_a"), "F T File_a\n");
    EXPECT_EQ(LogLine(LogKind::Own, "T", "yo"), ". T yo\n");
    EXPECT_EQ(LogLine(LogKind::OwnFile, "T", "Send_a"), "S T Send_a\n");
    EXPECT_EQ(SentFileLogLine("T", "C:\\a.txt"), "S T Send_C:\\a.txt\n");
}
