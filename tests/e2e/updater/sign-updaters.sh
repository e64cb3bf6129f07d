#!/bin/bash
# Signs the stand-in updaters for the update tests: with the certificate the program itself is signed with
# (signed-same.exe, signed-new.exe, signed-old.exe) and with another one made here (other-new.exe). Then,
# for a publisher whose certificates a trusted authority issues (authority/: ca.reg makes a prefix trust
# it), the shipped client signed by the publisher (authority/DravelOn.exe) and the newer updater signed by
# the publisher's renewed certificate (renewed-new.exe), by another subject of the same authority
# (stranger-new.exe) and by a certificate naming the authority as issuer that another key made
# (forged-new.exe).
#
#   sign-updaters.sh <out-dir> <pkcs12> <password-file> <same.exe> <new.exe> <old.exe> <client.exe>
#
# DRAVELON_SIGN_TIMESTAMP_URL, when set, time-stamps every signature. Tools, overridable: OSSLSIGNCODE, OPENSSL.
set -euo pipefail
if [ $# -ne 7 ]; then
    echo "usage: $0 <out-dir> <pkcs12> <password-file> <same.exe> <new.exe> <old.exe> <client.exe>" >&2
    exit 2
fi
out=$1 pkcs12=$2 passfile=$3 same=$4 new=$5 old=$6 client=$7
osslsigncode=${OSSLSIGNCODE:-osslsigncode}
openssl=${OPENSSL:-openssl}
mkdir -p "$out"

timestamp=()
[ -n "${DRAVELON_SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$DRAVELON_SIGN_TIMESTAMP_URL")
sign() { # <in> <out> <signing options...>
    local in=$1 to=$2
    shift 2
    rm -f "$to"
    "$osslsigncode" sign "$@" "${timestamp[@]}" -h sha256 -n "Dravel On" -in "$in" -out "$to" >/dev/null
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

# The authority, and another key under its name for the forgery. Leaf certificates name their issuer only
# (no key identifiers), so a chain engine finds the real authority for the forged one by its name.
auth="$out/authority"
mkdir -p "$auth"
authority_subject="/O=Brello/CN=Dravel On test authority"
authority() { # <name>
    "$openssl" req -x509 -newkey rsa:2048 -sha256 -days 3650 -nodes -subj "$authority_subject" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" \
        -keyout "$auth/$1.key" -out "$auth/$1.pem" 2>/dev/null
}
leaf() { # <name> <subject> <days> <serial> <issuing authority>
    printf '%s\n' "basicConstraints=critical,CA:FALSE" "keyUsage=critical,digitalSignature" \
        "extendedKeyUsage=codeSigning" "subjectKeyIdentifier=none" "authorityKeyIdentifier=none" >"$auth/leaf.cnf"
    "$openssl" req -new -newkey rsa:2048 -nodes -subj "$2" -keyout "$auth/$1.key" -out "$auth/$1.csr" 2>/dev/null
    "$openssl" x509 -req -in "$auth/$1.csr" -CA "$auth/$5.pem" -CAkey "$auth/$5.key" -set_serial "$4" -days "$3" \
        -sha256 -extfile "$auth/leaf.cnf" -out "$auth/$1.pem" 2>/dev/null
}
if [ ! -s "$auth/ca.reg" ]; then
    authority ca
    authority forger
    leaf publisher "/O=Brello/CN=Dravel On" 365 1001 ca
    leaf renewed "/O=Brello/CN=Dravel On" 730 1002 ca
    leaf stranger "/O=Brello/CN=Dravel On stranger" 365 1003 ca
    leaf forged "/O=Brello/CN=Dravel On" 365 1004 forger
    # Where Wine's crypt32 keeps the machine's trusted roots: the serialized certificate as "Blob".
    thumb=$("$openssl" x509 -in "$auth/ca.pem" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
    der=$("$openssl" x509 -in "$auth/ca.pem" -outform DER | od -An -v -tx1 | tr -d ' \n')
    size=$(printf '%08x' $((${#der} / 2)))
    blob="20000000""01000000""${size:6:2}${size:4:2}${size:2:2}${size:0:2}$der"
    printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\%s]\r\n"Blob"=hex:%s\r\n\r\n' \
        "$thumb" "$(sed 's/../&,/g; s/,$//' <<<"$blob")" >"$auth/ca.reg.tmp"
    mv "$auth/ca.reg.tmp" "$auth/ca.reg"
fi
with() { echo -certs "$auth/$1.pem" -key "$auth/$1.key"; }
"$osslsigncode" remove-signature -in "$client" -out "$auth/client-unsigned.exe" >/dev/null
# shellcheck disable=SC2046 # the options are words without blanks
sign "$auth/client-unsigned.exe" "$auth/DravelOn.exe" $(with publisher)
rm -f "$auth/client-unsigned.exe"
for name in renewed stranger forged; do
    # shellcheck disable=SC2046
    sign "$new" "$out/$name-new.exe" $(with "$name")
done
