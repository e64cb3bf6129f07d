#!/usr/bin/python3
"""Runs the Win32 connection test under Wine against the scripted server and checks what the client
sent, byte for byte."""

import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from scripted_server import COM, Record, ScriptedServer, encode_record  # noqa: E402


def first_record() -> Record:
    return Record(id="kim", password="secret", name="김철수", target="Server", status=-1,
                  text=b"x" * 5000 + "쪽지".encode("cp949"), command=COM["PRIVATE_MESSAGE"],
                  host="127.0.0.1", port=8201)


def main() -> int:
    exe = sys.argv[1]
    burst = [Record(text=str(i), command=COM["CHAT_LIST"], status=i % 3, id=f"u{i}") for i in range(10000)]
    bytewise = Record(name="이영희", text="byte by byte", command=COM["PRIVATE_MESSAGE"], status=-2)
    script = {"connections": [
        [{"wait": 1}, {"send": burst, "mode": "burst"}, {"send": [bytewise], "mode": "bytewise", "delay": 0.002},
         {"wait": 1, "command": "SIGN_OUT"}],
    ]}
    with ScriptedServer(port=8200, script=script) as server:
        rc = subprocess.call(["wine", exe], stdin=subprocess.DEVNULL)
        first = server.wait_connection(0, timeout=5)
        expected = encode_record(first_record())
        got = first.received
        if not got.startswith(expected):
            print(f"first record differs: got {len(got)} bytes, expected {len(expected)}")
            print("got     :", got[:64].hex(" "))
            print("expected:", expected[:64].hex(" "))
            return 1
        rest = first.records[1:]
        if len(rest) != 1 or rest[0].command != COM["SIGN_OUT"] or rest[0].text != b"Logout":
            print("expected one COM_SIGN_OUT after the first record, got", [r.command for r in rest])
            return 1
        if server.errors:
            print("server script errors:", server.errors)
            return 1
    print("client bytes checked:", len(got), "bytes")
    return rc


if __name__ == "__main__":
    sys.exit(main())
