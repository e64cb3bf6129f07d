"""Encrypted connections, seen from the wire. Two clients talk through the development server with a
relay on the client's fixed ports (8200-8202) that keeps every byte: encrypted (one client configured
by the installation's "Encrypted" value, the other by the /TLS switch), neither the password, nor a
message, nor the file's contents cross in clear; plain, the same session shows all of them (so the
relay does see what it should). A server certificate for another host, an expired one and one from
an authority the system does not trust are each refused with the message, and nothing is sent.

Needs the devserver built natively with TLS (cmake --build build/host --target devserver; another
binary via DRAVELON_DEVSERVER) and, like test_two_clients, a network namespace of its own (root).
"""

import contextlib
import os
import shutil
import ssl
import sys
import tempfile
import urllib.request
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import e2e  # noqa: E402
import peers  # noqa: E402
import test_two_clients  # noqa: E402
from dravelon_res import IDC_HISTORY_LIST, IDNO, STRINGS  # noqa: E402
from peers import wait_until  # noqa: E402
from scripted_server import COM  # noqa: E402

ROUTES = {8200: 18200, 8201: 18201, 8202: 18202}
SERVER_PORTS = ("--messenger-port", "18200", "--upload-port", "18201", "--download-port", "18202")
CERT_REFUSED = STRINGS["IDS_SESSION_CERT_REFUSED"]
RETRY_QUESTION = STRINGS["IDS_SESSION_RETRY_CONNECT"]
TLS_HANDSHAKE, TLS_APPLICATION_DATA = 0x16, 0x17
TLS13_SELECTED = bytes.fromhex("002b00020304")  # the server hello's supported_versions: TLS 1.3
FILE_SIZE = 256 * 1024


def make_certificates(directory: str, host: str, name: str, *extra: str) -> None:
    done = peers.subprocess.run([peers.DEVSERVER, "--make-dev-ca", directory, "--host", host, "--cert-name", name,
                                 *extra], stdin=peers.subprocess.DEVNULL, capture_output=True, timeout=60)
    if done.returncode != 0:
        raise RuntimeError(f"--make-dev-ca: {done.stderr.decode(errors='replace')}")


