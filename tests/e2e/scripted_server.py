#!/usr/bin/python3
"""A scripted stand-in for the messenger server, for end-to-end tests.

It listens on a TCP port, plays a script of steps on every connection it accepts (send records, in one
write, one write per record or byte by byte; wait for records from the client; sleep; close) and
records every byte the client sends, so a test can assert the exact bytes.

As a module (tests drive it in-process)::

    server = ScriptedServer(port=8200, script=login_steps("Kim"))
    server.start()
    conn = server.wait_connection(timeout=10)
    sign_in = conn.wait_records(1, command=COM["SIGN_IN"])[0]
    conn.send(Record(name="Lee", text="안녕", command=COM["PRIVATE_MESSAGE"]))
    server.stop()

As a program (a Win32 test that needs a peer)::

    scripted_server.py --port 8200 --script steps.json --record out.bin [--log events.jsonl] [-- command...]

With a command after "--" the server runs until the command ends and exits with its code; otherwise it
runs until SIGINT/SIGTERM, --connections N connections have ended, or --duration seconds have passed.
It prints "listening on HOST:PORT" once it accepts connections.

Script file: a JSON list of steps played on every connection, or {"connections": [steps, steps, ...]}
where connection i plays entry i (the last entry for all later ones). Steps:

    {"send": [record, ...], "mode": "burst" | "each" | "bytewise", "delay": 0.005}
    {"raw": "hex bytes", "mode": ..., "delay": ...}
    {"wait": K, "command": C, "timeout": 10}   K more records (of command C, if given) from the client
    {"sleep": seconds}
    {"close": true}

A record is an object with the field names of Record; texts are strings (sent as code page 949) or
{"hex": "..."} for raw bytes; "command" is a number or a name such as "SIGN_IN" or "COM_SIGN_IN".
"""

from __future__ import annotations

import argparse
import dataclasses
import json
import signal
import socket
import struct
import subprocess
import sys
import threading
import time
from typing import Callable, Iterable

ENCODING = "cp949"

COM = {
    "SIGN_IN": 1, "SIGN_OUT": 2, "MESSAGE_NOTE": 3, "CLOSE": 4, "ADD_CLIENT": 5, "REMOVE_CLIENT": 6,
    "PRIVATE_MESSAGE": 7, "LOGIN_MESSAGE": 8, "CHAT_LIST": 9, "CHAT_LIST_END": 10, "APPEND_FRIEND": 11,
    "DELETE_FRIEND": 12, "CONFIRM_MESSAGE": 13, "CONNECT_CHECK": 14, "MESSAGE_HISTORY": 15,
    "MESSAGE_HISEND": 16, "SIGN_TEST": 17, "CHATLIST_COLLECT": 18, "FILE_TRANSFER": 19, "FILE_ACCEPT": 20,
    "FILE_REJECT": 21, "FILE_RECEIVER": 22, "FILE_ADJUST": 23, "PRIVATE_HISTORY": 24,
}

FIELDS = ("id", "password", "name", "target", "status", "text", "command", "host", "port", "reserved")
INT_FIELDS = frozenset({"status", "command", "port", "reserved"})


def _to_bytes(value) -> bytes:
    if isinstance(value, (bytes, bytearray)):
        return bytes(value)
    if isinstance(value, str):
        return value.encode(ENCODING)
    if isinstance(value, dict) and "hex" in value:
        return bytes.fromhex(value["hex"])
    raise TypeError(f"not a text: {value!r}")


def command_code(value) -> int:
    if isinstance(value, int):
        return value
    name = str(value).upper()
    return COM[name[4:] if name.startswith("COM_") else name]


@dataclasses.dataclass
class Record:
    """One protocol record; texts are kept as the raw code page 949 bytes."""

    id: bytes = b""
    password: bytes = b""
    name: bytes = b""
    target: bytes = b""
    status: int = 0
    text: bytes = b""
    command: int = 0
    host: bytes = b""
    port: int = 0
    reserved: int = 0

    def __post_init__(self):
        for field in FIELDS:
            value = getattr(self, field)
            setattr(self, field, command_code(value) if field == "command" else
                    int(value) if field in INT_FIELDS else _to_bytes(value))

    def decoded(self, field: str) -> str:
        """A text field decoded from code page 949."""
        return getattr(self, field).decode(ENCODING, errors="replace")

    @classmethod
    def from_json(cls, obj: dict) -> "Record":
        unknown = set(obj) - set(FIELDS)
        if unknown:
            raise ValueError(f"unknown record fields: {sorted(unknown)}")
        return cls(**obj)

    def to_json(self) -> dict:
        return {f: getattr(self, f) if f in INT_FIELDS else self.decoded(f) for f in FIELDS}


