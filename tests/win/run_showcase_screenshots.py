#!/usr/bin/python3
"""Photographs windows for review: runs a disabled showcase test under Wine and takes a picture of the
top-left corner of the display each time the test says ready. The ready file holds the window's size
("WxH", or "WxH+X+Y" for a window elsewhere), or is empty when the crop is given ("-": the size must come
from the ready file).
With --dpi=N first the program runs at N dots per inch (96, 144 for 150 %, 192 for 200 %): Wine reads
the registry value HKCU\Control Panel\Desktop\LogPixels when a process starts, so it is set before the
test starts and put back to 96 after it, whatever happens.
Usage: run_showcase_screenshots.py [--dpi=N] <test exe> <output folder> <gtest filter> <crop WxH> <picture.png>..."""

import os
import subprocess
import sys
import time


DESKTOP_KEY = r"HKCU\Control Panel\Desktop"


def set_dpi(dpi: int) -> None:
    subprocess.run(["wine", "reg", "add", DESKTOP_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f"],
                   check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main() -> int:
    args = sys.argv[1:]
    dpi = None
    if args and args[0].startswith("--dpi="):
        dpi = int(args.pop(0).split("=", 1)[1])
        if not 48 <= dpi <= 480:
            print("a dpi between 48 and 480, please")
            return 2
    if dpi is None:
        return take_pictures(args)
    set_dpi(dpi)
    try:
        return take_pictures(args)
    finally:
        set_dpi(96)


def take_pictures(args) -> int:
    exe, out, gtest_filter, default_crop = args[0], os.path.abspath(args[1]), args[2], args[3]
    shots = args[4:]
    os.makedirs(out, exist_ok=True)
    for name in os.listdir(out):
        if name.startswith(("ready-", "done-")) or name in shots:
            os.remove(os.path.join(out, name))
    env = dict(os.environ, DRAVELON_SHOWCASE_DIR="Z:" + out.replace("/", "\\"))
    proc = subprocess.Popen(["wine", exe, "--gtest_also_run_disabled_tests", f"--gtest_filter={gtest_filter}"],
                            env=env, stdin=subprocess.DEVNULL)
    try:
        for n, shot in enumerate(shots, start=1):
            ready = os.path.join(out, f"ready-{n}")
            deadline = time.time() + 60
            while not (os.path.exists(ready) and (default_crop != "-" or os.path.getsize(ready) > 0)):
                if proc.poll() is not None or time.time() > deadline:
                    print(f"the showcase never got ready for picture {n}")
                    return 1
                time.sleep(0.1)
            with open(ready) as f:
                size = f.read().strip() if default_crop == "-" else default_crop
            crop = size if "+" in size else f"{size}+0+0"
            subprocess.run(["timeout", "20", "import", "-display", os.environ["DISPLAY"], "-window", "root",
                            "-crop", crop, os.path.join(out, shot)], check=True)
            open(os.path.join(out, f"done-{n}"), "w").close()
        rc = proc.wait(timeout=60)
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    missing = [s for s in shots if not os.path.exists(os.path.join(out, s))]
    if missing:
        print("missing pictures:", missing)
        return 1
    print("pictures in", out)
    return rc


if __name__ == "__main__":
    sys.exit(main())
