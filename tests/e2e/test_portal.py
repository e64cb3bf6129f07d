#!/usr/bin/python3
"""The portal menu's commands under Wine: the portal page window over the work area, made once, left as
it is while it shows, hidden by its close box and shown again by the next command; "Chatting" shows the
chat list. Where no page can be shown the main window shows the user, the connection and a way into the
chat list instead."""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import e2e  # noqa: E402
from dravelon_res import (CAPTIONS, ID_PORTAL_CHATTING, ID_PORTAL_NOTICE, ID_PORTAL_ORDER,  # noqa: E402
                          IDC_BROWSER, IDC_NOPAGE_CHATLIST, IDC_NOPAGE_NAME, IDC_NOPAGE_STATE, KOREAN_TEXTS,
                          STRINGS, kPageCheckPeriodMs)
from scripted_server import COM  # noqa: E402

PORTAL_TITLE = CAPTIONS["IDD_PORTAL"]
CHAT_LIST_TITLE = CAPTIONS["IDD_CHAT_LIST"]
FRIENDS = KOREAN_TEXTS["kFriendsList"]
# The main window looks at its page this often; a panel that has not come within this never will.
PAGE_CHECK_MS = kPageCheckPeriodMs
VK_TAB, VK_SPACE = 0x09, 0x20


