#!/usr/bin/python3
"""Every end of a session and every lost connection, wherever the user is: the server's COM_CLOSE ends
the session and restarts the client (the old process ends with exit code 0, a new one starts with
"--Restart"); a closed or reset connection is rebuilt in the same process, which signs in again by
itself. The logs keep every message that was shown; a restart leaves no partial download under its final
name, while a download goes on across a lost connection. Also a chat list open across a reset, seventeen
unclicked message pop-ups, and a server that stops reading while the user sends."""

import os
import re
import shutil
import struct
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import e2e  # noqa: E402
from dravelon_res import (CAPTIONS, ID_PORTAL_CHATTING, ID_PORTAL_ORDER, IDC_CONNECTION_STATE,  # noqa: E402
                          IDC_HISTORY_LIST, IDC_LIST_TABS, IDC_MESSAGE_EDIT, IDC_PASSWORD,
                          IDC_TRANSFER_PROGRESS, IDC_USER_LIST, kNotifierClassName, kStatusHistory, IDM_BULK_NOTE,
                          IDNO, STRINGS)
from scripted_server import COM, Record, ServerTimeout, login_steps  # noqa: E402

NOTIFIER = kNotifierClassName
OWN_ID, OWN_NAME = "kim", "김철수"
ADMIN_ID = "qalop7"
PEER_ID, PEER_NAME = "lee", "이영희"
MAIN_TITLE = CAPTIONS["IDD_MAIN"]
CONVERSATION_TITLE = f"{CAPTIONS['IDD_MESSAGE']} - {PEER_NAME}"
CHAT_LIST_TITLE = CAPTIONS["IDD_CHAT_LIST"]
PORTAL_TITLE = CAPTIONS["IDD_PORTAL"]
MESSAGE_POPUP = STRINGS["IDS_POPUP_MESSAGE"].split("%s", 1)[1]  # what follows the sender's name
OPEN_QUESTION = STRINGS["IDS_CONV_OPEN_AFTER"]
WM_LBUTTONDOWN, WM_LBUTTONUP, WM_COMMAND, VK_RETURN = 0x0201, 0x0202, 0x0111, 0x0D
DOCUMENTS_DIR = r"C:\e2e_documents"
SHELL_FOLDERS_KEY = r"Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders"
ITEM_TIME = r"\d{4}-\d\d-\d\d (AM|PM) \d\d:\d\d:\d\d"
SENT_TIME = r"\d{4}/\d\d/\d\d (AM|PM) \d\d:\d\d:\d\d"
FRIENDS = '"lee"|"1"|"이영희"|"park"|"0"|"박민수"|'


class StallingDownload(e2e.OneConnectionServer):
    """Port 8202: announces a large file, sends a little of it and then waits, as a transfer in the
    middle of its way would."""

    def __init__(self):
        self.connected = threading.Event()
        self._stop = threading.Event()
        super().__init__(8202)

    def serve(self, conn):
        conn.sendall(struct.pack(">I", 50_000_000) + b"x" * 65536)
        self.connected.set()
        self._stop.wait(60)

    def close(self):
        self._stop.set()
        super().close()


