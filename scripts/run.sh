#!/bin/bash
# Installs what is missing, builds, starts the development messenger server (natively, in the
# background, stopped again on exit) and runs Dravel On under Wine, logged in as a demo user.
#
#   bash scripts/run.sh                    # the server, and Dravel On as kim (김철수)
#   bash scripts/run.sh lee lee123         # another terminal: a second Dravel On as lee (이영희),
#                                          # using the server already running
#   bash scripts/run.sh ID PASSWORD [client arguments...]
#   DRAVELON_TLS=1 bash scripts/run.sh     # encrypted: the server speaks TLS with a development
#                                          # certificate (build/devserver/certs), the client gets /TLS and
#                                          # its Wine prefix trusts the development authority
#
# The first user runs in build/windows's Wine prefix; every other user gets a prefix of its own
# (build/run-<ID>), since the program runs only once per Wine prefix. Server data and logs are in
# build/devserver (database, stored files, transcript.jsonl, devserver.log).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
mkdir -p build

user=kim
password=kim123
if [ $# -eq 1 ]; then
    echo "usage: $0 [ID PASSWORD [client arguments...]]" >&2
    exit 2
elif [ $# -ge 2 ]; then
    user=$1
    password=$2
    shift 2
fi

server_pid=
stop_server() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
        echo "run: devserver stopped"
    fi
}
trap stop_server EXIT

port_open() { (exec 3<>/dev/tcp/127.0.0.1/"$1") 2>/dev/null; }

if port_open 8200; then
    echo "run: a messenger server already answers on port 8200; using it"
else
    cmake --preset host >build/host-configure.log 2>&1 || { cat build/host-configure.log; exit 1; }
    cmake --build build/host --target devserver
    mkdir -p build/devserver
    log=build/devserver/devserver.log
    tls_args=()
    if [ "${DRAVELON_TLS:-}" = 1 ]; then
        [ -f build/devserver/certs/server.pem ] ||
            build/host/devserver/devserver --make-dev-ca build/devserver/certs --host 127.0.0.1
        tls_args=(--tls-cert build/devserver/certs/server.pem --tls-key build/devserver/certs/server.key)
    fi
    build/host/devserver/devserver --db build/devserver/dravelon-dev.db \
        --transcript build/devserver/transcript.jsonl "${tls_args[@]}" >"$log" 2>&1 </dev/null &
    server_pid=$!
    for _ in $(seq 1 100); do
        grep -q '^devserver: listening' "$log" && break
        kill -0 "$server_pid" 2>/dev/null || break
        sleep 0.1
    done
    if ! grep -q '^devserver: listening' "$log"; then
        cat "$log" >&2
        echo "run: the devserver did not start" >&2
        exit 1
    fi
    cat "$log"
    echo "run: devserver pid $server_pid; test control: echo users | nc 127.0.0.1 8203"
fi

bash scripts/build.sh windows
client_dir=build/windows
if [ "$user" != kim ]; then
    # Its own prefix beside the first client's, the same program files.
    client_dir=build/run-$user
    mkdir -p "$client_dir"
    [ -e "$client_dir/bin" ] || ln -s ../windows/bin "$client_dir/bin"
fi
# On a desktop the windows appear on it; without one (or with DRAVELON_XVFB=1) on a private Xvfb display.
if [ -n "${DISPLAY:-}" ] && [ "${DRAVELON_XVFB:-}" != 1 ]; then
    export DRAVELON_HARNESS_DISPLAY=$DISPLAY
fi
if [ "${DRAVELON_TLS:-}" = 1 ]; then
    # The prefix trusts the development authority that signed the server's certificate.
    bash scripts/wine-harness.sh "$client_dir" bash -c \
        'wine regedit /S "$(winepath -w build/devserver/certs/ca.reg)" </dev/null >/dev/null 2>&1'
    set -- /TLS "$@"
fi
bash scripts/wine-harness.sh "$client_dir" bash scripts/run-client.sh "$client_dir" "/ID:$user" "/PW:$password" "$@"
