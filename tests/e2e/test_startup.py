#!/usr/bin/python3
"""Start-up under Wine: the installation check's two messages, the main window, and the update check
against an update server on loopback port 80 (the build's default update server is 127.0.0.1)."""

import glob
import http.server
import os
import shutil
import socket
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import e2e  # noqa: E402
import peers  # noqa: E402
from dravelon_res import CAPTIONS, IDCANCEL, IDOK, IDYES, STRINGS  # noqa: E402

MAIN_TITLE = CAPTIONS["IDD_MAIN"]
BOX_CAPTION = STRINGS["IDS_APP_TITLE"]
NOT_INSTALLED = STRINGS["IDS_APP_NOT_INSTALLED"]
WRONG_FOLDER = STRINGS["IDS_APP_WRONG_FOLDER"]
UPDATE_PATH = "/Update/TamixUpdate.exe"
MARKER = "updater-ran.txt"
# The program as shipped (signed) and the stand-in updaters signed by its certificate and by another.
SIGNED_CLIENT = os.path.join(e2e.BUILD_DIR, "package", "DravelOn.exe")
UPDATES = os.path.join(e2e.BIN_DIR, "updates")
NOT_OURS = STRINGS["IDS_APP_UPDATE_NOT_OURS"]
NOT_NEWER = STRINGS["IDS_APP_UPDATE_OLDER"]


class ReusingHTTPServer(http.server.ThreadingHTTPServer):
    # The development server's web port (cpp-httplib) leaves its closed connections marked for port
    # reuse only: binding over them takes that mark too.
    allow_reuse_address = True

    def server_bind(self):
        self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEPORT, 1)
        super().server_bind()


class UpdateServer:
    """HTTP on 127.0.0.1:80 serving one file at the update path (404 for anything else); or, with
    stall=True, a listening socket that never answers."""

    def __init__(self, payload: bytes | None = None, stall: bool = False):
        self.requests: list[str] = []
        self._stall_socket = None
        self._httpd = None
        if stall:
            self._stall_socket = socket.socket()
            self._stall_socket.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            self._stall_socket.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEPORT, 1)
            self._stall_socket.bind(("127.0.0.1", 80))
            self._stall_socket.listen(8)  # the kernel completes connections that nobody accepts
            return
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):  # noqa: N802 - http.server's name
                server.requests.append(self.path)
                if self.path != UPDATE_PATH or payload is None:
                    self.send_error(404)
                    return
                self.send_response(200)
                self.send_header("Content-Type", "application/octet-stream")
                self.send_header("Content-Length", str(len(payload)))
                self.end_headers()
                self.wfile.write(payload)

            def log_message(self, *args):
                pass

        self._httpd = ReusingHTTPServer(("127.0.0.1", 80), Handler)
        threading.Thread(target=self._httpd.serve_forever, daemon=True).start()

    def stop(self):
        if self._httpd:
            self._httpd.shutdown()
            self._httpd.server_close()
        if self._stall_socket:
            self._stall_socket.close()


