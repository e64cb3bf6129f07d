#include "core/session/WindowTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dravel;

namespace {

class FakeWindows : public WindowTableHost {
public:
    std::vector<std::string> calls;
    bool bCreateFails = false;

    void ShowConversation(int n) override { calls.push_back("show " + std::to_string(n)); }
    bool CreateConversation(int n, const std::string& key, const std::string& peerId) override {
        calls.push_back("create " + std::to_string(n) + " " + key + "|" + peerId);
        return !bCreateFails;
    }
    void StartConversation(int n, const std::string& peerId) override {
        calls.push_back("start " + std::to_string(n) + " " + peerId);
    }
    bool CreatePortalPopup(int n, const PortalPopupRequest& r) override {
        calls.push_back("portal " + std::to_string(n) + " " + r.strUrl);
        return !bCreateFails;
    }
};

} // namespace

TEST(WindowTable, APeerOpenedTwiceKeepsItsOneSlot) {
    CWindowTable table;
    FakeWindows w;
    EXPECT_EQ(table.OpenConversation("Kim", "kim01", w).result, SlotResult::Created);
    SlotDecision again = table.OpenConversation("Kim", "kim01", w);
    EXPECT_EQ(again.result, SlotResult::Shown);
    EXPECT_EQ(again.nSlot, 0);
    EXPECT_EQ(table.SlotCount(), 1);
    EXPECT_EQ(w.calls, (std::vector<std::string>{"create 0 Kim|kim01", "start 0 kim01", "show 0"}));
    EXPECT_EQ(table.Key(0), "Kim");
    EXPECT_EQ(table.PeerId(0), "kim01");
}

TEST(WindowTable, ConversationsAndPortalPopupsShareOneCounter) {
    CWindowTable table;
    FakeWindows w;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(table.OpenPortalPopup({"http://h/p" + std::to_string(i), 0, 0, 10, 10}, w).nSlot, i);
    SlotDecision d = table.OpenConversation("Kim", "kim01", w);
    EXPECT_EQ(d.nSlot, 3);
    EXPECT_EQ(table.FindConversation("Kim"), 3);
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(table.SlotUse(n), CWindowTable::Use::PortalPopup);
        EXPECT_EQ(table.Key(n), "");
    }
    EXPECT_EQ(table.OpenPortalPopup({"http://h/q", 0, 0, 10, 10}, w).nSlot, 4);
    EXPECT_EQ(table.SlotUse(5), CWindowTable::Use::Unused);
}

TEST(WindowTable, FindingComparesKeysByteForByte) {
    CWindowTable table;
    FakeWindows w;
    table.OpenConversation("Kim", "kim01", w);
    table.OpenConversation("\xB1\xE8", "kim02", w); // "김"
    EXPECT_EQ(table.FindConversation("\xB1\xE8"), 1);
    EXPECT_EQ(table.FindConversation("kim"), -1);
    EXPECT_EQ(table.FindConversation("Kim "), -1);
    EXPECT_EQ(table.FindConversation(""), -1);
    // An empty key names nobody and is not given a window.
    EXPECT_EQ(table.OpenConversation("", "x", w).result, SlotResult::Failed);
    EXPECT_EQ(table.SlotCount(), 2);
}

TEST(WindowTable, TheHundredAndFirstWindowIsRefusedAndTheTableStaysUsable) {
    CWindowTable table;
    FakeWindows w;
    for (int i = 0; i < 50; ++i) {
        table.OpenConversation("user" + std::to_string(i), "id" + std::to_string(i), w);
        table.OpenPortalPopup({"http://h/", 0, 0, 1, 1}, w);
    }
    EXPECT_EQ(table.SlotCount(), kMaxWindowSlots);
    w.calls.clear();
    EXPECT_EQ(table.OpenConversation("newcomer", "n1", w).result, SlotResult::Full);
    EXPECT_EQ(table.OpenPortalPopup({"http://h/", 0, 0, 1, 1}, w).result, SlotResult::Full);
    EXPECT_TRUE(w.calls.empty());
    EXPECT_EQ(table.SlotCount(), kMaxWindowSlots);
    // Conversations already open still come back.
    SlotDecision d = table.OpenConversation("user49", "id49", w);
    EXPECT_EQ(d.result, SlotResult::Shown);
    EXPECT_EQ(d.nSlot, 98);
    EXPECT_EQ(table.FindConversation("newcomer"), -1);
}

TEST(WindowTable, AWindowThatCouldNotBeMadeUsesNoSlot) {
    CWindowTable table;
    FakeWindows w;
    w.bCreateFails = true;
    EXPECT_EQ(table.OpenConversation("Kim", "kim01", w).result, SlotResult::Failed);
    EXPECT_EQ(table.OpenPortalPopup({"http://h/", 0, 0, 1, 1}, w).result, SlotResult::Failed);
    EXPECT_EQ(table.SlotCount(), 0);
    EXPECT_EQ(table.FindConversation("Kim"), -1);
    w.bCreateFails = false;
    EXPECT_EQ(table.OpenConversation("Kim", "kim01", w).nSlot, 0);
}
