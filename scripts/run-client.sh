#!/bin/bash
# Inside the Wine harness: registers the build's bin folder as the installation folder and runs the
# client until it ends. Extra arguments go to the client (e.g. /ID:kim /PW:secret).
set -euo pipefail
build_dir=$(cd "$1" && pwd)
shift
bin_dir="$build_dir/bin"
folder="Z:${bin_dir//\//\\}"
wine reg add 'HKLM\Software\Brello\Tamix' /v Config /t REG_SZ /d "$folder" /f >/dev/null 2>&1
# Without a sound device Wine's audio drivers only complain ("cannot open..."): switch them off for
# this client, which then plays no alert sound. With a device (or a PulseAudio server) they stay.
if ! ls /dev/snd/pcm* >/dev/null 2>&1 && [ ! -S "${XDG_RUNTIME_DIR:-/nonexistent}/pulse/native" ]; then
    export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winealsa.drv=d;winepulse.drv=d"
fi
# The terminal shows only what the user needs; whatever Wine or the client print goes to a log.
log="$build_dir/client.log"
echo "run-client: Dravel On on display $DISPLAY (installation folder $folder)"
echo "run-client: DISPLAY=$DISPLAY scripts/screenshot.sh shot.png  takes a picture of it"
echo "run-client: Wine's messages go to $log"
rc=0
wine "$bin_dir/DravelOn.exe" "$@" >"$log" 2>&1 || rc=$?
echo "run-client: Dravel On ended (exit code $rc)"
exit "$rc"
