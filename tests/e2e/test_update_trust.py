#!/usr/bin/python3
"""Whose updater runs when a trusted authority issues the publisher's certificates: the client signed by the
publisher runs one signed by the publisher's renewed certificate, and refuses one of another subject of the
same authority and one naming the authority as issuer that another key made (test_startup has the
development certificate's own rule)."""

import glob
import os
import shutil
import sys
import tempfile
import types
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import e2e  # noqa: E402
import peers  # noqa: E402
from dravelon_res import CAPTIONS, IDCANCEL, IDOK, IDYES, STRINGS  # noqa: E402

UPDATES = os.path.join(e2e.BIN_DIR, "updates")
AUTHORITY = os.path.join(UPDATES, "authority")
NOT_OURS = STRINGS["IDS_APP_UPDATE_NOT_OURS"]
MAIN_TITLE = CAPTIONS["IDD_MAIN"]


class UpdateTrustTest(e2e.E2ETestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        registration = os.path.join(AUTHORITY, "ca.reg")
        if not os.path.isfile(registration) or not os.access(peers.DEVSERVER, os.X_OK):
            raise unittest.SkipTest(f"{registration} or {peers.DEVSERVER} is not built")
        # Into the harness's prefix, the one the client runs in.
        cls.trusted = peers.trust_root(types.SimpleNamespace(env=dict(os.environ)), registration)

    @classmethod
    def tearDownClass(cls):
        cls.driver.reg_delete(cls.trusted)
        super().tearDownClass()

    def left_behind(self, name: str) -> list[str]:
        """name beside the program or in a user's update folder."""
        users = os.path.join(e2e.WINEPREFIX, "drive_c", "users", "*", "AppData", "Local", "Dravel On", "Update")
        return glob.glob(os.path.join(e2e.prefix_path(e2e.INSTALL_DIR), name)) + glob.glob(os.path.join(users, name))

    def test_a_renewed_certificate_is_ours_another_subject_or_a_forged_issuer_is_not(self):
        self.install(exe=os.path.join(AUTHORITY, "DravelOn.exe"))
        for updater, refusal in (("renewed-new.exe", None), ("stranger-new.exe", NOT_OURS),
                                 ("forged-new.exe", NOT_OURS)):
            with self.subTest(updater):
                for path in self.left_behind("updater-ran.txt") + self.left_behind("TamixUpdate.exe"):
                    os.remove(path)
                folder = tempfile.mkdtemp(prefix="update-")
                self.addCleanup(shutil.rmtree, folder, True)
                shutil.copy(os.path.join(UPDATES, updater), os.path.join(folder, "TamixUpdate.exe"))
                server = peers.DevServer("--update-file", os.path.join(folder, "TamixUpdate.exe"), "--http-port", "80",
                                         "--messenger-port", "0", "--upload-port", "0", "--download-port", "0",
                                         "--control-port", "0")
                self.addCleanup(server.stop)
                e2e.serve_login(self)
                client = self.launch_client(*e2e.LOGIN_ARGS)
                if refusal is None:
                    self.assertEqual(client.wait(timeout=30), 0)
                    peers.wait_until("the updater to run", lambda: self.left_behind("updater-ran.txt"))
                else:
                    box = self.driver.msgbox(text=refusal, timeout=30000)
                    self.assertEqual(self.left_behind("TamixUpdate.exe"), [])
                    self.driver.msgbox(pid=box["pid"], text=refusal, press=IDOK)
                    window = self.driver.wait(title_has=MAIN_TITLE, class_="#32770", visible=1, timeout=30000)
                    self.assertEqual(self.left_behind("updater-ran.txt"), [], "the updater ran")
                    self.driver.cmd("command", hwnd=window["hwnd"], cmd=IDCANCEL)
                    self.driver.msgbox(pid=window["pid"], text=STRINGS["IDS_LOGOUT_CONFIRM"], press=IDYES)
                self.end_run(client)
                server.stop()


if __name__ == "__main__":
    e2e.main()
