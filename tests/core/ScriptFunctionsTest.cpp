#include "core/portal/ScriptFunctions.h"
#include "core/portal/PortalMenu.h"
#include "tests/core/support/Korean.h"
#include "tests/core/support/RecordingScriptHost.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

using namespace dravel;

namespace {

using FakeHost = dravel::testing::RecordingScriptHost;

// Arguments written in script order, handed over last-first as the platform does.
std::vector<ScriptArg> LastFirst(std::vector<ScriptArg> scriptOrder) {
    return {scriptOrder.rbegin(), scriptOrder.rend()};
}

constexpr std::string_view kPortalHost = "127.0.0.1";

ScriptResult Call(int32_t id, FakeHost& host, std::vector<ScriptArg> scriptOrder = {}, uint16_t flags = kInvokeMethod) {
    const std::vector<ScriptArg> args = LastFirst(std::move(scriptOrder));
    return InvokeScriptFunction(id, flags, args, host, kPortalHost);
}

const std::string& kKorean = dravel::test::kWordHangul;

TEST(ScriptFunctionsTest, NamesAreMatchedExactly) {
    const std::vector<std::string> names = {"CB_IsOurCustomBrowser",       "CB_Close",        "CB_CustomFunction",
                                            "CB_CustomFunctionWithParams", "CB_OpenWindow",   "CB_ShowModalDialog",
                                            "CB_ShowModelessDialog",       "CB_OpenDlgLogin", "CB_CloseWindow"};
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(ScriptFunctionIdOf(names[i]), static_cast<int32_t>(i + 1)) << names[i];
        EXPECT_EQ(ScriptFunctionName(static_cast<int32_t>(i + 1)), names[i]);
    }
    for (const char* other : {"cb_close", "CB_CLOSE", "CB_Close ", " CB_Close", "CB_Clos", "CB_CloseWindowX", "",
                              "Close", "CB_IsOurCustomBrowser\t"})
        EXPECT_EQ(ScriptFunctionIdOf(other), kUnknownScriptName) << other;
    EXPECT_EQ(ScriptFunctionIdOf(std::string("CB_Close\0", 9)), kUnknownScriptName);
    EXPECT_EQ(ScriptFunctionIdOf(kKorean), kUnknownScriptName);
    EXPECT_TRUE(ScriptFunctionName(0).empty());
    EXPECT_TRUE(ScriptFunctionName(10).empty());
    EXPECT_TRUE(ScriptFunctionName(-1).empty());
}

TEST(ScriptFunctionsTest, WindowArgumentsAreReadInScriptOrder) {
    FakeHost host;
    auto r = Call(kScriptOpenWindow, host,
                  {ScriptArg::Text("http://127.0.0.1/sm/a.asp?x=" + kKorean), ScriptArg::Number(10),
                   ScriptArg::Number(20), ScriptArg::Number(300), ScriptArg::Number(400), ScriptArg::Text("unused")});
    EXPECT_EQ(r.status, ScriptStatus::Ok);
    EXPECT_FALSE(r.bHasValue);
    ASSERT_EQ(host.calls, std::vector<std::string>{"OpenPortalPopup"});
    EXPECT_EQ(host.windows[0].strUrl, "http://127.0.0.1/sm/a.asp?x=" + kKorean);
    EXPECT_EQ(host.windows[0].nLeft, 10);
    EXPECT_EQ(host.windows[0].nTop, 20);
    EXPECT_EQ(host.windows[0].nWidth, 300);
    EXPECT_EQ(host.windows[0].nHeight, 400);

    // The unused sixth may be left out, and a seventh changes nothing: counting is from the front.
    Call(kScriptOpenWindow, host,
         {ScriptArg::Text("/sm/u5.asp"), ScriptArg::Number(1), ScriptArg::Number(2), ScriptArg::Number(3),
          ScriptArg::Number(4)});
    Call(kScriptShowModalDialog, host,
         {ScriptArg::Text("/sm/u7.asp"), ScriptArg::Number(5), ScriptArg::Number(6), ScriptArg::Number(7),
          ScriptArg::Number(8), ScriptArg::Number(9), ScriptArg::Other()});
    ASSERT_EQ(host.windows.size(), 3u);
    EXPECT_EQ(host.windows[1].strUrl, "http://127.0.0.1/sm/u5.asp"); // a path is on the portal
    EXPECT_EQ(host.windows[1].nHeight, 4);
    EXPECT_EQ(host.calls[2], "ShowPortalWindow");
    EXPECT_EQ(host.windows[2].strUrl, "http://127.0.0.1/sm/u7.asp");
    EXPECT_EQ(host.windows[2].nLeft, 5);
    EXPECT_EQ(host.windows[2].nHeight, 8);

    Call(kScriptCustomFunctionWithParams, host, {ScriptArg::Text(kKorean + "%s%d"), ScriptArg::Number(-7)});
    EXPECT_EQ(host.strText, kKorean + "%s%d");
    EXPECT_EQ(host.nNumber, -7);
}

