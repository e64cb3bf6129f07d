"""Two real clients, each in a Wine prefix of its own, through the development server: they see each
other on line, become friends, talk, pass a file of 1 MB and see each other leave. The chat list is
reached the way a user without the portal page reaches it: "대화 목록" in the tray menu or the
window menu.

Needs the devserver built natively (cmake --build build/host --target devserver; another binary via
DRAVELON_DEVSERVER). Everything runs in a network namespace of its own (root), so the fixed ports of
the client do not meet other tests' servers.
"""

import hashlib
import os
import re
import shutil
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import e2e  # noqa: E402
import peers  # noqa: E402
from dravelon_res import (CAPTIONS, ID_PORTAL_CHATTING, IDC_ATTACH, IDC_HISTORY_LIST, IDC_LIST_TABS,  # noqa: E402
                          IDC_MESSAGE_EDIT, IDC_SEND, IDC_USER_LIST, IDCANCEL, IDNO, IDOK, IDYES, KOREAN_TEXTS, MENUS,
                          STRINGS)
from peers import wait_until  # noqa: E402

MAIN_CLASS = "#32770"
CHAT_LIST_TITLE = CAPTIONS["IDD_CHAT_LIST"]
TAB_FRIENDS, TAB_ALL = 0, 1
# The presence a user item tells screen readers (its icon).
ONLINE, OFFLINE = STRINGS["IDS_CHATLIST_ONLINE"], STRINGS["IDS_CHATLIST_OFFLINE"]
TRAY_ICON_ID = 1
SC_MINIMIZE = 0xF020
VK_DOWN, VK_RETURN = 0x28, 0x0D
OPEN_AFTER_DOWNLOAD = STRINGS["IDS_CONV_OPEN_AFTER"]
LOGOUT_QUESTION = STRINGS["IDS_LOGOUT_CONFIRM"]
# The system's file dialogs: the file name edit (edt1), or in the explorer style the combo box (cmb13) round it.
FILE_NAME_EDIT, FILE_NAME_COMBO = 1152, 1148
FILE_SIZE = 1 << 20


def conversation_title(peer_name: str) -> str:
    return f"{CAPTIONS['IDD_MESSAGE']} - {peer_name}"


