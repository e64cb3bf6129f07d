#!/usr/bin/python3
"""Conversations under Wine against the scripted server: a peer's message pops up, a click opens the
conversation with its history, typing and Enter send the message and log it, file offers pop up,
attach offers a file, an accepted offer uploads to port 8201 and a clicked file item downloads from
port 8202 into the documents folder, backing up the file that was there."""

import glob
import os
import re
import shutil
import struct
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import e2e  # noqa: E402
from dravelon_res import (CAPTIONS, IDC_ATTACH, IDC_HISTORY_LIST, IDC_MESSAGE_EDIT, IDC_SEND, IDNO,  # noqa: E402
                          IDOK, IDYES, STRINGS, kNotifierClassName, kStatusHistory)
from scripted_server import COM, Record, encode_record, login_steps  # noqa: E402

MAIN_TITLE = CAPTIONS["IDD_MAIN"]
NOTIFIER = kNotifierClassName
OWN_ID, OWN_NAME = "kim", "김철수"
PEER_ID, PEER_NAME = "lee", "이영희"
CONVERSATION_TITLE = f"{CAPTIONS['IDD_MESSAGE']} - {PEER_NAME}"
TRANSFER_TITLE = STRINGS["IDS_TRANSFER_SEND_TITLE"]
MESSAGE_POPUP = STRINGS["IDS_POPUP_MESSAGE"] % PEER_NAME
FILE_POPUP = STRINGS["IDS_POPUP_FILE"] % PEER_NAME
OPEN_QUESTION = STRINGS["IDS_CONV_OPEN_AFTER"]
FILE_NAME_BOX = 1148  # the system's open dialog: its file name box (cmb13 of dlgs.h)
WM_LBUTTONDOWN, WM_LBUTTONUP, WM_KEYDOWN, VK_RETURN = 0x0201, 0x0202, 0x0100, 0x0D
LOG_PATH = e2e.INSTALL_DIR + "\\" + f"{PEER_ID}_{OWN_ID}.Log"
ITEM_TIME = r"\d{4}-\d\d-\d\d (AM|PM) \d\d:\d\d:\d\d"
DOCUMENTS_DIR = r"C:\e2e_documents"
SHELL_FOLDERS_KEY = r"Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders"
SENT_TIME = r"\d{4}/\d\d/\d\d (AM|PM) \d\d:\d\d:\d\d"


class TransferEndpoint(e2e.OneConnectionServer):
    """A file-transfer endpoint on loopback: 8201 takes an upload (everything until the client closes),
    8202 hands out one file (4-byte big-endian length, then the bytes)."""

    def __init__(self, port: int, payload: bytes | None = None):
        self.received = b""
        self.done = threading.Event()
        self._payload = payload
        super().__init__(port)

    def serve(self, conn):
        conn.settimeout(30)
        if self._payload is not None:
            conn.sendall(struct.pack(">I", len(self._payload)) + self._payload)
        chunks = []
        try:
            while True:
                chunk = conn.recv(65536)
                if not chunk:
                    break
                chunks.append(chunk)
        except OSError:
            pass
        self.received = b"".join(chunks)
        self.done.set()


class HeldEndpoint(e2e.OneConnectionServer):
    """An upload port that takes the connection and reads nothing until released, so an upload larger
    than the socket buffers stays in its transfer window."""

    def __init__(self, port: int):
        self.accepted = threading.Event()
        self.release = threading.Event()
        super().__init__(port)

    def serve(self, conn):
        self.accepted.set()
        self.release.wait(60)


