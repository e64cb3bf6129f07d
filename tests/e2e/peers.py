"""Several real clients at once, each in a Wine prefix of its own, against the development server.

The program runs once per Wine prefix (its single-instance objects live in the prefix's wineserver), so
every user gets a prefix with its own wineserver, UI driver and installation; all of them show their
windows on the harness's display. The prefixes are kept between runs under <build>/e2e-peers/<name>
(made once, about 10 s each).

The client always dials 127.0.0.1 on ports 8200-8202 (and 80 for the pages and the update check),
which other tests on this machine use too. Sockets of Wine programs are made by their wineserver, so
what counts is the network of the wineservers: `private_network()` moves this process into a network
namespace of its own (root only) before any wineserver or server is started here, and everything this
module starts lives there.
"""

from __future__ import annotations

import ctypes
import json
import os
import shutil
import socket
import subprocess
import tempfile
import time

import e2e

PEERS_DIR = os.path.join(e2e.BUILD_DIR or ".", "e2e-peers")
DEVSERVER = os.environ.get("DRAVELON_DEVSERVER",
                           os.path.join(e2e.SOURCE_DIR, "build", "host", "devserver", "devserver"))
KEEPALIVE = os.path.join(e2e.BIN_DIR, "e2e_keepalive.exe")
MESSENGER_PORTS = (8200, 8201, 8202, 80, 8203)
CLONE_NEWNET = 0x40000000

# The harness's prefix settings: no window manager waits, Korean fonts.
SETTINGS_REG = """Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]
"돋움"="NanumGothic"
"Dotum"="NanumGothic"
"MS Shell Dlg"="NanumGothic"
"""

_private = False
_left_network: int | None = None  # the network private_network() left, open until leave_private_network()


def private_network() -> str | None:
    """Enters a network namespace with only a loopback interface; None when done (or done before), else
    why not (not root, no unshare)."""
    global _private, _left_network
    if _private:
        return None
    if os.geteuid() != 0:
        return "a network of its own needs root"
    libc = ctypes.CDLL(None, use_errno=True)
    left = os.open("/proc/self/ns/net", os.O_RDONLY)
    if libc.unshare(CLONE_NEWNET) != 0:
        os.close(left)
        return f"unshare(CLONE_NEWNET) failed: {os.strerror(ctypes.get_errno())}"
    _left_network = left
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True, timeout=10)
    _private = True
    return None


def leave_private_network() -> None:
    """Back into the network private_network() left, for a test that needs one of its own only for a while
    (what it started there stays there)."""
    global _private, _left_network
    if _left_network is None:
        return
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.setns(_left_network, CLONE_NEWNET) != 0:
        raise OSError(ctypes.get_errno(), "setns back into the original network")
    os.close(_left_network)
    _left_network, _private = None, False


def ports_in_use(ports=MESSENGER_PORTS) -> list[int]:
    taken = []
    for port in ports:
        with socket.socket() as probe:
            probe.settimeout(0.5)
            if probe.connect_ex(("127.0.0.1", port)) == 0:
                taken.append(port)
    return taken


def _quiet(args, env, timeout, cwd=None):
    """Wine's helpers must not inherit our pipes (a test runner would wait for them for ever)."""
    return subprocess.run(args, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, timeout=timeout, check=False)


