"""Self-restart: the new process gets the quoted path and " --Restart" and waits for the old one."""

import time

import e2e
from dravelon_res import CAPTIONS, IDC_PASSWORD, IDM_ABOUTBOX, IDOK, STRINGS, kSessionEndMessage

MAIN_TITLE = CAPTIONS["IDD_MAIN"]
ABOUT_TITLE = CAPTIONS["IDD_ABOUTBOX"]
REFUSED_CAPTION = STRINGS["IDS_APP_RESTART_FAILED_CAPTION"]
RESTART_MESSAGE = kSessionEndMessage  # from outside: the main window ends the session with a restart
RESTART_MUTEX = "DRAVELON_RESTART-MUTEX"
FOLDER_WITH_BLANK = r"C:\Dravel On Test"


class RestartTest(e2e.E2ETestCase):
    def alive(self, pid: int) -> bool:
        return bool(self.driver.cmd("pids", pid=pid)["processes"])

    def start(self, *args: str) -> dict:
        if not self._servers:
            e2e.serve_login(self)
        self.launch_client(*args, *e2e.LOGIN_ARGS)
        return self.driver.wait(title_has=MAIN_TITLE, class_="#32770", visible=1, timeout=30000)

    def others(self, pid: int) -> list[int]:
        return [p["pid"] for p in self.driver.pids("DravelOn.exe") if p["pid"] != pid]

    def test_restart_from_a_folder_with_a_blank_waits_for_the_old_process(self):
        self.install(folder=FOLDER_WITH_BLANK)
        old = self.start()["pid"]

        # Asked for while the About box is up: the session's end closes the box first (nothing is torn
        # down under a modal loop), then restarts.
        self.driver.cmd("syscommand", title_has=MAIN_TITLE, class_="#32770", pid=old, cmd=IDM_ABOUTBOX)
        self.driver.wait(title=ABOUT_TITLE, pid=old, visible=1, timeout=10000)
        self.driver.post(title_has=MAIN_TITLE, class_="#32770", pid=old, msg=RESTART_MESSAGE)

        deadline = time.monotonic() + 20
        while not self.others(old):
            self.assertLess(time.monotonic(), deadline, "no new process was started")
            time.sleep(0.02)
        new = self.others(old)[0]
        self.assertEqual(self.driver.cmd("cmdline", pid=new)["cmdline"],
                         '"' + FOLDER_WITH_BLANK + r'\DravelOn.exe" --Restart')

        # The new process shows nothing while the old one lives.
        deadline = time.monotonic() + 30
        while not self.driver.list(pid=new, visible=1, children=0):
            self.assertLess(time.monotonic(), deadline, "the new process never showed its window")
            time.sleep(0.02)
        self.assertFalse(self.alive(old), "new window shown before the old process ended")
        # The restarted program has no credentials: it begins with the login dialog.
        self.driver.wait(pid=new, id=IDC_PASSWORD, visible=1, timeout=10000)
        self.assertEqual(self.others(new), [])

    def test_restart_by_hand_starts_at_once(self):
        self.install()
        started = time.monotonic()
        main = self.start("--Restart")
        self.assertLess(time.monotonic() - started, 30)
        self.assertEqual(self.others(main["pid"]), [])

    def test_restart_during_another_restart_waits_then_says_it_cannot(self):
        self.install()
        old = self.start()["pid"]
        self.assertFalse(self.driver.cmd("mutex-hold", name=RESTART_MUTEX)["existed"])
        released = False
        try:
            self.driver.post(title_has=MAIN_TITLE, class_="#32770", pid=old, msg=RESTART_MESSAGE)
            time.sleep(1.5)  # the wait is the check: while the lock is held no new instance starts
            self.assertEqual(self.others(old), [])
            self.assertIsNone(self.driver.find(title=REFUSED_CAPTION, pid=old))
            self.driver.cmd("mutex-release", name=RESTART_MUTEX)
            released = True
        finally:
            if not released:
                self.driver.cmd("mutex-release", name=RESTART_MUTEX, check=False)
        box = self.driver.msgbox(pid=old, title=REFUSED_CAPTION, timeout=10000)
        self.assertEqual(box["text"], STRINGS["IDS_APP_RESTART_FAILED"])
        self.screenshot("restart-refused")
        self.driver.msgbox(pid=old, title=REFUSED_CAPTION, press="OK" if any(
            b["text"] == "OK" for b in box["buttons"]) else IDOK)
        # The program goes on running, alone.
        self.driver.wait(title_has=MAIN_TITLE, class_="#32770", pid=old, visible=1, timeout=5000)
        self.assertEqual(self.others(old), [])


if __name__ == "__main__":
    e2e.main()