class ConversationSession(e2e.E2ETestCase):
    """Kim logged in against the scripted server, and what a conversation with Lee needs."""

    def log_in(self, before_start=None):
        self.install()
        if before_start:
            before_start()
        server = self.serve(script=login_steps(OWN_NAME, user_id=OWN_ID))
        self.launch_client(f"/ID:{OWN_ID}", "/PW:secret")
        conn = server.wait_connection(timeout=30)
        conn.wait_records(1, command=COM["SIGN_IN"], timeout=20)
        main = self.driver.wait(title_has=MAIN_TITLE, class_="#32770", visible=1, timeout=20000)
        self.driver.wait_text(hwnd=main["hwnd"], text=f"{MAIN_TITLE} - {OWN_NAME}", timeout=10000)
        self.addCleanup(self._remove_log)
        return conn, main["pid"]

    def _remove_log(self):
        try:
            os.remove(e2e.prefix_path(LOG_PATH))
        except OSError:
            pass

    def peer_says(self, conn, text: str):
        conn.send(Record(id=PEER_ID, name=PEER_NAME, target=OWN_NAME, text=text, command="PRIVATE_MESSAGE"))

    def log(self, path: str | None = None) -> str:
        try:
            with open(path or e2e.prefix_path(LOG_PATH), "rb") as f:
                return f.read().decode("cp949")
        except FileNotFoundError:
            return ""

    def wait_log(self, pattern: str, timeout: float = 10, path: str | None = None) -> str:
        deadline = time.monotonic() + timeout
        while True:
            log = self.log(path)
            if re.search(pattern, log, re.M):
                return log
            if time.monotonic() > deadline:
                self.fail(f"log never matched {pattern!r}: {log!r}")
            time.sleep(0.1)

    def open_from_popup(self, conn, pid, history: str):
        """The peer's first message pops up; a click opens the conversation, which asks for the history."""
        self.peer_says(conn, "안녕하세요")
        popup = self.driver.wait(class_=NOTIFIER, pid=pid, title_has=MESSAGE_POPUP, visible=1, timeout=8000)
        self.assertIsNone(self.driver.find(title=CONVERSATION_TITLE, pid=pid))
        self.driver.post(hwnd=popup["hwnd"], msg=WM_LBUTTONUP, wparam=0, lparam=0x00100010)
        window = self.driver.wait(title=CONVERSATION_TITLE, pid=pid, visible=1, timeout=8000)
        request = conn.wait_records(1, command=COM["PRIVATE_HISTORY"], timeout=10)[0]
        self.assertEqual((request.decoded("name"), request.decoded("target"), request.decoded("text")),
                         (OWN_NAME, PEER_ID, ""))
        send = self.driver.find(hwnd=window["hwnd"], id=IDC_SEND)
        self.assertFalse(send["enabled"])
        conn.send(Record(id=PEER_ID, name=PEER_NAME, target=PEER_NAME, status=kStatusHistory, text=history,
                         command="PRIVATE_HISTORY"))
        deadline = time.monotonic() + 10
        # Both buttons are enabled one after the other: wait for both.
        while not (self.driver.find(hwnd=window["hwnd"], id=IDC_SEND)["enabled"]
                   and self.driver.find(hwnd=window["hwnd"], id=IDC_ATTACH)["enabled"]):
            self.assertLess(time.monotonic(), deadline, "the send and attach buttons stayed disabled")
            time.sleep(0.1)
        return window

    def click_item(self, window, index: int = 0):
        """A click into the middle of a history item (the newest with index -1), once it has been painted."""
        listed = self.driver.find(hwnd=window["hwnd"], id=IDC_HISTORY_LIST)
        deadline = time.monotonic() + 10
        while True:
            items = self.driver.cmd("html-items", hwnd=window["hwnd"], id=IDC_HISTORY_LIST)["items"]
            if items and items[index]["rect"][3] > items[index]["rect"][1]:
                break
            self.assertLess(time.monotonic(), deadline, f"the history item was never painted: {items}")
            time.sleep(0.05)
        top, bottom = items[index]["rect"][1], items[index]["rect"][3]
        lparam = ((top + bottom) // 2 << 16) | 150
        self.driver.post(hwnd=listed["hwnd"], msg=WM_LBUTTONDOWN, wparam=1, lparam=lparam)
        self.driver.post(hwnd=listed["hwnd"], msg=WM_LBUTTONUP, wparam=0, lparam=lparam)


class ConversationTest(ConversationSession):
    def test_message_popup_history_send_and_log(self):
        conn, pid = self.log_in()
        history = ">|지난번 주문 확인했어요|2020-01-02 PM 03:04:05|<|감사합니다|2020-01-02 PM 03:05:00"
        window = self.open_from_popup(conn, pid, history)
        log = self.wait_log(r"^> 2020-01-02 PM 03:05:00 감사합니다\r?$")
        self.assertIn(". 2020-01-02 PM 03:04:05 지난번 주문 확인했어요", log)
        self.screenshot("conversation-opened")

        # Typing and Enter: the private message goes out byte for byte, the edit empties, a ". " line.
        self.driver.set_text(hwnd=window["hwnd"], id=IDC_MESSAGE_EDIT, text="내일 뵙겠습니다 abc")
        self.driver.cmd("key", hwnd=window["hwnd"], id=IDC_MESSAGE_EDIT, vk=VK_RETURN)
        sent = conn.wait_records(1, command=COM["PRIVATE_MESSAGE"], timeout=10)[0]
        expected = Record(id=OWN_ID, password="secret", name=OWN_NAME, target=PEER_ID, status=1,
                          text=PEER_NAME + ": 내일 뵙겠습니다 abc", command="PRIVATE_MESSAGE")
        self.assertEqual(sent, expected)
        self.assertIn(encode_record(expected), conn.received)
        self.wait_log(rf"^\. {SENT_TIME} 내일 뵙겠습니다 abc\r?$")
        self.assertEqual(self.driver.get_text(hwnd=window["hwnd"], id=IDC_MESSAGE_EDIT), "")

        # A message while the window is visible is shown and logged without a pop-up.
        self.peer_says(conn, "네 좋아요")
        self.wait_log(rf"^> {ITEM_TIME} 네 좋아요\r?$")
        deadline = time.monotonic() + 2
        while time.monotonic() < deadline:
            self.assertIsNone(self.driver.find(class_=NOTIFIER, pid=pid, title_has=MESSAGE_POPUP, visible=1))
            time.sleep(0.1)

        # A file offer pops up even so, and is logged with "F".
        self.peer_says(conn, "File_report.txt")
        self.driver.wait(class_=NOTIFIER, pid=pid, title_has=FILE_POPUP, visible=1, timeout=8000)
        self.wait_log(rf"^F {ITEM_TIME} File_report\.txt\r?$")
        self.screenshot("conversation-exchange")

    def test_a_user_who_cannot_write_the_program_folder_has_the_log_in_local_app_data(self):
        user_logs = glob.glob(os.path.join(e2e.WINEPREFIX, "drive_c", "users", "*", "AppData", "Local"))
        self.assertEqual(len(user_logs), 1, user_logs)
        user_log = os.path.join(user_logs[0], "Dravel On", f"{PEER_ID}_{OWN_ID}.Log")
        self.addCleanup(lambda: os.path.exists(user_log) and os.remove(user_log))
        conn, pid = self.log_in(before_start=lambda: self.lock_folder(e2e.prefix_path(e2e.INSTALL_DIR)))
        self.open_from_popup(conn, pid, ">|주문 확인했어요|2020-01-02 PM 03:04:05")
        self.wait_log(r"^\. 2020-01-02 PM 03:04:05 주문 확인했어요\r?$", path=user_log)
        self.assertFalse(os.path.exists(e2e.prefix_path(LOG_PATH)))

    def test_files_attach_upload_and_download(self):
        documents = self.use_own_documents_folder()
        conn, pid = self.log_in()
        window = self.open_from_popup(conn, pid, "")
        # The peer offers a file; a click on its item asks whether to open it and sends the answer.
        self.peer_says(conn, "File_report.txt")
        log = self.wait_log(rf"^F {ITEM_TIME} File_report\.txt\r?$")
        stamp = re.search(rf"^F ({ITEM_TIME}) File_report", log, re.M).group(1)
        year, month, day, half, hour, minute = re.match(r"(\d+)-(\d+)-(\d+) (AM|PM) (\d+):(\d+)", stamp).groups()
        hour = int(hour) % 12 + (12 if half == "PM" else 0)
        key = f"report.txt.{year}{month}{day}{hour:02d}{minute}"
        self.click_item(window)
        box = self.driver.msgbox(pid=pid, text=OPEN_QUESTION, press=IDNO, timeout=8000)
        self.assertTrue(box["pressed"])
        answer = conn.wait_records(1, command=COM["FILE_RECEIVER"], timeout=10)[0]
        self.assertEqual((answer.decoded("id"), answer.decoded("target"), answer.decoded("name"),
                          answer.decoded("text"), answer.port), (PEER_ID, OWN_ID, PEER_NAME, key, 8202))

        # The server has the file ready: it lands in the documents folder, the old one backed up.
        target = os.path.join(documents, "report.txt")
        with open(target, "wb") as f:
            f.write(b"old report")
        download = TransferEndpoint(8202, payload=b"new report body")
        self.addCleanup(download.close)
        conn.send(Record(name=PEER_NAME, text=key, command="FILE_ADJUST"))
        deadline = time.monotonic() + 30
        while True:
            try:
                with open(target, "rb") as f:
                    if f.read() == b"new report body":
                        break
            except OSError:
                pass  # moved aside, not yet written
            self.assertLess(time.monotonic(), deadline, "the download never replaced the file")
            time.sleep(0.2)
        backups = [n for n in os.listdir(documents) if re.fullmatch(r"report-bak \d{12}\.txt", n)]
        self.assertEqual(len(backups), 1, os.listdir(documents))
        with open(os.path.join(documents, backups[0]), "rb") as f:
            self.assertEqual(f.read(), b"old report")

        upload_name = "보낼파일.txt"
        upload_path = e2e.INSTALL_DIR + "\\" + upload_name
        with open(e2e.prefix_path(upload_path), "wb") as f:
            f.write(b"upload body")

        # Attach: the file dialog, a chosen file, and the offer.
        self.driver.click(hwnd=window["hwnd"], id=IDC_ATTACH)
        name_box = self.driver.wait(class_="#32770", pid=pid, id=FILE_NAME_BOX, visible=1, timeout=10000)
        self.driver.set_text(hwnd=name_box["hwnd"], text=upload_path)
        self.driver.cmd("command", hwnd=name_box["parent"], cmd=IDOK)
        offer = conn.wait_records(1, command=COM["FILE_TRANSFER"], timeout=10)[0]
        self.assertEqual((offer.decoded("name"), offer.decoded("target"), offer.decoded("text"), offer.port),
                         (OWN_NAME, PEER_ID, PEER_NAME + ": " + upload_path, 8201))

        # The server accepts: the upload runs against port 8201 and the log gains an "S" line.
        upload = TransferEndpoint(8201)
        self.addCleanup(upload.close)
        conn.send(Record(name=PEER_NAME, text=upload_path, host="20200102150405", command="FILE_ACCEPT"))
        self.assertTrue(upload.done.wait(30), "no upload arrived")
        header = struct.pack(">I", len(b"upload body")) + (f"{OWN_ID}_{PEER_ID}_{upload_name}.202001021504"
                                                          .encode("cp949").ljust(256, b"\0"))
        self.assertEqual(upload.received, header + b"upload body")
        self.wait_log(r"^S 2020/01/02 PM 03:04:05 Send_" + re.escape(upload_path) + r"\r?$")

    def test_a_page_closing_the_window_during_an_upload_leaves_no_sent_item_and_no_log_line(self):
        e2e.use_test_browser(self)
        conn, pid = self.log_in()
        window = self.open_from_popup(conn, pid, "")
        upload_path = e2e.INSTALL_DIR + "\\big upload.bin"
        with open(e2e.prefix_path(upload_path), "wb") as f:
            f.write(b"\x5a" * (32 << 20))  # far more than the loopback buffers hold
        self.addCleanup(os.remove, e2e.prefix_path(upload_path))
        self.driver.click(hwnd=window["hwnd"], id=IDC_ATTACH)
        name_box = self.driver.wait(class_="#32770", pid=pid, id=FILE_NAME_BOX, visible=1, timeout=10000)
        self.driver.set_text(hwnd=name_box["hwnd"], text=upload_path)
        self.driver.cmd("command", hwnd=name_box["parent"], cmd=IDOK)
        conn.wait_records(1, command=COM["FILE_TRANSFER"], timeout=10)

        upload = HeldEndpoint(8201)
        self.addCleanup(upload.close)
        self.addCleanup(upload.release.set)
        conn.send(Record(name=PEER_NAME, text=upload_path, host="20200102150405", command="FILE_ACCEPT"))
        self.assertTrue(upload.accepted.wait(30), "the upload never connected")
        transfer = self.driver.wait(title=TRANSFER_TITLE, pid=pid, visible=1, timeout=10000)

        # The portal page in the main window asks to close the active window: the running transfer.
        control = e2e.find_test_browser(self.driver, title_has=MAIN_TITLE, pid=pid)
        hr, _ = e2e.page_call(self.driver, control["hwnd"], "CB_CloseWindow")
        self.assertEqual(hr, 0)
        self.driver.wait_gone(hwnd=transfer["hwnd"], timeout=10000)
        upload.release.set()

        # Ended as a failure: no "Send_" item, no "S" line. A second message shows the window went on,
        # and that by then nothing of the upload had been written.
        self.driver.set_text(hwnd=window["hwnd"], id=IDC_MESSAGE_EDIT, text="after")
        self.driver.cmd("key", hwnd=window["hwnd"], id=IDC_MESSAGE_EDIT, vk=VK_RETURN)
        log = self.wait_log(rf"^\. {SENT_TIME} after\r?$")
        self.assertNotRegex(log, r"(?m)^S ")
        texts = [item["text"] for item in
                 self.driver.cmd("html-items", hwnd=window["hwnd"], id=IDC_HISTORY_LIST)["items"]]
        self.assertFalse([t for t in texts if "Send_" in t], texts)

    def test_server_and_peer_claims_move_no_file_and_run_nothing(self):
        """Records nobody asked for: an acceptance of a file never offered, a download nobody clicked, a
        message that pretends to be a second log line. Then a program the user did ask for is saved and
        shown in its folder, never run."""
        documents = self.use_own_documents_folder()
        conn, pid = self.log_in()
        window = self.open_from_popup(conn, pid, "")
        upload = TransferEndpoint(8201)
        self.addCleanup(upload.close)
        # The stand-in program leaves "updater-ran.txt" beside itself when it runs.
        with open(os.path.join(e2e.BIN_DIR, "e2e_updater_new.exe"), "rb") as f:
            program = f.read()
        download = TransferEndpoint(8202, payload=program)
        self.addCleanup(download.close)

        self.peer_says(conn, "File_x.exe|2020-01-02 PM 03:04:05")
        self.wait_log(r"^F 2020-01-02 PM 03:04:05 File_x\.exe\r?$")
        key = "x.exe.202001021504"
        conn.send(Record(name=PEER_NAME, text=e2e.INSTALL_DIR + "\\DravelOn.exe", host="20200102150405",
                         command="FILE_ACCEPT"))
        conn.send(Record(name=PEER_NAME, text=key, command="FILE_ADJUST"))
        self.peer_says(conn, "hi\r\n. 2024/01/01 AM 09:00:00 I agree")
        # Records are handled in order: once this line is there, the two claims were dealt with.
        log = self.wait_log(rf"^> {ITEM_TIME} hi  \. 2024/01/01 AM 09:00:00 I agree\r?$")
        self.assertNotRegex(log, r"(?m)^\. 2024/01/01")
        self.assertEqual((upload.connections, download.connections), (0, 0))
        self.assertFalse([r for r in conn.records if r.command == COM["FILE_RECEIVER"]])

        # The user clicks the offer and wants it opened: it is saved, marked, and shown, not run.
        self.click_item(window)
        self.driver.msgbox(pid=pid, text=OPEN_QUESTION, press=IDYES, timeout=8000)
        answer = conn.wait_records(1, command=COM["FILE_RECEIVER"], timeout=10)[0]
        self.assertEqual(answer.decoded("text"), key)
        conn.send(Record(name=PEER_NAME, text=key, command="FILE_ADJUST"))
        target = os.path.join(documents, "x.exe")
        deadline = time.monotonic() + 30
        while not (os.path.exists(target) and os.path.getsize(target) == len(program) and download.done.is_set()):
            self.assertLess(time.monotonic(), deadline, "the clicked download never arrived")
            time.sleep(0.1)
        folder = self.driver.wait(title_has="e2e_documents", visible=1, timeout=15000)
        self.addCleanup(self.driver.cmd, "close", check=False, hwnd=folder["hwnd"])
        self.screenshot("received-program-shown-in-folder")
        self.assertFalse(os.path.exists(os.path.join(documents, "updater-ran.txt")), "the received program ran")
        self.assertEqual(download.connections, 1)
        # Nothing else lands beside it (a mark of the web where no named streams exist would be a file).
        self.assertEqual(os.listdir(documents), ["x.exe"])
        # The same file again without a new click: nothing more comes down.
        conn.send(Record(name=PEER_NAME, text=key, command="FILE_ADJUST"))
        self.peer_says(conn, "done")
        self.wait_log(rf"^> {ITEM_TIME} done\r?$")
        self.assertEqual(download.connections, 1)

    def test_only_types_that_may_be_opened_are_opened_and_links_stay_out_of_explorer(self):
        """Asked to be opened: a .url and a desktop.ini are saved with ".txt", neither opened nor shown in
        Explorer, a .rdp is shown in its folder, a .xlsx and a .hwp are opened."""
        documents = self.use_own_documents_folder()
        e2e.record_default_browser(self, file_types=("url", "ini", "txt", "rdp", "xlsx", "hwp"))
        conn, pid = self.log_in()
        window = self.open_from_popup(conn, pid, "")
        link = b"[InternetShortcut]\r\nURL=file://10.9.9.9/s\r\nIconFile=\\\\10.9.9.9\\s\\i.ico\r\nIconIndex=1\r\n"
        files = [("site.url", link), ("desktop.ini", b"[.ShellClassInfo]\r\n"), ("a.xlsx", b"PK sheet"),
                 ("b.hwp", b"HWP"), ("c.rdp", b"full address:s:x")]
        for count, (name, body) in enumerate(files, 1):
            self.peer_says(conn, f"File_{name}|2020-01-02 PM 03:04:05")
            self.wait_log(rf"^F 2020-01-02 PM 03:04:05 File_{re.escape(name)}\r?$")
            self.click_item(window, -1)
            self.driver.msgbox(pid=pid, text=OPEN_QUESTION, press=IDYES, timeout=8000)
            conn.wait_records(count, command=COM["FILE_RECEIVER"], timeout=10)
            download = TransferEndpoint(8202, payload=body)
            self.addCleanup(download.close)
            conn.send(Record(name=PEER_NAME, text=f"{name}.202001021504", command="FILE_ADJUST"))
            self.assertTrue(download.done.wait(30), f"{name} never came down")
            download.close()
            if name.endswith((".url", ".ini")):
                self.driver.msgbox(pid=pid, text_has=STRINGS["IDS_CONV_KEPT_AS_TEXT"], press=IDOK, timeout=8000)
        opened = e2e.wait_opened(2)
        self.assertEqual(opened, [DOCUMENTS_DIR + "\\a.xlsx", DOCUMENTS_DIR + "\\b.hwp"])
        folder = self.driver.wait(title_has="e2e_documents", visible=1, timeout=15000)
        self.addCleanup(self.driver.cmd, "close", check=False, hwnd=folder["hwnd"])
        # The one folder window is the remote desktop file's, shown last, long after the links were saved.
        self.assertEqual(len(self.driver.list(title_has="e2e_documents", visible=1, children=0)), 1)
        self.assertEqual(sorted(os.listdir(documents)),
                         ["a.xlsx", "b.hwp", "c.rdp", "desktop.ini.txt", "site.url.txt"])
        with open(os.path.join(documents, "site.url.txt"), "rb") as f:
            self.assertEqual(f.read(), link)
        self.assertEqual(e2e.opened_addresses(), opened)

    def test_a_link_in_a_message_opens_in_the_default_browser_on_a_click_or_enter(self):
        """A click on the sender's line opens nothing; a click on the link, and Enter on its item, open
        exactly the address; the log keeps the text as it came."""
        e2e.record_default_browser(self)
        conn, pid = self.log_in()
        window = self.open_from_popup(conn, pid, "")
        address = "https://portal.example.com/order?id=7"
        self.peer_says(conn, f"주문서: {address} 확인|2020-01-02 PM 03:04:05")
        self.wait_log(rf"^> 2020-01-02 PM 03:04:05 주문서: {re.escape(address)} 확인\r?$")
        self.click_item(window, -1)  # the middle of the item: its message line, on the link
        listed = self.driver.find(hwnd=window["hwnd"], id=IDC_HISTORY_LIST)
        top = self.driver.cmd("html-items", hwnd=window["hwnd"], id=IDC_HISTORY_LIST)["items"][-1]["rect"][1]
        self.driver.post(hwnd=listed["hwnd"], msg=WM_LBUTTONDOWN, wparam=1, lparam=(top + 20) << 16 | 40)
        self.driver.post(hwnd=listed["hwnd"], msg=WM_LBUTTONUP, wparam=0, lparam=(top + 20) << 16 | 40)
        self.driver.post(hwnd=listed["hwnd"], msg=WM_KEYDOWN, wparam=VK_RETURN, lparam=0)
        # A third opening, from the sender's line, would come within moments.
        self.assertEqual(e2e.wait_opened(3, seconds=3), [address, address])

    def test_huge_history_keeps_the_window_answering(self):
        """A history reply of 16 MiB: the window keeps answering while it arrives, shows the newest 5,000
        entries and stays small."""
        conn, pid = self.log_in()
        self.peer_says(conn, "안녕하세요")
        popup = self.driver.wait(class_=NOTIFIER, pid=pid, title_has=MESSAGE_POPUP, visible=1, timeout=8000)
        self.driver.post(hwnd=popup["hwnd"], msg=WM_LBUTTONUP, wparam=0, lparam=0x00100010)
        window = self.driver.wait(title=CONVERSATION_TITLE, pid=pid, visible=1, timeout=8000)
        conn.wait_records(1, command=COM["PRIVATE_HISTORY"], timeout=10)
        entry = "<|old message|2020-01-02 PM 03:04:05|"
        count = (16 * 1024 * 1024 - 64) // len(entry)
        history = entry * (count - 1) + "<|the newest|2020-01-02 PM 03:04:06|"
        sender = threading.Thread(target=conn.send, args=(Record(id=PEER_ID, name=PEER_NAME, target=PEER_NAME,
                                                                 status=kStatusHistory, text=history,
                                                                 command="PRIVATE_HISTORY"),))
        sender.start()
        self.addCleanup(sender.join, 60)
        longest = 0.0
        deadline = time.monotonic() + 120
        while not self.driver.find(hwnd=window["hwnd"], id=IDC_SEND)["enabled"]:
            self.assertLess(time.monotonic(), deadline, "the history never finished loading")
            started = time.monotonic()
            # WM_NULL through SendMessageTimeout: the window must answer within a second every time.
            self.driver.send(hwnd=window["hwnd"], msg=0, timeout=1000)
            longest = max(longest, time.monotonic() - started)
            time.sleep(0.05)
        print(f"16 MiB history: longest wait for the window {longest * 1000:.0f} ms", file=sys.stderr)
        log = self.wait_log(r"^> 2020-01-02 PM 03:04:06 the newest\r?$", timeout=30)
        self.assertEqual(len(re.findall(r"(?m)^> ", log)), 5000)
        peak = e2e.peak_memory_mb("DravelOn.exe")
        print(f"16 MiB history: peak memory {peak} MB", file=sys.stderr)
        self.assertLess(peak, 300)

    def use_own_documents_folder(self) -> str:
        """Points the user's documents folder at a folder of this test inside the prefix (the prefix's own
        one leads into the home folder); returns its Unix path."""
        path = e2e.prefix_path(DOCUMENTS_DIR)
        os.makedirs(path, exist_ok=True)
        self.driver.reg_set(SHELL_FOLDERS_KEY, "Personal", sz=DOCUMENTS_DIR, root="HKCU")
        self.addCleanup(shutil.rmtree, path, True)
        self.addCleanup(self.driver.reg_delete, SHELL_FOLDERS_KEY, "Personal", "HKCU")
        return path


if __name__ == "__main__":
    e2e.main()