class WinePrefix:
    """One Wine prefix under PEERS_DIR with its own persistent wineserver while started."""

    def __init__(self, name: str):
        self.name = name
        self.path = os.path.join(PEERS_DIR, name)
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEARCH="win64", WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree=;winemenubuilder.exe=d")
        self.started = False
        self._keepalive: subprocess.Popen | None = None

    def unix_path(self, win_path: str) -> str:
        drive, rest = win_path[:2].upper(), win_path[2:].replace("\\", "/").lstrip("/")
        if drive != "C:":
            raise ValueError(f"only C: paths live in the prefix: {win_path}")
        return os.path.join(self.path, "drive_c", rest)

    def user_folder(self, name: str = "Documents") -> str:
        users = os.path.join(self.path, "drive_c", "users")
        for user in sorted(os.listdir(users)):
            if user.lower() not in ("public", "default") and os.path.isdir(os.path.join(users, user, name)):
                return os.path.join(users, user, name)
        raise FileNotFoundError(f"no {name} folder in {users}")

    def ensure(self) -> None:
        """Makes the prefix once (a prefix without the marker is a half-made one and is made again)."""
        marker = os.path.join(self.path, ".dravelon-initialised")
        if os.path.exists(marker):
            return
        _quiet(["wineserver", "-k"], self.env, 20)
        shutil.rmtree(self.path, ignore_errors=True)
        os.makedirs(PEERS_DIR, exist_ok=True)
        if _quiet(["wineboot", "-i"], self.env, 180).returncode != 0:
            raise RuntimeError(f"wineboot -i failed for {self.path}")
        reg = self.path + ".reg"
        with open(reg, "wb") as out:
            out.write(b"\xff\xfe" + SETTINGS_REG.replace("\n", "\r\n").encode("utf-16-le"))
        if _quiet(["wine", "regedit", "/S", e2e.windows_path(reg)], self.env, 60).returncode != 0:
            raise RuntimeError(f"regedit failed for {self.path}")
        _quiet(["wineserver", "-w"], self.env, 60)
        # Wine links the user's folders to the Unix home; downloads of this prefix stay in it instead.
        users = os.path.join(self.path, "drive_c", "users")
        for user in os.listdir(users):
            for folder in ("Desktop", "Documents", "Downloads", "Music", "Pictures", "Videos", "Templates"):
                link = os.path.join(users, user, folder)
                if os.path.islink(link):
                    os.unlink(link)
                    os.makedirs(link)
        open(marker, "w").close()

    def start(self) -> None:
        """A persistent wineserver, and the keep-alive window so that Wine's desktop is up already."""
        self.ensure()
        _quiet(["wineserver", "-k"], self.env, 20)  # one left by a test that was killed
        _quiet(["wineserver", "-w"], self.env, 20)
        if _quiet(["wineserver", "-p"], self.env, 30).returncode != 0:
            raise RuntimeError(f"wineserver -p failed for {self.path}")
        self.started = True
        if os.path.isfile(KEEPALIVE):
            ready = os.path.join(self.path, ".keepalive-ready")
            if os.path.exists(ready):
                os.unlink(ready)
            self._keepalive = subprocess.Popen(["wine", KEEPALIVE, e2e.windows_path(ready)], env=self.env,
                                               stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
            deadline = time.monotonic() + 30
            while not os.path.exists(ready) and time.monotonic() < deadline:
                time.sleep(0.05)

    def stop(self) -> None:
        if self.started:
            _quiet(["wineserver", "-k"], self.env, 20)
            _quiet(["wineserver", "-w"], self.env, 20)
            self.started = False
        if self._keepalive:
            try:
                self._keepalive.wait(timeout=10)  # ended with its wineserver
            except subprocess.TimeoutExpired:
                self._keepalive.kill()
                self._keepalive.wait()
            self._keepalive = None


class PrefixDriver(e2e.Driver):
    """`uidriver --serve` inside one prefix."""

    def __init__(self, prefix: WinePrefix, uidriver: str = e2e.UIDRIVER):
        os.makedirs(e2e.LOG_DIR, exist_ok=True)
        self._stderr = open(os.path.join(e2e.LOG_DIR, f"uidriver-{prefix.name}.log"), "ab")
        self._proc = subprocess.Popen(["wine", uidriver, "--serve"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                      stderr=self._stderr, env=prefix.env)
        self._pending = b""
        self.cmd("ping", reply_timeout=self.STARTUP_TIMEOUT)

    def list_items(self, **f) -> list[dict]:
        return self.cmd("list-items", **f)["items"]

    def html_items(self, **f) -> list[dict]:
        return self.cmd("html-items", **f)["items"]


class Peer:
    """One user: a prefix, its driver, the installed client and, once launched, the running program."""

    FOLDER = e2e.INSTALL_DIR

    def __init__(self, name: str, user_id: str, password: str, display_name: str):
        self.prefix = WinePrefix(name)
        self.user_id, self.password, self.display_name = user_id, password, display_name
        self.driver: PrefixDriver | None = None
        self.proc: subprocess.Popen | None = None
        self._log = None
        self.pid = 0  # the Windows pid of the running client

    def start(self) -> None:
        self.prefix.start()
        self.driver = PrefixDriver(self.prefix)

    def install(self) -> str:
        folder = self.prefix.unix_path(self.FOLDER)
        os.makedirs(folder, exist_ok=True)
        shutil.copy2(e2e.CLIENT_EXE, os.path.join(folder, os.path.basename(e2e.CLIENT_EXE)))
        self.driver.reg_set(e2e.INSTALL_KEY, "Config", sz=self.FOLDER)
        return self.FOLDER + "\\" + os.path.basename(e2e.CLIENT_EXE)

    def launch(self, *extra: str) -> None:
        exe = self.install()
        os.makedirs(e2e.LOG_DIR, exist_ok=True)
        self._log = open(os.path.join(e2e.LOG_DIR, f"DravelOn-{self.user_id}.log"), "ab")
        self.proc = subprocess.Popen(["wine", exe, f"/ID:{self.user_id}", f"/PW:{self.password}", *extra],
                                     cwd=self.prefix.unix_path(self.FOLDER), env=self.prefix.env,
                                     stdin=subprocess.DEVNULL, stdout=self._log, stderr=subprocess.STDOUT)

    def install_file(self, name: str) -> str:
        """The Unix path of a file in the installation folder (conversation logs)."""
        return os.path.join(self.prefix.unix_path(self.FOLDER), name)

    def end_client(self) -> None:
        """Ends the program (and anything it left) and removes the installation; keeps the prefix."""
        if self.driver and self.driver.alive():
            for name in ("DravelOn.exe", "TamixUpdate.exe"):
                self.driver.kill(name=name)
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        self.proc = None
        if self._log:
            self._log.close()
            self._log = None
        if self.driver and self.driver.alive():
            self.driver.reg_delete(e2e.INSTALL_KEY)
        shutil.rmtree(self.prefix.unix_path(self.FOLDER), ignore_errors=True)

    def stop(self) -> None:
        self.end_client()
        if self.driver:
            self.driver.close()
            self.driver = None
        self.prefix.stop()


class DevServer:
    """The development server started natively (in this process's network) on a fresh database."""

    def __init__(self, *args: str, users: list[tuple[str, ...]] = (), friends: list[tuple[str, str]] = ()):
        if not os.access(DEVSERVER, os.X_OK):
            raise FileNotFoundError(DEVSERVER)
        self.dir = tempfile.mkdtemp(prefix="devserver-", dir=PEERS_DIR if os.path.isdir(PEERS_DIR) else None)
        self.db = os.path.join(self.dir, "dravelon.db")
        self.transcript = os.path.join(self.dir, "transcript.jsonl")
        base = [DEVSERVER, "--db", self.db]
        for user in users:  # (id, password, name[, "--admin"])
            self._setup(base + ["--add-user", *user])
        for owner, friend in friends:
            self._setup(base + ["--add-friend", owner, friend])
        os.makedirs(e2e.LOG_DIR, exist_ok=True)
        self.log_path = os.path.join(e2e.LOG_DIR, "devserver.log")
        with open(self.log_path, "ab") as log:
            log_start = log.tell()
            self.proc = subprocess.Popen(base + ["--transcript", self.transcript, *args], stdin=subprocess.DEVNULL,
                                         stdout=log, stderr=subprocess.STDOUT)
        self.banner = self._wait_banner(log_start)

    @staticmethod
    def _setup(args: list[str]) -> None:
        done = subprocess.run(args, stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
        if done.returncode != 0:
            raise RuntimeError(f"{' '.join(args)}: {done.stdout.decode(errors='replace')}"
                               f"{done.stderr.decode(errors='replace')}")

    def _wait_banner(self, log_start: int, timeout: float = 20) -> str:
        deadline = time.monotonic() + timeout
        text = ""
        while time.monotonic() < deadline and self.proc.poll() is None:
            with open(self.log_path, "rb") as log:
                log.seek(log_start)
                text = log.read().decode(errors="replace")
            for line in text.splitlines():
                if line.startswith("devserver: listening"):
                    return line
            time.sleep(0.05)
        self.stop()
        raise RuntimeError(f"the devserver did not start: {text}")

    def control(self, *words: str, timeout: float = 5) -> str:
        with socket.create_connection(("127.0.0.1", 8203), timeout=timeout) as conn:
            conn.sendall(("\t".join(words) + "\n").encode("utf-8"))
            answer = b""
            while not answer.endswith(b"\n"):
                chunk = conn.recv(4096)
                if not chunk:
                    break
                answer += chunk
        return answer.decode("utf-8").strip()

    def records(self, user: str | None = None, direction: str | None = None, command: str | None = None) -> list[dict]:
        """Transcript lines of records (not events), filtered."""
        out = []
        try:
            with open(self.transcript, encoding="utf-8") as lines:
                for line in lines:
                    try:
                        entry = json.loads(line)
                    except ValueError:
                        continue  # a line being written
                    if "event" in entry:
                        continue
                    if ((user is None or entry.get("user") == user)
                            and (direction is None or entry.get("dir") == direction)
                            and (command is None or entry.get("command_name") == command)):
                        out.append(entry)
        except FileNotFoundError:
            pass
        return out

    def stop(self) -> None:
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


def wait_until(what: str, attempt, timeout: float = 15, interval: float = 0.1):
    """Calls attempt() until it returns something true; returns that, or fails with what was last seen."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        last = attempt()
        if last:
            return last
        if time.monotonic() >= deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def window_picture(name: str, window: dict, settle_timeout: float = 5) -> str:
    """Saves the part of the harness display under a window (its rect from the driver) as
    <build>/e2e-screenshots/<name>.png once the window has finished painting (two captures in a row
    alike, or settle_timeout); returns the path."""
    left, top, right, bottom = window["rect"]
    left, top = max(left, 0), max(top, 0)
    path = os.path.join(e2e.SCREENSHOT_DIR, name + ".png")
    os.makedirs(e2e.SCREENSHOT_DIR, exist_ok=True)

    def capture() -> bytes:
        subprocess.run(["import", "-display", os.environ["DISPLAY"], "-window", "root", "-crop",
                        f"{right - left}x{bottom - top}+{left}+{top}", "+repage", path], check=True, timeout=30,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        with open(path, "rb") as picture:
            return picture.read()

    deadline = time.monotonic() + settle_timeout
    last = capture()
    while time.monotonic() < deadline:
        current = capture()
        if current == last:
            break
        last = current
    return path


class RecordingRelay:
    """A TCP relay on the client's fixed ports to a server on others, keeping every byte that passes in
    either direction, per connection: what a listener on the wire would see."""

    def __init__(self, routes: dict[int, int]):
        import threading
        self._lock = threading.Lock()
        self.connections: list[dict] = []  # {"port", "up": bytearray (client to server), "down", "closed"}
        self._listeners = []
        self._threads = []
        self._stopping = False
        try:
            for listen_port, target_port in routes.items():
                listener = socket.socket()
                listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
                listener.bind(("127.0.0.1", listen_port))
                listener.listen(16)
                self._listeners.append(listener)
                self._spawn(self._accept, listener, listen_port, target_port, name=f"accept-{listen_port}")
        except BaseException:
            self.stop()
            raise

    def _spawn(self, target, *args, name: str | None = None) -> None:
        import threading
        thread = threading.Thread(target=target, args=args, daemon=True, name=name)
        thread.start()
        self._threads.append(thread)

    def _accept(self, listener: socket.socket, port: int, target_port: int) -> None:
        while not self._stopping:
            try:
                client, _ = listener.accept()
            except OSError:
                return
            try:
                server = socket.create_connection(("127.0.0.1", target_port), timeout=10)
            except OSError:
                client.close()
                continue
            server.settimeout(None)
            entry = {"port": port, "up": bytearray(), "down": bytearray(), "closed": 0}
            with self._lock:
                self.connections.append(entry)
            self._spawn(self._pump, client, server, entry, "up")
            self._spawn(self._pump, server, client, entry, "down")

    def _pump(self, source: socket.socket, sink: socket.socket, entry: dict, direction: str) -> None:
        try:
            while True:
                chunk = source.recv(65536)
                if not chunk:
                    break
                with self._lock:
                    entry[direction] += chunk
                sink.sendall(chunk)
        except OSError:
            pass
        finally:
            for s, how in ((sink, socket.SHUT_WR), (source, socket.SHUT_RD)):
                try:
                    s.shutdown(how)
                except OSError:
                    pass
            with self._lock:
                entry["closed"] += 1
                if entry["closed"] == 2:
                    source.close()
                    sink.close()

    def recorded(self, port: int | None = None) -> bytes:
        """Everything that crossed, both directions, of every connection (to that port)."""
        with self._lock:
            return b"".join(bytes(c["up"]) + bytes(c["down"]) for c in self.connections
                            if port is None or c["port"] == port)

    def of_port(self, port: int) -> list[dict]:
        with self._lock:
            return [dict(c, up=bytes(c["up"]), down=bytes(c["down"])) for c in self.connections if c["port"] == port]

    def stop(self) -> None:
        """Frees the ports at once: a listener closed under a waiting accept would stay bound."""
        self._stopping = True
        for listener in self._listeners:
            for step in (lambda: listener.shutdown(socket.SHUT_RDWR), listener.close):
                try:
                    step()
                except OSError:
                    pass
        for thread in self._threads:
            if thread.name.startswith("accept"):
                thread.join(timeout=5)


def tls_records(stream: bytes) -> list[tuple[int, int]]:
    """(content type, length) of each TLS record in one direction of a connection; a tail that is not a
    whole record ends the list."""
    records, at = [], 0
    while at + 5 <= len(stream):
        kind, length = stream[at], int.from_bytes(stream[at + 3:at + 5], "big")
        if at + 5 + length > len(stream):
            break
        records.append((kind, length))
        at += 5 + length
    return records


def trust_root(prefix: WinePrefix, registration: str) -> str:
    """Adds a certificate authority to the prefix's trusted roots from the .reg file the development
    server writes beside it (devserver --make-dev-ca); returns the registry key to remove it by."""
    done = _quiet(["wine", "regedit", "/S", e2e.windows_path(registration)], prefix.env, timeout=60)
    if done.returncode != 0:
        raise RuntimeError(f"wine regedit {registration} failed ({done.returncode})")
    with open(registration, encoding="ascii") as reg:
        for line in reg:
            if line.startswith("[HKEY_LOCAL_MACHINE\\"):
                return line.strip()[len("[HKEY_LOCAL_MACHINE\\"):-1]
    raise RuntimeError(f"no key in {registration}")
