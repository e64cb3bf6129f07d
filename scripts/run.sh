#!/bin/bash
# Installs what is missing, builds the program and runs it under Wine, registered as installed in the
# folder it was built into (the program refuses to run from anywhere else).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
mkdir -p build
bash scripts/build.sh windows
exec bash scripts/wine-harness.sh build/windows bash scripts/run-client.sh build/windows "$@"