def encode_text(data: bytes) -> bytes:
    n = len(data)
    if n < 0xFF:
        prefix = bytes([n])
    elif n < 0xFFFE:
        prefix = b"\xff" + struct.pack("<H", n)
    else:
        prefix = b"\xff\xff\xff" + struct.pack("<I", n)
    return prefix + data


def encode_int(value: int) -> bytes:
    if not -0x80000000 <= value <= 0xFFFFFFFF:
        raise ValueError(f"does not fit 32 bits: {value}")
    return struct.pack("<I", value & 0xFFFFFFFF)


def encode_record(record: Record) -> bytes:
    return b"".join(encode_int(getattr(record, f)) if f in INT_FIELDS else encode_text(getattr(record, f))
                    for f in FIELDS)


def encode_records(records: Iterable[Record]) -> bytes:
    return b"".join(encode_record(r) for r in records)


class _Incomplete(Exception):
    pass


def _read_length(buf, pos: int) -> tuple[int, int, bool]:
    """Returns (length, new position, is_utf16) of the text prefix at pos."""
    def need(k):
        if pos + k > len(buf):
            raise _Incomplete
    need(1)
    if buf[pos] != 0xFF:
        return buf[pos], pos + 1, False
    need(3)
    n16 = struct.unpack_from("<H", buf, pos + 1)[0]
    if n16 == 0xFFFE:  # UTF-16 marker, then a length prefix counting 16-bit units
        n, end, _ = _read_length(buf, pos + 3)
        return n, end, True
    if n16 != 0xFFFF:
        return n16, pos + 3, False
    need(7)
    return struct.unpack_from("<I", buf, pos + 3)[0], pos + 7, False


def _decode_at(buf, pos: int) -> tuple[Record, int]:
    values = {}
    for field in FIELDS:
        if field in INT_FIELDS:
            if pos + 4 > len(buf):
                raise _Incomplete
            values[field] = struct.unpack_from("<i", buf, pos)[0]
            pos += 4
            continue
        n, pos, utf16 = _read_length(buf, pos)
        size = 2 * n if utf16 else n
        if pos + size > len(buf):
            raise _Incomplete
        data = bytes(buf[pos:pos + size])
        values[field] = data.decode("utf-16-le").encode(ENCODING, errors="replace") if utf16 else data
        pos += size
    return Record(**values), pos


class Decoder:
    """Incremental decoder: feed it bytes as they arrive, get back the records completed so far."""

    def __init__(self):
        self._buf = bytearray()

    def feed(self, data: bytes) -> list[Record]:
        self._buf += data
        records = []
        pos = 0
        while True:
            try:
                record, pos = _decode_at(self._buf, pos)
            except _Incomplete:
                break
            records.append(record)
        del self._buf[:pos]
        return records

    @property
    def pending(self) -> bytes:
        """Bytes of a record not yet complete."""
        return bytes(self._buf)


def decode_records(data: bytes) -> tuple[list[Record], bytes]:
    """All whole records in data, and the bytes left over."""
    decoder = Decoder()
    return decoder.feed(data), decoder.pending


def login_steps(name: str, status: int = 1, greeting: str = "", user_id: str = "") -> list[dict]:
    """The server's side of a login: ask for credentials, wait for them, grant name and status."""
    return [
        {"send": [Record(command=COM["SIGN_IN"])]},
        {"wait": 1, "command": COM["SIGN_IN"]},
        {"send": [Record(id=user_id, name=name, target=name, status=status, text=greeting,
                         command=COM["LOGIN_MESSAGE"])]},
    ]


class ServerTimeout(AssertionError):
    pass


