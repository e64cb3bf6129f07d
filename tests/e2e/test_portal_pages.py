#!/usr/bin/python3
"""The portal's pages in the client, played by the test browser in the web browser control's place: the
main window hosts the page over its client area and sends it to the login page; the page reaches the
client's window.external, and what it asks for happens (a browser pop-up, the chat list, a box); only
the portal's own pages drive the client and stay in it, other sites open in the user's browser; the
host's key filter sees the page's keys first."""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import e2e  # noqa: E402
from dravelon_res import CAPTIONS, IDC_BROWSER, KOREAN_TEXTS, MENUS, kPlacementSection  # noqa: E402
from scripted_server import COM  # noqa: E402

MAIN_TITLE = CAPTIONS["IDD_MAIN"]
CHAT_LIST_TITLE = CAPTIONS["IDD_CHAT_LIST"]
POPUP_TITLE = CAPTIONS["IDD_BROWSER_POPUP"]
POPUP_URL = "http://127.0.0.1/x.asp"
S_OK = 0
VK_ESCAPE = 0x1B
VK_DOWN, VK_RETURN = 0x28, 0x0D
DOCHOSTUIFLAG_NO3DBORDER = 0x4
LOGIN_PAGE = "http://127.0.0.1/user/proc.asp?user_id=kim&user_password=secret"
E_ACCESSDENIED = 0x80070005
REFUSED = (E_ACCESSDENIED, "error: Invoke answered 0x80070005")
# Every function with arguments that fit it.
ALL_CALLS = [("CB_IsOurCustomBrowser",), ("CB_Close",), ("CB_CustomFunction",),
             ("CB_CustomFunctionWithParams", "x", 1), ("CB_OpenWindow", POPUP_URL, 10, 10, 300, 200),
             ("CB_ShowModalDialog", POPUP_URL, 0, 0, 300, 200), ("CB_ShowModelessDialog",), ("CB_OpenDlgLogin",),
             ("CB_CloseWindow",)]


