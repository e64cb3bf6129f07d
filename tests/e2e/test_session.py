#!/usr/bin/python3
"""The session under Wine against the scripted server: login, the sign-in reply, title, greeting and
note pop-ups, the connection check, the server's close with restart, the retry question, logout, the
start log, the administrator's bulk note and the chat list from the tray and system menus."""

import glob
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import e2e  # noqa: E402
from dravelon_res import (CAPTIONS, CONTROLS, ID_PORTAL_CHATTING, IDC_ATTACH, IDC_HISTORY_LIST,  # noqa: E402
                          IDC_MESSAGE_EDIT, IDC_NOPAGE_CHATLIST, IDC_PASSWORD, IDC_SEND, IDC_USER_ID, IDC_USER_LIST,
                          IDC_VERSION, IDCANCEL, IDM_ABOUTBOX, IDM_BULK_NOTE, IDNO, IDOK, IDYES, KOREAN_TEXTS, MENUS,
                          STRINGS, kConnectionCheckTimer, kNotifierClassName, kPlacementSection, kStatusHistory)
from scripted_server import COM, Record, encode_record, login_steps  # noqa: E402

MAIN_TITLE = CAPTIONS["IDD_MAIN"]
NOTIFIER = kNotifierClassName
CHAT_LIST_TITLE = CAPTIONS["IDD_CHAT_LIST"]
ABOUT_TITLE = CAPTIONS["IDD_ABOUTBOX"]
BULK_NOTE_TITLE = CAPTIONS["IDD_BULK_NOTE"]
LOGOUT_QUESTION = STRINGS["IDS_LOGOUT_CONFIRM"]
RETRY_QUESTION = STRINGS["IDS_SESSION_RETRY_CONNECT"]
VERSION_PREFIX = STRINGS["IDS_SESSION_VERSION_PREFIX"]
FRIENDS_LIST = KOREAN_TEXTS["kFriendsList"]
SERVER = KOREAN_TEXTS["kServerWord"]  # the addressee of what goes to the server itself
ONLINE, OFFLINE = STRINGS["IDS_CHATLIST_ONLINE"], STRINGS["IDS_CHATLIST_OFFLINE"]  # a user's presence, read out
PRESS = STRINGS["IDS_CONTROLS_PRESS"]  # the skinned buttons' default action
LOGGED_IN_TITLE = f"{MAIN_TITLE} - 김철수"
WM_TIMER = 0x0113
WM_COMMAND = 0x0111
CONVERSATION_TITLE = f"{CAPTIONS['IDD_MESSAGE']} - 이영희"
FRIENDS = '"lee"|"1"|"이영희"|"park"|"0"|"박민수"|'
ROLE_LISTITEM, ROLE_PUSHBUTTON = 0x22, 0x2B
STOCK_KEY = e2e.INSTALL_KEY + "\\" + kPlacementSection  # the placement's profile section, under HKCU


def client_pid(window: dict) -> int:
    return window["pid"]


