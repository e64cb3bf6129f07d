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
import socket
import subprocess
import sys
import threading
import time
import unittest

from scripted_server import COM, Record, ScriptedServer, login_steps

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
# The program's ids and texts (`import dravelon_res as res`), written from the resource script by
# gen_resources.py at build time.
RESOURCE_MODULES = os.path.join(BUILD_DIR, "e2e")
sys.path.insert(0, RESOURCE_MODULES)

from dravelon_res import (CAPTIONS, IDC_SEND, STRINGS, kInstanceName, kNotifierClassName,  # noqa: E402
                          kStatusHistory, kTrayCallbackMessage)


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
        driver.post(hwnd=main_hwnd, msg=kTrayCallbackMessage, wparam=icon_id, lparam=WM_RBUTTONDOWN)
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


class OneConnectionServer:
    """A loopback listener on a fixed port that serves one connection on a thread of its own with
    serve(conn); a stand-in for the server's file ports."""

    def __init__(self, port: int, timeout: float = 60):
        self.connections = 0
        self._sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._sock.bind(("127.0.0.1", port))
        self._sock.listen(1)
        self._sock.settimeout(timeout)
        self._thread = threading.Thread(target=self._accept, daemon=True)
        self._thread.start()

    def _accept(self):
        try:
            conn, _ = self._sock.accept()
        except OSError:
            return
        self.connections += 1
        with conn:
            self.serve(conn)

    def serve(self, conn: socket.socket) -> None:
        raise NotImplementedError

    def close(self):
        self._sock.close()
        self._thread.join(timeout=5)


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


# The lock of the program's single-instance objects (its shared command line), named after its instance.
INSTANCE_LOCK = kInstanceName + "-Data-Mapping-Mutex"


def wait_instance_released(driver: Driver, timeout: float = 10) -> None:
    """Waits until no process holds the single-instance objects of an ended client any more: the lock
    no longer exists (the driver makes it for the moment of asking, and lets it go at once)."""
    deadline = time.monotonic() + timeout
    while True:
        answer = driver.cmd("mutex-hold", name=INSTANCE_LOCK, timeout=0, check=False)
        if answer.get("ok"):
            driver.cmd("mutex-release", name=INSTANCE_LOCK)
            if not answer["existed"]:
                return
        if time.monotonic() >= deadline:
            raise AssertionError(f"the ended client's single-instance objects were still there after {timeout} s")
        time.sleep(0.1)


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
        unregister_test_browser(cls.driver)

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

    def log_in_as_kim(self, script=None) -> tuple:
        """Installs the client, logs it in as kim against a scripted server (playing script, by default a
        login on every connection) and waits until the main window carries the name the login grant gave
        (김철수); (the server's connection, the main window)."""
        self.install()
        server = self.serve(script=script or login_steps("김철수"))
        self.launch_client(*LOGIN_ARGS)
        conn = server.wait_connection(timeout=30)
        conn.wait_records(1, command=COM["SIGN_IN"], timeout=20)
        # The main window has the portal's title too until the login grant names it.
        title = CAPTIONS["IDD_MAIN"]
        main = self.driver.wait(title_has=title, class_="#32770", visible=1, timeout=20000)
        self.driver.wait_text(hwnd=main["hwnd"], text=f"{title} - 김철수", timeout=20000)
        return conn, main

    def end_run(self, client: "Program | None") -> None:
        """Ends one run of a test that logs in several times: every client process and the servers.
        The next launch must not find the ended instance's single-instance objects still alive (it
        would hand its launch to nobody), so wait until the processes are gone and Wine has dropped
        their handles."""
        if client is not None:
            client.kill()
        self.driver.kill(name="DravelOn.exe")
        deadline = time.monotonic() + 10
        while self.driver.pids("DravelOn.exe") and time.monotonic() < deadline:
            time.sleep(0.1)
        wait_instance_released(self.driver)
        for server in self._servers:
            server.stop()
        self._servers.clear()

    def lock_folder(self, folder: str):
        """The folder as Program Files is to a standard user: nothing can be made in it. The tests run as
        root, whom permission bits do not stop; the immutable attribute stops everyone."""
        if subprocess.run(["chattr", "+i", folder], capture_output=True).returncode != 0:
            self.fail(f"chattr +i {folder}: this file system cannot lock a folder")
        self.addCleanup(subprocess.run, ["chattr", "-i", folder], check=True)

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


# The test browser: a stand-in for the web browser control that runs pages on command.
#
# Wine has no browser engine, so with its own control no page ever runs and no script ever calls the
# client's window.external. use_test_browser(test) puts tests/e2e/testbrowser (e2e_testbrowser.dll) in the
# control's place for that test: every browser the client then hosts is a child window of class
# DravelOnTestBrowser whose text is the last address navigated to, and page_call() calls window.external
# from it as a page script would.