class PortalPagesTest(e2e.E2ETestCase):
    def log_in(self):
        e2e.use_test_browser(self)
        return self.log_in_as_kim()

    def placement(self, control, margin, seconds=10):
        """(where the control is, where it should be: its parent's client area less margin on every
        side), once the two agree or after seconds; then the parent's client size."""
        deadline = time.monotonic() + seconds
        while True:
            rect, (width, height) = e2e.page_rect(self.driver, control)
            expected = [margin, margin, width - margin, height - margin]
            if rect == expected or time.monotonic() > deadline:
                return (rect, expected), (width, height)
            time.sleep(0.2)

    def test_pages_in_the_main_window_reach_the_client(self):
        # The window starts from a normal placement of its own, whatever an earlier test saved (a
        # maximised one would not take the resize below).
        for name, value in zip(("RectLeft", "RectTop", "RectRight", "RectBottom", "Max"), (20, 20, 620, 500, 0)):
            self.driver.reg_set(e2e.INSTALL_KEY + "\\" + kPlacementSection, name, dword=value, root="HKCU")
        conn, main = self.log_in()

        # The main window's browser, inside its frame line, sent to the login page.
        control = e2e.find_test_browser(self.driver, hwnd=main["hwnd"], visible=1)
        self.assertEqual((control["parent"], control["id"]), (main["hwnd"], IDC_BROWSER))
        self.driver.wait_text(hwnd=control["hwnd"], text=LOGIN_PAGE)
        placed, size = self.placement(control["hwnd"], 1)
        self.assertEqual(*placed)
        # ...and it keeps to the client area when the window is resized.
        rect = self.driver.find(hwnd=main["hwnd"])["rect"]
        self.driver.cmd("move", hwnd=main["hwnd"], x=40, y=30, width=rect[2] - rect[0] + 60,
                        height=rect[3] - rect[1] + 40)
        placed, new_size = self.placement(control["hwnd"], 1)
        self.assertEqual(*placed)
        self.assertEqual((new_size[0] - size[0], new_size[1] - size[1]), (60, 40))
        self.screenshot("test-browser-main")

        self.assertEqual(e2e.page_call(self.driver, control["hwnd"], "CB_IsOurCustomBrowser"), (S_OK, "true"))
        # A call whose arguments do not fit does nothing.
        hr, text = e2e.page_call(self.driver, control["hwnd"], "CB_OpenWindow", POPUP_URL, "10", 10, 300, 200)
        self.assertEqual((hr, text), (0x80020005, "error: Invoke answered 0x80020005"))
        self.assertEqual(e2e.page_call(self.driver, control["hwnd"], "CB_NoSuchFunction")[0], 0x80020006)

        # CB_OpenWindow(url, left, top, width, height): a browser pop-up of the client at that place,
        # with a browser of its own showing the page.
        self.assertEqual(e2e.page_call(self.driver, control["hwnd"], "CB_OpenWindow", POPUP_URL, 10, 10, 300, 200),
                         (S_OK, "undefined"))
        popup_control = e2e.find_test_browser(self.driver, pid=main["pid"], title=POPUP_TITLE, visible=1,
                                              child_text=POPUP_URL)
        popup = self.driver.find(hwnd=popup_control["parent"])
        self.assertEqual((popup["pid"], popup["class"], popup["owner"], popup["rect"]),
                         (main["pid"], "#32770", main["hwnd"], [10, 10, 310, 210]))
        self.assertEqual(*self.placement(popup_control["hwnd"], 0)[0])
        # The page in the pop-up reaches the client too; the main window's page stays where it was.
        self.assertEqual(e2e.page_call(self.driver, popup_control["hwnd"], "CB_IsOurCustomBrowser"), (S_OK, "true"))
        self.assertEqual(self.driver.get_text(hwnd=control["hwnd"]), LOGIN_PAGE)
        self.screenshot("test-browser-popup")

        # CB_ShowModelessDialog: the chat list, which asks the server for the friends' chats.
        self.assertEqual(e2e.page_call(self.driver, control["hwnd"], "CB_ShowModelessDialog"), (S_OK, "undefined"))
        self.driver.wait(title=CHAT_LIST_TITLE, pid=main["pid"], visible=1, timeout=15000)
        self.assertEqual(conn.wait_records(1, command=COM["CHATLIST_COLLECT"], timeout=15)[0].decoded("target"),
                         KOREAN_TEXTS["kFriendsList"])

        # A call that opens a box returns once the box is closed: posted, it runs from the control's
        # message loop while the test answers the box.
        self.assertEqual(e2e.page_call(self.driver, control["hwnd"], "CB_CustomFunctionWithParams", '인사 "말"', 7,
                                       wait=False), (S_OK, "posted"))
        box = self.driver.msgbox(pid=main["pid"], text_has='인사 "말"', timeout=10000)
        self.assertIn("7", box["text"])
        self.assertEqual(e2e.page_result(self.driver, control["hwnd"], timeout=0), (e2e.E_PENDING, "pending"))
        self.driver.msgbox(pid=main["pid"], text_has='인사 "말"', press=box["buttons"][0]["id"])
        self.assertEqual(e2e.page_result(self.driver, control["hwnd"]), (S_OK, "undefined"))

        # A navigation is seen as a change of the window's text.
        self.assertEqual(e2e.page_navigate(self.driver, control["hwnd"], "http://127.0.0.1/next.asp"), S_OK)
        self.assertEqual(self.driver.get_text(hwnd=control["hwnd"]), "http://127.0.0.1/next.asp")


    def test_only_the_portals_own_pages_drive_the_client(self):
        conn, main = self.log_in()
        control = e2e.find_test_browser(self.driver, hwnd=main["hwnd"], visible=1)
        windows_before = {w["hwnd"] for w in self.driver.list(pid=main["pid"], visible=1)}

        # A page of another host or of another port of it, one whose address code page 949 cannot carry
        # (read lossily it would be the portal's: "127.0.0.1?..."), or one that is no web page, gets an
        # access error from every function, and nothing happens: no window, no box, no chat list, no logout.
        for page in ("http://evil.example/", "http://127.0.0.1.evil.com/", "http://127.0.0.1:8203/",
                     "http://127.0.0.1\u0e01.evil.example/", "file:///C:/x.html", "about:blank"):
            self.assertEqual(e2e.page_navigate(self.driver, control["hwnd"], page), S_OK)
            for call in ALL_CALLS:
                self.assertEqual(e2e.page_call(self.driver, control["hwnd"], *call), REFUSED, (page, call))
        self.assertEqual({w["hwnd"] for w in self.driver.list(pid=main["pid"], visible=1)}, windows_before)
        self.assertEqual(self.driver.get_text(hwnd=main["hwnd"]), f"{MAIN_TITLE} - 김철수")

        # The portal's own page is answered; its pop-ups open only on the portal.
        self.assertEqual(e2e.page_navigate(self.driver, control["hwnd"], "HTTP://127.0.0.1:80/sm/main.asp"), S_OK)
        self.assertEqual(e2e.page_call(self.driver, control["hwnd"], "CB_IsOurCustomBrowser"), (S_OK, "true"))
        for address in ("file:///C:/", "\\\\server\\share", "http://evil.example/x.asp", "//evil.example/x",
                        "http://127.0.0.1:8203/x"):
            self.assertEqual(e2e.page_call(self.driver, control["hwnd"], "CB_OpenWindow", address, 10, 10, 300, 200),
                             REFUSED, address)
        self.assertEqual({w["hwnd"] for w in self.driver.list(pid=main["pid"], visible=1)}, windows_before)
        # A path is a page of the portal.
        self.assertEqual(e2e.page_call(self.driver, control["hwnd"], "CB_OpenWindow", "/sm/x.asp", 10, 10, 300, 200),
                         (S_OK, "undefined"))
        e2e.find_test_browser(self.driver, pid=main["pid"], title=POPUP_TITLE, visible=1,
                              child_text="http://127.0.0.1/sm/x.asp")
        self.assertNotIn(COM["CHATLIST_COLLECT"], [r.command for r in conn.records])


    def click_then(self, control, line, click="click"):
        """The user clicks in the page (or a program posts a click), and once the page has it, the page does
        line: (HRESULT, answer)."""
        self.assertEqual(e2e.page_command(self.driver, control, click)[0], S_OK)
        self.assertEqual(self.wait_keys(control, ["1 reached"]), ["1 reached"])
        self.assertEqual(e2e.page_command(self.driver, control, "post " + line), (S_OK, "posted"))
        return e2e.page_result(self.driver, control)

    def test_pages_stay_on_the_portal_and_other_sites_open_in_the_users_browser(self):
        e2e.record_default_browser(self)
        conn, main = self.log_in()
        control = e2e.find_test_browser(self.driver, hwnd=main["hwnd"], visible=1)["hwnd"]

        def page(line):
            return e2e.page_command(self.driver, control, line)

        # The portal's pages load, in the window and in its frames (an empty frame too).
        for line in ("frame http://127.0.0.1/sm/side.asp", "frame about:blank", "follow http://127.0.0.1/sm/list.asp"):
            self.assertEqual(page(line), (S_OK, "went"), line)
        self.assertEqual(self.driver.get_text(hwnd=control), "http://127.0.0.1/sm/list.asp")

        # Another site, asked for by the page on its own, goes nowhere: not here, not in a frame, not in a
        # window of its own, and not in the user's browser.
        for line in ("follow http://evil.example/", "frame http://evil.example/ad", "newwindow http://evil.example/ad 0",
                     "frame https://127.0.0.1.evil.com/"):
            self.assertEqual(page(line), (S_OK, "cancelled"), line)
        # Other schemes go nowhere even when the user clicked.
        for line in ("follow file:///C:/windows/", "newwindow file:///C:/", "follow mailto:a@example.com"):
            self.assertEqual(self.click_then(control, line), (S_OK, "cancelled"), line)
        # Another site the user clicked through to opens in the user's browser, once per click, and the
        # page stays here. Neither a click posted to the page, nor Space typed into a form field, nor the
        # engine's word that the user asked counts; Space on a link does.
        self.assertEqual(self.click_then(control, "follow https://www.example.com/a?b=1"), (S_OK, "cancelled"))
        self.assertEqual(page("follow https://www.example.com/again"), (S_OK, "cancelled"))
        self.assertEqual(self.click_then(control, "follow https://www.example.com/posted", "postclick"),
                         (S_OK, "cancelled"))
        self.assertEqual(page("newwindow http://www.example.com/news 130"), (S_OK, "cancelled"))
        for tag, address in (("INPUT", "https://www.example.com/typed"), ("A", "https://www.example.com/link")):
            self.assertEqual(page("focus " + tag)[0], S_OK)
            self.assertEqual(page("press 32 down")[0], S_OK)
            self.assertEqual(page("press 32 up")[0], S_OK)
            self.assertEqual(self.wait_keys(control, ["32 passed", "32 reached"]), ["32 passed", "32 reached"])
            self.assertEqual(page("post follow " + address), (S_OK, "posted"))
            self.assertEqual(e2e.page_result(self.driver, control), (S_OK, "cancelled"))
        self.assertEqual(e2e.wait_opened(2), ["https://www.example.com/a?b=1", "https://www.example.com/link"])
        self.assertEqual(self.driver.get_text(hwnd=control), "http://127.0.0.1/sm/list.asp")

        # A portal page's new window is a portal pop-up of the client, with its own browser.
        self.assertEqual(page("newwindow http://127.0.0.1/sm/new.asp"), (S_OK, "cancelled"))
        popup = e2e.find_test_browser(self.driver, pid=main["pid"], title=POPUP_TITLE, visible=1,
                                      child_text="http://127.0.0.1/sm/new.asp")
        self.assertEqual(e2e.page_call(self.driver, popup["hwnd"], "CB_IsOurCustomBrowser"), (S_OK, "true"))
        self.assertEqual(len(e2e.opened_addresses()), 2)
        # The older new-window event is cancelled too.
        self.assertEqual(page("newwindow2"), (S_OK, "cancelled"))
        # The page is told its border: none.
        self.assertEqual(page("hostinfo"), (S_OK, f"flags=0x{DOCHOSTUIFLAG_NO3DBORDER:08X} dblclk=0"))

    def test_each_document_is_judged_by_its_own_address(self):
        conn, main = self.log_in()
        control = e2e.find_test_browser(self.driver, hwnd=main["hwnd"], visible=1)["hwnd"]

        def page(line):
            return e2e.page_command(self.driver, control, line)

        # A frame of the portal reaches the client; once a redirect has taken it to another site (no
        # navigation event asks first), every function refuses it, while its portal page goes on.
        self.assertEqual(page("frame http://127.0.0.1/sm/side.asp"), (S_OK, "went"))
        self.assertEqual(page("framecall CB_IsOurCustomBrowser"), (S_OK, "true"))
        self.assertEqual(page("redirect frame http://evil.example/ad"), (S_OK, LOGIN_PAGE))
        for call in ALL_CALLS:
            line = " ".join(["framecall", call[0], *(e2e._script_argument(a) for a in call[1:])])
            self.assertEqual(page(line), REFUSED, call)
        self.assertEqual(e2e.page_call(self.driver, control, "CB_IsOurCustomBrowser"), (S_OK, "true"))
        # The page itself redirected to another site is left for an empty one.
        self.assertEqual(page("redirect http://evil.example/"), (S_OK, "about:blank"))
        self.assertEqual(e2e.page_call(self.driver, control, "CB_IsOurCustomBrowser"), REFUSED)

    def test_closing_the_active_window_closes_only_browser_windows(self):
        conn, main = self.log_in()
        control = e2e.find_test_browser(self.driver, hwnd=main["hwnd"], visible=1)["hwnd"]
        # The main window active: it stays.
        self.driver.cmd("activate", hwnd=main["hwnd"])
        self.assertEqual(e2e.page_call(self.driver, control, "CB_CloseWindow"), (S_OK, "undefined"))
        # A message box up: the page does not answer it.
        self.assertEqual(e2e.page_call(self.driver, control, "CB_CustomFunction", wait=False), (S_OK, "posted"))
        box = self.driver.msgbox(pid=main["pid"], timeout=10000)
        self.assertEqual(e2e.page_call(self.driver, control, "CB_CloseWindow"), (S_OK, "undefined"))
        self.assertIsNotNone(self.driver.find(hwnd=box["hwnd"], visible=1))
        self.driver.msgbox(pid=main["pid"], press=box["buttons"][0]["id"])
        self.assertEqual(e2e.page_result(self.driver, control), (S_OK, "undefined"))
        self.assertIsNotNone(self.driver.find(hwnd=main["hwnd"], visible=1))
        # A browser pop-up active: it is hidden, as its close box would.
        self.assertEqual(e2e.page_call(self.driver, control, "CB_OpenWindow", POPUP_URL, 10, 10, 300, 200),
                         (S_OK, "undefined"))
        popup = e2e.find_test_browser(self.driver, pid=main["pid"], title=POPUP_TITLE, visible=1, child_text=POPUP_URL)
        self.driver.cmd("activate", hwnd=popup["parent"])
        self.assertEqual(e2e.page_call(self.driver, popup["hwnd"], "CB_CloseWindow"), (S_OK, "undefined"))
        self.driver.wait_gone(hwnd=popup["parent"], visible=1, timeout=10000)
        self.assertIsNotNone(self.driver.find(hwnd=main["hwnd"], visible=1))

    def test_encrypted_only_https_pages_are_the_portal(self):
        # No server needed: the main window hosts its page (hidden behind the question whether to try
        # the connection again) whether or not the connection comes up.
        e2e.use_test_browser(self)
        self.install()
        self.launch_client(*e2e.LOGIN_ARGS, "/TLS")
        control = e2e.find_test_browser(self.driver, title_has=MAIN_TITLE, timeout=20000)["hwnd"]

        def page(line):
            return e2e.page_command(self.driver, control, line)

        self.assertEqual(e2e.page_navigate(self.driver, control, "https://127.0.0.1/sm/main.asp"), S_OK)
        self.assertEqual(e2e.page_call(self.driver, control, "CB_IsOurCustomBrowser"), (S_OK, "true"))
        self.assertEqual(e2e.page_call(self.driver, control, "CB_OpenWindow", "http://127.0.0.1/x.asp", 10, 10, 300,
                                       200), REFUSED)
        self.assertEqual(page("follow http://127.0.0.1/sm/list.asp"), (S_OK, "cancelled"))
        self.assertEqual(page("follow https://127.0.0.1/sm/list.asp"), (S_OK, "went"))
        self.assertEqual(e2e.page_navigate(self.driver, control, "http://127.0.0.1/sm/list.asp"), S_OK)
        for call in ALL_CALLS:
            self.assertEqual(e2e.page_call(self.driver, control, *call), REFUSED, call)

    def wait_navigations(self, control, count, seconds=10):
        """The addresses the page was sent to (see the test browser's "navigations"), once there are count."""
        deadline = time.monotonic() + seconds
        seen = []
        while True:
            hr, text = e2e.page_command(self.driver, control, "navigations")
            self.assertEqual(hr, S_OK, text)
            seen += [a for a in text.split("\n") if a]
            if len(seen) >= count or time.monotonic() > deadline:
                return seen
            time.sleep(0.1)

    def wait_keys(self, control, expected, seconds=10):
        """The key fates the page saw (see the test browser's "keys"), once they reach expected."""
        deadline = time.monotonic() + seconds
        seen = []
        while True:
            hr, text = e2e.page_command(self.driver, control, "keys")
            self.assertEqual(hr, S_OK, text)
            seen += [k for k in text.split(",") if k]
            if seen == expected or len(seen) >= len(expected) or time.monotonic() > deadline:
                return seen
            time.sleep(0.1)

    def test_keys_go_to_the_page_and_the_hosts_filter_first(self):
        conn, main = self.log_in()
        control = e2e.find_test_browser(self.driver, hwnd=main["hwnd"], visible=1)
        portal_url = "http://127.0.0.1/sm/board/notice/list.asp"
        self.assertEqual(e2e.page_call(self.driver, control["hwnd"], "CB_ShowModalDialog", portal_url, 0, 0, 400, 300),
                         (S_OK, "undefined"))
        page = e2e.find_test_browser(self.driver, pid=main["pid"], visible=1, child_text=portal_url)
        portal = page["parent"]
        self.wait_keys(page["hwnd"], [], seconds=0)

        # Escape while the page has the keys: the host's filter takes it, so the window stays; an ordinary
        # key goes on to the page (and, coming after, shows the Escape has been dealt with).
        self.driver.cmd("key", hwnd=page["hwnd"], vk=VK_ESCAPE)
        self.driver.cmd("key", hwnd=page["hwnd"], vk=ord("A"))
        self.assertEqual(self.wait_keys(page["hwnd"], ["27 eaten", "65 passed", "65 reached"]),
                         ["27 eaten", "65 passed", "65 reached"])
        self.assertIsNotNone(self.driver.find(hwnd=portal, visible=1))

        # F5 held down (as the keyboard gives it) reloads nothing: the filter takes it.
        self.assertEqual(e2e.page_command(self.driver, page["hwnd"], "press 116 down")[0], S_OK)
        try:
            self.assertEqual(self.wait_keys(page["hwnd"], ["116 eaten"]), ["116 eaten"])
        finally:
            e2e.page_command(self.driver, page["hwnd"], "press 116 up")
        self.assertIsNotNone(self.driver.find(hwnd=portal, visible=1))

        # The page's context menu is the portal menu: "Chatting" opens the chat list.
        self.assertEqual(e2e.page_command(self.driver, page["hwnd"], "post contextmenu 60 60"), (S_OK, "posted"))
        menu = self.driver.wait(class_="#32768", pid=main["pid"], visible=1, timeout=10000)
        chatting = [command for command, _ in MENUS["IDR_PORTAL_MENU"]].index("ID_PORTAL_CHATTING")
        for _ in range(chatting + 1):  # the first Down selects the first item
            self.driver.cmd("key", hwnd=menu["hwnd"], vk=VK_DOWN)
        self.driver.cmd("key", hwnd=menu["hwnd"], vk=VK_RETURN)
        self.driver.wait(title=CHAT_LIST_TITLE, pid=main["pid"], visible=1, timeout=15000)
        self.assertEqual(e2e.page_result(self.driver, page["hwnd"]), (S_OK, "shown"))

        # Escape to the window itself, not its page, still hides it; the page is loaded again as it hides
        # (it stops what it was doing) and as it shows.
        self.assertEqual(e2e.page_command(self.driver, page["hwnd"], "navigations")[0], S_OK)
        self.driver.cmd("key", hwnd=portal, vk=VK_ESCAPE)
        self.driver.wait(hwnd=portal, visible=0, timeout=10000)
        self.assertEqual(self.wait_navigations(page["hwnd"], 1), [portal_url])
        self.assertEqual(e2e.page_call(self.driver, control["hwnd"], "CB_ShowModalDialog", portal_url, 0, 0, 400, 300),
                         (S_OK, "undefined"))
        self.driver.wait(hwnd=portal, visible=1, timeout=10000)
        self.assertEqual(self.wait_navigations(page["hwnd"], 1), [portal_url])


if __name__ == "__main__":
    e2e.main()
