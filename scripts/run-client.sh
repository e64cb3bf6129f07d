#!/bin/bash
# Inside the Wine harness: registers the build's bin folder as the installation folder and runs the
# client until it ends. Extra arguments go to the client (e.g. /ID:kim /PW:secret).
set -euo pipefail
build_dir=$(cd "$1" && pwd)
shift
bin_dir="$build_dir/bin"
folder="Z:${bin_dir//\//\\}"
wine reg add 'HKLM\Software\Brello\Tamix' /v Config /t REG_SZ /d "$folder" /f >/dev/null 2>&1
echo "run-client: Dravel On on display $DISPLAY (installation folder $folder)"
echo "run-client: DISPLAY=$DISPLAY scripts/screenshot.sh shot.png  takes a picture of it"
wine "$bin_dir/DravelOn.exe" "$@"
