#!/usr/bin/python3
"""The find bar of a conversation holding 5,000 items: Ctrl+F, Enter, F3, the bar's buttons from Tab and
Shift+F3 select the items that hold the words (in either case) and scroll them into view; words in no
item give the bar's note; Escape closes it."""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import e2e  # noqa: E402
from dravelon_res import (IDC_FIND_EDIT, IDC_FIND_NOTE, IDC_FIND_PREVIOUS, IDC_HISTORY_LIST,  # noqa: E402
                          IDC_MESSAGE_EDIT, STRINGS)
from test_conversation import ConversationSession  # noqa: E402


class ConversationFindTest(ConversationSession):
    def test_ctrl_f_finds_items_among_5000_and_selects_them(self):
        conn, pid = self.log_in()
        entries = [f"<|old message {i}|2020-01-02 PM 03:04:05" for i in range(5000)]
        entries[1234] = "<|the Invoice MARKER|2020-01-02 PM 03:04:05"
        entries[4321] = "<|marker again|2020-01-02 PM 03:04:05"
        window = self.open_from_popup(conn, pid, "|".join(entries))

        def items(first: int, count: int):  # read whole, 5,000 items take longer than the driver waits
            return self.driver.cmd("html-items", hwnd=window["hwnd"], id=IDC_HISTORY_LIST, first=first, count=count)

        first, second = (next(i["index"] for i in items(near - 5, 10)["items"] if words in i["text"])
                         for near, words in ((1234, "the Invoice MARKER"), (4321, "marker again")))
        list_height = (lambda r: r[3] - r[1])(self.driver.find(hwnd=window["hwnd"], id=IDC_HISTORY_LIST)["rect"])

        def type_and_expect(keys: str, index: int):
            self.driver.cmd("type", keys=keys)
            deadline = time.monotonic() + 10
            while not (item := items(index, 1)["items"][0])["selected"]:
                self.assertLess(time.monotonic(), deadline, f"{keys}: item {index} never selected")
                time.sleep(0.1)
            self.assertTrue(0 <= item["rect"][1] < item["rect"][3] <= list_height, (keys, item["rect"], list_height))

        self.driver.cmd("activate", hwnd=window["hwnd"])
        self.driver.cmd("type", keys="ctrl+f", text="marker")
        self.driver.wait_text(hwnd=window["hwnd"], id=IDC_FIND_EDIT, text="marker")
        self.assertEqual(self.driver.cmd("focus", pid=pid).get("id"), IDC_FIND_EDIT)
        type_and_expect("enter", first)
        type_and_expect("f3", second)
        type_and_expect("tab,tab,space", first)  # the edit, "다음", "이전"
        self.assertEqual(self.driver.cmd("focus", pid=pid).get("id"), IDC_FIND_PREVIOUS)
        type_and_expect("shift+f3", second)  # round past the first item
        self.screenshot("conversation-find")

        self.driver.cmd("type", keys="ctrl+f,backspace", text="nowhere 123")
        self.driver.cmd("type", keys="enter")
        self.driver.wait_text(hwnd=window["hwnd"], id=IDC_FIND_NOTE, text=STRINGS["IDS_CONV_FIND_NONE"])
        self.driver.cmd("type", keys="escape")
        self.driver.wait_gone(hwnd=window["hwnd"], id=IDC_FIND_EDIT, visible=1)
        self.assertEqual(self.driver.cmd("focus", pid=pid).get("id"), IDC_MESSAGE_EDIT)
        self.assertIsNotNone(self.driver.find(hwnd=window["hwnd"], visible=1))


if __name__ == "__main__":
    e2e.main()
