#include "core/portal/PageOrigin.h"

#include "core/app/ServerAddress.h"

#include <gtest/gtest.h>

#include <string>

using namespace dravel;

TEST(PageOrigin, OnlyThePortalsPagesCount) {
    const std::string_view host = "127.0.0.1";
    for (const char* page : {"http://127.0.0.1/", "http://127.0.0.1:80/sm/a.asp", "HTTP://127.0.0.1/",
                             "http://127.0.0.1:/", "http://127.0.0.1?q", "http://127.0.0.1#f"})
        EXPECT_TRUE(IsPortalPage(page, host)) << page;
    for (const char* page : {"",
                             "http://127.0.0.1:8203/",
                             "http://127.0.0.1:8080/x",
                             "http://127.0.0.1:443/",
                             "https://127.0.0.1/",
                             "http://127.0.0.1.evil.com/",
                             "http://user@127.0.0.1/",
                             "http://127.0.0.1@evil/",
                             "http://127.0.0.1\\@evil/",
                             "http://127.0.0.1\\evil/",
                             "//127.0.0.1/x",
                             "/sm/x.asp",
                             "127.0.0.1/x",
                             "file:///C:/",
                             "file://127.0.0.1/c$/",
                             "\\\\server\\share",
                             "\\\\127.0.0.1\\share",
                             "about:blank",
                             "javascript:alert(1)",
                             "ftp://127.0.0.1/",
                             "http:127.0.0.1/",
                             "http:/127.0.0.1/",
                             "http://evil.example/",
                             "http://127.0.0.1:99999/",
                             "http://127.0.0.1:80x/",
                             "http://127.0.0.2/",
                             "http://127.0.0.1./",
                             "http://127.0.0.%31/",
                             "http:// 127.0.0.1/",
                             "http://127.0.0.1\t/",
                             "http:///127.0.0.1/",
                             "http://:80/",
                             "mk:@MSITStore:127.0.0.1"})
        EXPECT_FALSE(IsPortalPage(page, host)) << page;
    // The host's case does not count; no host allows nothing.
    EXPECT_TRUE(IsPortalPage("http://Portal.Example/", "portal.example"));
    EXPECT_FALSE(IsPortalPage("http://127.0.0.1/", ""));
    const auto origin = ParseWebOrigin("HTTPS://[::1]:8443/x");
    ASSERT_TRUE(origin.has_value());
    EXPECT_EQ(origin->strScheme, "https");
    EXPECT_EQ(origin->strHost, "[::1]");
    EXPECT_EQ(origin->nPort, 8443);

    // The windows a page may open.
    EXPECT_EQ(PortalWindowAddress("/sm/order/list.asp?a=1", host), "http://127.0.0.1/sm/order/list.asp?a=1");
    EXPECT_EQ(PortalWindowAddress("http://127.0.0.1:80/x", host), "http://127.0.0.1:80/x");
    for (const char* address :
         {"", "https://127.0.0.1/x", "http://127.0.0.1:8203/x", "file:///C:/", "\\\\server\\share", "//evil.example/x",
          "/\\evil.example/", "sm/x.asp", "http://evil.example/", "javascript:alert(1)", "/sm/x\n.asp",
          "http://127.0.0.1.evil.com/"})
        EXPECT_FALSE(PortalWindowAddress(address, host).has_value()) << address;
}

// Encrypted, the portal is https on its port only: an http page of the host is anybody's on the way.
TEST(PageOrigin, EncryptedOnlyHttpsIsThePortal) {
    SetSecurePages(true);
    for (const char* page : {"https://127.0.0.1/sm/a.asp", "hTTps://127.0.0.1:443", "https://127.0.0.1:/"})
        EXPECT_TRUE(IsPortalPage(page, "127.0.0.1")) << page;
    for (const char* page :
         {"http://127.0.0.1/", "http://127.0.0.1:443/", "https://127.0.0.1:8443/", "https://127.0.0.1:80/"})
        EXPECT_FALSE(IsPortalPage(page, "127.0.0.1")) << page;
    EXPECT_EQ(PortalWindowAddress("/sm/x.asp", "127.0.0.1"), "https://127.0.0.1/sm/x.asp");
    EXPECT_FALSE(PortalWindowAddress("http://127.0.0.1/sm/x.asp", "127.0.0.1").has_value());
    EXPECT_EQ(DecideNavigation({"http://127.0.0.1/sm/x.asp", NavigationKind::Page, false}, "127.0.0.1"),
              NavigationDecision::Refuse);
    EXPECT_EQ(DecideNavigation({"http://127.0.0.1/sm/x.asp", NavigationKind::NewWindow, false}, "127.0.0.1"),
              NavigationDecision::Refuse);
    SetSecurePages(false);
}

