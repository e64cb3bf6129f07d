#!/bin/bash
# Configures and builds one preset (host or windows) into build/<preset>.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$1
cmake --preset "$preset" >build/"$preset"-configure.log 2>&1 || { cat build/"$preset"-configure.log; exit 1; }
cmake --build --preset "$preset"
