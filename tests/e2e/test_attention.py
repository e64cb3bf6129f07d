#!/usr/bin/python3
"""Attention under Wine: do not disturb keeps pop-ups away and counts what arrives, its end tells once;
a muted peer pops nothing up while another does; activating a conversation clears its count; pop-ups
that stay are still up after half a minute."""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import e2e  # noqa: E402
from dravelon_res import (ID_ATTENTION_DND, ID_ATTENTION_MUTE, ID_ATTENTION_POPUPS_STAY,  # noqa: E402
                          IDC_NOPAGE_UNREAD, STRINGS)
from peers import wait_until  # noqa: E402
from scripted_server import Record  # noqa: E402
from test_conversation import (CONVERSATION_TITLE, MAIN_TITLE, MESSAGE_POPUP, NOTIFIER, OWN_ID,  # noqa: E402
                               OWN_NAME, PEER_NAME, ConversationSession)

OTHER_ID, OTHER_NAME = "park", "박민수"
# Where the user's choices are kept, cleared after each test so that none carries into the next.
CHOICES_KEY = "Software\\Brello\\Tamix\\Attention\\" + OWN_ID
OTHER_POPUP = STRINGS["IDS_POPUP_MESSAGE"] % OTHER_NAME
WM_LBUTTONUP = 0x0202


class AttentionTest(ConversationSession):
    def start(self):
        self.driver.reg_delete(CHOICES_KEY, root="HKCU")
        self.addCleanup(lambda: self.driver.reg_delete(CHOICES_KEY, root="HKCU"))
        conn, pid = self.log_in()
        main = self.driver.find(title_has=MAIN_TITLE, pid=pid, class_="#32770")
        return conn, pid, main["hwnd"]

    def popups(self, pid: int, title_has: str = "") -> list[dict]:
        return [w for w in self.driver.list(class_=NOTIFIER, pid=pid, visible=1) if title_has in w["text"]]

    def wait_unread(self, main: int, count: int) -> None:
        """The unread total as another program reads it: the panel's text, and its screen-reader name."""
        expected = STRINGS["IDS_ATTENTION_UNREAD"] % count if count else ""
        wait_until(f"unread total {count}", lambda: self.driver.get_text(hwnd=main, id=IDC_NOPAGE_UNREAD) == expected
                   and self.driver.cmd("acc-items", hwnd=main, id=IDC_NOPAGE_UNREAD)["self"]["name"] == expected,
                   timeout=10)

    def test_do_not_disturb_counts_quietly_and_tells_once_when_it_ends(self):
        conn, pid, main = self.start()
        self.driver.cmd("command", hwnd=main, cmd=ID_ATTENTION_DND)
        for i in range(5):
            self.peer_says(conn, f"주문 {i}")
        self.wait_unread(main, 5)
        self.assertEqual(self.popups(pid, MESSAGE_POPUP), [], "a pop-up came up while the user asked not to be disturbed")

        # The window menu's item is the same command; it ends the quiet and one pop-up says what came.
        self.driver.cmd("syscommand", hwnd=main, cmd=ID_ATTENTION_DND)
        summary = STRINGS["IDS_ATTENTION_QUIET_SUMMARY"] % 5
        popup = self.driver.wait(class_=NOTIFIER, pid=pid, title_has=summary, visible=1, timeout=8000)
        self.assertEqual([w["text"] for w in self.popups(pid, "쪽지")], [summary], "one pop-up for all five")
        # Its click opens the newest message's conversation, and the messages are read.
        self.driver.post(hwnd=popup["hwnd"], msg=WM_LBUTTONUP, wparam=0, lparam=0x00100010)
        self.driver.wait(title=CONVERSATION_TITLE, pid=pid, visible=1, timeout=8000)
        self.wait_unread(main, 0)

    def test_a_muted_peer_pops_nothing_up_and_activation_clears_the_count(self):
        conn, pid, main = self.start()
        window = self.open_from_popup(conn, pid, "")
        self.driver.cmd("syscommand", hwnd=window["hwnd"], cmd=ID_ATTENTION_MUTE)
        self.driver.cmd("close", hwnd=window["hwnd"])  # hidden, as its close box does
        self.driver.wait_gone(hwnd=window["hwnd"], visible=1, timeout=5000)

        self.peer_says(conn, "조용히")
        conn.send(Record(id=OTHER_ID, name=OTHER_NAME, target=OWN_NAME, text="안녕하세요", command="PRIVATE_MESSAGE"))
        other = self.driver.wait(class_=NOTIFIER, pid=pid, title_has=OTHER_POPUP, visible=1, timeout=8000)
        self.wait_unread(main, 1)  # the muted conversation counts for itself only
        self.assertEqual(self.popups(pid, MESSAGE_POPUP), [], f"{PEER_NAME} is muted")

        self.driver.post(hwnd=other["hwnd"], msg=WM_LBUTTONUP, wparam=0, lparam=0x00100010)
        talk = self.driver.wait(title_has=OTHER_NAME, pid=pid, class_="#32770", visible=1, timeout=8000)
        self.driver.cmd("activate", hwnd=talk["hwnd"])
        self.wait_unread(main, 0)

    def test_pop_ups_that_stay_are_still_up_after_half_a_minute(self):
        conn, pid, main = self.start()
        self.driver.cmd("command", hwnd=main, cmd=ID_ATTENTION_POPUPS_STAY)
        self.peer_says(conn, "기다려 주세요")
        popup = self.driver.wait(class_=NOTIFIER, pid=pid, title_has=MESSAGE_POPUP, visible=1, timeout=8000)
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:  # the wait is the check: the pop-up is up all along
            self.assertTrue(self.driver.find(hwnd=popup["hwnd"], visible=1), "the pop-up went away")
            time.sleep(1)


if __name__ == "__main__":
    e2e.main()
