#include "core/session/Popups.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace dravel;

namespace {

class FakeClock : public Clock {
public:
    uint32_t nNow = 0;
    uint32_t TickCount() override { return nNow; }
};

class FakePopupHost : public PopupHost {
public:
    std::vector<std::string> calls;
    std::vector<PopupRequest> shown;
    bool bShowFails = false;

    void StopSound() override { calls.push_back("stop"); }
    void PlaySound() override { calls.push_back("play"); }
    bool ShowSlotPopup(const PopupRequest& r) override {
        calls.push_back("slot " + std::to_string(r.nInstance));
        shown.push_back(r);
        return !bShowFails;
    }
    void ShowSharedPopup(const PopupRequest& r) override {
        calls.push_back("shared");
        shown.push_back(r);
    }
    void DeleteSlotPopup(int n) override { calls.push_back("delete " + std::to_string(n)); }
    void OpenConversation(const std::string& key, const std::string& peerId) override {
        calls.push_back("open " + key + "|" + peerId);
    }
};

// The string table's pop-up texts as the Windows layer hands them over, in code page 949.
PopupTexts KoreanPopupTexts() {
    return PopupTexts{
        .strAppTitle = "Dravel On",
        .strGreeting = "%s\n\n%s",
        // "%s 님\n\n%s 접속을 종료합니다."
        .strSessionEnded = "%s \xB4\xD4\n\n%s \xC1\xA2\xBC\xD3\xC0\xBB \xC1\xBE\xB7\xE1\xC7\xD5\xB4\xCF\xB4\xD9.",
        // "%s 로 부터 새로운 쪽지가 도착했습니다."
        .strMessage = "%s \xB7\xCE \xBA\xCE\xC5\xCD \xBB\xF5\xB7\xCE\xBF\xEE \xC2\xCA\xC1\xF6\xB0\xA1 "
                      "\xB5\xB5\xC2\xF8\xC7\xDF\xBD\xC0\xB4\xCF\xB4\xD9.",
        .strNote = "%s",
        // "%s 로 부터 취소 요청이 들어왔습니다."
        .strCancelRequest = "%s \xB7\xCE \xBA\xCE\xC5\xCD \xC3\xEB\xBC\xD2 \xBF\xE4\xC3\xBB\xC0\xCC "
                            "\xB5\xE9\xBE\xEE\xBF\xD4\xBD\xC0\xB4\xCF\xB4\xD9.",
        // "%s 로 부터 첨부파일이 도착했습니다."
        .strFile = "%s \xB7\xCE \xBA\xCE\xC5\xCD \xC3\xB7\xBA\xCE\xC6\xC4\xC0\xCF\xC0\xCC "
                   "\xB5\xB5\xC2\xF8\xC7\xDF\xBD\xC0\xB4\xCF\xB4\xD9.",
    };
}

struct Board {
    FakePopupHost host;
    FakeClock clock;
    CPopupBoard board{host, clock, KoreanPopupTexts()};
};

} // namespace

TEST(PopupBoard, SlotsFillFromTheLowestFreeAndTheSeventeenthTakesTheOldestSlot) {
    Board b;
    for (int i = 0; i < kPopupSlots; ++i)
        EXPECT_EQ(b.board.Show(PopupKind::Message, "p" + std::to_string(i), "id"), PopupResult::Shown);
    EXPECT_EQ(b.board.BusyMask(), 0xFFFF);
    for (int i = 0; i < kPopupSlots; ++i)
        EXPECT_EQ(b.host.shown[static_cast<size_t>(i)].nInstance, i);

    // No message is lost to a full table: the pop-up shown longest ago makes room.
    b.host.calls.clear();
    EXPECT_EQ(b.board.Show(PopupKind::Note, "17th", ""), PopupResult::Shown);
    EXPECT_EQ(b.host.calls, (std::vector<std::string>{"stop", "delete 0", "slot 0", "play"}));
    EXPECT_EQ(b.board.BusyMask(), 0xFFFF);

    b.board.OnClick(9, "p9;id");
    b.board.OnClick(4, "p4;id");
    EXPECT_EQ(b.board.BusyMask(), 0xFFFF & ~(1 << 9) & ~(1 << 4));
    b.host.calls.clear();
    EXPECT_EQ(b.board.Show(PopupKind::File, "again", "id"), PopupResult::Shown);
    EXPECT_EQ(b.host.calls, (std::vector<std::string>{"stop", "slot 4", "play"}));
    // Full again: slot 1 now waits longest (slot 0 holds the 17th); its old click opens nothing.
    b.board.Show(PopupKind::Message, "more", "id");
    b.host.calls.clear();
    b.board.Show(PopupKind::Message, "newest", "id2");
    EXPECT_EQ(b.host.calls, (std::vector<std::string>{"stop", "delete 1", "slot 1", "play"}));
    b.board.OnClick(1, "p1;id");
    EXPECT_EQ(b.host.calls.back(), "open newest|id2");
}

