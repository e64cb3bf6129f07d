#!/usr/bin/python3
"""A lost connection is rebuilt in place: the windows stay, the main window tells the outage with a
countdown and a button to try at once, the conversation fetches what it missed and sends what waited,
each once. A wake-up checks the connection; a server that refuses the sign-in ends the session; a path
that dies without a word is noticed by itself; records piling up behind a box cost the connection, not
the memory."""

import os
import re
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import e2e  # noqa: E402
import peers  # noqa: E402
from dravelon_res import (CAPTIONS, IDC_CONNECTION_STATE, IDC_HISTORY_LIST, IDC_MESSAGE_EDIT,  # noqa: E402
                          IDC_NOPAGE_STATE, IDC_PASSWORD, IDC_RECONNECT_NOW, IDNO, IDOK, STRINGS, kStatusHistory,
                          kStatusServerNotice)
from scripted_server import COM, Record, encode_record, login_steps  # noqa: E402

OWN_ID, OWN_NAME = "kim", "김철수"
PEER_ID, PEER_NAME = "lee", "이영희"
MAIN_TITLE = f"{CAPTIONS['IDD_MAIN']} - {OWN_NAME}"
CONVERSATION_TITLE = f"{CAPTIONS['IDD_MESSAGE']} - {PEER_NAME}"
BOX_CAPTION = STRINGS["IDS_APP_TITLE"]
AWAY = re.compile(re.escape(STRINGS["IDS_SESSION_AWAY"]).replace("%d", r"(\d+)"))
WAITING = STRINGS["IDS_CONV_WAITING"]
WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC = 0x0218, 0x12
VK_RETURN = 0x0D
WAITED = ("자리 비운 사이 보낸 글", "두 번째로 보낸 글")
HISTORY = ">|지난번 주문 확인했어요|2020-01-02 PM 03:04:05|<|감사합니다|2020-01-02 PM 03:05:00"