class SessionTest(e2e.E2ETestCase):
    def log_in(self, user_id="kim", password="secret", name="김철수", status=1, greeting="", extra=()):
        """A client started with credentials, logged in against a fresh scripted server."""
        self.install()
        server = self.serve(script=login_steps(name, status=status, greeting=greeting) + list(extra))
        client = self.launch_client(f"/ID:{user_id}", f"/PW:{password}")
        conn = server.wait_connection(timeout=30)
        conn.wait_records(1, command=COM["SIGN_IN"], timeout=20)
        main = self.driver.wait(title_has=MAIN_TITLE, class_="#32770", visible=1, timeout=20000)
        return client, conn, main

    def notifier(self, pid, text_has, timeout=5000):
        return self.driver.wait(class_=NOTIFIER, pid=pid, title_has=text_has, visible=1, timeout=timeout)

    def no_notifier(self, pid, text_has, seconds):
        until = time.monotonic() + seconds
        while time.monotonic() < until:
            self.assertIsNone(self.driver.find(class_=NOTIFIER, pid=pid, title_has=text_has, visible=1))
            time.sleep(0.1)

    def version(self, main) -> str:
        self.driver.cmd("syscommand", hwnd=main["hwnd"], cmd=IDM_ABOUTBOX)
        about = self.driver.wait(title=ABOUT_TITLE, pid=main["pid"], visible=1, timeout=10000)
        text = self.driver.get_text(hwnd=about["hwnd"], id=IDC_VERSION)
        self.driver.click(hwnd=about["hwnd"], id=IDOK)
        self.driver.wait_gone(hwnd=about["hwnd"], timeout=5000)
        self.assertTrue(text.startswith(VERSION_PREFIX), text)
        return text[len(VERSION_PREFIX):]

    def test_login_reply_title_greeting_and_notes(self):
        password = "a&b#%+c"
        client, conn, main = self.log_in(password=password, greeting="어서 오세요")
        sign_in = conn.records[0]
        version = self.version(main)
        expected = Record(id="kim", password=password, name="kim", target=SERVER,
                          text=KOREAN_TEXTS["kSignInWord"] + version, command=COM["SIGN_IN"])
        self.assertEqual(encode_record(sign_in), encode_record(expected))
        self.assertEqual(conn.received[:len(encode_record(expected))], encode_record(expected))

        self.assertEqual(self.driver.wait_text(hwnd=main["hwnd"], text=LOGGED_IN_TITLE, timeout=5000),
                         LOGGED_IN_TITLE)
        # The greeting arrives with the login grant: shown at once.
        greeting = self.notifier(main["pid"], "어서 오세요", timeout=3000)
        self.assertEqual(greeting["text"],
                         STRINGS["IDS_POPUP_GREETING"] % (STRINGS["IDS_APP_TITLE"], "어서 오세요"))
        self.screenshot("session-greeting")

        # Long after the login a greeting is dropped (the wait is the "long after").
        time.sleep(3.5)
        conn.send(Record(name="", text="늦은 인사", command=COM["LOGIN_MESSAGE"]))
        self.no_notifier(main["pid"], "늦은 인사", 2)

        conn.send(Record(text="오늘의 공지입니다", command=COM["MESSAGE_NOTE"]))
        note = self.notifier(main["pid"], "오늘의 공지입니다")
        self.assertEqual(note["text"], "오늘의 공지입니다")
        conn.send(Record(name="이영희", text="주문 취소 요청합니다", command=COM["MESSAGE_NOTE"]))
        cancel = self.notifier(main["pid"], STRINGS["IDS_POPUP_CANCEL_REQUEST"] % "이영희")
        self.assertEqual(cancel["text"], STRINGS["IDS_POPUP_CANCEL_REQUEST"] % "이영희")
        self.assertNotEqual(cancel["hwnd"], note["hwnd"])
        self.screenshot("session-note-popups")

    def test_id_alone_shows_the_login_dialog_and_an_empty_password_is_refused(self):
        self.install()
        self.driver.reg_delete(e2e.INSTALL_KEY, "LoginId")
        server = self.serve(script=login_steps("김철수"))
        client = self.launch_client("/ID:kim")
        edit = self.driver.wait(id=IDC_PASSWORD, visible=1, timeout=30000)
        login = self.driver.find(hwnd=edit["parent"])
        self.assertEqual(self.driver.get_text(hwnd=login["hwnd"], id=IDC_USER_ID), "kim")
        self.assertEqual(self.driver.get_text(hwnd=login["hwnd"], id=IDC_PASSWORD), "")
        deadline = time.monotonic() + 5
        while self.driver.cmd("focus", pid=client_pid(login)).get("id") != IDC_PASSWORD:
            self.assertLess(time.monotonic(), deadline, "the focus is not in the password box")
            time.sleep(0.1)
        self.screenshot("session-login-dialog")

        self.driver.click(hwnd=login["hwnd"], id=IDOK)
        box = self.driver.msgbox(text=STRINGS["IDS_SESSION_LOGIN_MISSING"], timeout=10000)
        self.driver.msgbox(pid=box["pid"], text=box["text"], press=IDOK)
        # Nothing remembered and nothing sent: the dialog is still there.
        self.assertIsNone(self.driver.reg_get(e2e.INSTALL_KEY, "LoginId"))
        self.assertIsNotNone(self.driver.find(hwnd=login["hwnd"], visible=1))
        self.assertEqual(server.connections, [])

        self.driver.set_text(hwnd=login["hwnd"], id=IDC_PASSWORD, text="secret")
        self.driver.click(hwnd=login["hwnd"], id=IDOK)
        conn = server.wait_connection(timeout=30)
        sign_in = conn.wait_records(1, command=COM["SIGN_IN"], timeout=20)[0]
        self.assertEqual((sign_in.decoded("id"), sign_in.decoded("password")), ("kim", "secret"))
        self.driver.wait(title=LOGGED_IN_TITLE, visible=1, timeout=20000)

    def test_login_page_gets_id_and_password_percent_encoded(self):
        from test_startup import UpdateServer
        try:
            pages = UpdateServer(payload=None)
        except OSError as error:
            self.skipTest(f"port 80: {error}")
        self.addCleanup(pages.stop)
        client, conn, main = self.log_in(password="a&b#%+c")
        deadline = time.monotonic() + 20
        while not [r for r in pages.requests if r.startswith("/user/")]:
            if time.monotonic() > deadline:
                self.skipTest("no browser engine asked for the page")
            time.sleep(0.1)
        self.assertIn("/user/proc.asp?user_id=kim&user_password=a%26b%23%25%2Bc", pages.requests)

    def test_connection_check_only_at_status_one(self):
        for status, expected in ((1, 1), (0, 0)):
            with self.subTest(status=status):
                client, conn, main = self.log_in(status=status)
                self.driver.wait_text(hwnd=main["hwnd"], text=LOGGED_IN_TITLE, timeout=5000)
                self.driver.post(hwnd=main["hwnd"], msg=WM_TIMER, wparam=kConnectionCheckTimer)
                # An unknown timer sends nothing.
                self.driver.post(hwnd=main["hwnd"], msg=WM_TIMER, wparam=1027)
                self.driver.cmd("send", hwnd=main["hwnd"], msg=0)  # the posted ticks are handled by now
                time.sleep(1)  # the wait is the check: nothing more than expected arrives within it
                checks = [r for r in conn.records if r.command == COM["CONNECT_CHECK"]]
                self.assertEqual(len(checks), expected)
                if checks:
                    self.assertEqual((checks[0].decoded("target"), checks[0].decoded("text")),
                                     (SERVER, KOREAN_TEXTS["kConnectCheckWord"]))
                self.end_run(client)

    def test_server_close_shows_session_ended_and_restarts(self):
        client, conn, main = self.log_in()
        self.driver.wait_text(hwnd=main["hwnd"], text=LOGGED_IN_TITLE, timeout=5000)
        conn.send(Record(command=COM["CLOSE"]))
        # The pop-up's closing words, after the names it is filled with.
        self.notifier(main["pid"], STRINGS["IDS_POPUP_SESSION_ENDED"].rsplit("%s", 1)[1].strip(), timeout=5000)
        deadline = time.monotonic() + 30
        new = []
        while not new:
            self.assertLess(time.monotonic(), deadline, "no new process was started")
            new = [p["pid"] for p in self.driver.pids("DravelOn.exe") if p["pid"] != main["pid"]]
            time.sleep(0.1)
        self.assertTrue(self.driver.cmd("cmdline", pid=new[0])["cmdline"].endswith(" --Restart"))
        # The old process ends and the restarted one shows a window of its own.
        self.driver.wait_exit(pid=main["pid"], timeout=20000)
        self.driver.wait(pid=new[0], visible=1, timeout=30000)

    def test_refused_connection_asks_to_retry(self):
        self.install()
        client = self.launch_client("/ID:kim", "/PW:secret")  # nobody listens on 8200
        box = self.driver.msgbox(text=RETRY_QUESTION, timeout=40000)
        self.assertEqual([b["id"] for b in box["buttons"]], [IDYES, IDNO])
        server = self.serve(script=login_steps("김철수"))
        self.driver.msgbox(pid=box["pid"], text=RETRY_QUESTION, press=IDYES)
        conn = server.wait_connection(timeout=30)
        conn.wait_records(1, command=COM["SIGN_IN"], timeout=20)
        self.driver.wait(title=LOGGED_IN_TITLE, visible=1, timeout=20000)

    def test_refused_connection_answered_no_ends_the_program(self):
        self.install()
        client = self.launch_client("/ID:kim", "/PW:secret")
        box = self.driver.msgbox(text=RETRY_QUESTION, timeout=40000)
        self.driver.msgbox(pid=box["pid"], text=RETRY_QUESTION, press=IDNO)
        self.assertEqual(client.wait(timeout=20), 0)

    def test_logout_no_keeps_everything_yes_signs_out_and_saves_placement(self):
        self.driver.reg_delete(STOCK_KEY, root="HKCU")
        client, conn, main = self.log_in()
        self.driver.cmd("send", hwnd=main["hwnd"], msg=0)
        # A first run asks for the window maximised (Wine without a window manager may not oblige):
        # whatever it got is what is saved.
        rect = self.driver.find(hwnd=main["hwnd"])["rect"]
        maximised = rect[2] - rect[0] >= 1280
        self.driver.wait_text(hwnd=main["hwnd"], text=LOGGED_IN_TITLE, timeout=5000)
        self.driver.cmd("command", hwnd=main["hwnd"], cmd=IDCANCEL)
        box = self.driver.msgbox(text=LOGOUT_QUESTION, pid=main["pid"], timeout=10000)
        self.assertEqual([b["id"] for b in box["buttons"]], [IDYES, IDNO])
        self.driver.msgbox(pid=main["pid"], text=LOGOUT_QUESTION, press=IDNO)
        time.sleep(1)  # the wait is the check: no sign-out is sent within it
        self.assertEqual([r for r in conn.records if r.command == COM["SIGN_OUT"]], [])
        self.assertTrue(client.running())
        self.assertIsNone(self.driver.reg_get(STOCK_KEY, "Max", root="HKCU"))

        self.driver.cmd("command", hwnd=main["hwnd"], cmd=IDCANCEL)
        self.driver.msgbox(pid=main["pid"], text=LOGOUT_QUESTION, press=IDYES)
        sign_out = conn.wait_records(1, command=COM["SIGN_OUT"], timeout=10)[0]
        self.assertEqual((sign_out.decoded("target"), sign_out.decoded("text")), (SERVER, KOREAN_TEXTS["kLogoutWord"]))
        self.assertEqual(client.wait(timeout=20), 0)
        # Wine without a window manager does not keep a maximised state reliably: both values count.
        self.assertIn(self.driver.reg_get(STOCK_KEY, "Max", root="HKCU"), (0, 1) if maximised else (0,))
        for name in ("RectLeft", "RectTop", "RectRight", "RectBottom"):
            self.assertIsInstance(self.driver.reg_get(STOCK_KEY, name, root="HKCU"), int)

    def test_start_log_gains_one_line_per_run_beside_the_program_or_where_the_user_can_write(self):
        beside = os.path.join(e2e.prefix_path(e2e.INSTALL_DIR), "DravelOn.Log")
        local = glob.glob(os.path.join(e2e.WINEPREFIX, "drive_c", "users", "*", "AppData", "Local"))
        self.assertEqual(len(local), 1, local)
        own = os.path.join(local[0], "Dravel On", "DravelOn.Log")
        for path in (beside, own):
            if os.path.exists(path):
                os.remove(path)
        self.addCleanup(lambda: os.path.exists(own) and os.remove(own))
        for run, log in enumerate((beside, beside, own, own)):
            if run == 2:  # the folder as a standard user has it
                os.remove(beside)
                self.lock_folder(os.path.dirname(beside))
            before = b""
            if os.path.exists(log):
                with open(log, "rb") as f:
                    before = f.read()
            client, conn, main = self.log_in()
            with open(log, "rb") as f:
                after = f.read()
            self.assertTrue(after.startswith(before))
            added = after[len(before):]
            self.assertEqual(added.count(b"\n"), 1)
            self.assertRegex(added.decode("ascii"),
                             r"^\d{4}-\d\d-\d\d (AM|PM) \d\d:\d\d:\d\d Dravel On Start   -{41}\n$")
            self.end_run(client)
        self.assertFalse(os.path.exists(beside))

    def test_administrator_item_only_for_the_two_ids_and_sends_the_bulk_note(self):
        for user_id, admin in (("qalop7", True), ("Qalop7", False), ("kim", False)):
            with self.subTest(user_id=user_id):
                client, conn, main = self.log_in(user_id=user_id)
                self.driver.wait_text(hwnd=main["hwnd"], text=LOGGED_IN_TITLE, timeout=5000)
                self.driver.cmd("syscommand", hwnd=main["hwnd"], cmd=IDM_BULK_NOTE)
                if admin:
                    note = self.driver.wait(title=BULK_NOTE_TITLE, pid=main["pid"], visible=1, timeout=10000)
                    self.driver.set_text(hwnd=note["hwnd"], id=self.bulk_edit_id(note), text="전체 공지")
                    self.driver.click(hwnd=note["hwnd"], id=IDOK)
                    sent = conn.wait_records(1, command=COM["PRIVATE_MESSAGE"], timeout=10)[0]
                    self.assertEqual((sent.decoded("name"), sent.decoded("target"), sent.decoded("text")),
                                     (SERVER, "", "전체 공지"))
                else:
                    time.sleep(1.5)  # the wait is the check: no bulk note window within it
                    self.assertIsNone(self.driver.find(title=BULK_NOTE_TITLE, pid=main["pid"], visible=1))
                self.end_run(client)

    def bulk_edit_id(self, note) -> int:
        edits = [w for w in self.driver.list(hwnd=note["hwnd"], children=1)
                 if w.get("class", "").lower() == "edit"]
        self.assertTrue(edits, "the bulk note has no edit")
        return edits[0]["id"]

    def choose_tray_item(self, main, position, done=None):
        """Opens the tray menu as a right click on the icon does and picks the item at position."""
        return e2e.choose_tray_item(self.driver, main["hwnd"], main["pid"], position, done=done)

    def test_chat_list_from_the_tray_menu(self):
        client, conn, main = self.log_in()
        self.driver.wait_text(hwnd=main["hwnd"], text=LOGGED_IN_TITLE, timeout=5000)
        chat_item = [command for command, _ in MENUS["IDR_TRAY_MENU"]].index("ID_PORTAL_CHATTING")
        chat = self.choose_tray_item(
            main, chat_item, done=lambda: self.driver.find(title=CHAT_LIST_TITLE, pid=main["pid"], visible=1))
        self.assertEqual(conn.wait_records(1, command=COM["CHATLIST_COLLECT"], timeout=10)[0].decoded("target"),
                         FRIENDS_LIST)
        self.choose_tray_item(main, chat_item)
        time.sleep(1)  # the wait is the check: nothing moves and nothing is asked for within it
        again = self.driver.find(title=CHAT_LIST_TITLE, pid=main["pid"], visible=1)
        self.assertEqual((again["hwnd"], again["rect"]), (chat["hwnd"], chat["rect"]))
        self.assertEqual(len([r for r in conn.records if r.command == COM["CHATLIST_COLLECT"]]), 1)
        self.assertTrue(client.running())

    def test_chat_list_from_the_menus_shows_once_and_asks_for_friends(self):
        client, conn, main = self.log_in()
        self.driver.wait_text(hwnd=main["hwnd"], text=LOGGED_IN_TITLE, timeout=5000)
        self.driver.cmd("command", hwnd=main["hwnd"], cmd=ID_PORTAL_CHATTING)
        chat = self.driver.wait(title=CHAT_LIST_TITLE, pid=main["pid"], visible=1, timeout=10000)
        collect = conn.wait_records(1, command=COM["CHATLIST_COLLECT"], timeout=10)[0]
        self.assertEqual(collect.decoded("target"), FRIENDS_LIST)
        self.screenshot("session-chat-list")
        # Again, from the system menu: nothing moves and nothing more is asked for.
        self.driver.cmd("syscommand", hwnd=main["hwnd"], cmd=ID_PORTAL_CHATTING)
        self.driver.cmd("send", hwnd=main["hwnd"], msg=0)
        time.sleep(1)  # the wait is the check: nothing moves and nothing is asked for within it
        again = self.driver.find(title=CHAT_LIST_TITLE, pid=main["pid"], visible=1)
        self.assertEqual((again["hwnd"], again["rect"]), (chat["hwnd"], chat["rect"]))
        self.assertEqual(len([r for r in conn.records if r.command == COM["CHATLIST_COLLECT"]]), 1)

    def type(self, *keys: str, text: str = ""):
        self.driver.cmd("type", keys=",".join(keys), text=text)

    def focus_id(self, pid) -> int | None:
        answer = self.driver.cmd("focus", pid=pid)
        return answer.get("id")

    def wait_focus(self, pid, control_id, seconds=10):
        deadline = time.monotonic() + seconds
        while self.focus_id(pid) != control_id:
            self.assertLess(time.monotonic(), deadline, f"the keyboard never reached control {control_id}")
            time.sleep(0.1)

    def tab_to(self, pid, control_id, most=6):
        """Tab, as a user does, until the control has the keyboard."""
        for _ in range(most):
            if self.focus_id(pid) == control_id:
                return
            self.type("tab")
            time.sleep(0.2)
        self.wait_focus(pid, control_id, seconds=2)

    def wait_foreground(self, hwnd, seconds=10):
        deadline = time.monotonic() + seconds
        while self.driver.foreground()["hwnd"] != hwnd:
            self.assertLess(time.monotonic(), deadline, f"window {hwnd} never came to the front")
            time.sleep(0.1)

    def test_the_keyboard_alone_reaches_users_conversations_the_friend_menu_and_pop_ups(self):
        client, conn, main = self.log_in()
        pid = main["pid"]
        self.driver.wait_text(hwnd=main["hwnd"], text=LOGGED_IN_TITLE, timeout=5000)
        # Without a page the main window offers the chat list; Tab reaches it, Space opens it.
        self.driver.wait(hwnd=main["hwnd"], id=IDC_NOPAGE_CHATLIST, visible=1, timeout=15000)
        self.driver.cmd("activate", hwnd=main["hwnd"])
        self.tab_to(pid, IDC_NOPAGE_CHATLIST)
        self.type("space")
        chat = self.driver.wait(title=CHAT_LIST_TITLE, pid=pid, visible=1, timeout=15000)
        conn.wait_records(1, command=COM["CHATLIST_COLLECT"], timeout=10)
        conn.send(Record(text=FRIENDS, command="CHATLIST_COLLECT"))
        # It comes to the front with the keyboard in the list of users.
        self.wait_foreground(chat["hwnd"])
        self.wait_focus(pid, IDC_USER_LIST)
        # A screen reader hears each user with the presence the list shows.
        deadline = time.monotonic() + 10
        while True:
            users = self.driver.cmd("acc-items", hwnd=chat["hwnd"], id=IDC_USER_LIST)["items"]
            if len(users) == 2 or time.monotonic() > deadline:
                break
            time.sleep(0.1)
        self.assertEqual([(u["name"], u["description"], u["role"]) for u in users],
                         [("이영희", ONLINE, ROLE_LISTITEM), ("박민수", OFFLINE, ROLE_LISTITEM)])

        # Tab goes round the window (tabs, list, "나가기") and back to the list. Down picks the first user;
        # Shift+F10 opens the friend menu, Escape puts it away.
        self.type("tab")
        self.tab_to(pid, IDC_USER_LIST)
        self.type("down")
        self.type("shift+f10")
        menu = self.driver.wait(class_="#32768", pid=pid, visible=1, timeout=10000)
        self.type("escape")
        self.driver.wait_gone(hwnd=menu["hwnd"], visible=1, timeout=5000)

        # Enter opens the conversation in front, with the keyboard in the message: typing and Enter send.
        self.type("enter")
        window = self.driver.wait(title=CONVERSATION_TITLE, pid=pid, visible=1, timeout=10000)
        conn.wait_records(1, command=COM["PRIVATE_HISTORY"], timeout=10)
        conn.send(Record(id="lee", name="이영희", target="이영희", status=kStatusHistory,
                         text="<|주문 확인했어요|2020-01-02 PM 03:04:05", command="PRIVATE_HISTORY"))
        self.wait_foreground(window["hwnd"])
        self.wait_focus(pid, IDC_MESSAGE_EDIT)
        self.type(text="내일 뵙겠습니다")
        self.type("enter")
        sent = conn.wait_records(1, command=COM["PRIVATE_MESSAGE"], timeout=10)[0]
        self.assertEqual(sent.decoded("text"), "이영희: 내일 뵙겠습니다")
        # ...and a screen reader reads the history as sender, message and time, and the buttons by name.
        items = self.driver.cmd("acc-items", hwnd=window["hwnd"], id=IDC_HISTORY_LIST)["items"]
        self.assertEqual(items[0]["name"], "이영희\n주문 확인했어요\n2020-01-02 PM 03:04:05")
        self.assertTrue(items[-1]["name"].startswith("내일 뵙겠습니다\n"), items[-1]["name"])
        send_name = CONTROLS["IDD_MESSAGE"]["IDC_SEND"].replace("&", "")  # "전송(S)": read without the mnemonic mark
        self.assertEqual(self.driver.cmd("acc-items", hwnd=window["hwnd"], id=IDC_SEND)["self"]["name"], send_name)
        attach = self.driver.cmd("acc-items", hwnd=window["hwnd"], id=IDC_ATTACH)["self"]
        self.assertEqual((attach["name"], attach["role"], attach["default-action"]),
                         (STRINGS["IDS_CONV_ATTACH_TIP"], ROLE_PUSHBUTTON, PRESS))

        # A pop-up is reached from the keyboard too: Ctrl+Alt+M opens the newest one's conversation.
        conn.send(Record(id="park", name="박민수", target="김철수", text="안녕하세요", command="PRIVATE_MESSAGE"))
        self.notifier(pid, "박민수", timeout=10000)
        self.type("ctrl+alt+m")
        other = self.driver.wait(title=f"{CAPTIONS['IDD_MESSAGE']} - 박민수", pid=pid, visible=1, timeout=10000)
        self.wait_foreground(other["hwnd"])
        self.assertIsNone(self.driver.find(class_=NOTIFIER, pid=pid, title_has="박민수", visible=1))

if __name__ == "__main__":
    e2e.main()
