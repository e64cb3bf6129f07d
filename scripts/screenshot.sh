#!/bin/bash
# Saves a PNG of the harness display ($DISPLAY) to the given path, creating its folder.
#   scripts/screenshot.sh build/windows/e2e-screenshots/login.png
set -eu
if [ $# -ne 1 ]; then
    echo "usage: $0 <out.png>" >&2
    exit 2
fi
if [ -z "${DISPLAY:-}" ]; then
    echo "screenshot: DISPLAY is not set (run inside scripts/wine-harness.sh)" >&2
    exit 2
fi
mkdir -p "$(dirname "$1")"
exec timeout 20 import -display "$DISPLAY" -window root "$1"