class ReconnectTest(e2e.E2ETestCase):
    def state(self, main) -> str | None:
        """What the connection state says, or None while it is hidden."""
        shown = self.driver.find(hwnd=main["hwnd"], id=IDC_CONNECTION_STATE, visible=1)
        return shown and shown["text"]

    def wait_away(self, main, timeout=15):
        text = peers.wait_until("the lost connection shown", lambda: self.state(main), timeout)
        # The first try comes 2 to 10 s after the loss.
        found = AWAY.fullmatch(text)
        self.assertTrue(found and int(found.group(1)) <= 10 or text == STRINGS["IDS_SESSION_RECONNECTING"], text)
        self.assertTrue(self.driver.find(hwnd=main["hwnd"], id=IDC_RECONNECT_NOW, visible=1))
        self.assertEqual(self.driver.get_text(hwnd=main["hwnd"]), MAIN_TITLE)

    def wait_countdown(self, main, at_least: int, timeout=60) -> int:
        def seconds():
            found = AWAY.fullmatch(self.state(main) or "")
            return found and int(found.group(1)) >= at_least and int(found.group(1))
        return peers.wait_until(f"a countdown of {at_least} s or more", seconds, timeout)

    def wait_connected(self, main, timeout=30):
        self.driver.wait_gone(hwnd=main["hwnd"], id=IDC_CONNECTION_STATE, visible=1, timeout=timeout * 1000)
        self.assertFalse(self.driver.find(hwnd=main["hwnd"], id=IDC_RECONNECT_NOW, visible=1))
        # The panel shown where no page runs says so too.
        self.driver.wait_text(hwnd=main["hwnd"], id=IDC_NOPAGE_STATE, text=STRINGS["IDS_NOPAGE_CONNECTED"],
                              timeout=10000)

    def wait_item(self, window, text, waiting=False):
        """The texts of the history list once one item holds text (with the waiting note, or without)."""
        def shown():
            listed = self.driver.cmd("html-items", hwnd=window["hwnd"], id=IDC_HISTORY_LIST)["items"]
            texts = [i["text"] for i in listed]
            return [t for t in texts if text in t and (WAITING in t) == waiting] and texts
        return peers.wait_until(f"{text!r} {'waiting' if waiting else 'shown'}", shown, 20)

    def test_an_outage_keeps_the_conversation_and_sends_what_waited_once(self):
        conn, main = self.log_in_as_kim()
        client, pid = self._programs[-1], main["pid"]
        window = e2e.open_conversation(self.driver, conn, pid, HISTORY)
        before = self.wait_item(window, "감사합니다")

        # The server goes away and comes back 15 s later.
        self._servers[0].stop()
        lost = time.monotonic()
        self.wait_away(main)
        for text in WAITED:
            self.driver.set_text(text, hwnd=window["hwnd"], id=IDC_MESSAGE_EDIT)
            self.driver.cmd("key", hwnd=window["hwnd"], id=IDC_MESSAGE_EDIT, vk=VK_RETURN)
            self.wait_item(window, text, waiting=True)
        # Leaving now would lose them: the user is asked first, and stays.
        self.driver.cmd("close", hwnd=main["hwnd"])
        self.driver.msgbox(pid=pid, text=STRINGS["IDS_SESSION_UNSENT_EXIT"] % 2, press=IDNO, timeout=5000)
        self.driver.set_text("아직 쓰는 중", hwnd=window["hwnd"], id=IDC_MESSAGE_EDIT)
        time.sleep(max(0.0, lost + 15 - time.monotonic()))  # the outage itself
        server = self.serve(script=login_steps(OWN_NAME, user_id=OWN_ID))
        conn = server.wait_connection(timeout=60)

        # The kept credentials answer the sign-in; then the history is asked for again and what waited goes.
        sign_in = conn.wait_records(1, command=COM["SIGN_IN"], timeout=20)[0]
        self.assertEqual((sign_in.decoded("id"), sign_in.decoded("password")), (OWN_ID, "secret"))
        request = conn.wait_records(1, command=COM["PRIVATE_HISTORY"], timeout=20)[0]
        self.assertEqual(request.decoded("target"), PEER_ID)
        conn.wait_records(2, command=COM["PRIVATE_MESSAGE"], timeout=20)
        # The reply holds everything shown, the messages that waited and one the peer wrote meanwhile.
        missed = "".join(f"|>|{text}|2020-01-03 AM 09:00:0{i}" for i, text in enumerate(WAITED))
        missed += "|<|그동안 남긴 글|2020-01-03 AM 09:00:05"
        conn.send(Record(id=PEER_ID, name=PEER_NAME, target=PEER_NAME, status=kStatusHistory, text=HISTORY + missed,
                         command="PRIVATE_HISTORY"))
        self.wait_item(window, "그동안 남긴 글")
        after = [self.wait_item(window, text) for text in WAITED][-1]
        self.wait_connected(main)
        self.screenshot("reconnected-conversation")

        self.assertEqual(self.driver.find(title=CONVERSATION_TITLE, pid=pid)["hwnd"], window["hwnd"])
        self.assertEqual(after[:len(before)], before)
        new = (*WAITED, "그동안 남긴 글")
        self.assertEqual([sum(text in t for t in after) for text in new], [1, 1, 1], after)
        self.assertEqual(len(after), len(before) + 3, after)
        self.assertEqual(self.driver.get_text(hwnd=window["hwnd"], id=IDC_MESSAGE_EDIT), "아직 쓰는 중")
        # What waited went out once each, in the order typed, and nothing else went.
        sent = [r.decoded("text") for s in self._servers for c in s.connections for r in c.records
                if r.command == COM["PRIVATE_MESSAGE"]]
        self.assertEqual(sent, [f"{PEER_NAME}: {text}" for text in WAITED])
        log = peers.wait_until("the waited messages logged",
                               lambda: WAITED[-1] in (text := e2e.conversation_log(PEER_ID)) and text)
        for text in ("지난번 주문 확인했어요", "감사합니다", *new):
            self.assertEqual(log.count(text), 1, f"{text!r} in {log!r}")
        self.assertIsNone(self.driver.find(pid=pid, id=IDC_PASSWORD))
        self.assertIsNone(self.driver.find(pid=pid, class_="#32770", title=BOX_CAPTION, visible=1))
        self.assertTrue(client.running())
        self.assertEqual([p["pid"] for p in self.driver.pids("DravelOn.exe")], [pid])

    def test_the_button_and_a_wake_up_try_at_once(self):
        conn, main = self.log_in_as_kim()
        # Awake and connected, a wake-up checks the connection at once.
        checks = sum(r.command == COM["CONNECT_CHECK"] for r in conn.records)
        self.driver.post(hwnd=main["hwnd"], msg=WM_POWERBROADCAST, wparam=PBT_APMRESUMEAUTOMATIC, lparam=0)
        conn.wait_records(checks + 1, command=COM["CONNECT_CHECK"], timeout=5)
        server = self._servers[0]
        for how, message in (("button", None), ("wake-up", WM_POWERBROADCAST)):
            with self.subTest(how=how):
                server.stop()
                self.wait_away(main)
                # Well before the planned try, the server is back and the user (or the machine) acts.
                planned = self.wait_countdown(main, 6)
                server = self.serve(script=login_steps(OWN_NAME, user_id=OWN_ID))
                started = time.monotonic()
                if message:
                    self.driver.post(hwnd=main["hwnd"], msg=message, wparam=PBT_APMRESUMEAUTOMATIC, lparam=0)
                else:
                    self.driver.click(hwnd=main["hwnd"], id=IDC_RECONNECT_NOW)
                server.wait_connection(timeout=3)
                print(f"{how}: tried after {time.monotonic() - started:.1f} s, {planned} s before the planned try",
                      file=sys.stderr)
                self.wait_connected(main)

    def test_a_sign_in_answered_by_close_ends_the_session_with_a_restart(self):
        refused = [{"send": [Record(command=COM["SIGN_IN"])]}, {"wait": 1, "command": COM["SIGN_IN"]},
                   {"send": [Record(command=COM["CLOSE"])]}]
        conn, main = self.log_in_as_kim(script=lambda index: refused if index else login_steps(OWN_NAME))
        server = self._servers[0]
        conn.close()
        self.assertEqual(self._programs[-1].wait(timeout=60), 0)
        new = peers.wait_until("the restarted process", lambda: [
            p["pid"] for p in self.driver.pids("DravelOn.exe") if p["pid"] != main["pid"]], timeout=30)
        self.assertTrue(self.driver.cmd("cmdline", pid=new[0])["cmdline"].endswith(" --Restart"))
        # The restarted program begins with the login dialog; the old one tried no more.
        self.driver.wait(pid=new[0], id=IDC_PASSWORD, visible=1, timeout=20000)
        self.assertEqual(len(server.connections), 2)

    def test_a_dead_path_is_noticed_and_left_by_itself(self):
        # The harness's wineserver makes its sockets in the network it was started in: the client runs in a
        # prefix of its own (test_two_clients' first one), started in a network of this test's own.
        reason = peers.private_network()
        if reason:
            self.skipTest(reason)
        self.addCleanup(peers.leave_private_network)
        self.addCleanup(subprocess.run, ["ip", "link", "set", "lo", "up"], timeout=10)
        peer = peers.Peer("first", OWN_ID, "secret", OWN_NAME)
        self.addCleanup(peer.stop)
        peer.start()
        server = self.serve(script=login_steps(OWN_NAME, user_id=OWN_ID))
        peer.launch()
        server.wait_connection(timeout=60).wait_records(1, command=COM["SIGN_IN"], timeout=30)
        main = peer.driver.wait(title=MAIN_TITLE, class_="#32770", visible=1, timeout=30000)

        # No close, no reset: the packets just go nowhere.
        subprocess.run(["ip", "link", "set", "lo", "down"], check=True, timeout=10)
        down = time.monotonic()
        peer.driver.wait(hwnd=main["hwnd"], id=IDC_CONNECTION_STATE, visible=1, timeout=90000)
        noticed = time.monotonic() - down
        subprocess.run(["ip", "link", "set", "lo", "up"], check=True, timeout=10)
        up = time.monotonic()
        server.wait_connection(timeout=60).wait_records(1, command=COM["SIGN_IN"], timeout=30)
        back = time.monotonic() - up
        print(f"dead path: noticed after {noticed:.1f} s, signed in again {back:.1f} s after the path came back",
              file=sys.stderr)
        self.assertLess(back, 60)
        peer.driver.wait_gone(hwnd=main["hwnd"], id=IDC_CONNECTION_STATE, visible=1, timeout=20000)

    def test_records_piling_up_behind_a_box_cost_the_connection_not_the_memory(self):
        conn, main = self.log_in_as_kim()
        notice = "점검 안내: 오늘 밤 정기 점검이 있습니다."
        conn.send(Record(text=notice, status=kStatusServerNotice, command="PRIVATE_MESSAGE"))
        self.driver.msgbox(pid=main["pid"], text_has=notice, timeout=10000)
        # 400 records of 8 MiB wait behind the box, far past what may wait; the client drops the
        # connection long before the last of them, and the sending ends there.
        record = encode_record(Record(id=PEER_ID, name=PEER_NAME, target=OWN_NAME, text=b"x" * (8 << 20),
                                      command="PRIVATE_MESSAGE"))
        sent = []

        def flood():
            try:
                for _ in range(400):
                    conn.send_raw(record)
                    sent.append(len(record))
            except OSError:
                pass

        threading.Thread(target=flood, daemon=True).start()
        again = self._servers[0].wait_connection(timeout=90)
        print(f"dropped after {sum(sent) >> 20} MiB were taken; peak {e2e.peak_memory_mb('DravelOn.exe')} MB",
              file=sys.stderr)
        self.driver.cmd("msgbox", check=False, pid=main["pid"], text_has=notice, press=IDOK, timeout=2000)
        again.wait_records(1, command=COM["SIGN_IN"], timeout=60)
        self.wait_connected(main, timeout=60)
        self.assertLess(e2e.peak_memory_mb("DravelOn.exe"), 200)


if __name__ == "__main__":
    e2e.main()