class TwoClientsTest(e2e.E2ETestCase):
    @classmethod
    def setUpClass(cls):
        if not os.access(peers.DEVSERVER, os.X_OK):
            raise unittest.SkipTest(f"no devserver at {peers.DEVSERVER} (cmake --build build/host --target devserver)")
        reason = peers.private_network()
        if reason and peers.ports_in_use():
            raise unittest.SkipTest(f"{reason}, and ports {peers.ports_in_use()} are taken by another server")
        super().setUpClass()
        cls.first = peers.Peer("first", "choi", "choi123", "최지우")
        cls.second = peers.Peer("second", "jung", "jung123", "정민호")
        try:
            for peer in (cls.first, cls.second):
                peer.start()
        except BaseException:
            cls.tearDownClass()  # not called by unittest when this fails
            raise

    @classmethod
    def tearDownClass(cls):
        for peer in (getattr(cls, "first", None), getattr(cls, "second", None)):
            if peer:
                peer.stop()
        super().tearDownClass()

    def setUp(self):
        self.addCleanup(self._end_clients)  # after the base's cleanup, which takes the failure's picture
        super().setUp()

    def _end_clients(self):
        for peer in (self.first, self.second):
            peer.end_client()

    def serve(self, *args: str, **kwargs) -> peers.DevServer:
        server = peers.DevServer(*args, **kwargs)
        self.addCleanup(server.stop)
        return server

    def login(self, peer: peers.Peer) -> dict:
        peer.launch()
        main = peer.driver.wait(class_=MAIN_CLASS, title_has=peer.display_name, visible=1, timeout=60000)
        peer.pid, peer.main = main["pid"], main["hwnd"]
        return main

    def chat_list_from_tray(self, peer: peers.Peer) -> dict:
        """Minimises the main window into the tray, right-clicks the icon and chooses "대화 목록"."""
        peer.driver.cmd("syscommand", hwnd=peer.main, cmd=SC_MINIMIZE)
        position = [command for command, _ in MENUS["IDR_TRAY_MENU"]].index("ID_PORTAL_CHATTING")
        return e2e.choose_tray_item(
            peer.driver, peer.main, peer.pid, position, icon_id=TRAY_ICON_ID,
            done=lambda: peer.driver.find(title=CHAT_LIST_TITLE, pid=peer.pid, visible=1))

    def items(self, peer: peers.Peer, chat_list: dict) -> list[dict]:
        return peer.driver.list_items(hwnd=chat_list["hwnd"], id=IDC_USER_LIST)

    def select_tab(self, peer: peers.Peer, chat_list: dict, tab: int) -> None:
        # The tabs are disabled while a list loads; a user waits for them too.
        def attempt():
            answer = peer.driver.cmd("select-tab", check=False, hwnd=chat_list["hwnd"], id=IDC_LIST_TABS, index=tab)
            return answer["ok"] and answer["selected"] == tab
        wait_until(f"tab {tab} of {peer.user_id}'s chat list", attempt, timeout=15)

    def wait_item(self, peer: peers.Peer, chat_list: dict, name: str, presence: str | None = None,
                  timeout: float = 15) -> dict:
        def attempt():
            for item in self.items(peer, chat_list):
                if item["text"] == name and (presence is None or item["description"] == presence):
                    return item
            return None
        try:
            return wait_until(f"{name!r} ({presence}) in {peer.user_id}'s chat list", attempt, timeout)
        except AssertionError as error:
            raise AssertionError(f"{error}; the list holds {self.items(peer, chat_list)}") from None

    def click_item(self, peer: peers.Peer, chat_list: dict, item: dict, button: str) -> None:
        left, top, right, bottom = item["rect"]
        peer.driver.cmd("mouse", hwnd=chat_list["hwnd"], id=IDC_USER_LIST, x=(left + right) // 2,
                        y=(top + bottom) // 2, button=button)

    def choose_from_popup(self, peer: peers.Peer, downs: int = 1) -> None:
        menu = peer.driver.wait(class_="#32768", pid=peer.pid, visible=1, timeout=10000)
        for _ in range(downs):
            peer.driver.cmd("key", hwnd=menu["hwnd"], vk=VK_DOWN)
        peer.driver.cmd("key", hwnd=menu["hwnd"], vk=VK_RETURN)
        peer.driver.wait_gone(hwnd=menu["hwnd"], timeout=5000)

    def open_conversation(self, peer: peers.Peer, chat_list: dict, name: str) -> dict:
        self.click_item(peer, chat_list, self.wait_item(peer, chat_list, name), "double")
        window = peer.driver.wait(title=conversation_title(name), pid=peer.pid, visible=1, timeout=10000)
        # Sending is possible once the server's history has arrived.
        wait_until(f"{peer.user_id}'s send button", lambda: peer.driver.find(
            hwnd=window["hwnd"], id=IDC_SEND)["enabled"], timeout=15)
        return window

    def history(self, peer: peers.Peer, window: dict) -> list[dict]:
        return peer.driver.html_items(hwnd=window["hwnd"], id=IDC_HISTORY_LIST)

    def wait_history(self, peer: peers.Peer, window: dict, text: str, timeout: float = 15) -> dict:
        def attempt():
            return next((item for item in self.history(peer, window) if text in item["text"]), None)
        try:
            return wait_until(f"{text!r} in {peer.user_id}'s conversation", attempt, timeout)
        except AssertionError as error:
            raise AssertionError(f"{error}; it holds {[i['text'] for i in self.history(peer, window)]}") from None

    def say(self, peer: peers.Peer, window: dict, text: str) -> None:
        peer.driver.set_text(text, hwnd=window["hwnd"], id=IDC_MESSAGE_EDIT)
        peer.driver.cmd("key", hwnd=window["hwnd"], id=IDC_MESSAGE_EDIT, vk=VK_RETURN)
        peer.driver.wait_text(hwnd=window["hwnd"], id=IDC_MESSAGE_EDIT, text="", timeout=5000)

    def log_lines(self, peer: peers.Peer, other: peers.Peer) -> list[str]:
        path = peer.install_file(f"{other.user_id}_{peer.user_id}.Log")
        with open(path, "rb") as log:
            return log.read().decode("cp949").splitlines()

    def test_two_users_meet_become_friends_talk_exchange_a_file_and_part(self):
        a, b = self.first, self.second
        server = self.serve(users=[(a.user_id, a.password, a.display_name), (b.user_id, b.password, b.display_name)])
        self.login(a)
        self.login(b)
        wait_until("both users on line", lambda: {a.user_id, b.user_id} <= set(server.control("users").split()[1:]))

        # The chat list from the tray menu: it opens on the friends view and asks the server for it.
        list_a = self.chat_list_from_tray(a)
        wait_until("the friends request", lambda: [r for r in server.records(a.user_id, "in", "COM_CHATLIST_COLLECT")
                                                   if r["target"] == KOREAN_TEXTS["kFriendsList"]])
        list_b = self.chat_list_from_tray(b)
        self.assertEqual(self.items(a, list_a), [], "nobody is a friend yet")

        # Everybody: each sees the other on line.
        for peer, chat_list, other in ((a, list_a, b), (b, list_b, a)):
            self.select_tab(peer, chat_list, TAB_ALL)
            self.assertTrue(self.wait_item(peer, chat_list, other.display_name, ONLINE)["enabled"])
        self.screenshot("two-clients-all-users")

        # a adds b from the all-users view and finds b among the friends.
        self.click_item(a, list_a, self.wait_item(a, list_a, b.display_name), "right")
        self.choose_from_popup(a)
        wait_until("the friend request", lambda: [r for r in server.records(a.user_id, "in", "COM_APPEND_FRIEND")
                                                  if r["text"] == b.user_id])
        self.select_tab(a, list_a, TAB_FRIENDS)
        self.wait_item(a, list_a, b.display_name, ONLINE)
        self.screenshot("two-clients-friends")

        # A double click opens the conversation on both sides; messages go both ways.
        talk_a = self.open_conversation(a, list_a, b.display_name)
        talk_b = self.open_conversation(b, list_b, a.display_name)
        hello, answer = "안녕하세요 정민호 님", "반갑습니다 최지우 님"
        self.say(a, talk_a, hello)
        self.wait_history(a, talk_a, hello)
        item = self.wait_history(b, talk_b, hello)
        self.assertIn(a.display_name, item["text"])
        self.say(b, talk_b, answer)
        self.wait_history(a, talk_a, answer)
        self.screenshot("two-clients-conversation")
        log_a, log_b = self.log_lines(a, b), self.log_lines(b, a)
        self.assertTrue(any(line.startswith(". ") and line.endswith(" " + hello) for line in log_a), log_a)
        self.assertTrue(any(line.startswith("> ") and line.endswith(" " + answer) for line in log_a), log_a)
        self.assertTrue(any(line.startswith("> ") and line.endswith(" " + hello) for line in log_b), log_b)
        self.assertTrue(any(line.startswith(". ") and line.endswith(" " + answer) for line in log_b), log_b)

        # A file of 1 MB from a to b, byte for byte.
        data = os.urandom(FILE_SIZE)
        name = "report-1mb.bin"
        source_dir = a.prefix.unix_path(r"C:\e2e-files")
        os.makedirs(source_dir, exist_ok=True)
        self.addCleanup(shutil.rmtree, source_dir, True)
        with open(os.path.join(source_dir, name), "wb") as out:
            out.write(data)
        received = os.path.join(b.prefix.user_folder("Documents"), name)
        if os.path.exists(received):
            os.unlink(received)
        self.addCleanup(lambda: os.path.exists(received) and os.unlink(received))
        self.offer_file(a, talk_a, "C:\\e2e-files\\" + name)
        self.wait_history(a, talk_a, "Send_" + name, timeout=60)
        offered = self.wait_history(b, talk_b, "File_" + name, timeout=60)
        left, top, right, bottom = offered["rect"]
        b.driver.cmd("mouse", hwnd=talk_b["hwnd"], id=IDC_HISTORY_LIST, x=(left + right) // 2, y=(top + bottom) // 2)
        box = b.driver.msgbox(pid=b.pid, text=OPEN_AFTER_DOWNLOAD, timeout=10000)
        b.driver.msgbox(pid=b.pid, text=OPEN_AFTER_DOWNLOAD, press=self.button(box, "아니요", "No", IDNO))

        def complete():
            if not os.path.exists(received) or os.path.getsize(received) != FILE_SIZE:
                return False
            with open(received, "rb") as got:
                return got.read() == data
        wait_until("the downloaded file", complete, timeout=60, interval=0.5)
        with open(received, "rb") as got:
            self.assertEqual(hashlib.sha256(got.read()).hexdigest(), hashlib.sha256(data).hexdigest())

        # a logs out (and says Yes); b's list shows a off line.
        a.driver.cmd("close", hwnd=a.main)
        box = a.driver.msgbox(pid=a.pid, text=LOGOUT_QUESTION, timeout=10000)
        a.driver.msgbox(pid=a.pid, text=LOGOUT_QUESTION, press=self.button(box, "예", "Yes", IDYES))
        a.driver.wait_exit(pid=a.pid, timeout=20000)
        self.wait_item(b, list_b, a.display_name, OFFLINE)
        self.screenshot("two-clients-peer-left")
        self.assertTrue(server.records(a.user_id, "in", "COM_SIGN_OUT"), "no sign-out reached the server")

    def test_chat_list_from_single_entries_and_the_window_menu(self):
        a, b = self.first, self.second
        kim, lee = ("kim", "kim123", "김철수"), ("lee", "lee123", "이영희")
        a.user_id, a.password, a.display_name = kim
        b.user_id, b.password, b.display_name = lee
        self.addCleanup(self.restore_users)
        server = self.serve("--list-form", "entries")
        self.login(a)
        self.login(b)

        # Out of the way of the pictures: both main windows go into the tray (the command still reaches
        # a hidden window, as it does from the tray menu).
        for peer in (a, b):
            peer.driver.cmd("syscommand", hwnd=peer.main, cmd=SC_MINIMIZE)
            peer.driver.wait_gone(hwnd=peer.main, visible=1, timeout=5000)

        # The window menu's item: the list appears (not moved afterwards), asks once for the friends.
        a.driver.cmd("syscommand", hwnd=a.main, cmd=ID_PORTAL_CHATTING)
        chat_list = a.driver.wait(title=CHAT_LIST_TITLE, pid=a.pid, visible=1, timeout=10000)
        friends = {"이영희": ONLINE, "박민수": OFFLINE}
        for name, presence in friends.items():
            self.wait_item(a, chat_list, name, presence)
        requests = len(server.records(a.user_id, "in", "COM_CHATLIST_COLLECT"))
        a.driver.cmd("syscommand", hwnd=a.main, cmd=ID_PORTAL_CHATTING)
        time.sleep(1)  # the wait is the check: nothing moves and nothing is asked for within it
        again = a.driver.find(hwnd=chat_list["hwnd"], visible=1)
        self.assertEqual(again["rect"], chat_list["rect"])
        self.assertEqual(len(server.records(a.user_id, "in", "COM_CHATLIST_COLLECT")), requests)
        self.assertEqual(len(self.items(a, chat_list)), len(friends), "the list was loaded twice")
        # "나가기" only hides it; asked for again, it comes back where it was, with its items.
        a.driver.click(hwnd=chat_list["hwnd"], id=IDCANCEL)
        a.driver.wait_gone(hwnd=chat_list["hwnd"], visible=1, timeout=5000)
        a.driver.cmd("syscommand", hwnd=a.main, cmd=ID_PORTAL_CHATTING)
        shown = a.driver.wait(hwnd=chat_list["hwnd"], visible=1, timeout=5000)
        self.assertEqual(shown["rect"], chat_list["rect"])
        self.assertEqual(len(self.items(a, chat_list)), len(friends))
        # Pictures for review, away from Wine's tray window in the top left corner.
        a.driver.cmd("move", hwnd=chat_list["hwnd"], x=300, y=120)
        peers.window_picture("chat-list-friends", a.driver.find(hwnd=chat_list["hwnd"]))

        self.select_tab(a, chat_list, TAB_ALL)
        for name, presence in (("이영희", ONLINE), ("박민수", OFFLINE), ("관리자", OFFLINE)):
            self.wait_item(a, chat_list, name, presence)
        self.assertNotIn("김철수", [item["text"] for item in self.items(a, chat_list)])
        self.assertTrue(a.driver.cmd("select-tab", hwnd=chat_list["hwnd"], id=IDC_LIST_TABS)["enabled"],
                        "the tabs stay disabled after the closing entry")
        peers.window_picture("chat-list-all-users", a.driver.find(hwnd=chat_list["hwnd"]))

    def restore_users(self):
        self.first.user_id, self.first.password, self.first.display_name = "choi", "choi123", "최지우"
        self.second.user_id, self.second.password, self.second.display_name = "jung", "jung123", "정민호"

    @staticmethod
    def button(box: dict, *labels) -> str | int:
        """The box's button for the first label it has (Wine's texts depend on its language)."""
        for label in labels:
            for button in box["buttons"]:
                if isinstance(label, int) and button["id"] == label:
                    return label
                if isinstance(label, str) and re.sub(r"\(&.\)|&", "", button["text"]).strip() == label:
                    return label
        raise AssertionError(f"none of {labels} in {box}")

    def offer_file(self, peer: peers.Peer, window: dict, path: str) -> None:
        """The attach button, then the file dialog: the name typed in and opened."""
        peer.driver.click(hwnd=window["hwnd"], id=IDC_ATTACH)
        known = {window["hwnd"], peer.main}

        def dialog():
            for top in peer.driver.list(pid=peer.pid, class_="#32770", visible=1, children=0):
                if top["hwnd"] not in known and top["text"] not in (CHAT_LIST_TITLE,):
                    return top
            return None
        box = wait_until("the file dialog", dialog, timeout=10)
        children = peer.driver.list(pid=peer.pid, visible=1)
        start = next(i for i, w in enumerate(children) if w["hwnd"] == box["hwnd"])
        inside = []
        for child in children[start + 1:]:
            if child["parent"] == 0:
                break  # the next top-level window
            inside.append(child)
        name_box = next((c for c in inside if c["id"] in (FILE_NAME_EDIT, FILE_NAME_COMBO)
                         and c["class"].lower() == "edit"), None)
        self.assertIsNotNone(name_box, f"no file name field in {box}: {inside}")
        peer.driver.set_text(path, hwnd=name_box["hwnd"])
        self.screenshot("two-clients-file-dialog")
        peer.driver.click(hwnd=box["hwnd"], id=IDOK, child_class="Button")
        try:
            peer.driver.wait_gone(hwnd=box["hwnd"], timeout=10000)
        except e2e.DriverError as error:
            raise AssertionError(f"{error}; its controls: {[(c['id'], c['class'], c['text']) for c in inside]}")


if __name__ == "__main__":
    e2e.main()
