#!/usr/bin/python3
"""The scripted server's record codec and script player, without Wine."""

import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))  # tests/e2e, where scripted_server.py is
sys.path.insert(0, HERE)

from scripted_server import (COM, Decoder, Record, ScriptedServer, ServerTimeout, decode_records,  # noqa: E402
                             encode_record, encode_text, login_steps)


class EncodingTest(unittest.TestCase):
    def test_connect_check_example_bytes(self):
        record = Record(id="kim", name="Kim", target="Server", status=1, text="Connect check",
                        command=COM["CONNECT_CHECK"])
        expected = bytes.fromhex("03 6B 69 6D 00 03 4B 69 6D 06 53 65 72 76 65 72 01 00 00 00"
                                 "0D") + b"Connect check" + bytes.fromhex("0E 00 00 00 00 00 00 00 00 00 00 00 00")
        self.assertEqual(encode_record(record), expected)

    def test_length_prefix_forms_at_their_boundaries(self):
        cases = {0: "00", 254: "FE", 255: "FF FF 00", 300: "FF 2C 01", 65533: "FF FD FF",
                 65534: "FF FF FF FE FF 00 00", 70000: "FF FF FF 70 11 01 00"}
        for n, prefix in cases.items():
            with self.subTest(n=n):
                encoded = encode_text(b"a" * n)
                self.assertEqual(encoded[:-n or None], bytes.fromhex(prefix))
                self.assertEqual(len(encoded), len(bytes.fromhex(prefix)) + n)

    def test_field_encodings(self):
        empty = encode_record(Record(command=7))
        self.assertEqual(empty, bytes.fromhex("00 00 00 00 00000000 00 07000000 00 00000000 00000000"))
        self.assertEqual(len(empty), 22)
        self.assertEqual(encode_text("Logout".encode()), bytes.fromhex("06 4C 6F 67 6F 75 74"))
        self.assertEqual(encode_text("쪽지".encode("cp949")), bytes.fromhex("04 C2 CA C1 F6"))
        self.assertEqual(encode_record(Record(status=-1))[4:8], b"\xff\xff\xff\xff")
        self.assertEqual(Record(text="쪽지").text, bytes.fromhex("C2 CA C1 F6"))
        self.assertEqual(Record(command="COM_CLOSE").command, 4)
        self.assertRaises(ValueError, encode_record, Record(port=1 << 32))

    def test_command_codes_are_the_programs(self):
        build = os.environ.get("DRAVELON_BUILD_DIR", "")
        if not os.path.isfile(os.path.join(build, "e2e", "dravelon_res.py")):
            self.skipTest("the resource module is written by the windows build")
        sys.path.insert(0, os.path.join(build, "e2e"))
        import dravelon_res
        program = {name[4:]: value for name, value in vars(dravelon_res).items() if name.startswith("COM_")}
        self.assertEqual(COM, program)


class DecodingTest(unittest.TestCase):
    RECORDS = [
        Record(id="kim", password="pw", name="김철수", target="Server", status=-4, text="쪽지 " * 200,
               command=7, host="127.0.0.1", port=8201, reserved=0),
        Record(text="x" * 70000, command=18),
        Record(),
    ]

    def test_round_trip_of_back_to_back_records(self):
        data = b"".join(encode_record(r) for r in self.RECORDS)
        records, rest = decode_records(data + b"\x03ab")
        self.assertEqual(records, self.RECORDS)
        self.assertEqual(rest, b"\x03ab")
        self.assertEqual(records[0].decoded("name"), "김철수")

    def test_byte_by_byte_feed_completes_only_at_the_last_byte(self):
        data = encode_record(self.RECORDS[0])
        decoder = Decoder()
        for i, byte in enumerate(data):
            got = decoder.feed(bytes([byte]))
            self.assertEqual(got, [self.RECORDS[0]] if i == len(data) - 1 else [], f"after byte {i}")
        self.assertEqual(decoder.pending, b"")

    def test_utf16_marked_text_is_read_as_code_page_949(self):
        units = "쪽지".encode("utf-16-le")
        data = b"\xff\xfe\xff\x02" + units + encode_record(Record(command=3))[1:]
        records, rest = decode_records(data)
        self.assertEqual(rest, b"")
        self.assertEqual(records[0].id, "쪽지".encode("cp949"))
        self.assertEqual(records[0].command, 3)


def connect(port):
    sock = socket.create_connection(("127.0.0.1", port), timeout=5)
    sock.settimeout(5)
    return sock