class Connection:
    """One accepted client connection: what it sent, and a way to send to it."""

    def __init__(self, server: "ScriptedServer", sock: socket.socket, index: int):
        self.index = index
        self._server = server
        self._sock = sock
        self._send_lock = threading.Lock()
        self._cond = threading.Condition()
        self._received = bytearray()
        self._records: list[Record] = []
        self._decoder = Decoder()
        self._reading = threading.Event()
        self._reading.set()
        self._cursors: dict = {}
        self.peer_closed = threading.Event()

    @property
    def received(self) -> bytes:
        with self._cond:
            return bytes(self._received)

    @property
    def records(self) -> list[Record]:
        with self._cond:
            return list(self._records)

    def wait_records(self, count: int, timeout: float = 10, command=None) -> list[Record]:
        """Waits until at least count records (of the given command, if any) arrived in total on this
        connection; returns those records."""
        code = None if command is None else command_code(command)
        deadline = time.monotonic() + timeout
        with self._cond:
            while True:
                matching = [r for r in self._records if code is None or r.command == code]
                if len(matching) >= count:
                    return matching
                left = deadline - time.monotonic()
                # A closed connection brings nothing more: fail at once instead of at the time-out.
                if left <= 0 or self.peer_closed.is_set():
                    why = "closed by the client" if self.peer_closed.is_set() else f"after {timeout} s"
                    raise ServerTimeout(f"connection {self.index}: {len(matching)} of {count} records "
                                        f"(command {code}), {why}; got commands "
                                        f"{[r.command for r in self._records]}")
                self._cond.wait(min(left, 0.05))

    def wait_closed(self, timeout: float = 10) -> None:
        if not self.peer_closed.wait(timeout):
            raise ServerTimeout(f"connection {self.index} still open after {timeout} s")

    def send(self, *records: Record, mode: str = "burst", delay: float = 0.005) -> None:
        """burst: all records in one write; each: one write per record; bytewise: one byte per write."""
        if mode == "each":
            for record in records:
                self.send_raw(encode_record(record))
        else:
            self.send_raw(encode_records(records), mode=mode, delay=delay)

    def send_raw(self, data: bytes, mode: str = "burst", delay: float = 0.005) -> None:
        with self._send_lock:
            if mode == "bytewise":
                for i in range(len(data)):
                    self._sock.sendall(data[i:i + 1])
                    time.sleep(delay)
            elif mode in ("burst", "each"):
                self._sock.sendall(data)
            else:
                raise ValueError(f"unknown send mode {mode}")
        self._server._log(self.index, "send", hex=data.hex())

    def close(self) -> None:
        try:
            self._sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self._sock.close()

    def reset(self) -> None:
        """Drops the connection with a reset (RST) instead of an orderly close."""
        try:
            self._sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            # The reader thread's recv holds the socket open: wake it, so the close really happens.
            self._sock.shutdown(socket.SHUT_RD)
        except OSError:
            pass
        self._sock.close()

    def stop_reading(self) -> None:
        """From now on nothing the client sends is read: its bytes pile up until the client's side is
        full. The receive buffer is made small, as a server that has stopped would soon have it."""
        try:
            self._sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        except OSError:
            pass
        self._reading.clear()

    def _reader(self) -> None:
        while True:
            self._reading.wait()
            try:
                data = self._sock.recv(65536)
            except OSError:
                data = b""
            if not data:
                break
            self._server._record_bytes(data)
            self._server._log(self.index, "recv", hex=data.hex())
            with self._cond:
                self._received += data
                records = self._decoder.feed(data)
                self._records += records
                self._cond.notify_all()
            for record in records:
                self._server._log(self.index, "record", record=record.to_json())
        self._server._log(self.index, "closed")
        self.peer_closed.set()
        with self._cond:
            self._cond.notify_all()

    def _play(self, steps: list[dict]) -> None:
        try:
            for step in steps:
                self._step(step)
        except (OSError, ServerTimeout) as error:
            self._server._log(self.index, "script-error", error=str(error))
            self._server.errors.append(f"connection {self.index}: {error}")

    def _step(self, step: dict) -> None:
        mode, delay = step.get("mode", "burst"), step.get("delay", 0.005)
        if "send" in step:
            records = [r if isinstance(r, Record) else Record.from_json(r) for r in step["send"]]
            self.send(*records, mode=mode, delay=delay)
        elif "raw" in step:
            self.send_raw(bytes.fromhex(step["raw"]), mode=mode, delay=delay)
        elif "wait" in step:
            key = step.get("command")
            key = None if key is None else command_code(key)
            self._cursors[key] = self._cursors.get(key, 0) + step["wait"]
            self.wait_records(self._cursors[key], timeout=step.get("timeout", 10), command=key)
        elif "sleep" in step:
            time.sleep(step["sleep"])
        elif step.get("close"):
            self.close()
        else:
            raise ValueError(f"unknown step {step}")