TEST(PageOrigin, OneGestureOpensOneWindowWithinItsTime) {
    struct Step {
        char op; // 'n' a gesture, 't' a window asks for it
        uint64_t nAtMs;
        bool bExpected;
    };
    const Step steps[] = {{'t', 0, false},    {'n', 1000, true}, {'t', 1000 + kUserGestureMs, true},
                          {'t', 3000, false}, {'n', 5000, true}, {'t', 5000 + kUserGestureMs + 1, false},
                          {'n', 9000, true},  {'t', 8999, false}};
    UserGesture gesture;
    for (const Step& step : steps) {
        if (step.op == 'n')
            gesture.Note(step.nAtMs);
        EXPECT_EQ(step.op == 'n' ? gesture.IsPending(step.nAtMs) : gesture.Take(step.nAtMs), step.bExpected)
            << step.op << step.nAtMs;
    }
}

TEST(PageOrigin, HostedWindowsStayOnThePortal) {
    const std::string_view host = "127.0.0.1";
    using enum NavigationDecision;
    const auto decide = [host](std::string_view url, NavigationKind kind, bool bUser) {
        return DecideNavigation({url, kind, bUser}, host);
    };
    // The portal, and what stays inside the page, go anywhere in a window; a portal window asked for by a
    // page is one of ours, whoever asked.
    for (const char* url : {"http://127.0.0.1/sm/a.asp", "HTTP://127.0.0.1:80/", "about:blank", "JavaScript:go()"})
        for (NavigationKind kind : {NavigationKind::Page, NavigationKind::Frame})
            EXPECT_EQ(decide(url, kind, false), Allow) << url;
    EXPECT_EQ(decide("http://127.0.0.1/sm/x.asp", NavigationKind::NewWindow, false), OpenPortalWindow);
    EXPECT_EQ(decide("javascript:go()", NavigationKind::NewWindow, true), Refuse);

    // Another site: in the default browser when the user asked, never in a frame, never by the page alone.
    for (NavigationKind kind : {NavigationKind::Page, NavigationKind::NewWindow}) {
        EXPECT_EQ(decide("https://www.example.com/a?b=1#c", kind, true), OpenInDefaultBrowser);
        EXPECT_EQ(decide("https://www.example.com/", kind, false), Refuse);
    }
    EXPECT_EQ(decide("http://evil.example/", NavigationKind::Frame, true), Refuse);

    // Other schemes, and addresses that could be read two ways or break out of a command line, go nowhere.
    for (const char* url :
         {"file:///C:/Windows/", "\\\\server\\share", "res://ieframe.dll/x", "mailto:a@b.c",
          "ms-settings:", "http://127.0.0.1@evil/", "http://evil.example/a b", "http://evil.example/\"--flag",
          "http://evil.example/a\\b", "http://evil.example/\n", "//evil.example/x", "about:config"})
        for (NavigationKind kind : {NavigationKind::Page, NavigationKind::Frame, NavigationKind::NewWindow})
            EXPECT_EQ(decide(url, kind, true), Refuse) << url;
    const std::string longAddress = "http://evil.example/" + std::string(kMaxOutsideAddress, 'a');
    EXPECT_EQ(decide(longAddress, NavigationKind::Page, true), Refuse);
    // Without a portal host nothing is the portal's.
    EXPECT_EQ(DecideNavigation({"http://127.0.0.1/", NavigationKind::Page, false}, ""), Refuse);
}
