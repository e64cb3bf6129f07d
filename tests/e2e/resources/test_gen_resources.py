#!/usr/bin/python3
"""The generated resource module against what windres compiled into the program: every string-table
text, caption, control text and menu item the module names is the one the program carries, under the
same number. And the generator's reading of literals where the two languages differ."""

import os
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import gen_resources  # noqa: E402

BUILD_DIR = os.environ.get("DRAVELON_BUILD_DIR", "")
RES_OBJECT = os.environ.get("DRAVELON_RES_OBJECT", "")
WINDRES = os.environ.get("DRAVELON_WINDRES") or "x86_64-w64-mingw32-windres"


class CompiledResourcesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not (BUILD_DIR and os.path.isfile(RES_OBJECT)):
            raise unittest.SkipTest("run from ctest in the windows build (DRAVELON_BUILD_DIR, DRAVELON_RES_OBJECT)")
        sys.path.insert(0, os.path.join(BUILD_DIR, "e2e"))
        import dravelon_res
        cls.res = dravelon_res
        # windres writes the compiled resources back as a script: numbers for names, escapes for text.
        script = subprocess.run([WINDRES, "-J", "coff", "-i", RES_OBJECT, "-O", "rc"], check=True,
                                capture_output=True, timeout=60).stdout.decode("latin-1")
        _, cls.strings, cls.captions, cls.controls, cls.menus = gen_resources.parse_script(script)

    def number(self, name: str) -> str:
        return str(getattr(self.res, name))

    def test_string_table_and_captions(self):
        self.assertEqual({self.number(n): t for n, t in self.res.STRINGS.items()}, self.strings)
        self.assertEqual({self.number(n): t for n, t in self.res.CAPTIONS.items()}, self.captions)

    def test_control_texts_and_menus(self):
        for dialog, texts in self.res.CONTROLS.items():
            compiled = self.controls[self.number(dialog)]
            named = {self.number(c): t for c, t in texts.items()}
            # windres writes every control as a statement with a text; those the source gives none have "".
            self.assertEqual(named, {c: t for c, t in compiled.items() if t or c in named}, dialog)
        self.assertEqual({self.number(m): [(self.number(c), t) for c, t in items]
                          for m, items in self.res.MENUS.items()}, self.menus)


class LiteralTest(unittest.TestCase):
    def test_cpp_byte_strings(self):
        cases = [(r'"\xC5\x79"', b"\xc5\x79"), (r'"\xB4\xD4\n\n%s"', b"\xb4\xd4\n\n%s"), (r'"\101\0"', b"A\0"),
                 (r'"\":\" \\"', b'":" \\'), ('"한"', "한".encode())]
        for literal, expected in cases:
            with self.subTest(literal):
                self.assertEqual(bytes(gen_resources.unescape(literal, rc=False)), expected)
        # A hex escape takes every hex digit after it, as the compiler does ("\xB0" "A" is how to write B0 41).
        self.assertRaises(ValueError, gen_resources.unescape, r'"\xB0A"', False)

    def test_resource_strings(self):
        cases = [('"금칙문자 "":"" 또는"', '금칙문자 ":" 또는'), (r'"a\nb\tc"', "a\nb\tc"), (r'L"\xc885\xb8cc(&X)"', "종료(&X)"),
                 ('""', "")]
        for literal, expected in cases:
            with self.subTest(literal):
                self.assertEqual(gen_resources.rc_text(literal), expected)

    def test_header_constants_across_lines_and_comments(self):
        text = ('// "not" a "text"\ninline constexpr char kA[] = "\\xC4\\xA3" // "친"\n    "x"; /* "y" */\n'
                "inline constexpr UINT kB = WM_APP + 2; constexpr std::uint32_t kC = kB | 0x10;\n"
                "inline constexpr unsigned kD = static_cast<unsigned>(kB);\n"
                "enum : int32_t {\n    kE = -4, // a comment, with a comma\n    kF = 0x20,\n};\n"
                'inline constexpr wchar_t kG[] = L"Dravel\\x4F" L"n""";\n')
        path = os.path.join(BUILD_DIR or "/tmp", "gen_resources_test.h")
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        self.addCleanup(os.remove, path)
        numbers = {}
        self.assertEqual(gen_resources.parse_header(path, numbers), {"kA": b"\xc4\xa3x"})
        self.assertEqual(numbers, {"kB": 0x8002, "kC": 0x8012, "kE": -4, "kF": 0x20, "kG": "DravelOn"})


if __name__ == "__main__":
    unittest.main(verbosity=2)
