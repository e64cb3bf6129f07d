#!/bin/bash
# Signs the stand-in updaters for the update tests: with the certificate the program itself is signed with
# (signed-same.exe, signed-new.exe, signed-old.exe) and with another one made here (other-new.exe).
#
#   sign-updaters.sh <out-dir> <pkcs12> <password-file> <same.exe> <new.exe> <old.exe>
#
# Tools, overridable: OSSLSIGNCODE, OPENSSL.
set -euo pipefail
if [ $# -ne 6 ]; then
    echo "usage: $0 <out-dir> <pkcs12> <password-file> <same.exe> <new.exe> <old.exe>" >&2
    exit 2
fi
out=$1 pkcs12=$2 passfile=$3 same=$4 new=$5 old=$6
osslsigncode=${OSSLSIGNCODE:-osslsigncode}
openssl=${OPENSSL:-openssl}
mkdir -p "$out"

sign() { # <in> <out> <signing options...>
    local in=$1 to=$2
    shift 2
    rm -f "$to"
    "$osslsigncode" sign "$@" -h sha256 -n "Dravel On" -in "$in" -out "$to" >/dev/null
}
sign "$same" "$out/signed-same.exe" -pkcs12 "$pkcs12" -readpass "$passfile"
sign "$new" "$out/signed-new.exe" -pkcs12 "$pkcs12" -readpass "$passfile"
sign "$old" "$out/signed-old.exe" -pkcs12 "$pkcs12" -readpass "$passfile"

# Another publisher: a certificate of its own, with the same name as ours.
if [ ! -s "$out/other.pem" ] || [ ! -s "$out/other.key" ]; then
    "$openssl" req -x509 -newkey rsa:2048 -sha256 -days 3650 -nodes -subj "/O=Brello/CN=Dravel On development signing" \
        -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
        -keyout "$out/other.key" -out "$out/other.pem" 2>/dev/null
fi
sign "$new" "$out/other-new.exe" -certs "$out/other.pem" -key "$out/other.key"