WEB_BROWSER_CLSID = "{8856F961-340A-11D0-A96B-00C04FD705A2}"
TEST_BROWSER_CLSID = "{26E51992-601D-4168-9D78-A27B21B98394}"
TEST_BROWSER_DLL = os.path.join(BIN_DIR, "e2e_testbrowser.dll")
TEST_BROWSER_CLASS = "DravelOnTestBrowser"
TEST_BROWSER_MAGIC = 0x44544231  # WM_COPYDATA dwData of its commands
# Wine's COM reads classes from HKLM\Software\Classes only (a per-user registration under HKCU is never
# seen by CoCreateInstance), so the switch is a TreatAs there: the control's own registration stays as
# it is, and removing our two keys gives it back.
_TREAT_AS_KEY = rf"Software\Classes\CLSID\{WEB_BROWSER_CLSID}\TreatAs"
_TEST_BROWSER_KEY = rf"Software\Classes\CLSID\{TEST_BROWSER_CLSID}"


def register_test_browser(driver: Driver) -> None:
    if not os.path.isfile(TEST_BROWSER_DLL):
        raise FileNotFoundError(f"{TEST_BROWSER_DLL}: build the e2e target")
    driver.reg_set(_TEST_BROWSER_KEY, "", sz="Dravel On test browser")
    driver.reg_set(_TEST_BROWSER_KEY + r"\InprocServer32", "", sz=windows_path(TEST_BROWSER_DLL))
    driver.reg_set(_TEST_BROWSER_KEY + r"\InprocServer32", "ThreadingModel", sz="Apartment")
    driver.reg_set(_TREAT_AS_KEY, "", sz=TEST_BROWSER_CLSID)


def unregister_test_browser(driver: Driver) -> bool:
    """Gives the prefix Wine's own control back; True when the test browser was switched on."""
    existed = driver.reg_delete(_TREAT_AS_KEY)
    driver.reg_delete(_TEST_BROWSER_KEY)
    return existed


def use_test_browser(test: "E2ETestCase") -> None:
    """Switches the test browser on for the rest of this test: browsers the client creates from now on
    (start the client after this) are test browsers. Switched off again after the test."""
    test.addCleanup(unregister_test_browser, test.driver)
    register_test_browser(test.driver)


def find_test_browser(driver: Driver, timeout: int = 15000, **selector) -> dict:
    """Waits for a test browser inside the top-level window that selector names (hwnd=, pid=, title=...;
    child_text= / child_text_has= for its address) and returns it."""
    return driver.wait(child_class=TEST_BROWSER_CLASS, timeout=timeout, **selector)


def page_command(driver: Driver, control_hwnd: int, line: str, timeout: int = 10000) -> tuple[int, str]:
    """Sends the test browser one command line; returns (HRESULT as unsigned 32 bits, answer text)."""
    answer = driver.cmd("copydata", hwnd=control_hwnd, data=TEST_BROWSER_MAGIC, text=line, timeout=timeout)
    if answer["answer"] is None:
        raise DriverError(f"window {control_hwnd} gave no answer: not a test browser?", answer)
    return answer["result"] & 0xFFFFFFFF, answer["answer"]


def _script_argument(value) -> str:
    if isinstance(value, bool) or not isinstance(value, (int, str)):
        raise TypeError(f"page arguments are int or str, not {type(value).__name__}")
    if isinstance(value, int):
        return str(value)
    return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'


E_PENDING = 0x8000000A


def page_call(driver: Driver, control_hwnd: int, name: str, *args, wait: bool = True,
              timeout: int = 10000) -> tuple[int, str]:
    """Calls window.external.<name>(*args) as the page in that test browser would (int -> VT_I4,
    str -> VT_BSTR), on the control's thread. Returns (HRESULT, result): the result as a script sees
    it ("true", "undefined", "5", '"text"'), or "error: ..." when the call failed.

    A call that opens a modal box does not return until the box is closed: with wait=False the call is
    posted to the control and made from its message loop, this returns (0, "posted") at once, and
    page_result() tells the outcome later."""
    line = " ".join(["call", name, *(_script_argument(a) for a in args)])
    return page_command(driver, control_hwnd, line if wait else "post " + line, timeout)


def page_result(driver: Driver, control_hwnd: int, timeout: int = 5000) -> tuple[int, str]:
    """The outcome of the call page_call(wait=False) posted, as page_call gives it, once it has
    returned (polled up to timeout ms; (E_PENDING, "pending") when it is still running then)."""
    deadline = time.monotonic() + timeout / 1000
    while True:
        outcome = page_command(driver, control_hwnd, "result")
        if outcome[0] != E_PENDING or time.monotonic() > deadline:
            return outcome
        time.sleep(0.1)


def page_navigate(driver: Driver, control_hwnd: int, url: str, timeout: int = 10000) -> int:
    """As if the page in that test browser went to url (its text becomes url); returns the HRESULT."""
    return page_command(driver, control_hwnd, "navigate " + _script_argument(url), timeout)[0]


