#!/bin/bash
# Runs one command inside a private Wine world: the build tree's own prefix, its own Xvfb display, a
# persistent wineserver and a hidden keep-alive window, all stopped again when the command ends.
#
#   scripts/wine-harness.sh [--private-network] <build-dir> <command...>
#   scripts/wine-harness.sh build/windows ctest --preset windows
#   scripts/wine-harness.sh build/windows wine build/windows/bin/DravelOn.exe
#
# The exit code is the command's. Two harnesses on the same build dir run one after the other (they
# share the prefix); harnesses on different build dirs share no Wine state and no display. They do share
# the machine's loopback ports (the tests' 8200-8202) unless --private-network (or
# DRAVELON_HARNESS_NETWORK=private) gives the command a network namespace of its own with only a
# loopback interface; that needs root (unshare) and hides servers running outside the harness.
# DRAVELON_HARNESS_DISPLAY=:0 shows the windows on that display instead of a private Xvfb.
# DRAVELON_HARNESS_SCREEN=2560x1600x24 gives the private Xvfb another size than 1280x800x24 (the pictures
# at 200 % display scaling need a screen of that size).
set -u

if [ "${1:-}" = "--private-network" ]; then
    export DRAVELON_HARNESS_NETWORK=private
    shift
fi
if [ $# -lt 2 ]; then
    echo "usage: $0 [--private-network] <build-dir> <command...>" >&2
    exit 2
fi

mkdir -p "$1" || exit 2
build_dir=$(cd "$1" && pwd) || exit 2
shift

if [ "${DRAVELON_HARNESS_NETWORK:-}" = private ] && [ "${DRAVELON_HARNESS_IN_NETNS:-}" != 1 ]; then
    exec env DRAVELON_HARNESS_IN_NETNS=1 unshare --net "$0" "$build_dir" "$@"
fi
if [ "${DRAVELON_HARNESS_IN_NETNS:-}" = 1 ]; then
    ip link set lo up || { echo "wine-harness: cannot bring up loopback in the private network" >&2; exit 2; }
fi
unset DRAVELON_HARNESS_IN_NETNS

# One harness per build dir at a time. Only this shell holds the lock: every process it starts gets
# the descriptor closed ({lock_fd}>&-), so nothing left running can keep the lock after we are gone.
exec {lock_fd}>"$build_dir/.wine-harness.lock"
if ! flock -n "$lock_fd"; then
    echo "wine-harness: waiting for another harness on $build_dir" >&2
    flock "$lock_fd"
fi

export WINEPREFIX="$build_dir/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;winemenubuilder.exe=d"
export LC_ALL=ko_KR.UTF-8
export LANG=ko_KR.UTF-8

log="$build_dir/wine-harness.log"
: >"$log"
note() { echo "wine-harness: $*" >>"$log"; }
# The prefix maps / to drive Z:, so a Unix path is reachable without asking winepath.
dos_path() { printf 'Z:%s' "${1//\//\\}"; }

xvfb_pid=
cmd_pid=
server_started=

# The command runs in a session of its own, so its strays can be ended as one group.
stop_command() {
    [ -n "$cmd_pid" ] || return 0
    kill -TERM -- "-$cmd_pid" 2>/dev/null
    local i
    for i in $(seq 1 100); do
        kill -0 "$cmd_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL -- "-$cmd_pid" 2>/dev/null
    wait "$cmd_pid" 2>/dev/null
    cmd_pid=
}

cleanup() {
    local rc=$?
    trap - EXIT INT TERM HUP
    stop_command
    if [ -n "$server_started" ]; then
        # -k ends every process of this prefix and the server itself; wait for it so the next
        # harness on this prefix does not meet a dying server.
        wineserver -k >/dev/null 2>&1 </dev/null
        timeout 10 wineserver -w >/dev/null 2>&1 </dev/null
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
        rm -f "$build_dir/.wine-harness.xvfb"
    fi
    note "stopped (exit $rc)"
    exit "$rc"
}

on_signal() {
    note "signal $1"
    stop_command
    exit $((128 + $1))
}

trap cleanup EXIT
trap 'on_signal 2' INT
trap 'on_signal 15' TERM
trap 'on_signal 1' HUP

start_xvfb() {
    local fifo_dir display
    fifo_dir=$(mktemp -d) || return 1
    mkfifo "$fifo_dir/display"
    # -displayfd makes Xvfb pick a free display and write its number once it accepts connections.
    # Its own session keeps a Ctrl-C from taking the display away before Wine's programs are stopped.
    DRAVELON_HARNESS_BUILD="$build_dir" setsid Xvfb -displayfd 3 -screen 0 "${DRAVELON_HARNESS_SCREEN:-1280x800x24}" -nolisten tcp \
        3>"$fifo_dir/display" </dev/null >>"$log" 2>&1 {lock_fd}>&- &
    xvfb_pid=$!
    read -r -t 20 display <"$fifo_dir/display"
    rm -rf "$fifo_dir"
    if [ -z "$display" ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
        echo "wine-harness: Xvfb did not start (see $log)" >&2
        return 1
    fi
    export DISPLAY=":$display"
    note "Xvfb pid $xvfb_pid on $DISPLAY"
}

write_settings_reg() {
    # regedit wants UTF-16LE with a byte-order mark for the Korean value names.
    {
        printf '\xef\xbb\xbf'
        cat <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"돋움"="NanumGothic"
"Dotum"="NanumGothic"
"MS Shell Dlg"="NanumGothic"
EOF
    } | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE >"$1"
}

init_prefix() {
    local marker="$WINEPREFIX/.dravelon-initialised"
    [ -f "$marker" ] && return 0
    note "creating $WINEPREFIX"
    # A prefix without the marker is a half-made one (interrupted init): start again from nothing.
    rm -rf "$WINEPREFIX"
    wineboot -i </dev/null >>"$log" 2>&1 {lock_fd}>&- || { echo "wine-harness: wineboot -i failed" >&2; return 1; }
    write_settings_reg "$build_dir/wine-settings.reg"
    wine regedit /S "$(dos_path "$build_dir/wine-settings.reg")" </dev/null >>"$log" 2>&1 {lock_fd}>&- ||
        { echo "wine-harness: regedit failed" >&2; return 1; }
    wineserver -w </dev/null >/dev/null 2>&1
    touch "$marker"
    note "prefix ready"
}

# Window captions draw their buttons with Marlett. This Wine does not read its own font folder (the
# fonts-wine package), so the prefix's Fonts folder gets a copy, also in prefixes made before the
# package came. Only Marlett: Wine's other fonts would change how every window's text looks.
add_marlett() {
    local font=/usr/share/wine/fonts/marlett.ttf fonts_dir="$WINEPREFIX/drive_c/windows/Fonts"
    if [ -f "$font" ] && [ ! -f "$fonts_dir/marlett.ttf" ]; then
        mkdir -p "$fonts_dir" && cp "$font" "$fonts_dir/"
    fi
}

start_wine() {
    server_started=1
    wineserver -p </dev/null >/dev/null 2>&1 {lock_fd}>&- ||
        { echo "wine-harness: wineserver -p failed" >&2; return 1; }
    # The keep-alive window makes Wine's desktop and service processes start now, detached from our
    # caller's pipes, and keeps them up between the command's programs.
    local keepalive="$build_dir/bin/e2e_keepalive.exe"
    if [ -f "$keepalive" ]; then
        setsid wine "$keepalive" "$(dos_path "$WINEPREFIX/.keepalive-ready")" </dev/null >/dev/null 2>&1 {lock_fd}>&- &
        # Wait until its window exists, so the desktop is up before the command's first program.
        local i
        for i in $(seq 1 200); do
            [ -f "$WINEPREFIX/.keepalive-ready" ] && break
            sleep 0.05
        done
        note "keep-alive started after $i polls"
    else
        # Without it at least the services start here; the desktop process then starts with the
        # command's first window and its first window is slow.
        note "no $keepalive; starting the services only"
        echo "wine-harness: $keepalive not built (target e2e_keepalive); the first window will be slow" >&2
        wine cmd.exe /c exit </dev/null >/dev/null 2>&1 {lock_fd}>&-
    fi
}

# What a harness killed with SIGKILL left behind: we hold the lock, so these are nobody's now.
clear_leftovers() {
    local old_pid
    old_pid=$(cat "$build_dir/.wine-harness.xvfb" 2>/dev/null)
    if [ -n "$old_pid" ] && [ "$(cat "/proc/$old_pid/comm" 2>/dev/null)" = Xvfb ] &&
        tr '\0' ' ' <"/proc/$old_pid/environ" 2>/dev/null | grep -q "DRAVELON_HARNESS_BUILD=$build_dir "; then
        note "stopping the Xvfb ($old_pid) of an earlier harness"
        kill "$old_pid" 2>/dev/null
    fi
    if [ -d "$WINEPREFIX" ]; then
        timeout 20 wineserver -k </dev/null >/dev/null 2>&1 {lock_fd}>&-
    fi
}

if ! locale -a 2>/dev/null | grep -qix 'ko_KR.utf-\?8'; then
    echo "wine-harness: locale ko_KR.UTF-8 is missing; Wine would run with code page 1252 (see toolchain notes)" >&2
    exit 2
fi
clear_leftovers
if [ -n "${DRAVELON_HARNESS_DISPLAY:-}" ]; then
    # A display of the caller's (a desktop session) instead of a private Xvfb.
    export DISPLAY="$DRAVELON_HARNESS_DISPLAY"
    note "using display $DISPLAY"
else
    start_xvfb || exit 1
    echo "$xvfb_pid" >"$build_dir/.wine-harness.xvfb"
fi
init_prefix || exit 1
add_marlett
rm -f "$WINEPREFIX/.keepalive-ready"
start_wine || exit 1

note "running: $*"
# Background plus wait, so a signal to this script is handled at once; stdin is passed on explicitly
# because a background job would otherwise read /dev/null.
setsid "$@" <&0 {lock_fd}>&- &
cmd_pid=$!
wait "$cmd_pid"
rc=$?
# Whatever the command left running in its group goes now, before Wine and the display.
kill -TERM -- "-$cmd_pid" 2>/dev/null
cmd_pid=
exit "$rc"
