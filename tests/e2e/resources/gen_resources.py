#!/usr/bin/python3
"""Writes the Python module through which the end-to-end tests name the program's ids and texts.

    gen_resources.py OUTPUT.py SCRIPT.rc [HEADER.h ...]

reads the resource script as windres does (UTF-8 under "#pragma code_page(65001)", following its
quoted #includes: resource.h, the Strings*.h ids and the Strings*.rc2 tables) and any number of C++
headers of constants: code page 949 texts (core/protocol/KoreanTexts.h), window messages and timer
ids (win/base/Messages.h), record statuses (core/protocol/ComData.h). The module holds:

    IDC_SEND = 1004                          every #define whose value is a number, under its own name
    kSessionEndMessage = 32770               every integer constexpr and enumerator of the headers with a
                                             value, and every wide string constexpr, under its own name
    IDOK, IDCANCEL, IDYES, IDNO ...          the system's dialog ids that templates use
    STRINGS["IDS_LOGOUT_CONFIRM"]            string-table texts, as LoadString gives them
    CAPTIONS["IDD_MESSAGE"]                  dialog captions
    CONTROLS["IDD_MESSAGE"]["IDC_SEND"]      texts of a dialog's controls, by id name ("전송(&S)")
    MENUS["IDR_TRAY_MENU"]                   [(command name, text), ...] in order, separators left out
                                             (the keyboard skips them too)
    KOREAN_BYTES["kFriendsList"]             the bytes of a text constant, as the compiler makes them
    KOREAN_TEXTS["kFriendsList"]             the same decoded from code page 949 ("친구")
"""

import os
import re
import sys

# Fixed by the system (winuser.h); the dialog templates and message boxes use them by name.
SYSTEM_IDS = {"IDOK": 1, "IDCANCEL": 2, "IDABORT": 3, "IDRETRY": 4, "IDIGNORE": 5, "IDYES": 6, "IDNO": 7}

# What the program's private messages count from (winuser.h).
WINDOWS_BASES = {"WM_USER": 0x0400, "WM_APP": 0x8000}

# Dialog statements with a text before the id; EDITTEXT, LISTBOX and COMBOBOX have none.
TEXT_CONTROLS = {"LTEXT", "CTEXT", "RTEXT", "PUSHBUTTON", "DEFPUSHBUTTON", "GROUPBOX", "CONTROL", "CHECKBOX",
                 "AUTOCHECKBOX", "RADIOBUTTON", "AUTORADIOBUTTON", "STATE3", "AUTO3STATE", "PUSHBOX"}
SIMPLE_ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "a": "\a", "b": "\b", "f": "\f", "v": "\v", "\\": "\\",
                  '"': '"', "'": "'", "?": "?"}
STRING = r'L?"(?:[^"\\\n]|\\.|"")*"'  # in a resource script "" inside a string is a quote
CPP_STRING = r'L?"(?:[^"\\\n]|\\.)*"'


def strip_comments(text: str) -> str:
    """C and C++ comments out, string literals kept (a comment may quote one, a literal may hold //)."""
    return re.sub(r'("(?:[^"\\\n]|\\.)*")|//[^\n]*|/\*.*?\*/', lambda m: m.group(1) or " ", text, flags=re.S)


def unescape(literal: str, rc: bool, wide: bool = False) -> list[int]:
    """The code points (or, for a C++ byte string, the bytes) of one quoted literal. A resource string
    also writes a quote as two; a C hex escape takes every hex digit that follows, as the compiler does."""
    body, out, i = literal[literal.index('"') + 1:-1], [], 0
    while i < len(body):
        c = body[i]
        if rc and body.startswith('""', i):
            out.append(ord('"'))
            i += 2
        elif c != "\\":
            out.extend([ord(c)] if rc or wide else c.encode("utf-8"))
            i += 1
        elif (m := re.match(r"x([0-9A-Fa-f]+)", body[i + 1:])) is not None:
            out.append(int(m.group(1), 16))
            i += 1 + len(m.group(0))
        elif (m := re.match(r"[0-7]{1,3}", body[i + 1:])) is not None:
            out.append(int(m.group(0), 8))
            i += 1 + len(m.group(0))
        else:
            out.append(ord(SIMPLE_ESCAPES.get(body[i + 1], body[i + 1])))
            i += 2
    if not (rc or wide) and any(b > 0xFF for b in out):
        raise ValueError(f"escape out of byte range in {literal}")
    return out


def rc_text(literal: str) -> str:
    return "".join(map(chr, unescape(literal, rc=True)))


def read_script(path: str, seen: list[str]) -> str:
    """The script with its quoted #includes in place (angle-bracket ones are the system's)."""
    seen.append(path)
    with open(path, encoding="utf-8-sig") as f:
        text = f.read()

    def include(m):
        name = os.path.join(os.path.dirname(path), m.group(1))
        return read_script(name, seen) if os.path.isfile(name) else ""
    return re.sub(r'^[ \t]*#[ \t]*include[ \t]+"([^"]+)"', include, text, flags=re.M)


def evaluate(expression: str, known: dict):
    """The value of a #define that is an integer expression of numbers and known names, else None."""
    expression = re.sub(r"\b(0[xX][0-9A-Fa-f]+|\d+)[uUlL]*\b", r"\1", expression.strip())
    if not expression or not re.fullmatch(r"[\w\s()+\-*/|&<>~]+", expression):
        return None
    names = set(re.findall(r"\b[A-Za-z_]\w*\b", expression))
    if not names <= known.keys():
        return None
    try:
        value = eval(expression.replace("/", "//"), {"__builtins__": {}}, {n: known[n] for n in names})
    except (SyntaxError, TypeError, ZeroDivisionError):
        return None
    return value if isinstance(value, int) else None