class ScriptedServer:
    """Listens on host:port; each accepted connection plays its script in a thread of its own."""

    def __init__(self, port: int = 8200, script=None, host: str = "127.0.0.1",
                 record_path: str | None = None, log_path: str | None = None):
        self.host, self.port = host, port
        self.script = script
        self.connections: list[Connection] = []
        self.errors: list[str] = []
        self._record_file = open(record_path, "wb") if record_path else None
        self._log_file = open(log_path, "w", encoding="utf-8") if log_path else None
        self._io_lock = threading.Lock()
        self._cond = threading.Condition()
        self._threads: list[threading.Thread] = []
        self._listener: socket.socket | None = None
        self._started = time.monotonic()
        self._next_wanted = 0

    def start(self) -> "ScriptedServer":
        self._listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            self._listener.bind((self.host, self.port))
        except OSError as error:
            self._listener.close()
            self._listener = None
            raise OSError(error.errno, f"port {self.port} on {self.host}: {error.strerror}") from error
        self._listener.listen(8)
        self.port = self._listener.getsockname()[1]
        self._spawn(self._accept_loop)
        return self

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def steps_for(self, index: int) -> list:
        script = self.script
        if callable(script):
            return script(index)
        if isinstance(script, dict):
            entries = script["connections"]
            return entries[min(index, len(entries) - 1)] if entries else []
        return script or []

    def wait_connection(self, index: int | None = None, timeout: float = 10) -> Connection:
        """The connection with the given index (default: the next one not yet returned by this call)."""
        if index is None:
            index = self._next_wanted
        deadline = time.monotonic() + timeout
        with self._cond:
            while len(self.connections) <= index:
                left = deadline - time.monotonic()
                if left <= 0:
                    raise ServerTimeout(f"no connection #{index} on port {self.port} after {timeout} s")
                self._cond.wait(min(left, 0.05))
            self._next_wanted = index + 1
            return self.connections[index]

    def all_received(self) -> bytes:
        return b"".join(c.received for c in list(self.connections))

    def stop(self) -> None:
        if self._listener:
            try:
                self._listener.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            self._listener.close()
            self._listener = None
        for conn in list(self.connections):
            conn.close()
        for thread in self._threads:
            thread.join(timeout=5)
        with self._io_lock:
            for f in (self._record_file, self._log_file):
                if f:
                    f.close()
            self._record_file = self._log_file = None

    def _spawn(self, target: Callable, *args) -> None:
        thread = threading.Thread(target=target, args=args, daemon=True)
        self._threads.append(thread)
        thread.start()

    def _accept_loop(self) -> None:
        while True:
            try:
                sock, _ = self._listener.accept()
            except (OSError, AttributeError):
                return
            # Small writes leave at once, so a byte-by-byte step really splits the record.
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            with self._cond:
                conn = Connection(self, sock, len(self.connections))
                self.connections.append(conn)
                self._cond.notify_all()
            self._log(conn.index, "accept")
            self._spawn(conn._reader)
            self._spawn(conn._play, self.steps_for(conn.index))

    def _record_bytes(self, data: bytes) -> None:
        with self._io_lock:
            if self._record_file:
                self._record_file.write(data)
                self._record_file.flush()

    def _log(self, index: int, event: str, **details) -> None:
        with self._io_lock:
            if self._log_file:
                entry = {"t": round(time.monotonic() - self._started, 4), "conn": index, "event": event}
                self._log_file.write(json.dumps({**entry, **details}, ensure_ascii=False) + "\n")
                self._log_file.flush()


def load_script(path: str):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def main(argv: list[str]) -> int:
    command = []
    if "--" in argv:
        command = argv[argv.index("--") + 1:]
        argv = argv[:argv.index("--")]
    parser = argparse.ArgumentParser(description="Scripted messenger server for tests.")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=8200)
    parser.add_argument("--script", help="JSON script file")
    parser.add_argument("--record", help="file that receives every byte the clients send")
    parser.add_argument("--log", help="JSON-lines file of connection events and decoded records")
    parser.add_argument("--connections", type=int, help="exit after this many connections have ended")
    parser.add_argument("--duration", type=float, help="exit after this many seconds")
    args = parser.parse_args(argv)

    server = ScriptedServer(port=args.port, host=args.host, script=load_script(args.script) if args.script else None,
                            record_path=args.record, log_path=args.log)
    server.start()
    print(f"listening on {server.host}:{server.port}", flush=True)

    stop = threading.Event()
    for sig in (signal.SIGINT, signal.SIGTERM):
        signal.signal(sig, lambda *_: stop.set())
    rc = 0
    child = subprocess.Popen(command) if command else None
    deadline = time.monotonic() + args.duration if args.duration else None
    while not stop.is_set():
        if child and child.poll() is not None:
            rc = child.returncode
            break
        if deadline and time.monotonic() >= deadline:
            break
        if args.connections and sum(c.peer_closed.is_set() for c in server.connections) >= args.connections:
            break
        stop.wait(0.05)
    if child and child.poll() is None:
        child.terminate()
        try:
            rc = child.wait(timeout=10)
        except subprocess.TimeoutExpired:
            child.kill()
            rc = child.wait()
    server.stop()
    for error in server.errors:
        print(f"script error: {error}", file=sys.stderr)
    return rc if child else (1 if server.errors else 0)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
