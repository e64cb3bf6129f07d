#!/usr/bin/python3
"""The self-update as an office installs it: a Wine prefix made afresh, the package installed silently, the
program's folder mounted read-only while it runs (all runs as root, whom no permission keeps out; the
wineserver, which opens the files its programs create, shares this test's mounts). The updater comes from
the installer's UPDATESERVER, directly or through tinyproxy as the user's proxy (fixed, or named by a
configuration script), and runs from the user's own folder; a host that sends a byte every 4 s holds
start-up 10 s at most; AUTOUPDATE=0 asks none."""

import contextlib
import ctypes
import functools
import http.server
import os
import pathlib
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import e2e  # noqa: E402
import peers  # noqa: E402
from dravelon_res import IDC_PASSWORD  # noqa: E402
from test_install import FOLDER, PACKAGE  # noqa: E402
from test_startup import MARKER, UPDATE_PATH, UPDATES  # noqa: E402

CONNECTIONS_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections"


def text(path: str) -> str:
    return pathlib.Path(path).read_text(errors="replace") if os.path.exists(path) else ""


def mount(*args: str):
    subprocess.run(["mount", *args], check=True, timeout=30, stdin=subprocess.DEVNULL)


def slow_host(stopped: threading.Event) -> tuple[socket.socket, list]:
    """A listener that answers every connection (counted) one byte every 4 s."""
    listener, connections = socket.create_server(("127.0.0.1", 0)), []

    def drip(conn: socket.socket):
        with conn, contextlib.suppress(OSError):
            for byte in b"HTTP/1.1 200 OK\r\nContent-Length: 99999\r\n\r\nMZ":
                if not stopped.wait(4):
                    conn.sendall(bytes([byte]))

    def accept():
        with contextlib.suppress(OSError):  # closed
            while not stopped.is_set():
                connections.append(listener.accept()[0])
                threading.Thread(target=drip, args=(connections[-1],), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    return listener, connections


class UpdateDownloadTest(e2e.E2ETestCase):
    @classmethod
    def setUpClass(cls):
        if os.geteuid() != 0:
            raise unittest.SkipTest("mounts of its own need root")
        cls.prefix = peers.WinePrefix("update-download")
        pathlib.Path(cls.prefix.path, ".dravelon-initialised").unlink(missing_ok=True)
        cls.prefix.ensure()
        os.environ["WINEPREFIX"] = cls.prefix.path  # for every program started from here
        if ctypes.CDLL(None, use_errno=True).unshare(0x00020000) != 0:  # CLONE_NEWNS: mounts of our own
            raise OSError(ctypes.get_errno(), "unshare(CLONE_NEWNS)")
        mount("--make-rprivate", "/")
        cls.folder = cls.prefix.unix_path(FOLDER)
        os.makedirs(cls.folder, exist_ok=True)
        mount("--bind", cls.folder, cls.folder)
        cls.prefix.start()
        cls.driver = peers.PrefixDriver(cls.prefix)

    @classmethod
    def tearDownClass(cls):
        cls.driver.close()
        cls.prefix.stop()

    def setUp(self):
        super().setUp()
        self.addCleanup(self.remove_package)

    def wine(self, *args: str) -> int:
        return peers._quiet(["wine", *args], self.prefix.env, timeout=120).returncode

    def remove_package(self):
        self.driver.kill(name="DravelOn.exe")
        mount("-o", "remount,bind,rw", self.folder)
        self.wine("msiexec", "/x", e2e.windows_path(PACKAGE), "/qn")
        shutil.rmtree(os.path.dirname(self.update_folder()), ignore_errors=True)

    def update_folder(self) -> str:
        return os.path.join(self.prefix.user_folder("AppData/Local"), "Dravel On", "Update")

    def install_and_start(self, *properties: str) -> e2e.Program:
        self.remove_package()
        self.assertEqual(self.wine("msiexec", "/i", e2e.windows_path(PACKAGE), *properties, "/qn"), 0)
        mount("-o", "remount,bind,ro", self.folder)
        self.started = time.monotonic()
        return self.launch(FOLDER + r"\DravelOn.exe", cwd=self.folder)

    def start_proxy(self, script: bool) -> str:
        """tinyproxy as the user's proxy, fixed or named by a configuration script, in the connection settings
        Internet Options writes and WinHTTP reads (version, counter, flags: direct with proxy 2 or script 4,
        then proxy, bypass list and script address by length); returns its log. Not on the update host's
        address: Wine then takes it for no proxy at all."""
        folder = tempfile.mkdtemp(prefix="tinyproxy-")
        self.addCleanup(shutil.rmtree, folder, True)
        with socket.create_server(("127.0.0.2", 0)) as probe:
            port = probe.getsockname()[1]
        log, conf, address = os.path.join(folder, "log"), os.path.join(folder, "conf"), f"127.0.0.2:{port}"
        pathlib.Path(conf).write_text(f'Port {port}\nListen 127.0.0.2\nAllow 127.0.0.0/8\nLogFile "{log}"\n')
        proxy = subprocess.Popen(["tinyproxy", "-d", "-c", conf], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: (proxy.terminate(), proxy.wait(10)))
        peers.wait_until("tinyproxy", lambda: "Accepting" in text(log), 10)
        pathlib.Path(folder, "proxy.pac").write_text(f'function FindProxyForURL(u, h) {{ return "PROXY {address}"; }}')
        pages = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(
            http.server.SimpleHTTPRequestHandler, directory=folder))
        threading.Thread(target=pages.serve_forever, daemon=True).start()
        self.addCleanup(lambda: (pages.shutdown(), pages.server_close()))
        fields = ("", "", f"http://127.0.0.1:{pages.server_port}/proxy.pac") if script else (address, "", "")
        blob = struct.pack("<3I", 0x46, 1, 5 if script else 3) + b"".join(
            struct.pack("<I", len(field)) + field.encode() for field in fields) + bytes(32)
        self.assertEqual(self.wine("reg", "add", CONNECTIONS_KEY, "/v", "DefaultConnectionSettings", "/t",
                                   "REG_BINARY", "/d", blob.hex(), "/f"), 0)
        self.addCleanup(self.wine, "reg", "delete", CONNECTIONS_KEY, "/v", "DefaultConnectionSettings", "/f")
        return log

    def test_our_newer_updater_comes_into_the_users_folder_and_runs_directly_and_through_a_proxy(self):
        for route in ("direct", "fixed proxy", "configuration script"):
            with self.subTest(route):
                server = peers.DevServer("--update-file", os.path.join(UPDATES, "signed-new.exe"), *(
                    option for name in ("http", "messenger", "upload", "download", "control")
                    for option in (f"--{name}-port", "0")))
                self.addCleanup(server.stop)
                port = int(server.banner.split("http=")[1].split()[0])
                proxy_log = self.start_proxy(route == "configuration script") if route != "direct" else None
                self.assertEqual(self.install_and_start(f"UPDATESERVER=127.0.0.1:{port}").wait(timeout=30), 0)
                marker = os.path.join(self.update_folder(), MARKER)
                peers.wait_until("the updater to run", lambda: text(marker))
                # Started by its full path in the user's folder; nothing was written beside the program.
                self.assertRegex(pathlib.Path(marker).read_bytes().decode("utf-16-le"),
                                 r'(?i)^"?C:\\users\\[^\\]+\\AppData\\Local\\Dravel On\\Update\\TamixUpdate\.exe"?')
                self.assertEqual(sorted(os.listdir(self.folder)), ["DravelOn.exe", "run.wav"])
                if proxy_log:
                    self.assertIn(f"GET http://127.0.0.1:{port}{UPDATE_PATH}", text(proxy_log))
                # The next start, with the host gone, removes what the update left.
                self.driver.wait_exit(name="TamixUpdate.exe", timeout=10000)
                server.stop()
                self.launch(FOLDER + r"\DravelOn.exe", cwd=self.folder)
                self.driver.wait(id=IDC_PASSWORD, visible=1, timeout=30000)
                self.assertEqual(os.listdir(self.update_folder()), [MARKER])

    def test_a_slow_update_host_holds_start_up_10_s_at_most_and_none_is_asked_with_auto_update_off(self):
        stopped = threading.Event()
        listener, connections = slow_host(stopped)
        self.addCleanup(lambda: (stopped.set(), listener.close()))
        with socket.create_server(("127.0.0.1", 0)) as closed:
            refused, slow = closed.getsockname()[1], listener.getsockname()[1]
        seconds, asked = {}, {}
        for case, port, extra in (("no update host", refused, ()), ("a byte every 4 s", slow, ()),
                                  ("AUTOUPDATE=0", slow, ("AUTOUPDATE=0",))):
            before = len(connections)
            self.install_and_start(f"UPDATESERVER=127.0.0.1:{port}", *extra)
            self.driver.wait(id=IDC_PASSWORD, visible=1, timeout=60000)
            seconds[case], asked[case] = round(time.monotonic() - self.started, 1), len(connections) - before
        print(f"start-up to the login dialog, s: {seconds}", file=sys.stderr)
        self.assertLessEqual(seconds["a byte every 4 s"] - seconds["no update host"], 10.0)
        self.assertEqual(self.driver.reg_get(e2e.INSTALL_KEY, "AutoUpdate"), 0)
        self.assertEqual((asked["a byte every 4 s"] > 0, asked["AUTOUPDATE=0"]), (True, 0))


if __name__ == "__main__":
    e2e.main()