class StartupTest(e2e.E2ETestCase):
    def setUp(self):
        super().setUp()
        # What an updater left in the user's folder, before and after each test.
        shutil.rmtree(self.update_folder(), ignore_errors=True)
        self.addCleanup(shutil.rmtree, self.update_folder(), True)

    def start_update_server(self, **kwargs) -> UpdateServer:
        try:
            server = UpdateServer(**kwargs)
        except PermissionError:
            self.skipTest("port 80 needs root")
        except OSError as error:
            self.fail(f"port 80 is taken: {error}")
        self.addCleanup(server.stop)
        return server

    def updater(self, name: str) -> bytes:
        path = os.path.join(UPDATES, name)
        if not os.path.isfile(path) or not os.path.isfile(SIGNED_CLIENT):
            self.skipTest(f"{path} or {SIGNED_CLIENT} is not built (osslsigncode and the package tools are missing)")
        with open(path, "rb") as f:
            return f.read()

    def serve_update_from_devserver(self, payload: bytes) -> "peers.DevServer":
        """The development server's web port (80) serving payload as the update; its other ports are
        free ones, away from the scripted login server."""
        if not os.access(peers.DEVSERVER, os.X_OK):
            self.skipTest(f"no devserver at {peers.DEVSERVER} (cmake --build build/host --target devserver)")
        folder = tempfile.mkdtemp(prefix="update-")
        self.addCleanup(shutil.rmtree, folder, True)
        path = os.path.join(folder, "TamixUpdate.exe")
        with open(path, "wb") as f:
            f.write(payload)
        server = peers.DevServer("--update-file", path, "--http-port", "80", "--messenger-port", "0", "--upload-port",
                                 "0", "--download-port", "0", "--control-port", "0")
        self.addCleanup(server.stop)
        return server

    def install_signed(self):
        self.install(exe=SIGNED_CLIENT)

    def update_folder(self) -> str:
        """The user's own folder the updater is downloaded into (and leaves its marker in)."""
        users = glob.glob(os.path.join(e2e.WINEPREFIX, "drive_c", "users", "*", "AppData", "Local"))
        return os.path.join(sorted(users)[0], "Dravel On", "Update")

    def downloaded_path(self) -> str:
        return os.path.join(self.update_folder(), "TamixUpdate.exe")

    def marker_path(self) -> str:
        return os.path.join(self.update_folder(), MARKER)

    def expect_message_and_end(self, client: e2e.Program, text: str):
        box = self.driver.msgbox(text=text, timeout=20000)
        self.assertEqual(box["caption"], BOX_CAPTION)
        self.assertEqual([b["id"] for b in box["buttons"]], [IDOK])
        self.driver.msgbox(pid=box["pid"], text=text, press=IDOK)
        self.assertEqual(client.wait(timeout=15), 0)
        self.assertIsNone(self.driver.find(title=MAIN_TITLE, class_="#32770", visible=1))

    def wait_main_window(self, timeout_ms: int = 30000) -> dict:
        return self.driver.wait(title_has=MAIN_TITLE, class_="#32770", visible=1, timeout=timeout_ms)

    def launch_client(self, *args: str, exe: str | None = None) -> e2e.Program:
        # The main window shows once logged in: credentials and a server that lets them in.
        if not self._servers:
            e2e.serve_login(self)
        return super().launch_client(*args, *e2e.LOGIN_ARGS, exe=exe)

    def close_main_window(self, client: e2e.Program, window: dict):
        self.driver.cmd("command", hwnd=window["hwnd"], cmd=IDCANCEL)  # asks before logging out
        self.driver.msgbox(pid=window["pid"], text=STRINGS["IDS_LOGOUT_CONFIRM"], press=IDYES)
        self.assertEqual(client.wait(timeout=15), 0)

    def test_missing_installation_key_says_not_installed_and_ends(self):
        self.install(config=None)
        self.expect_message_and_end(self.launch_client(), NOT_INSTALLED)

    def test_config_naming_another_folder_says_wrong_folder(self):
        for config in (r"C:\Elsewhere", e2e.INSTALL_DIR + "\\"):  # a trailing backslash never matches
            with self.subTest(config=config):
                self.install(config=config)
                self.expect_message_and_end(self.launch_client(), WRONG_FOLDER)

    def test_right_key_in_other_letter_case_reaches_the_main_window(self):
        self.start_update_server(payload=None)  # the update is missing: 404
        self.install(config=e2e.INSTALL_DIR.lower())
        started = time.monotonic()
        client = self.launch_client()
        window = self.wait_main_window()
        print(f"start-up with the update missing (404): {time.monotonic() - started:.1f} s", file=sys.stderr)
        self.screenshot("startup-main-window")
        self.assertTrue(client.running())
        self.close_main_window(client, window)

    def test_our_newer_updater_is_launched_and_the_client_ends(self):
        self.serve_update_from_devserver(self.updater("signed-new.exe"))
        self.install_signed()
        client = self.launch_client()
        self.assertEqual(client.wait(timeout=30), 0)
        deadline = time.monotonic() + 15
        while not os.path.exists(self.marker_path()) and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertTrue(os.path.exists(self.marker_path()), "the updater did not run")
        with open(self.marker_path(), "rb") as f:
            command_line = f.read().decode("utf-16-le")
        # Launched without parameters: the command line is the program path alone.
        self.assertTrue(command_line.rstrip().strip('"').upper().endswith("TAMIXUPDATE.EXE"), command_line)
        self.assertIsNone(self.driver.find(title=MAIN_TITLE, class_="#32770"))

    def test_our_updater_of_the_same_version_is_not_launched(self):
        payload = self.updater("signed-same.exe")
        server = self.start_update_server(payload=payload)
        self.install_signed()
        client = self.launch_client()
        window = self.wait_main_window()
        # Once logged in the main window's page asks the same web server for the portal's pages.
        self.assertEqual([r for r in server.requests if not r.startswith("/user/")], [UPDATE_PATH])
        self.assertFalse(os.path.exists(self.marker_path()))
        self.assertFalse(os.path.exists(self.downloaded_path()), "the download is removed")
        self.close_main_window(client, window)

    def test_updaters_not_ours_or_not_newer_are_refused_deleted_and_start_up_goes_on(self):
        signed = self.updater("signed-new.exe")
        tampered = bytearray(signed)
        tampered[len(tampered) // 3] ^= 0xFF  # inside the signed code, before the signature
        cases = [("one byte changed", bytes(tampered), NOT_OURS),
                 ("unsigned", self.updater("../e2e_updater_new.exe"), NOT_OURS),
                 ("signed by another certificate", self.updater("other-new.exe"), NOT_OURS),
                 ("ours, but older", self.updater("signed-old.exe"), NOT_NEWER)]
        self.install_signed()
        for name, payload, message in cases:
            with self.subTest(name):
                server = self.serve_update_from_devserver(payload)
                client = self.launch_client()
                box = self.driver.msgbox(text=message, timeout=30000)
                self.assertFalse(os.path.exists(self.downloaded_path()))
                self.driver.msgbox(pid=box["pid"], text=message, press=IDOK)
                window = self.wait_main_window()
                self.assertFalse(os.path.exists(self.marker_path()), "the updater ran")
                self.close_main_window(client, window)
                server.stop()

    def test_update_server_that_never_answers_delays_start_up_only_briefly(self):
        self.start_update_server(stall=True)
        self.install()
        started = time.monotonic()
        client = self.launch_client()
        window = self.wait_main_window(timeout_ms=60000)
        print(f"start-up with a silent update server: {time.monotonic() - started:.1f} s", file=sys.stderr)
        self.close_main_window(client, window)


if __name__ == "__main__":
    e2e.main()