class EncryptedTest(test_two_clients.TwoClientsTest):
    # The two-client story is test_two_clients' own; only its steps are used here.
    test_two_users_meet_become_friends_talk_exchange_a_file_and_part = None
    test_chat_list_from_single_entries_and_the_window_menu = None

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.certs = tempfile.mkdtemp(prefix="dravelon-certs-")
        cls.foreign = os.path.join(cls.certs, "foreign")
        try:
            make_certificates(cls.certs, "127.0.0.1", "server")
            make_certificates(cls.certs, "other.example", "wronghost")
            make_certificates(cls.certs, "127.0.0.1", "expired", "--expired")
            make_certificates(cls.foreign, "127.0.0.1", "server")  # an authority nobody trusts
            cls.trusted = {}
            for peer in (cls.first, cls.second):
                cls.trusted[peer] = peers.trust_root(peer.prefix, os.path.join(cls.certs, "ca.reg"))
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        for peer, key in getattr(cls, "trusted", {}).items():
            if peer.driver:
                peer.driver.reg_delete(key)
        shutil.rmtree(getattr(cls, "certs", ""), ignore_errors=True)
        super().tearDownClass()

    def serve_tls(self, cert_dir: str, name: str, **kwargs) -> peers.DevServer:
        return self.serve(*SERVER_PORTS, "--tls-cert", os.path.join(cert_dir, name + ".pem"),
                          "--tls-key", os.path.join(cert_dir, name + ".key"), **kwargs)

    def relay(self) -> peers.RecordingRelay:
        relay = peers.RecordingRelay(ROUTES)
        self.addCleanup(relay.stop)
        return relay

    @contextlib.contextmanager
    def ends(self, server: peers.DevServer, relay: peers.RecordingRelay):
        """Each case ends its clients, relay and server, pass or fail, so the next one finds the ports free."""
        try:
            yield
        except BaseException:
            # The server's view of a failed case stays for review.
            if os.path.exists(server.transcript):
                shutil.copy(server.transcript, os.path.join(e2e.LOG_DIR, f"transcript-{self.id()}.jsonl"))
            raise
        finally:
            self._end_clients()
            relay.stop()
            server.stop()

    def encrypt_by_installation(self, peer: peers.Peer) -> None:
        peer.install()  # the installation key holds "Config"; "Encrypted" goes beside it
        peer.driver.reg_set(e2e.INSTALL_KEY, "Encrypted", dword=1)

    def session(self, server: peers.DevServer, encrypted: bool) -> dict:
        """Log-in, a message each way, history and a file from a to b; returns what must stay secret."""
        a, b = self.first, self.second
        if encrypted:
            self.encrypt_by_installation(a)
            a.launch()
            b.launch("/TLS")
        else:
            a.launch()
            b.launch()
        for peer in (a, b):
            main = peer.driver.wait(class_=test_two_clients.MAIN_CLASS, title_has=peer.display_name, visible=1,
                                    timeout=60000)
            peer.pid, peer.main = main["pid"], main["hwnd"]
        list_a, list_b = self.chat_list_from_tray(a), self.chat_list_from_tray(b)
        for peer, chat_list in ((a, list_a), (b, list_b)):
            self.select_tab(peer, chat_list, test_two_clients.TAB_ALL)
        talk_a = self.open_conversation(a, list_a, b.display_name)
        talk_b = self.open_conversation(b, list_b, a.display_name)
        hello, answer = "비밀 회의는 세 시입니다", "알겠습니다 금고 번호는 4711"
        self.say(a, talk_a, hello)
        self.wait_history(b, talk_b, hello)
        self.say(b, talk_b, answer)
        self.wait_history(a, talk_a, answer)
        history = [r for r in server.records(a.user_id, "out") if r["command"] == COM["PRIVATE_HISTORY"]]
        self.assertTrue(history, "no history reply went out")

        data = os.urandom(FILE_SIZE)
        name = "secret.bin"
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
        offered = self.wait_history(b, talk_b, "File_" + name, timeout=60)
        left, top, right, bottom = offered["rect"]
        b.driver.cmd("mouse", hwnd=talk_b["hwnd"], id=IDC_HISTORY_LIST, x=(left + right) // 2,
                     y=(top + bottom) // 2)
        box = b.driver.msgbox(pid=b.pid, text=test_two_clients.OPEN_AFTER_DOWNLOAD, timeout=10000)
        b.driver.msgbox(pid=b.pid, text=test_two_clients.OPEN_AFTER_DOWNLOAD,
                        press=self.button(box, "아니요", "No", IDNO))

        def complete():
            if not os.path.exists(received) or os.path.getsize(received) != FILE_SIZE:
                return False
            with open(received, "rb") as got:
                return got.read() == data
        wait_until("the downloaded file", complete, timeout=60, interval=0.5)
        return {"password": a.password.encode(), "other password": b.password.encode(),
                "message": hello.encode("cp949"), "answer": answer.encode("cp949"),
                "file head": data[:64], "file middle": data[FILE_SIZE // 2:FILE_SIZE // 2 + 64],
                "file tail": data[-64:]}

    def test_encrypted_session_shows_nothing_on_the_wire_and_plain_shows_everything(self):
        for encrypted in (False, True):
            with self.subTest(encrypted=encrypted):
                users = [(p.user_id, p.password, p.display_name) for p in (self.first, self.second)]
                server = (self.serve_tls(self.certs, "server", users=users) if encrypted
                          else self.serve(*SERVER_PORTS, users=users))
                relay = self.relay()
                with self.ends(server, relay):
                    self.check_session(server, relay, encrypted)

    def check_session(self, server: peers.DevServer, relay: peers.RecordingRelay, encrypted: bool) -> None:
        secrets = self.session(server, encrypted)
        wire = relay.recorded()
        self.assertTrue(relay.of_port(8201) and relay.of_port(8202), "the file went past the relay")
        for what, secret in secrets.items():
            if encrypted:
                self.assertNotIn(secret, wire, f"the {what} crossed the network in clear")
            else:
                self.assertIn(secret, wire, f"the relay did not see the {what}")
        if encrypted:
            # The portal's pages are https too, under the same authority.
            context = ssl.create_default_context(cafile=os.path.join(self.certs, "ca.pem"))
            with urllib.request.urlopen("https://127.0.0.1/sm/order/list.asp", context=context, timeout=15) as page:
                self.assertEqual(page.status, 200)
        for port in ROUTES:
            for connection in relay.of_port(port):
                first = connection["up"][:1]
                self.assertEqual(first == bytes([TLS_HANDSHAKE]), encrypted,
                                 f"port {port} began with {connection['up'][:8].hex()}")

    def test_a_certificate_that_does_not_check_out_is_refused_before_anything_is_sent(self):
        cases = (("another host's", self.certs, "wronghost"), ("an expired", self.certs, "expired"),
                 ("an untrusted authority's", self.foreign, "server"))
        for what, cert_dir, name in cases:
            with self.subTest(certificate=what):
                server = self.serve_tls(cert_dir, name)
                relay = self.relay()
                with self.ends(server, relay):
                    self.check_refused(server, relay, name)

    def check_refused(self, server: peers.DevServer, relay: peers.RecordingRelay, name: str) -> None:
        a = self.first
        a.launch("/TLS")
        box = a.driver.msgbox(text_has=CERT_REFUSED, timeout=30000)
        self.assertIn(RETRY_QUESTION, box["text"])
        self.screenshot(f"certificate-refused-{name}")
        connections = relay.of_port(8200)
        self.assertTrue(connections, "the client did not even try")
        for connection in connections:
            kinds = [kind for kind, _ in peers.tls_records(connection["up"])]
            self.assertTrue(kinds and kinds[0] == TLS_HANDSHAKE, connection["up"][:16].hex())
            # After the handshake the client sent nothing: no application data record (TLS 1.3 sends
            # its last handshake message as one; the server hello says which version it is).
            tls13 = TLS13_SELECTED in connection["down"][:512]
            self.assertEqual(kinds.count(TLS_APPLICATION_DATA), 1 if tls13 else 0, kinds)
        self.assertEqual(server.records(direction="in"), [], "the server received a record")
        a.driver.msgbox(pid=box["pid"], text_has=CERT_REFUSED, press=self.button(box, "아니요", "No", IDNO))


if __name__ == "__main__":
    e2e.main()
