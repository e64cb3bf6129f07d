#!/usr/bin/python3
"""What goes into a conversation and comes out of it under Wine: a character code page 949 cannot carry
is never sent as "?" (the user is told, the draft stays), files on the clipboard pasted with Ctrl+V and
files dragged from the shell and dropped are offered as the clip button offers one, and Ctrl+C copies a
history item's text."""

import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import e2e  # noqa: E402
from dravelon_res import IDC_HISTORY_LIST, IDC_MESSAGE_EDIT, STRINGS  # noqa: E402
from peers import wait_until  # noqa: E402
from scripted_server import COM  # noqa: E402
from test_conversation import ITEM_TIME, PEER_ID, PEER_NAME, ConversationSession  # noqa: E402

VK_RETURN = 0x0D


class ConversationInputTest(ConversationSession):
    def test_uncarried_characters_pasted_files_and_copied_items(self):
        conn, pid = self.log_in()
        window = self.open_from_popup(conn, pid, ">|안녕하세요|2020-01-02 PM 03:04:05")
        hwnd = window["hwnd"]

        # "좋아요 😀": nothing goes out, the user reads which character, the draft stays.
        self.driver.set_text(hwnd=hwnd, id=IDC_MESSAGE_EDIT, text="좋아요 😀")
        self.driver.cmd("key", hwnd=hwnd, id=IDC_MESSAGE_EDIT, vk=VK_RETURN)
        told = STRINGS["IDS_CONV_UNCARRIED"].replace("%s", "😀")
        box = self.driver.msgbox(pid=pid, text=told, timeout=10000)
        self.driver.msgbox(pid=pid, text=told, press=box["buttons"][0]["id"])
        self.assertEqual(self.driver.get_text(hwnd=hwnd, id=IDC_MESSAGE_EDIT), "좋아요 😀")
        self.assertFalse([r for r in conn.records if r.command == COM["PRIVATE_MESSAGE"]],
                         "a message went out with a \"?\"")

        # A file copied in Explorer and pasted into the message edit is offered, its path exactly.
        path = e2e.INSTALL_DIR + "\\붙여넣은 파일.txt"
        with open(e2e.prefix_path(path), "wb") as f:
            f.write(b"pasted")
        self.addCleanup(os.remove, e2e.prefix_path(path))
        self.driver.cmd("clipboard", files=path)
        self.driver.cmd("activate", hwnd=hwnd)
        self.driver.cmd("type", keys="ctrl+v")
        offer = conn.wait_records(1, command=COM["FILE_TRANSFER"], timeout=10)[0]
        self.assertEqual((offer.decoded("target"), offer.decoded("text")), (PEER_ID, PEER_NAME + ": " + path))
        self.assertEqual(self.driver.get_text(hwnd=hwnd, id=IDC_MESSAGE_EDIT), "좋아요 😀", "no path pasted as text")
        # The same file dragged from the shell and dropped on the window: the same offer.
        self.driver.cmd("drop", hwnd=hwnd, file=path)
        offers = conn.wait_records(2, command=COM["FILE_TRANSFER"], timeout=10)
        self.assertEqual(offers[1].decoded("text"), PEER_NAME + ": " + path)

        # Ctrl+C on the selected item: sender, message and time, as Unicode text.
        self.peer_says(conn, "주문 확인 부탁드려요")
        wait_until("the peer's message shown", lambda: len(self.driver.cmd(
            "html-items", hwnd=hwnd, id=IDC_HISTORY_LIST)["items"]) == 2, timeout=10)
        self.click_item(window, -1)
        wait_until("the message selected", lambda: self.driver.cmd(
            "html-items", hwnd=hwnd, id=IDC_HISTORY_LIST)["selected"] == 1, timeout=5)
        self.driver.cmd("type", keys="ctrl+c")
        wait_until("the item's text on the clipboard", lambda: re.fullmatch(
            rf"{PEER_NAME}\r\n주문 확인 부탁드려요\r\n{ITEM_TIME}", self.driver.cmd("clipboard")["text"]), timeout=5)

if __name__ == "__main__":
    e2e.main()