TEST(ScriptFunctionsTest, CallsThatDoNotFitDoNothing) {
    FakeHost host;
    const auto url = ScriptArg::Text("u");
    const auto n = ScriptArg::Number(1);

    // Too few arguments, including none at all.
    for (int32_t id : {kScriptCustomFunctionWithParams, kScriptOpenWindow, kScriptShowModalDialog}) {
        EXPECT_EQ(Call(id, host).status, ScriptStatus::BadParamCount) << id;
        EXPECT_EQ(Call(id, host, {url}).status, ScriptStatus::BadParamCount) << id;
    }
    EXPECT_EQ(Call(kScriptOpenWindow, host, {url, n, n, n}).status, ScriptStatus::BadParamCount);

    // A number where the text goes, text where a number goes, or something that is neither.
    auto r = Call(kScriptCustomFunctionWithParams, host, {n, n});
    EXPECT_EQ(r.status, ScriptStatus::TypeMismatch);
    EXPECT_EQ(r.nBadArg, 1u); // the first in script order is the last element
    r = Call(kScriptCustomFunctionWithParams, host, {url, ScriptArg::Text("5")});
    EXPECT_EQ(r.status, ScriptStatus::TypeMismatch);
    EXPECT_EQ(r.nBadArg, 0u);
    r = Call(kScriptOpenWindow, host, {url, n, ScriptArg::Other(), n, n, n});
    EXPECT_EQ(r.status, ScriptStatus::TypeMismatch);
    EXPECT_EQ(r.nBadArg, 3u);

    // A window of negative size; asked for with the property bit too, it still gives no value.
    r = Call(kScriptShowModalDialog, host, {url, n, n, ScriptArg::Number(-1), n}, kInvokeMethod | kInvokePropertyGet);
    EXPECT_EQ(r.status, ScriptStatus::BadValue);
    EXPECT_EQ(r.nBadArg, 1u);
    EXPECT_FALSE(r.bHasValue);
    EXPECT_EQ(Call(kScriptOpenWindow, host, {url, n, n, n, ScriptArg::Number(INT32_MIN)}).status,
              ScriptStatus::BadValue);

    EXPECT_TRUE(host.calls.empty());

    // Read as a property, the same calls only answer true: no argument is read.
    r = Call(kScriptOpenWindow, host, {}, kInvokePropertyGet);
    EXPECT_EQ(r.status, ScriptStatus::Ok);
    EXPECT_TRUE(r.bHasValue && r.bValue);
    EXPECT_TRUE(host.calls.empty());
}

TEST(ScriptFunctionsTest, PlacesAndSizesStayInWindowRange) {
    FakeHost host;
    const std::vector<ScriptArg> place = {ScriptArg::Text("/"), ScriptArg::Number(INT32_MIN), ScriptArg::Number(-5),
                                          ScriptArg::Number(INT32_MAX), ScriptArg::Number(0)};
    Call(kScriptOpenWindow, host, place);
    Call(kScriptShowModalDialog, host, place);
    ASSERT_EQ(host.windows.size(), 2u);
    // The windows' own rule, so that a page's place and the window's agree.
    const PortalPopupRequest sane = SanePlacement({"", INT32_MIN, -5, INT32_MAX, 0});
    for (const PortalPopupRequest& w : host.windows) {
        EXPECT_EQ(w.nLeft, -kMaxWindowExtent);
        EXPECT_EQ(w.nTop, -5);
        EXPECT_EQ(w.nWidth, kMaxWindowExtent);
        EXPECT_EQ(w.nHeight, 0);
        EXPECT_EQ(std::tie(w.nLeft, w.nTop, w.nWidth, w.nHeight),
                  std::tie(sane.nLeft, sane.nTop, sane.nWidth, sane.nHeight));
    }
}

TEST(ScriptFunctionsTest, RefusedWindowsDoNothing) {
    // A refused window does nothing and names the address argument (the first, so the last element).
    // The portal window (CB_ShowModalDialog) follows the same rule as the pop-ups.
    FakeHost fake;
    for (int32_t id : {kScriptOpenWindow, kScriptShowModalDialog}) {
        for (const char* address : {"file:///C:/", "\\\\server\\share", "http://evil.example/"}) {
            const auto r = Call(id, fake,
                                {ScriptArg::Text(address), ScriptArg::Number(1), ScriptArg::Number(2),
                                 ScriptArg::Number(3), ScriptArg::Number(4)});
            EXPECT_EQ(r.status, ScriptStatus::AccessDenied) << address;
            EXPECT_EQ(r.nBadArg, 4u);
        }
    }
    EXPECT_TRUE(fake.calls.empty());
}

