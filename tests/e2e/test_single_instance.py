"""One instance per log-on: later launches end without a window and bring the first one forward."""

import os
import time

import e2e
import e2e_target_res
from dravelon_res import CAPTIONS, IDYES, STRINGS

MAIN_TITLE = CAPTIONS["IDD_MAIN"]
TARGET_EXE = os.path.join(e2e.BIN_DIR, "e2e_target.exe")


class SingleInstanceTest(e2e.E2ETestCase):
    def alive(self, pid: int) -> bool:
        return bool(self.driver.cmd("pids", pid=pid)["processes"])

    def start_first(self) -> int:
        self.install()
        e2e.serve_login(self)
        self.launch_client(*e2e.LOGIN_ARGS)
        main = self.driver.wait(title_has=MAIN_TITLE, class_="#32770", visible=1, timeout=30000)
        return main["pid"]

    def cover_with_another_window(self) -> None:
        """Puts another program's window in front, so that coming forward is something to see."""
        target = getattr(self, "_target", None)
        if target is None:
            self.launch(TARGET_EXE)
            target = self._target = self.driver.wait(title=e2e_target_res.CAPTIONS["IDD_TARGET"], visible=1,
                                                     timeout=20000)
        # Bring-forwards of earlier launches may still be on their way: cover until it stays covered.
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            self.driver.cmd("activate", hwnd=target["hwnd"])
            if self.wait_foreground(target["pid"], timeout=2) and self.stays_foreground(target["pid"], 0.7):
                return
        self.fail("the other window did not stay in front")

    def stays_foreground(self, pid: int, seconds: float) -> bool:
        until = time.monotonic() + seconds
        while time.monotonic() < until:
            if self.driver.foreground().get("pid") != pid:
                return False
            time.sleep(0.05)
        return True

    def wait_foreground(self, pid: int, timeout: float = 10) -> bool:
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.driver.foreground().get("pid") == pid:
                return True
            time.sleep(0.05)
        return False

    def launch_later(self, cmdline: str) -> int:
        return self.driver.cmd("launch", cmdline=cmdline, cwd=e2e.INSTALL_DIR)["pid"]

    def assert_ends_without_window(self, pid: int, timeout: float = 30) -> None:
        """Watches the launch until it has ended; it must never show a window."""
        deadline = time.monotonic() + timeout
        while self.alive(pid):
            shown = self.driver.list(pid=pid, visible=1, children=0)
            self.assertEqual(shown, [], f"launch {pid} showed a window")
            self.assertLess(time.monotonic(), deadline, f"launch {pid} did not end")
            time.sleep(0.02)

    def assert_one_process(self, pid: int) -> None:
        self.assertEqual([p["pid"] for p in self.driver.pids("DravelOn.exe")], [pid])

    def test_second_launch_ends_silently_and_brings_the_first_forward(self):
        first = self.start_first()
        self.cover_with_another_window()
        second = self.launch_later(self.installed)
        self.assert_ends_without_window(second)
        self.assertTrue(self.wait_foreground(first), "the first instance did not come forward")
        self.assert_one_process(first)
        self.assertEqual(self.driver.msgbox(pid=first, timeout=500, check=False).get("ok"), False)
        self.screenshot("single-instance-second-launch")

        # A command line of 300 characters does not fit the shared buffer; the hand-off still works.
        self.cover_with_another_window()
        line = self.installed + " /X:"
        line += "y" * (300 - len(line))
        self.assertEqual(len(line), 300)
        long_launch = self.launch_later(line)
        self.assert_ends_without_window(long_launch)
        self.assertTrue(self.wait_foreground(first), "no hand-off for a 300-character command line")
        self.assert_one_process(first)

    def test_five_quick_launches_leave_one_process_in_front(self):
        first = self.start_first()
        self.cover_with_another_window()
        launches = [self.launch_later(self.installed) for _ in range(5)]
        for pid in launches:
            self.assert_ends_without_window(pid)
        self.assertTrue(self.wait_foreground(first), "the window did not come forward after five launches")
        self.assert_one_process(first)

        # Every later launch is delivered, not only the first of a burst: cover it again, once more.
        self.cover_with_another_window()
        self.assert_ends_without_window(self.launch_later(self.installed))
        self.assertTrue(self.wait_foreground(first))

    def test_after_the_first_instance_has_ended_the_next_launch_runs(self):
        first = self.start_first()
        self.driver.cmd("close", title_has=MAIN_TITLE, class_="#32770", pid=first)
        self.driver.msgbox(pid=first, text=STRINGS["IDS_LOGOUT_CONFIRM"], press=IDYES)  # log out
        self.driver.wait_exit(pid=first, timeout=15000)
        self.launch_client(*e2e.LOGIN_ARGS)
        main = self.driver.wait(title_has=MAIN_TITLE, class_="#32770", visible=1, timeout=30000)
        self.assertNotEqual(main["pid"], first)
        self.assert_one_process(main["pid"])


if __name__ == "__main__":
    e2e.main()