def read_records(sock, count):
    decoder, records, reads = Decoder(), [], 0
    while len(records) < count:
        data = sock.recv(65536)
        if not data:
            break
        reads += 1
        records += decoder.feed(data)
    return records, reads


class ServerTest(unittest.TestCase):
    def test_login_script_and_exact_recording(self):
        with tempfile.TemporaryDirectory() as tmp:
            record_path = os.path.join(tmp, "in.bin")
            server = ScriptedServer(port=0, script=login_steps("김철수", status=1, greeting="반갑습니다"),
                                    record_path=record_path).start()
            try:
                sock = connect(server.port)
                self.assertEqual(read_records(sock, 1)[0][0].command, COM["SIGN_IN"])
                reply = encode_record(Record(id="kim", password="pw", name="kim", target="Server",
                                             text="Login 3.80.33", command=COM["SIGN_IN"]))
                sock.sendall(reply[:5])
                time.sleep(0.05)
                sock.sendall(reply[5:])
                granted = read_records(sock, 1)[0][0]
                self.assertEqual((granted.command, granted.decoded("target"), granted.status),
                                 (COM["LOGIN_MESSAGE"], "김철수", 1))
                conn = server.wait_connection()
                self.assertEqual(conn.wait_records(1)[0].decoded("text"), "Login 3.80.33")
                sock.close()
                conn.wait_closed()
            finally:
                server.stop()
            self.assertEqual(conn.received, reply)
            with open(record_path, "rb") as f:
                self.assertEqual(f.read(), reply)
            self.assertEqual(server.errors, [])

    def test_send_modes_split_the_stream_as_asked(self):
        burst = [Record(text=f"m{i}", command=7) for i in range(50)]
        script = [{"send": burst, "mode": "burst"}, {"wait": 1}, {"send": [burst[0]], "mode": "bytewise",
                                                                  "delay": 0.01}, {"close": True}]
        with ScriptedServer(port=0, script=script) as server:
            sock = connect(server.port)
            records, _ = read_records(sock, 50)
            self.assertEqual(records, burst)
            sock.sendall(encode_record(Record(command=14)))
            chunks = []
            while data := sock.recv(65536):
                chunks.append(data)
            sock.close()
            self.assertEqual(b"".join(chunks), encode_record(burst[0]))
            self.assertGreater(len(chunks), 5, "byte-by-byte sending arrived in too few reads")

    def test_waits_time_out_and_closed_connections_fail_fast(self):
        with ScriptedServer(port=0) as server:
            sock = connect(server.port)
            conn = server.wait_connection(timeout=5)
            self.assertRaises(ServerTimeout, conn.wait_records, 1, timeout=0.2)
            sock.close()
            started = time.monotonic()
            self.assertRaises(ServerTimeout, conn.wait_records, 1, timeout=10)
            self.assertLess(time.monotonic() - started, 2)
            self.assertRaises(ServerTimeout, server.wait_connection, timeout=0.2)

    def test_command_line_runs_a_script_file_around_a_command(self):
        with tempfile.TemporaryDirectory() as tmp:
            script = os.path.join(tmp, "s.json")
            with open(script, "w", encoding="utf-8") as f:
                json.dump({"connections": [[{"send": [{"name": "관리자", "text": {"hex": "C2CAC1F6"},
                                                       "command": "COM_MESSAGE_NOTE"}]}, {"wait": 1}]]}, f)
            peer = ("import socket,sys; sys.path.insert(0, %r); import scripted_server as s\n"
                    "c = socket.create_connection(('127.0.0.1', 8299)); d = s.Decoder(); r = []\n"
                    "while not r: r = d.feed(c.recv(4096))\n"
                    "c.sendall(s.encode_record(s.Record(text=r[0].text, command=22))); c.close()\n"
                    "sys.exit(r[0].decoded('name') == '관리자' and 7)") % HERE
            record = os.path.join(tmp, "in.bin")
            proc = subprocess.run([sys.executable, os.path.join(HERE, "scripted_server.py"), "--port", "8299",
                                   "--script", script, "--record", record, "--", sys.executable, "-c", peer],
                                  capture_output=True, text=True, timeout=30)
            self.assertEqual(proc.returncode, 7, proc.stderr)
            self.assertIn("listening on 127.0.0.1:8299", proc.stdout)
            with open(record, "rb") as f:
                self.assertEqual(f.read(), encode_record(Record(text="쪽지", command=22)))


if __name__ == "__main__":
    unittest.main(verbosity=2)