def parse_script(text: str):
    text = strip_comments(text)
    ids = {}
    for name, value in re.findall(r"^[ \t]*#[ \t]*define[ \t]+(\w+)[ \t]+([^\n]*)", text, flags=re.M):
        number = evaluate(value, {**SYSTEM_IDS, **ids})
        if number is not None:
            ids[name] = number
    strings, captions, controls, menus = {}, {}, {}, {}
    lines = [line.strip() for line in text.splitlines()]
    i = 0
    while i < len(lines):
        words = lines[i].split()
        if words[:1] == ["STRINGTABLE"]:
            i = block_end(lines, i)[1]
            continue
        if len(words) >= 2 and words[1] in ("DIALOG", "DIALOGEX"):
            name = words[0]
            start, end = block_end(lines, i)
            for line in lines[i + 1:start]:
                if (m := re.match(rf"CAPTION\s+({STRING})", line)) is not None:
                    captions[name] = rc_text(m.group(1))
            controls[name] = {}
            for line in lines[start + 1:end - 1]:
                if (m := re.match(rf"(\w+)\s+({STRING})\s*,\s*(-?\w+)", line)) and m.group(1) in TEXT_CONTROLS:
                    if m.group(3) not in ("IDC_STATIC", "-1"):
                        controls[name][m.group(3)] = rc_text(m.group(2))
            i = end
            continue
        if len(words) >= 2 and words[1] in ("MENU", "MENUEX"):
            name = words[0]
            start, end = block_end(lines, i)
            menus[name] = [(m.group(2), rc_text(m.group(1))) for line in lines[start:end]
                           if (m := re.match(rf"MENUITEM\s+({STRING})\s*,\s*(\w+)", line))]
            i = end
            continue
        i += 1
    # String tables: one entry a line, "NAME text" or "NAME, text".
    for block in re.findall(r"^[ \t]*STRINGTABLE\b[^\n]*\n(.*?)^[ \t]*(?:END|\})", text, flags=re.M | re.S):
        for name, literal in re.findall(rf"^[ \t]*(\w+)[ \t]*,?[ \t]*({STRING})", block, flags=re.M):
            strings[name] = rc_text(literal)
    return ids, strings, captions, controls, menus


def block_end(lines: list[str], i: int) -> tuple[int, int]:
    """The line of the BEGIN that opens the block of the statement at line i, and the line after its END."""
    start = next(j for j in range(i, len(lines)) if lines[j] in ("BEGIN", "{"))
    depth, j = 0, start
    while True:
        depth += {"BEGIN": 1, "{": 1, "END": -1, "}": -1}.get(lines[j], 0)
        j += 1
        if depth == 0:
            return start, j


def parse_header(path: str, numbers: dict) -> dict[str, bytes]:
    """A header's `constexpr char kName[] = "..." "...";` constants, as bytes; its integer constants
    (`constexpr UINT kName = WM_APP + 2;`, `enum : int32_t { kName = -4, ... }`) and wide strings
    (`constexpr wchar_t kName[] = L"...";`, names of windows and objects) go into numbers."""
    with open(path, encoding="utf-8") as f:
        text = strip_comments(f.read())
    texts = {}
    for kind, name, literals in re.findall(
            rf"\bconstexpr\s+(char|wchar_t)\s+(\w+)\s*\[\s*\]\s*=\s*((?:{CPP_STRING}\s*)+);", text):
        units = [u for literal in re.findall(CPP_STRING, literals) for u in unescape(literal, False, kind == "wchar_t")]
        if kind == "char":
            texts[name] = bytes(units)
        else:
            numbers[name] = "".join(map(chr, units))
    constants = re.findall(r"\bconstexpr\s+(?:[\w:]+\s+)+(\w+)\s*=\s*([^;{}\"]+);", text)
    for body in re.findall(r"\benum\b[^{};]*\{([^}]*)\}", text):
        constants += re.findall(r"(\w+)\s*=\s*([^,]+)", body)
    for name, value in constants:
        number = evaluate(value, {**WINDOWS_BASES, **numbers})
        if number is not None:
            numbers[name] = number
    return texts


def write_module(out: str, inputs: list[str], ids, strings, captions, controls, menus, texts) -> None:
    lines = [f'"""Generated by tests/e2e/resources/gen_resources.py from {", ".join(inputs)}: do not edit."""', ""]
    lines += [f"{name} = {value!r}" for name, value in {**SYSTEM_IDS, **ids}.items()]

    def table(name: str, value) -> None:
        lines.extend(["", f"{name} = {{"] + [f"    {k!r}: {v!r}," for k, v in value.items()] + ["}"])
    table("STRINGS", strings)
    table("CAPTIONS", captions)
    table("CONTROLS", controls)
    table("MENUS", menus)
    table("KOREAN_BYTES", texts)
    table("KOREAN_TEXTS", {name: value.decode("cp949") for name, value in texts.items()})
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    with open(out + ".tmp", "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(out + ".tmp", out)


def main(argv: list[str]) -> int:
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    out, script, headers = argv[1], argv[2], argv[3:]
    read = []
    parsed = parse_script(read_script(script, read))
    texts = {}
    for header in headers:
        texts.update(parse_header(header, parsed[0]))
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
    write_module(out, [os.path.relpath(os.path.abspath(p), root) for p in read + headers], *parsed, texts)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