def page_rect(driver: Driver, control_hwnd: int) -> tuple[list[int], tuple[int, int]]:
    """Where the test browser is: ([left, top, right, bottom] in its parent's client coordinates,
    (width, height) of the parent's client area)."""
    hr, text = page_command(driver, control_hwnd, "rect")
    if hr != 0:
        raise DriverError(f"rect: {text}", {"hresult": hr})
    numbers = [int(n) for n in text.split()]
    return numbers[:4], (numbers[4], numbers[5])


# The user's default browser, for the length of a test: a program that notes each address it is asked
# to open (tests/e2e/opener), registered as the http and https handler of the prefix's user.
OPENER_EXE = os.path.join(BIN_DIR, "e2e_opener.exe")
OPENED_LOG = os.path.join(BIN_DIR, "opened.txt")


def record_default_browser(test: "E2ETestCase", file_types: tuple[str, ...] = ()) -> None:
    """Also the program the shell opens files of file_types ("xlsx", ...) with, for the test's length."""
    # Wine's shell reads the handlers from HKLM\Software\Classes, as its COM does: the prefix's own
    # command (winebrowser) is put back afterwards.
    if not os.path.isfile(OPENER_EXE):
        raise FileNotFoundError(f"{OPENER_EXE}: build the e2e target")
    command = f'"{windows_path(OPENER_EXE)}" "%1"'
    values = {rf"Software\Classes\{name}\shell\open\command": command for name in ("http", "https", "DravelOn.E2E")}
    values.update({rf"Software\Classes\.{t}": "DravelOn.E2E" for t in file_types})
    saved = {key: test.driver.reg_get(key, "") for key in values}

    def forget():
        for key, old in saved.items():
            if old is None:
                test.driver.reg_delete(key)
            else:
                test.driver.reg_set(key, "", sz=old)
        if os.path.exists(OPENED_LOG):
            os.remove(OPENED_LOG)

    test.addCleanup(forget)
    if os.path.exists(OPENED_LOG):
        os.remove(OPENED_LOG)
    for key, value in values.items():
        test.driver.reg_set(key, "", sz=value)


def opened_addresses() -> list[str]:
    """What the default browser was asked to open since record_default_browser, in order (each as its
    command line gave it, quotes removed)."""
    if not os.path.exists(OPENED_LOG):
        return []
    with open(OPENED_LOG, encoding="utf-8") as f:
        return [line.strip().strip('"') for line in f if line.strip()]


def wait_opened(count: int, seconds: float = 15) -> list[str]:
    """opened_addresses() once it holds count addresses (or after seconds)."""
    deadline = time.monotonic() + seconds
    while True:
        seen = opened_addresses()
        if len(seen) >= count or time.monotonic() > deadline:
            return seen
        time.sleep(0.2)


def open_conversation(driver: Driver, conn, pid: int, history: str = "", peer=("lee", "이영희"),
                      own_name: str = "김철수") -> dict:
    """The peer (id, name) writes to the logged-in client; a click on the pop-up opens the conversation,
    whose history request the server answers with history. Returns the window once sending is possible."""
    peer_id, peer_name = peer
    asked = sum(r.command == COM["PRIVATE_HISTORY"] for r in conn.records)
    conn.send(Record(id=peer_id, name=peer_name, target=own_name, text="안녕하세요", command="PRIVATE_MESSAGE"))
    popup = driver.wait(class_=kNotifierClassName, pid=pid, title_has=STRINGS["IDS_POPUP_MESSAGE"] % peer_name,
                        visible=1, timeout=8000)
    driver.post(hwnd=popup["hwnd"], msg=0x0202, wparam=0, lparam=0x00100010)  # WM_LBUTTONUP
    window = driver.wait(title=f"{CAPTIONS['IDD_MESSAGE']} - {peer_name}", pid=pid, visible=1, timeout=8000)
    conn.wait_records(asked + 1, command=COM["PRIVATE_HISTORY"], timeout=10)
    conn.send(Record(id=peer_id, name=peer_name, target=peer_name, status=kStatusHistory, text=history,
                     command="PRIVATE_HISTORY"))
    deadline = time.monotonic() + 10
    while not driver.find(hwnd=window["hwnd"], id=IDC_SEND)["enabled"]:
        if time.monotonic() > deadline:
            raise AssertionError("sending never became possible")
        time.sleep(0.1)
    return window


def conversation_log(peer_id: str, own_id: str = "kim", folder: str = INSTALL_DIR) -> str:
    """The conversation's log file in the installation folder, decoded; "" while there is none."""
    try:
        with open(prefix_path(folder + "\\" + f"{peer_id}_{own_id}.Log"), "rb") as f:
            return f.read().decode("cp949")
    except FileNotFoundError:
        return ""


# Credentials for a client that is to log in at once against a scripted server on port 8200.
LOGIN_ARGS = ("/ID:kim", "/PW:secret")


def serve_login(test: "E2ETestCase", name: str = "김철수") -> ScriptedServer:
    """A scripted server that lets every connection log in (for tests that need the main window)."""
    from scripted_server import login_steps
    return test.serve(script=login_steps(name))
