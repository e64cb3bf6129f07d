#!/bin/bash
# Everything from a fresh Debian 12 machine: installs what is missing, builds both configurations and
# runs every test (native unit tests plain and sanitized, fuzz targets, Win32 tests and end-to-end
# tests under Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)
bash scripts/install-deps.sh
mkdir -p build

bash scripts/build.sh host
ctest --preset host

bash scripts/build.sh windows
# A failed test runs once more; the run ends with those that passed only then (build/windows/retried-tests.txt).
bash scripts/wine-harness.sh build/windows bash scripts/ctest-rerun.sh build/windows --preset windows

echo "test.sh: all tests passed in $(( $(date +%s) - start )) s"