TEST(PopupBoard, EachKindHasItsTextSkinAndClickData) {
    Board b;
    b.board.Show(PopupKind::Message, "Kim", "kim01");
    b.board.Show(PopupKind::Note, "50% off; today", "");
    b.board.Show(PopupKind::CancelRequest, "shop", "");
    b.board.Show(PopupKind::File, "Lee", "lee01");
    ASSERT_EQ(b.host.shown.size(), 4u);
    const PopupRequest& message = b.host.shown[0];
    EXPECT_EQ(message.strText, "Kim \xB7\xCE \xBA\xCE\xC5\xCD \xBB\xF5\xB7\xCE\xBF\xEE \xC2\xCA\xC1\xF6\xB0\xA1 "
                               "\xB5\xB5\xC2\xF8\xC7\xDF\xBD\xC0\xB4\xCF\xB4\xD9.");
    EXPECT_EQ(message.strClickData, "Kim;kim01");
    EXPECT_EQ(message.nShowMs, 200u);
    EXPECT_EQ(message.nStayMs, 0xFFFFFFFFu);
    EXPECT_EQ(message.nHideMs, 500u);
    EXPECT_EQ(message.nFifth, 10);
    EXPECT_EQ(b.host.shown[1].strText, "50% off; today"); // a note's text is shown as it is
    EXPECT_EQ(b.host.shown[1].strClickData, "50% off; today;");
    EXPECT_EQ(b.host.shown[2].strText.substr(0, 5), "shop ");
    EXPECT_NE(b.host.shown[2].strText.find("\xC3\xEB\xBC\xD2 \xBF\xE4\xC3\xBB"), std::string::npos);
    EXPECT_NE(b.host.shown[3].strText.find("\xC3\xB7\xBA\xCE\xC6\xC4\xC0\xCF"), std::string::npos);

    EXPECT_EQ(SlotPopupStyle(PopupKind::Message).nSkinBitmap, 156);
    EXPECT_EQ(SlotPopupStyle(PopupKind::Note).nSkinBitmap, 156);
    EXPECT_EQ(SlotPopupStyle(PopupKind::CancelRequest).nSkinBitmap, 167);
    EXPECT_EQ(SlotPopupStyle(PopupKind::File).nSkinBitmap, 168);
    const NotifierStyle s = SlotPopupStyle(PopupKind::File);
    EXPECT_EQ(s.nTransparentRed, -1);
    EXPECT_EQ(s.nHoverColour, 0xC80000u);
    EXPECT_EQ(std::wstring(s.pszFontFace), L"\uB3CB\uC6C0");
}

TEST(PopupBoard, ClicksOpenOnlyConversationsWithBothKeyAndPeer) {
    Board b;
    b.board.Show(PopupKind::Message, "Kim", "kim01");   // slot 0
    b.board.Show(PopupKind::Note, "a;b", "");           // slot 1: a ";" inside the note text
    b.board.Show(PopupKind::CancelRequest, "shop", ""); // slot 2
    b.host.calls.clear();
    b.board.OnClick(1, "a;b;");
    b.board.OnClick(2, "shop;");
    EXPECT_EQ(b.host.calls, (std::vector<std::string>{"delete 1", "delete 2"}));
    b.board.OnClick(0, "Kim;kim01");
    EXPECT_EQ(b.host.calls.back(), "open Kim|kim01");
    EXPECT_EQ(b.board.BusyMask(), 0);

    // Clicks that belong to no showing pop-up change nothing.
    b.host.calls.clear();
    b.board.OnClick(0, "Kim;kim01");
    b.board.OnClick(16, "x;y");
    b.board.OnClick(-1, "x;y");
    EXPECT_TRUE(b.host.calls.empty());

    // The keyboard's click answers the newest waiting pop-up, whichever slot it took, then the one before.
    b.board.Show(PopupKind::Message, "Lee", "lee");   // slot 0
    b.board.Show(PopupKind::Message, "Park", "park"); // slot 1
    b.board.OnClick(0, "Lee;lee");
    b.board.Show(PopupKind::Message, "Choi", "choi"); // slot 0 again, newest
    b.host.calls.clear();
    EXPECT_EQ(b.board.ClickNewest(), "Choi");
    EXPECT_EQ(b.board.ClickNewest(), "Park");
    EXPECT_EQ(b.board.ClickNewest(), std::nullopt);
    EXPECT_EQ(b.host.calls, (std::vector<std::string>{"delete 0", "open Choi|choi", "delete 1", "open Park|park"}));
    b.board.Show(PopupKind::Note, "notice", "");
    EXPECT_EQ(b.board.ClickNewest(), ""); // answered, and no conversation to open
}

TEST(PopupBoard, AClickOnTheSharedNotifierLeavesSlotZeroAlone) {
    Board b;
    b.board.Show(PopupKind::Greeting, "hello", "");
    b.board.Show(PopupKind::Message, "Kim", "kim01");
    ASSERT_EQ(b.host.shown.back().nInstance, 0);
    b.host.calls.clear();
    b.board.OnClick(0, ""); // the greeting, which shares instance number 0
    EXPECT_TRUE(b.host.calls.empty());
    EXPECT_EQ(b.board.BusyMask(), 1);
}

