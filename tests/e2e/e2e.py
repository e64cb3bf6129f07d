"""Helpers for end-to-end tests: the real client under Wine, the UI driver and the scripted server.

Tests run inside scripts/wine-harness.sh (which sets WINEPREFIX and DISPLAY); ctest passes the paths
below in the environment. A test file::

    import e2e
    from scripted_server import COM, login_steps

    class LoginTest(e2e.E2ETestCase):
        def test_title_gains_the_display_name(self):
            self.serve(script=login_steps("김철수"))
            self.install()
            self.launch_client("/ID:kim", "/PW:secret")
            window = self.driver.wait(title_has="김철수", visible=1, timeout=10000)
            ...

    if __name__ == "__main__":
        e2e.main()

Every wait has a time-out; after each test every process this module knows of is ended, and a
screenshot of a failed test lands in <build>/e2e-screenshots.
"""

from __future__ import annotations

import json
import ntpath
import os
import re
import select
import shutil
import subprocess
import sys
import time
import unittest

from scripted_server import ScriptedServer

BUILD_DIR = os.environ.get("DRAVELON_BUILD_DIR", "")
BIN_DIR = os.environ.get("DRAVELON_BIN_DIR", os.path.join(BUILD_DIR, "bin"))
UIDRIVER = os.environ.get("DRAVELON_UIDRIVER", os.path.join(BIN_DIR, "uidriver.exe"))
SOURCE_DIR = os.environ.get("DRAVELON_SOURCE_DIR",
                            os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
WINEPREFIX = os.environ.get("WINEPREFIX", "")
CLIENT_EXE = os.path.join(BIN_DIR, "DravelOn.exe")
INSTALL_DIR = r"C:\DravelOn"
INSTALL_KEY = r"Software\Brello\Tamix"
SCREENSHOT_DIR = os.path.join(BUILD_DIR or ".", "e2e-screenshots")
LOG_DIR = os.path.join(BUILD_DIR or ".", "e2e-logs")
SKIP_EXIT_CODE = 77  # ctest's SKIP_RETURN_CODE for these tests


def main() -> None:
    """unittest.main, after making sure the harness is around (skip, not fail, when it is not)."""
    missing = [name for name, value in (("WINEPREFIX", WINEPREFIX), ("DISPLAY", os.environ.get("DISPLAY")),
                                        ("DRAVELON_BUILD_DIR", BUILD_DIR)) if not value]
    if missing or not os.path.isfile(UIDRIVER):
        print(f"skipped: run inside scripts/wine-harness.sh with a built uidriver "
              f"(missing: {', '.join(missing) or UIDRIVER})", file=sys.stderr)
        sys.exit(SKIP_EXIT_CODE)
    unittest.main(verbosity=2)


def windows_path(unix_path: str) -> str:
    """The prefix maps / to drive Z:."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def prefix_path(win_path: str) -> str:
    """The Unix path of a C:\\ path inside the prefix."""
    drive, rest = win_path[:2].upper(), win_path[2:].replace("\\", "/").lstrip("/")
    if drive != "C:":
        raise ValueError(f"only C: paths live in the prefix: {win_path}")
    return os.path.join(WINEPREFIX, "drive_c", rest)


def screenshot(name: str) -> str:
    """Saves the harness display as <build>/e2e-screenshots/<name>.png; returns the path."""
    path = os.path.join(SCREENSHOT_DIR, re.sub(r"[^\w.-]+", "_", name) + ".png")
    subprocess.run([os.path.join(SOURCE_DIR, "scripts", "screenshot.sh"), path], check=True, timeout=30,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    return path


class DriverError(AssertionError):
    """A driver command answered ok=false; .answer holds the whole answer."""

    def __init__(self, message: str, answer: dict):
        super().__init__(message)
        self.answer = answer


class Driver:
    """One `uidriver --serve` process under Wine. Keyword arguments become key=value fields:
    class_ -> class, title_has -> title-has, True/False -> 1/0."""

    STARTUP_TIMEOUT = 30

    def __init__(self, uidriver: str = UIDRIVER):
        os.makedirs(LOG_DIR, exist_ok=True)
        self._stderr = open(os.path.join(LOG_DIR, "uidriver.log"), "ab")
        self._proc = subprocess.Popen(["wine", uidriver, "--serve"], stdin=subprocess.PIPE,
                                      stdout=subprocess.PIPE, stderr=self._stderr)
        self._pending = b""
        self.cmd("ping", reply_timeout=self.STARTUP_TIMEOUT)

    def alive(self) -> bool:
        return self._proc.poll() is None

    def cmd(self, verb: str, check: bool = True, reply_timeout: float | None = None, **fields) -> dict:
        words = [verb]
        for key, value in fields.items():
            if value is None:
                continue
            key = key.rstrip("_").replace("_", "-")
            value = int(value) if isinstance(value, bool) else value
            text = str(value)
            if "\t" in text or "\n" in text:
                raise ValueError(f"{key}: TAB and newline cannot be sent")
            words.append(f"{key}={text}")
        if reply_timeout is None:
            # The command's own waits, plus room for a slow Wine.
            waits = [int(fields[k]) for k in ("timeout", "wait", "gone_timeout") if fields.get(k) is not None]
            reply_timeout = sum(waits) / 1000 + 15
        self._proc.stdin.write(("\t".join(words) + "\n").encode("utf-8"))
        self._proc.stdin.flush()
        answer = json.loads(self._read_line(reply_timeout, verb))
        if check and not answer.get("ok"):
            raise DriverError(f"{' '.join(words)}: {answer.get('error')} -> {answer}", answer)
        return answer

    def _read_line(self, timeout: float, verb: str) -> str:
        deadline = time.monotonic() + timeout
        fd = self._proc.stdout.fileno()
        while b"\n" not in self._pending:
            left = deadline - time.monotonic()
            if left <= 0:
                self._proc.kill()
                self._proc.wait()
                raise TimeoutError(f"uidriver gave no answer to {verb} within {timeout} s")
            ready, _, _ = select.select([fd], [], [], left)
            if ready:
                chunk = os.read(fd, 65536)
                if not chunk:
                    raise RuntimeError(f"uidriver ended (exit {self._proc.poll()}) during {verb}")
                self._pending += chunk
        line, self._pending = self._pending.split(b"\n", 1)
        return line.decode("utf-8")

    # Shorthands; each returns the answer's interesting part.
    def list(self, **f) -> list[dict]:
        return self.cmd("list", **f)["windows"]

    def find(self, **f) -> dict | None:
        answer = self.cmd("find", check=False, **f)
        return answer["window"] if answer["ok"] else None

    def wait(self, **f) -> dict:
        return self.cmd("wait", **f)["window"]

    def wait_gone(self, **f) -> int:
        return self.cmd("wait-gone", **f)["elapsed"]

    def get_text(self, **f) -> str:
        return self.cmd("get-text", **f)["text"]

    def wait_text(self, text: str | None = None, text_has: str | None = None, **f) -> str:
        """Polls the window's text until it equals text (or contains text_has); timeout= ms, default 5 s."""
        return self.cmd("wait-text", text=text, text_has=text_has, **f)["text"]

    def set_text(self, text: str, **f) -> dict:
        return self.cmd("set-text", text=text, **f)

    def click(self, **f) -> dict:
        return self.cmd("click", **f)

    def send(self, **f) -> int:
        return self.cmd("send", **f)["result"]

    def post(self, **f) -> dict:
        return self.cmd("post", **f)

    def msgbox(self, **f) -> dict:
        return self.cmd("msgbox", **f)

    def foreground(self) -> dict:
        return self.cmd("foreground")

    def pids(self, name: str | None = None) -> list[dict]:
        return self.cmd("pids", name=name)["processes"]

    def kill(self, name: str | None = None, pid: int | None = None, timeout: int = 5000) -> list[dict]:
        """Terminates the Windows processes of that exe name or pid; returns those ended."""
        return self.cmd("kill", name=name, pid=pid, timeout=timeout)["killed"]

    def wait_exit(self, name: str | None = None, pid: int | None = None, timeout: int = 5000) -> int:
        return self.cmd("wait-exit", name=name, pid=pid, timeout=timeout)["elapsed"]

    def reg_set(self, key: str, name: str, sz: str | None = None, dword: int | None = None, root: str = "HKLM"):
        return self.cmd("reg-set", root=root, key=key, name=name, sz=sz, dword=dword)

    def reg_get(self, key: str, name: str, root: str = "HKLM"):
        """The value, or None when it does not exist."""
        answer = self.cmd("reg-get", check=False, root=root, key=key, name=name)
        if not answer["ok"] and answer["error"] == "not found":
            return None
        if not answer["ok"]:
            raise DriverError(f"reg-get {key} {name}: {answer['error']}", answer)
        return answer["value"]

    def reg_delete(self, key: str, name: str | None = None, root: str = "HKLM") -> bool:
        return self.cmd("reg-delete", root=root, key=key, name=name)["existed"]

    def close(self) -> None:
        if self.alive():
            try:
                self._proc.stdin.write(b"quit\n")
                self._proc.stdin.close()
                self._proc.wait(timeout=10)
            except (OSError, subprocess.TimeoutExpired):
                self._proc.kill()
                self._proc.wait()
        self._proc.stdout.close()
        self._stderr.close()


TRAY_CALLBACK = 0x0403  # WM_USER + 3: the notification-area icon's messages
WM_RBUTTONDOWN = 0x0204
VK_DOWN, VK_RETURN = 0x28, 0x0D


def choose_tray_item(driver: Driver, main_hwnd: int, pid: int, position: int, icon_id: int = 1,
                     done=None, tries: int = 3, done_timeout: float = 10):
    """Opens the tray menu of main_hwnd as a right click on its icon does, picks the item at position
    (0 = the first) and returns done()'s first true answer (True without done).

    Under Wine on a busy machine a window that another test step showed a moment ago can take the
    focus late and close the menu before it is used; a user then clicks again, and so does this."""
    last = None
    for attempt in range(1, tries + 1):
        driver.post(hwnd=main_hwnd, msg=TRAY_CALLBACK, wparam=icon_id, lparam=WM_RBUTTONDOWN)
        try:
            menu = driver.wait(class_="#32768", pid=pid, visible=1, timeout=6000)
            for _ in range(position + 1):
                driver.cmd("key", hwnd=menu["hwnd"], vk=VK_DOWN)
            driver.cmd("key", hwnd=menu["hwnd"], vk=VK_RETURN)
            driver.wait_gone(hwnd=menu["hwnd"], visible=1, timeout=5000)
        except DriverError as error:
            last = error
        else:
            if done is None:
                return True
            deadline = time.monotonic() + done_timeout
            while time.monotonic() < deadline:
                result = done()
                if result:
                    return result
                time.sleep(0.2)
            last = f"the choice of item {position} showed no effect"
        print(f"tray menu, attempt {attempt}: {last}", file=sys.stderr)
        # Let a menu that is still closing go away before the next click.
        driver.wait_gone(class_="#32768", pid=pid, visible=1, timeout=3000)
    raise AssertionError(f"the tray menu did not serve in {tries} tries: {last}")


def peak_memory_mb(exe_name: str) -> int:
    """The highest peak resident size, in MB, of the running Wine processes of exe_name (Linux's
    VmHWM of each)."""
    peak_kb = 0
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                if exe_name.encode() not in f.read():
                    continue
            with open(f"/proc/{entry}/status") as f:
                for line in f:
                    if line.startswith("VmHWM:"):
                        peak_kb = max(peak_kb, int(line.split()[1]))
        except OSError:
            continue
    return peak_kb // 1024


class Program:
    """A Windows program started under Wine; output goes to <build>/e2e-logs/<name>.log."""

    def __init__(self, exe: str, *args: str, cwd: str | None = None, log_name: str | None = None):
        os.makedirs(LOG_DIR, exist_ok=True)
        name = log_name or os.path.splitext(os.path.basename(exe.replace("\\", "/")))[0]
        self._log = open(os.path.join(LOG_DIR, f"{name}.log"), "ab")
        self.exe = exe
        self.proc = subprocess.Popen(["wine", exe, *args], cwd=cwd, stdin=subprocess.DEVNULL, stdout=self._log,
                                     stderr=subprocess.STDOUT)

    def wait(self, timeout: float = 10) -> int:
        """The program's exit code; raises subprocess.TimeoutExpired when it is still running."""
        return self.proc.wait(timeout=timeout)

    def running(self) -> bool:
        return self.proc.poll() is None

    def kill(self) -> None:
        if self.proc.poll() is None:
            self.proc.kill()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        self._log.close()


def install(driver: Driver, exe: str = CLIENT_EXE, folder: str = INSTALL_DIR, config: str | None = "") -> str:
    """Copies exe into folder inside the prefix and registers the folder as "Config" (config="" means the
    folder itself; a string registers that text instead; None removes the key). Returns the installed
    program's Windows path."""
    target_dir = prefix_path(folder)
    os.makedirs(target_dir, exist_ok=True)
    shutil.copy2(exe, os.path.join(target_dir, os.path.basename(exe)))
    if config is None:
        driver.reg_delete(INSTALL_KEY)
    else:
        driver.reg_set(INSTALL_KEY, "Config", sz=config or folder)
    return folder.rstrip("\\") + "\\" + os.path.basename(exe)


def uninstall(driver: Driver, folder: str = INSTALL_DIR) -> None:
    driver.reg_delete(INSTALL_KEY)
    shutil.rmtree(prefix_path(folder), ignore_errors=True)


class E2ETestCase(unittest.TestCase):
    """Shares one driver per test class; after each test ends every program it launched, every
    process named in LEFTOVER_NAMES and every scripted server, even when the test failed."""

    LEFTOVER_NAMES = ("DravelOn.exe", "TamixUpdate.exe", "e2e_target.exe")
    driver: Driver

    @classmethod
    def setUpClass(cls):
        cls.driver = Driver()
        # A test process that ctest killed at its time-out cleaned up nothing: start from a clean slate.
        for name in cls.LEFTOVER_NAMES:
            cls.driver.kill(name=name)

    @classmethod
    def tearDownClass(cls):
        cls.driver.close()

    def setUp(self):
        if not self.driver.alive():
            type(self).driver = Driver()
        self._programs: list[Program] = []
        self._servers: list[ScriptedServer] = []
        self.addCleanup(self._leave_nothing)

    def launch(self, exe: str, *args: str, cwd: str | None = None) -> Program:
        program = Program(exe, *args, cwd=cwd)
        self._programs.append(program)
        return program

    def install(self, **kwargs) -> str:
        """install() for this test; the folder and the registry key are removed after the test."""
        self.installed = install(self.driver, **kwargs)
        return self.installed

    def launch_client(self, *args: str, exe: str | None = None) -> Program:
        """Starts the installed client (install() first) from its folder, or exe when given."""
        exe = exe or getattr(self, "installed", None) or CLIENT_EXE
        cwd = prefix_path(ntpath.dirname(exe)) if exe.upper().startswith("C:") else None
        return self.launch(exe, *args, cwd=cwd)

    def serve(self, port: int = 8200, script=None, **kwargs) -> ScriptedServer:
        server = ScriptedServer(port=port, script=script, **kwargs).start()
        self._servers.append(server)
        return server

    def screenshot(self, name: str | None = None) -> str:
        return screenshot(name or self.id())

    def _leave_nothing(self):
        result = getattr(getattr(self, "_outcome", None), "result", None)
        failed = any(getattr(test, "test_case", test) is self
                     for test, _ in getattr(result, "failures", []) + getattr(result, "errors", []))
        if failed:
            try:
                print(f"screenshot: {self.screenshot(self.id() + '-failed')}", file=sys.stderr)
            except (OSError, subprocess.SubprocessError) as error:
                print(f"screenshot failed: {error}", file=sys.stderr)
        # Every step runs even when an earlier one fails; the first failure is raised at the end.
        errors = []

        def attempt(step, *args):
            try:
                step(*args)
            except Exception as error:  # noqa: BLE001 - reported below
                errors.append(error)

        if not self.driver.alive():
            attempt(lambda: setattr(type(self), "driver", Driver()))
        for name in self.LEFTOVER_NAMES:
            attempt(lambda n: self.driver.kill(name=n), name)
        for program in self._programs:
            attempt(program.kill)
        for server in self._servers:
            attempt(server.stop)
        if getattr(self, "installed", None):
            attempt(uninstall, self.driver, ntpath.dirname(self.installed))
        if errors:
            raise errors[0]
        left = [p for name in self.LEFTOVER_NAMES for p in self.driver.pids(name)]
        self.assertEqual(left, [], "processes left behind")


# Credentials for a client that is to log in at once against a scripted server on port 8200.
LOGIN_ARGS = ("/ID:kim", "/PW:secret")


def serve_login(test: "E2ETestCase", name: str = "김철수") -> ScriptedServer:
    """A scripted server that lets every connection log in (for tests that need the main window)."""
    from scripted_server import login_steps
    return test.serve(script=login_steps(name))