class PortalTest(e2e.E2ETestCase):
    def log_in(self):
        return self.log_in_as_kim()

    def portal(self, main, visible=1, timeout=15000):
        return self.driver.wait(title=PORTAL_TITLE, class_="#32770", pid=main["pid"], visible=visible,
                                timeout=timeout)

    def rect_settles(self, hwnd, expected, seconds=10):
        """The window's rectangle once it equals `expected`, or the last one seen."""
        deadline = time.monotonic() + seconds
        while True:
            rect = self.driver.find(hwnd=hwnd)["rect"]
            if rect == expected or time.monotonic() > deadline:
                return rect
            time.sleep(0.2)

    def test_page_commands_show_one_portal_window_over_the_work_area(self):
        conn, main = self.log_in()
        work_area = self.driver.cmd("work-area")["rect"]

        self.driver.cmd("command", hwnd=main["hwnd"], cmd=ID_PORTAL_ORDER)
        portal = self.portal(main)
        self.assertNotEqual(portal["hwnd"], main["hwnd"])
        self.assertEqual(self.rect_settles(portal["hwnd"], work_area), work_area)
        self.screenshot("portal-order")

        # Moved by the user, then "Notice" while it shows: it stays as it is.
        moved = self.driver.cmd("move", hwnd=portal["hwnd"], x=100, y=80, width=500, height=400)["rect"]
        self.driver.cmd("command", hwnd=main["hwnd"], cmd=ID_PORTAL_NOTICE)
        self.driver.send(hwnd=main["hwnd"], msg=0)
        time.sleep(1)  # the wait is the check: the portal window is not moved within it
        again = self.portal(main, timeout=5000)
        self.assertEqual((again["hwnd"], again["rect"]), (portal["hwnd"], moved))
        windows = self.driver.list(pid=main["pid"], title=PORTAL_TITLE)
        self.assertEqual([w["hwnd"] for w in windows if w["text"] == PORTAL_TITLE and w["class"] == "#32770"],
                         [portal["hwnd"]])

        # The close box only hides it; the next command shows the same window over the work area again.
        self.driver.cmd("close", hwnd=portal["hwnd"])
        self.driver.wait_gone(hwnd=portal["hwnd"], visible=1, timeout=10000)
        self.assertIsNotNone(self.driver.find(hwnd=portal["hwnd"]))
        self.driver.cmd("command", hwnd=main["hwnd"], cmd=ID_PORTAL_NOTICE)
        shown = self.portal(main)
        self.assertEqual(shown["hwnd"], portal["hwnd"])
        self.assertEqual(self.rect_settles(shown["hwnd"], work_area), work_area)

        # "Chatting" from the same menu shows the chat list; the session goes on.
        self.driver.cmd("command", hwnd=main["hwnd"], cmd=ID_PORTAL_CHATTING)
        self.driver.wait(title=CHAT_LIST_TITLE, pid=main["pid"], visible=1, timeout=15000)
        self.assertEqual(conn.wait_records(1, command=COM["CHATLIST_COLLECT"], timeout=15)[0].decoded("target"),
                         FRIENDS)
        self.assertIsNotNone(self.driver.find(hwnd=portal["hwnd"], visible=1))

    def test_without_a_page_the_main_window_names_the_user_and_opens_the_chat_list(self):
        # Wine's own control has no engine: the page never gets past loading.
        conn, main = self.log_in()
        button = self.driver.wait(hwnd=main["hwnd"], child_text=STRINGS["IDS_NOPAGE_CHATLIST"], visible=1,
                                  timeout=4 * PAGE_CHECK_MS)
        self.assertEqual(button["id"], IDC_NOPAGE_CHATLIST)
        self.assertEqual(button["class"].lower(), "button")
        self.assertEqual(self.driver.get_text(hwnd=main["hwnd"], id=IDC_NOPAGE_NAME), "김철수")
        self.assertEqual(self.driver.get_text(hwnd=main["hwnd"], id=IDC_NOPAGE_STATE), STRINGS["IDS_NOPAGE_CONNECTED"])
        # Laid out inside the window, the browser out of sight.
        left, top, right, bottom = main["rect"]
        b_left, b_top, b_right, b_bottom = button["rect"]
        self.assertTrue(left <= b_left < b_right <= right and top <= b_top < b_bottom <= bottom, button["rect"])
        browser = [w for w in self.driver.list(pid=main["pid"])
                   if w["parent"] == main["hwnd"] and w["id"] == IDC_BROWSER and w["visible"]]
        self.assertEqual(browser, [])
        self.screenshot("main-window-panel")

        # The keyboard reaches it: Tab moves the focus onto the button, Space presses it.
        self.driver.cmd("activate", hwnd=main["hwnd"])
        self.driver.cmd("key", hwnd=main["hwnd"], vk=VK_TAB)
        deadline = time.monotonic() + 10
        while self.driver.cmd("focus", pid=main["pid"])["id"] != IDC_NOPAGE_CHATLIST:
            self.assertLess(time.monotonic(), deadline, "Tab did not reach the panel's button")
            time.sleep(0.1)
        self.driver.cmd("key", hwnd=button["hwnd"], vk=VK_SPACE)
        self.driver.wait(title=CHAT_LIST_TITLE, class_="#32770", pid=main["pid"], visible=1, timeout=15000)
        self.assertEqual(conn.wait_records(1, command=COM["CHATLIST_COLLECT"], timeout=15)[0].decoded("target"),
                         FRIENDS)

    def test_with_a_page_shown_the_panel_stays_hidden(self):
        e2e.use_test_browser(self)
        conn, main = self.log_in()
        e2e.find_test_browser(self.driver, hwnd=main["hwnd"], child_text_has="/user/proc.asp", visible=1)
        # Two checks of the page pass; the panel never shows and the page stays in view.
        with self.assertRaises(e2e.DriverError):
            self.driver.wait(hwnd=main["hwnd"], id=IDC_NOPAGE_CHATLIST, visible=1, timeout=2 * PAGE_CHECK_MS + 1000)
        self.assertIsNotNone(self.driver.find(hwnd=main["hwnd"], child_class=e2e.TEST_BROWSER_CLASS, visible=1))
        self.assertIsNotNone(self.driver.find(hwnd=main["hwnd"], id=IDC_NOPAGE_CHATLIST))

    def test_a_control_that_offers_no_navigation_events_is_not_hosted(self):
        # Its pages could go anywhere unchecked: the main window shows its panel instead.
        e2e.use_test_browser(self)
        os.environ["DRAVELON_TEST_BROWSER_NO_EVENTS"] = "1"
        self.addCleanup(os.environ.pop, "DRAVELON_TEST_BROWSER_NO_EVENTS", None)
        conn, main = self.log_in()
        self.driver.wait(hwnd=main["hwnd"], id=IDC_NOPAGE_CHATLIST, visible=1, timeout=4 * PAGE_CHECK_MS)
        self.assertIsNone(self.driver.find(hwnd=main["hwnd"], child_class=e2e.TEST_BROWSER_CLASS))


if __name__ == "__main__":
    e2e.main()