TEST(PopupBoard, GreetingsShowOnlyWithinThreeSecondsOfLoginOrTheLastGreeting) {
    Board b;
    b.clock.nNow = 10000;
    b.board.MarkLogin();
    b.clock.nNow = 12000;
    EXPECT_EQ(b.board.Show(PopupKind::Greeting, "welcome", ""), PopupResult::Shown);
    EXPECT_EQ(b.host.shown.back().strText, "Dravel On\n\nwelcome");
    EXPECT_EQ(b.host.shown.back().nStayMs, 3000u);
    EXPECT_EQ(b.host.calls, (std::vector<std::string>{"stop", "shared", "play"}));
    // The window moved to 12000, so 15000 is still in it; 18001 no longer.
    b.clock.nNow = 15000;
    EXPECT_EQ(b.board.Show(PopupKind::Greeting, "second", ""), PopupResult::Shown);
    b.clock.nNow = 18001;
    EXPECT_EQ(b.board.Show(PopupKind::Greeting, "late", ""), PopupResult::GreetingTooLate);

    Board fresh;
    fresh.clock.nNow = 500;
    fresh.board.MarkLogin();
    fresh.clock.nNow = 5500;
    EXPECT_EQ(fresh.board.Show(PopupKind::Greeting, "5 s later", ""), PopupResult::GreetingTooLate);
    EXPECT_EQ(fresh.host.calls, std::vector<std::string>{"stop"});
}

TEST(PopupBoard, TheGreetingSurvivesTheTickCounterWrappingRound) {
    Board b;
    b.clock.nNow = 0xFFFFFC00u;
    b.board.MarkLogin();
    b.clock.nNow = 0xFFFFFE00u; // 512 ms later, before the wrap
    EXPECT_EQ(b.board.Show(PopupKind::Greeting, "a", ""), PopupResult::Shown);
    b.clock.nNow = 0x00000400u; // 1536 ms after that, past the wrap
    EXPECT_EQ(b.board.Show(PopupKind::Greeting, "b", ""), PopupResult::Shown);
    b.clock.nNow = 0x00001000u;
    EXPECT_EQ(b.board.Show(PopupKind::Greeting, "c", ""), PopupResult::GreetingTooLate);
}

TEST(PopupBoard, SessionEndedUsesTheSharedNotifierWithoutSound) {
    Board b;
    EXPECT_EQ(b.board.Show(PopupKind::SessionEnded, "Kim", ""), PopupResult::Shown);
    EXPECT_EQ(b.host.calls, (std::vector<std::string>{"stop", "shared"}));
    EXPECT_EQ(b.host.shown[0].strText,
              "Kim \xB4\xD4\n\nDravel On \xC1\xA2\xBC\xD3\xC0\xBB \xC1\xBE\xB7\xE1\xC7\xD5\xB4\xCF\xB4\xD9.");
    EXPECT_EQ(b.host.shown[0].nFifth, 1);
    EXPECT_EQ(b.board.BusyMask(), 0);
}

TEST(PopupBoard, ANotifierThatFailedToAppearFreesItsSlot) {
    Board b;
    b.host.bShowFails = true;
    EXPECT_EQ(b.board.Show(PopupKind::Message, "Kim", "kim01"), PopupResult::NotShown);
    EXPECT_EQ(b.board.BusyMask(), 0);
    b.host.bShowFails = false;
    b.board.Show(PopupKind::Message, "Kim", "kim01");
    EXPECT_EQ(b.host.shown.back().nInstance, 0);
}

// The quiet time's summary carries its own text and opens the newest conversation; opening a
// conversation another way takes its waiting pop-ups away, and only its own.
TEST(PopupBoard, ATextOfItsOwnOpensItsConversationAndDismissTakesOnlyThatConversationsPopUps) {
    Board b;
    b.board.Show(PopupKind::Message, "Kim", "kim");           // slot 0
    b.board.ShowText("3 while away", "Lee", "lee");           // slot 1
    b.board.Show(PopupKind::Note, "Kim", "");                 // slot 2: a note that merely reads "Kim"
    b.board.Show(PopupKind::File, "Kim", "kim");              // slot 3
    EXPECT_EQ(b.host.shown[1].strText, "3 while away");
    EXPECT_EQ(b.host.shown[1].strClickData, "Lee;lee");
    b.host.calls.clear();
    b.board.Dismiss("Kim");
    EXPECT_EQ(b.host.calls, (std::vector<std::string>{"delete 0", "delete 3"}));
    EXPECT_EQ(b.board.BusyMask(), 0b0110);
    b.host.calls.clear();
    b.board.OnClick(1, "Lee;lee");
    EXPECT_EQ(b.host.calls, (std::vector<std::string>{"delete 1", "open Lee|lee"}));
}
