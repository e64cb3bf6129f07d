#!/usr/bin/python3
"""Photographs a conversation window for review: runs the disabled showcase test of
win_conversation_tests under Wine and takes a picture of the window each time it says ready (the ready
file holds the window's size; the window sits at the top-left corner of the display).
Usage: run_conversation_screenshots.py <win_conversation_tests.exe> <output folder>"""

import os
import subprocess
import sys
import time

SHOTS = ["conversation.png"]


def main() -> int:
    exe, out = sys.argv[1], os.path.abspath(sys.argv[2])
    os.makedirs(out, exist_ok=True)
    for name in os.listdir(out):
        if name.startswith(("ready-", "done-")) or name in SHOTS:
            os.remove(os.path.join(out, name))
    env = dict(os.environ, DRAVELON_SHOWCASE_DIR="Z:" + out.replace("/", "\\"))
    proc = subprocess.Popen(["wine", exe, "--gtest_also_run_disabled_tests",
                             "--gtest_filter=ConversationShowcase.*"], env=env, stdin=subprocess.DEVNULL)
    try:
        for n, shot in enumerate(SHOTS, start=1):
            ready = os.path.join(out, f"ready-{n}")
            deadline = time.time() + 60
            while not (os.path.exists(ready) and os.path.getsize(ready) > 0):
                if proc.poll() is not None or time.time() > deadline:
                    print(f"the showcase never got ready for picture {n}")
                    return 1
                time.sleep(0.1)
            with open(ready) as f:
                size = f.read().strip()
            subprocess.run(["timeout", "20", "import", "-display", os.environ["DISPLAY"], "-window", "root",
                            "-crop", f"{size}+0+0", os.path.join(out, shot)], check=True)
            open(os.path.join(out, f"done-{n}"), "w").close()
        rc = proc.wait(timeout=60)
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    missing = [s for s in SHOTS if not os.path.exists(os.path.join(out, s))]
    if missing:
        print("missing pictures:", missing)
        return 1
    print("pictures in", out)
    return rc


if __name__ == "__main__":
    sys.exit(main())
