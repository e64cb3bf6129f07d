#!/usr/bin/python3
"""Photographs windows for review: runs a disabled showcase test under Wine and takes a picture of the
top-left corner of the display each time the test says ready. The ready file holds the window's size,
or is empty when the crop is given ("-": the size must come from the ready file).
Usage: run_showcase_screenshots.py <test exe> <output folder> <gtest filter> <crop WxH> <picture.png>..."""

import os
import subprocess
import sys
import time


def main() -> int:
    exe, out, gtest_filter, default_crop = sys.argv[1], os.path.abspath(sys.argv[2]), sys.argv[3], sys.argv[4]
    shots = sys.argv[5:]
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
            subprocess.run(["timeout", "20", "import", "-display", os.environ["DISPLAY"], "-window", "root",
                            "-crop", f"{size}+0+0", os.path.join(out, shot)], check=True)
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