class SessionEndTest(e2e.E2ETestCase):
    _downloads: list = []

    def log_in(self, user_id=OWN_ID):
        self.install()
        server = self.serve(script=login_steps(OWN_NAME, user_id=user_id))
        for attempt in range(3):
            client = self.launch_client(f"/ID:{user_id}", "/PW:secret")
            try:
                conn = server.wait_connection(timeout=15)
                break
            except ServerTimeout:
                # A launch that found the killed instance's single-instance objects still in Wine's
                # hands gives its start away and ends; a user would start it again.
                if client.running() or attempt == 2:
                    raise
                print(f"launch {attempt + 1} ended without connecting; again", file=sys.stderr)
                e2e.wait_instance_released(self.driver)
        conn.wait_records(1, command=COM["SIGN_IN"], timeout=20)
        main = self.driver.wait(title_has=MAIN_TITLE, class_="#32770", visible=1, timeout=20000)
        self.driver.wait_text(hwnd=main["hwnd"], text=f"{MAIN_TITLE} - {OWN_NAME}", timeout=20000)
        return client, conn, main

    def log_text(self, user_id=OWN_ID) -> str:
        return e2e.conversation_log(PEER_ID, user_id)

    def wait_log(self, pattern, timeout=10):
        deadline = time.monotonic() + timeout
        while not re.search(pattern, self.log_text(), re.M):
            self.assertLess(time.monotonic(), deadline, f"log never matched {pattern!r}: {self.log_text()!r}")
            time.sleep(0.1)

    def use_own_documents_folder(self) -> str:
        path = e2e.prefix_path(DOCUMENTS_DIR)
        shutil.rmtree(path, True)
        os.makedirs(path, exist_ok=True)
        self.driver.reg_set(SHELL_FOLDERS_KEY, "Personal", sz=DOCUMENTS_DIR, root="HKCU")
        self.addCleanup(shutil.rmtree, path, True)
        self.addCleanup(self.driver.reg_delete, SHELL_FOLDERS_KEY, "Personal", "HKCU")
        return path

    # The places a user can be in when the session ends.

    def go_conversation(self, conn, main):
        window = e2e.open_conversation(self.driver, conn, main["pid"])
        conn.send(Record(id=PEER_ID, name=PEER_NAME, target=OWN_NAME, text="두 번째 인사", command="PRIVATE_MESSAGE"))
        self.wait_log(rf"^> {ITEM_TIME} 두 번째 인사\r?$")
        self.driver.set_text(hwnd=window["hwnd"], id=IDC_MESSAGE_EDIT, text="네 반갑습니다")
        self.driver.cmd("key", hwnd=window["hwnd"], id=IDC_MESSAGE_EDIT, vk=VK_RETURN)
        conn.wait_records(1, command=COM["PRIVATE_MESSAGE"], timeout=10)
        self.wait_log(rf"^\. {SENT_TIME} 네 반갑습니다\r?$")

    def open_chat_list(self, conn, main):
        self.driver.cmd("command", hwnd=main["hwnd"], cmd=ID_PORTAL_CHATTING)
        chat_list = self.driver.wait(title=CHAT_LIST_TITLE, pid=main["pid"], visible=1, timeout=10000)
        conn.wait_records(1, command=COM["CHATLIST_COLLECT"], timeout=10)
        conn.send(Record(text=FRIENDS, command="CHATLIST_COLLECT"))
        deadline = time.monotonic() + 15
        while True:
            items = [i for i in self.driver.cmd("list-items", hwnd=chat_list["hwnd"], id=IDC_USER_LIST)["items"]
                     if i["text"] == PEER_NAME]
            if items:
                return chat_list, items[0]
            self.assertLess(time.monotonic(), deadline, "the chat list never showed its friends")
            time.sleep(0.2)

    def go_friend_menu(self, conn, main):
        chat_list, item = self.open_chat_list(conn, main)
        left, top, right, bottom = item["rect"]
        self.driver.cmd("mouse", hwnd=chat_list["hwnd"], id=IDC_USER_LIST, x=(left + right) // 2,
                        y=(top + bottom) // 2, button="right")
        self.driver.wait(class_="#32768", pid=main["pid"], visible=1, timeout=10000)

    def go_transfer(self, conn, main):
        documents = self.use_own_documents_folder()
        window = e2e.open_conversation(self.driver, conn, main["pid"])
        conn.send(Record(id=PEER_ID, name=PEER_NAME, target=OWN_NAME, text="File_big.bin|2020-01-02 PM 03:04:05",
                         command="PRIVATE_MESSAGE"))
        self.wait_log(r"^F 2020-01-02 PM 03:04:05 File_big\.bin\r?$")
        listed = self.driver.find(hwnd=window["hwnd"], id=IDC_HISTORY_LIST)
        for msg, wparam in ((WM_LBUTTONDOWN, 1), (WM_LBUTTONUP, 0)):
            self.driver.post(hwnd=listed["hwnd"], msg=msg, wparam=wparam, lparam=(40 << 16) | 150)
        self.driver.msgbox(pid=main["pid"], text=OPEN_QUESTION, press=IDNO, timeout=8000)
        conn.wait_records(1, command=COM["FILE_RECEIVER"], timeout=10)
        download = StallingDownload()
        self._downloads.append(download)
        conn.send(Record(name=PEER_NAME, text="big.bin.202001021504", command="FILE_ADJUST"))
        self.assertTrue(download.connected.wait(20), "the download never started")
        self.driver.wait(pid=main["pid"], id=IDC_TRANSFER_PROGRESS, visible=1, timeout=10000)
        return documents

    def go_bulk_note(self, conn, main):
        self.driver.cmd("syscommand", hwnd=main["hwnd"], cmd=IDM_BULK_NOTE)
        self.driver.wait(title=CAPTIONS["IDD_BULK_NOTE"], pid=main["pid"], visible=1, timeout=10000)

    def page(self, main):
        """The test browser of the main window, where the portal's page would run."""
        return e2e.find_test_browser(self.driver, hwnd=main["hwnd"], visible=1)["hwnd"]

    def go_login_dialog(self, conn, main):
        # The page asks for a fresh login; the dialog is up (modal, over the running session).
        e2e.page_call(self.driver, self.page(main), "CB_OpenDlgLogin", wait=False)
        self.driver.wait(pid=main["pid"], id=IDC_PASSWORD, visible=1, timeout=10000)

    def go_portal_popup(self, conn, main):
        hr, _ = e2e.page_call(self.driver, self.page(main), "CB_OpenWindow", "http://127.0.0.1/sm/order/list.asp",
                              10, 10, 300, 200)
        self.assertEqual(hr, 0)
        e2e.find_test_browser(self.driver, pid=main["pid"], child_text_has="/sm/order/list.asp", visible=1)

    def go_portal(self, conn, main):
        self.driver.cmd("command", hwnd=main["hwnd"], cmd=ID_PORTAL_ORDER)
        self.driver.wait(title=PORTAL_TITLE, class_="#32770", pid=main["pid"], visible=1, timeout=15000)

    # The ways a session ends.

    def end_session(self, conn, how):
        if how == "COM_CLOSE":
            conn.send(Record(command=COM["CLOSE"]))
        elif how == "close":
            conn.close()
        else:
            conn.reset()

    def assert_restarts(self, client, main):
        self.assertEqual(client.wait(timeout=30), 0)
        deadline = time.monotonic() + 30
        new = []
        while not new:
            self.assertLess(time.monotonic(), deadline, "no new process was started")
            new = [p["pid"] for p in self.driver.pids("DravelOn.exe") if p["pid"] != main["pid"]]
            time.sleep(0.1)
        self.assertTrue(self.driver.cmd("cmdline", pid=new[0])["cmdline"].endswith(" --Restart"))

    def assert_reconnects(self, client, conn, main):
        """The main window shows the loss, the same process connects again and signs in with the
        credentials of its first sign-in; returns the new connection."""
        self.driver.wait(hwnd=main["hwnd"], id=IDC_CONNECTION_STATE, visible=1, timeout=40000)
        again = self._servers[0].wait_connection(conn.index + 1, timeout=40)
        first, signed = (c.wait_records(1, command=COM["SIGN_IN"], timeout=30)[0] for c in (conn, again))
        self.assertEqual((signed.id, signed.password), (first.id, first.password))
        self.driver.wait_gone(hwnd=main["hwnd"], id=IDC_CONNECTION_STATE, visible=1, timeout=30000)
        self.assertTrue(client.running())
        self.assertEqual([p["pid"] for p in self.driver.pids("DravelOn.exe")], [main["pid"]])
        return again

    def test_every_end_from_every_place_restarts_or_reconnects_cleanly(self):
        # Pages run in the test browser, so the portal's own ways in (a fresh login, a pop-up) are there.
        e2e.use_test_browser(self)
        places = ("main", "conversation", "friend_menu", "transfer", "bulk_note", "login_dialog", "portal_popup",
                  "portal")
        for place in places:
            for how in ("COM_CLOSE", "close", "reset"):
                with self.subTest(place=place, end=how):
                    try:
                        os.remove(e2e.prefix_path(e2e.INSTALL_DIR + "\\" + f"{PEER_ID}_{OWN_ID}.Log"))
                    except OSError:
                        pass
                    started = time.monotonic()
                    client = None
                    try:
                        client, conn, main = self.log_in(ADMIN_ID if place == "bulk_note" else OWN_ID)
                        documents = getattr(self, "go_" + place, lambda c, m: None)(conn, main)
                        self.end_session(conn, how)
                        if how == "COM_CLOSE":
                            self.assert_restarts(client, main)
                        else:
                            self.assert_reconnects(client, conn, main)
                        if place == "conversation":
                            log = self.log_text()
                            self.assertRegex(log, rf"(?m)^> {ITEM_TIME} 두 번째 인사\r?$")
                            self.assertRegex(log, rf"(?m)^\. {SENT_TIME} 네 반갑습니다\r?$")
                        if place == "transfer" and how == "COM_CLOSE":
                            self.assertNotIn("big.bin", os.listdir(documents))
                        elif place == "transfer":  # the download goes on across the outage
                            self.assertTrue(self.driver.find(pid=main["pid"], id=IDC_TRANSFER_PROGRESS, visible=1))
                        print(f"{place}, {how}: {'restarted' if how == 'COM_CLOSE' else 'reconnected'}, "
                              f"{time.monotonic() - started:.1f} s", file=sys.stderr)
                    finally:
                        self.end_run(client)
                        for download in self._downloads:
                            download.close()
                        self._downloads.clear()

    def test_a_chat_list_open_across_a_reset_asks_for_its_list_again(self):
        client, conn, main = self.log_in()
        chat_list, item = self.open_chat_list(conn, main)
        # The reset is noticed by itself; a user who acts at once meets no hang, and the list is asked
        # for again once the connection is back.
        conn.reset()
        self.driver.cmd("select-tab", check=False, hwnd=chat_list["hwnd"], id=IDC_LIST_TABS, index=1, force=1)
        again = self.assert_reconnects(client, conn, main)
        again.wait_records(1, command=COM["CHATLIST_COLLECT"], timeout=15)
        self.end_run(client)

    def test_seventeen_unclicked_messages_leave_sixteen_popups_with_the_newest(self):
        client, conn, main = self.log_in()
        for i in range(17):
            conn.send(Record(id=f"u{i}", name=f"사용자{i:02d}", target=OWN_NAME, text="안녕", command="PRIVATE_MESSAGE"))
        self.driver.wait(class_=NOTIFIER, pid=main["pid"], title_has="사용자16" + MESSAGE_POPUP, visible=1,
                         timeout=10000)
        deadline = time.monotonic() + 10
        while True:
            shown = [w for w in self.driver.list(class_=NOTIFIER, pid=main["pid"], visible=1)
                     if MESSAGE_POPUP in w.get("text", "")]
            if len(shown) == 16:
                break
            self.assertLess(time.monotonic(), deadline, f"{len(shown)} pop-ups instead of 16")
            time.sleep(0.2)
        self.assertNotIn("사용자00" + MESSAGE_POPUP, [w["text"] for w in shown])
        self.end_run(client)

    def test_a_server_that_stops_reading_never_freezes_the_window(self):
        client, conn, main = self.log_in()
        conn.stop_reading()
        window = self.open_conversation_without_reading(conn, main)
        text = "가" * 2048  # 4 KB on the wire
        longest = 0.0
        sent = 0
        deadline = time.monotonic() + 180
        while self.driver.find(hwnd=main["hwnd"], id=IDC_CONNECTION_STATE, visible=1) is None and sent < 500:
            self.assertLess(time.monotonic(), deadline, "the stalled connection was never dropped")
            if self.driver.get_text(hwnd=window["hwnd"], id=IDC_MESSAGE_EDIT) == "":
                self.driver.set_text(hwnd=window["hwnd"], id=IDC_MESSAGE_EDIT, text=text)
                self.driver.cmd("key", hwnd=window["hwnd"], id=IDC_MESSAGE_EDIT, vk=VK_RETURN, check=False)
                sent += 1
            started = time.monotonic()
            self.driver.send(hwnd=window["hwnd"], msg=0, timeout=5000)
            longest = max(longest, time.monotonic() - started)
            time.sleep(0.05)
        print(f"server not reading: {sent} messages typed, longest wait for the window {longest * 1000:.0f} ms",
              file=sys.stderr)
        self.assertLess(longest, 1.0)
        self.assert_reconnects(client, conn, main)
        self.end_run(client)

    def open_conversation_without_reading(self, conn, main):
        """The conversation, opened while the server no longer reads: its history comes all the same."""
        conn.send(Record(id=PEER_ID, name=PEER_NAME, target=OWN_NAME, text="안녕하세요", command="PRIVATE_MESSAGE"))
        popup = self.driver.wait(class_=NOTIFIER, pid=main["pid"], title_has=MESSAGE_POPUP, visible=1, timeout=8000)
        self.driver.post(hwnd=popup["hwnd"], msg=WM_LBUTTONUP, wparam=0, lparam=0x00100010)
        window = self.driver.wait(title=CONVERSATION_TITLE, pid=main["pid"], visible=1, timeout=8000)
        conn.send(Record(id=PEER_ID, name=PEER_NAME, target=PEER_NAME, status=kStatusHistory, text="",
                         command="PRIVATE_HISTORY"))
        return window


if __name__ == "__main__":
    e2e.main()
