// Unread counts, do not disturb, the system's quiet states and muted peers.

#include "core/session/Attention.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using namespace dravel;

namespace {

TEST(Attention, MessagesCountUntilTheirConversationIsActivatedAndMutedOnesStayOutOfTheTotal) {
    CAttention attention;
    attention.SetMuted("park", true);
    // key, peer, window shown, active
    const std::vector<std::tuple<const char*, const char*, bool, bool>> arrivals = {
        {"Kim", "kim", false, false}, {"Lee", "lee", true, false}, {"Kim", "kim", true, false},
        {"Lee", "lee", true, true},   {"Park", "park", false, false},
    };
    for (const auto& [key, peer, bShown, bActive] : arrivals)
        attention.OnPeerMessage(key, peer, bShown, bActive);
    EXPECT_EQ(attention.CountOf("Kim"), 2);
    EXPECT_EQ(attention.CountOf("Lee"), 1); // the one read in the active window does not count
    EXPECT_EQ(attention.CountOf("Park"), 1);
    EXPECT_EQ(attention.Total(), 3);
    std::vector<std::tuple<std::string, int, bool>> listed;
    for (const UnreadConversation& c : attention.Unread())
        listed.emplace_back(c.strKey, c.nCount, c.bMuted);
    EXPECT_EQ(listed, (std::vector<std::tuple<std::string, int, bool>>{{"Park", 1, true}, {"Kim", 2, false}, {"Lee", 1, false}}));

    attention.OnConversationActivated("Kim");
    EXPECT_EQ(attention.CountOf("Kim"), 0);
    EXPECT_EQ(attention.Total(), 1);
    attention.SetMuted("park", false);
    EXPECT_EQ(attention.Total(), 2);
}

TEST(Attention, QuietAndMutedPeersGetNoPopUpAndOnlyShownWindowsFlash) {
    struct Case {
        bool bDoNotDisturb, bSystemQuiet, bMuted, bShown;
        bool bAlert, bFlash;
    };
    const Case cases[] = {
        {false, false, false, false, true, false}, {false, false, false, true, true, true},
        {true, false, false, true, false, false},  {false, true, false, true, false, false},
        {false, false, true, true, false, false},
    };
    for (const Case& c : cases) {
        CAttention attention;
        attention.SetDoNotDisturb(c.bDoNotDisturb);
        attention.SetSystemQuiet(c.bSystemQuiet);
        attention.SetMuted("kim", c.bMuted);
        const ArrivalSignals signals = attention.OnPeerMessage("Kim", "kim", c.bShown, false);
        EXPECT_EQ(std::make_pair(signals.bAlert, signals.bFlash), std::make_pair(c.bAlert, c.bFlash))
            << c.bDoNotDisturb << c.bSystemQuiet << c.bMuted << c.bShown;
        EXPECT_EQ(attention.MayAlert("kim"), c.bAlert);
        EXPECT_TRUE(attention.MayAlert("lee") || attention.IsQuiet());
    }
    const std::vector<bool> quiet = {false, false, true, true, true, false, true, true, false};
    for (int state = 0; state < 9; ++state)
        EXPECT_EQ(IsSystemQuietState(state), quiet[static_cast<size_t>(state)]) << state;
}

TEST(Attention, WhatArrivedWhileQuietIsToldOnceWhenTheQuietEnds) {
    for (const bool bSystem : {false, true}) {
        CAttention attention;
        attention.SetMuted("park", true);
        EXPECT_TRUE(attention.OfferNote(PopupKind::Note, "before"));
        bSystem ? attention.SetSystemQuiet(true) : attention.SetDoNotDisturb(true);
        for (int i = 0; i < 3; ++i)
            attention.OnPeerMessage("Kim", "kim", false, false);
        attention.OnPeerMessage("Park", "park", false, false); // muted: not told
        attention.OnPeerMessage("Lee", "lee", true, true);     // read as it came
        attention.OnPeerMessage("Lee", "lee", true, false);
        for (int i = 0; i < static_cast<int>(kMaxHeldNotes) + 2; ++i)
            EXPECT_FALSE(attention.OfferNote(PopupKind::Note, "note " + std::to_string(i)));
        EXPECT_FALSE(attention.TakeQuietSummary()) << "still quiet";

        bSystem ? attention.SetSystemQuiet(false) : attention.SetDoNotDisturb(false);
        const std::optional<QuietSummary> summary = attention.TakeQuietSummary();
        ASSERT_TRUE(summary);
        EXPECT_EQ(summary->nMessages, 4);
        EXPECT_EQ(std::make_pair(summary->strKey, summary->strPeerId), std::make_pair(std::string("Lee"), std::string("lee")));
        ASSERT_EQ(summary->notes.size(), kMaxHeldNotes);
        EXPECT_EQ(summary->notes.front(), std::make_pair(PopupKind::Note, std::string("note 2")));
        EXPECT_FALSE(attention.TakeQuietSummary()) << "told once";
        EXPECT_EQ(attention.Total(), 4) << "still unread";
    }
}

} // namespace
