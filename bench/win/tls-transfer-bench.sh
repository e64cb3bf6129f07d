#!/bin/bash
# Encrypted against plain file transfer on the program's own transfer code, under Wine:
#   bash scripts/wine-harness.sh build/windows bash bench/win/tls-transfer-bench.sh build/windows [SIZE_MB] [RUNS]
# Needs tls_transfer_bench (cmake --build build/windows --target tls_transfer_bench), the devserver of
# the host build for the development certificates (or DRAVELON_DEVSERVER) and socat. The far ends are
# socat on loopback, plain and over OpenSSL; the certificate authority is trusted in the harness's
# prefix for the run and removed afterwards.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?build dir}" && pwd)
size_mb=${2:-64}
runs=${3:-3}
devserver=${DRAVELON_DEVSERVER:-$root/build/host/devserver/devserver}
work=$(mktemp -d)
pids=()
key=""
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    [ -n "$key" ] && wine reg delete "$key" /f >/dev/null 2>&1 </dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

"$devserver" --make-dev-ca "$work/certs" --host 127.0.0.1 >/dev/null
wine regedit /S "$(winepath -w "$work/certs/ca.reg")" </dev/null >/dev/null 2>&1
key=$(sed -n 's/^\[\(HKEY_LOCAL_MACHINE\\.*\)\]\r\{0,1\}$/\1/p' "$work/certs/ca.reg")

head -c $((size_mb << 20)) /dev/urandom >"$work/source.bin"
python3 - "$work/source.bin" "$work/prefixed.bin" <<'PY'
import os, sys
size = os.path.getsize(sys.argv[1])
with open(sys.argv[1], "rb") as src, open(sys.argv[2], "wb") as out:
    out.write(size.to_bytes(4, "big"))
    out.write(src.read())
PY

tls="cert=$work/certs/server.pem,key=$work/certs/server.key,verify=0"
socat -u TCP-LISTEN:28201,bind=127.0.0.1,reuseaddr,fork OPEN:/dev/null & pids+=($!)
socat -u "OPENSSL-LISTEN:28202,bind=127.0.0.1,reuseaddr,fork,$tls" OPEN:/dev/null & pids+=($!)
socat -U TCP-LISTEN:28203,bind=127.0.0.1,reuseaddr,fork "OPEN:$work/prefixed.bin" & pids+=($!)
socat -U "OPENSSL-LISTEN:28204,bind=127.0.0.1,reuseaddr,fork,$tls" "OPEN:$work/prefixed.bin" & pids+=($!)
for port in 28201 28202 28203 28204; do
    for _ in $(seq 100); do
        grep -q "0100007F:$(printf '%04X' $port) 00000000:0000 0A" /proc/net/tcp && break
        sleep 0.05
    done
done

echo "tls-transfer-bench: ${size_mb} MiB, best of $runs, client under Wine (Schannel), server socat (OpenSSL)"
wine "$build/bin/tls_transfer_bench.exe" 127.0.0.1 "$(winepath -w "$work/source.bin")" \
    "$(winepath -w "$work/target.bin")" 28201 28202 28203 28204 "$runs" </dev/null