TEST(ScriptFunctionsTest, EachIdReachesItsOperation) {
    FakeHost host;
    const std::vector<std::pair<int32_t, std::string>> plain = {{kScriptClose, "IdleLogout"},
                                                                {kScriptCustomFunction, "CustomFunction"},
                                                                {kScriptOpenDlgLogin, "ReLogin"},
                                                                {kScriptCloseWindow, "CloseActiveWindow"},
                                                                {kScriptShowModelessDialog, "ShowChatList"}};
    for (const auto& [id, op] : plain) {
        host.calls.clear();
        const auto r = Call(id, host);
        EXPECT_EQ(r.status, ScriptStatus::Ok);
        EXPECT_FALSE(r.bHasValue) << id;
        EXPECT_EQ(host.calls, std::vector<std::string>{op}) << id;
    }
    // The chat list's five arguments are not looked at, whatever they are.
    host.calls.clear();
    Call(kScriptShowModelessDialog, host, {ScriptArg::Number(1), ScriptArg::Other()});
    EXPECT_EQ(host.calls, std::vector<std::string>{"ShowChatList"});
}

TEST(ScriptFunctionsTest, FlagsDecideBetweenValueAndEffect) {
    FakeHost host;
    // Property get alone: true for every id, nothing done.
    for (int32_t id = kFirstScriptFunction; id <= kLastScriptFunction; ++id) {
        const auto r = Call(id, host, {}, kInvokePropertyGet);
        EXPECT_TRUE(r.bHasValue && r.bValue) << id;
    }
    EXPECT_TRUE(host.calls.empty());

    // Method and property get together (how script engines call a function): the value and the effect.
    auto r = Call(kScriptClose, host, {}, kInvokeMethod | kInvokePropertyGet);
    EXPECT_TRUE(r.bHasValue && r.bValue);
    EXPECT_EQ(host.calls, std::vector<std::string>{"IdleLogout"});

    // The browser check asks the host; its answer is the value.
    host.calls.clear();
    r = Call(kScriptIsOurCustomBrowser, host);
    EXPECT_TRUE(r.bHasValue && r.bValue);
    EXPECT_EQ(host.calls, std::vector<std::string>{"IsCustomBrowser"});
    host.bAnswer = false;
    r = Call(kScriptIsOurCustomBrowser, host, {}, kInvokeMethod | kInvokePropertyGet);
    EXPECT_TRUE(r.bHasValue);
    EXPECT_FALSE(r.bValue);

    // Other bits (property put) do nothing, and so do ids that are none of ours.
    host.calls.clear();
    r = Call(kScriptClose, host, {}, 4 | 8);
    EXPECT_FALSE(r.bHasValue);
    for (int32_t id : {0, 10, -1, INT32_MAX, INT32_MIN}) {
        r = Call(id, host, {}, kInvokeMethod | kInvokePropertyGet);
        EXPECT_EQ(r.status, ScriptStatus::Ok);
        EXPECT_FALSE(r.bHasValue) << id;
    }
    EXPECT_TRUE(host.calls.empty());
}

TEST(ScriptFunctionsTest, KeyFilter) {
    constexpr unsigned kF5 = 0x74, kO = 'O', kA = 'A';
    auto filtered = [](bool down, unsigned vk, bool f5, bool ctrl, bool o, bool p, bool n) {
        return IsFilteredKey({down, vk, f5, ctrl, o, p, n});
    };
    EXPECT_TRUE(filtered(true, kF5, true, false, false, false, false));
    // F5 held counts whatever key the message is about.
    EXPECT_TRUE(filtered(true, kA, true, false, false, false, false));
    EXPECT_TRUE(filtered(true, kO, false, true, true, false, false));
    EXPECT_TRUE(filtered(true, 'P', false, true, false, true, false));
    EXPECT_TRUE(filtered(true, 'N', false, true, false, false, true));
    EXPECT_TRUE(filtered(true, kVkEscape, false, false, false, false, false));
    // A key let go before its message was handled: the message's own key counts as held.
    EXPECT_TRUE(filtered(true, kF5, false, false, false, false, false));
    EXPECT_TRUE(filtered(true, 'P', false, true, false, false, false));

    EXPECT_FALSE(filtered(true, kO, false, false, true, false, false)); // O without Ctrl
    EXPECT_FALSE(filtered(true, kA, false, true, false, false, false)); // Ctrl+A
    EXPECT_FALSE(filtered(true, kA, false, false, false, false, false));
    // Escape counts from the message only; key-ups and other messages are never filtered.
    EXPECT_FALSE(filtered(false, kVkEscape, true, true, true, true, true));
}

} // namespace
