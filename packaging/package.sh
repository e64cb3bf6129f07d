#!/bin/bash
# Makes the shipped files from a built DravelOn.exe: the stripped program with its debug information
# beside it, both signed, and the Windows Installer package, signed too.
#
#   packaging/package.sh <DravelOn.exe> <run.wav> <out-dir> <version>
#
# Writes <out-dir>/DravelOn.exe (stripped, signed), DravelOn.exe.debug (its debug information and
# symbols, found through the program's .gnu_debuglink), DravelOn.msi (signed). Every signature is
# verified before the script ends.
#
# Signing certificate: DRAVELON_SIGN_PKCS12 names the publisher's PKCS#12 file and
# DRAVELON_SIGN_PASSWORD_FILE a file holding its password (first line); DRAVELON_SIGN_CAFILE may name
# the certificates the signature is verified against (default: the system's trusted ones). Without
# DRAVELON_SIGN_PKCS12 a development certificate is made once in <out-dir>/../signing and used.
# DRAVELON_SIGN_TIMESTAMP_URL names the time-stamp service (RFC 3161) every signature gets a stamp from.
#
# Tools, overridable: OBJCOPY (x86_64-w64-mingw32-objcopy), OSSLSIGNCODE, OPENSSL, WIXL, MSIBUILD, MSIINFO.
set -euo pipefail

if [ $# -ne 4 ]; then
    echo "usage: $0 <DravelOn.exe> <run.wav> <out-dir> <version>" >&2
    exit 2
fi
exe=$1 wav=$2 out=$3 version=$4
here=$(cd "$(dirname "$0")" && pwd)
objcopy=${OBJCOPY:-x86_64-w64-mingw32-objcopy}
osslsigncode=${OSSLSIGNCODE:-osslsigncode}
openssl=${OPENSSL:-openssl}
wixl=${WIXL:-wixl}
msibuild=${MSIBUILD:-msibuild}
msiinfo=${MSIINFO:-msiinfo}

mkdir -p "$out"
out=$(cd "$out" && pwd)
stage="$out/stage"
rm -rf "$stage"
mkdir -p "$stage"

# --- strip: debug information and symbols go into their own file, linked by name and checksum ---
"$objcopy" --only-keep-debug "$exe" "$out/DravelOn.exe.debug"
"$objcopy" --strip-all "$exe" "$stage/DravelOn.exe"
(cd "$out" && "$objcopy" --add-gnu-debuglink=DravelOn.exe.debug "$stage/DravelOn.exe")

# --- the signing certificate ---
if [ -n "${DRAVELON_SIGN_PKCS12:-}" ]; then
    pkcs12=$DRAVELON_SIGN_PKCS12
    passfile=${DRAVELON_SIGN_PASSWORD_FILE:?DRAVELON_SIGN_PASSWORD_FILE must name the password file of DRAVELON_SIGN_PKCS12}
    cafile=${DRAVELON_SIGN_CAFILE:-}
else
    signing="$out/../signing"
    mkdir -p "$signing"
    signing=$(cd "$signing" && pwd)
    pkcs12="$signing/development.p12" passfile="$signing/development.pass" cafile="$signing/development.pem"
    if [ ! -s "$pkcs12" ] || [ ! -s "$passfile" ] || [ ! -s "$cafile" ]; then
        echo "package: making a development signing certificate in $signing (not for release)"
        (
            umask 077
            "$openssl" rand -hex 24 >"$passfile"
            "$openssl" req -x509 -newkey rsa:3072 -sha256 -days 3650 -nodes \
                -subj "/O=Brello/CN=Dravel On development signing" \
                -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
                -addext "basicConstraints=critical,CA:FALSE" \
                -keyout "$signing/development.key" -out "$cafile" 2>/dev/null
            "$openssl" pkcs12 -export -inkey "$signing/development.key" -in "$cafile" -name "Dravel On development" \
                -passout "file:$passfile" -out "$pkcs12"
            rm -f "$signing/development.key"
        )
    fi
fi

# Only options osslsigncode 2.5 (Debian 12) knows. With DRAVELON_SIGN_TIMESTAMP_URL every signature is
# time-stamped there (RFC 3161), so that it stays valid after the certificate expires or is renewed; without
# it (a development build) signing needs no network.
timestamp=()
[ -n "${DRAVELON_SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$DRAVELON_SIGN_TIMESTAMP_URL")
sign() {
    rm -f "$2"
    "$osslsigncode" sign -pkcs12 "$pkcs12" -readpass "$passfile" -h sha256 -n "Dravel On" "${timestamp[@]}" \
        -in "$1" -out "$2" >/dev/null
}
verify() {
    local args=(verify -in "$1")
    [ -n "$cafile" ] && args+=(-CAfile "$cafile")
    if ! "$osslsigncode" "${args[@]}" >"$1.verify.log" 2>&1; then
        cat "$1.verify.log" >&2
        echo "package: the signature of $1 does not verify" >&2
        exit 1
    fi
    rm -f "$1.verify.log"
}

sign "$stage/DravelOn.exe" "$out/DravelOn.exe"
verify "$out/DravelOn.exe"

# --- the package: wixl takes the files beside its description ---
cp "$here/DravelOn.wxs" "$stage/DravelOn.wxs"
cp "$out/DravelOn.exe" "$wav" "$stage/"
[ "$(basename "$wav")" = run.wav ] || mv "$stage/$(basename "$wav")" "$stage/run.wav"
(cd "$stage" && "$wixl" -a x64 -D Version="$version" -o DravelOn.msi DravelOn.wxs)
# What this wixl (0.101) cannot say in the description: the optional parts install only when asked for
# (and are always part of a removal: Wine's installer leaves a component alone whose condition is false),
# and the administrator's properties reach the elevated part of the installation.
condition() {
    "$msibuild" "$stage/DravelOn.msi" -q "UPDATE Component SET Condition = '$2 OR REMOVE~=\"ALL\"' WHERE Component = '$1'"
}
condition ServerHostValue SERVERHOST
condition LogOnStart 'AUTOSTART="1"'
condition EncryptedValue 'ENCRYPTED="1"'
condition UpdateServerValue UPDATESERVER
condition AutoUpdateValue 'AUTOUPDATE="0"'
# Another build of the same version is replaced too (IncludeMinimum | IncludeMaximum). Attributes is
# part of the row's key, so the row is written anew.
IFS=$'\t' read -r upgrade_code version_min version_max _ < <("$msiinfo" export "$stage/DravelOn.msi" Upgrade | tail -n 1)
"$msibuild" "$stage/DravelOn.msi" -q "DELETE FROM Upgrade WHERE ActionProperty = 'OLDERVERSIONFOUND'"
"$msibuild" "$stage/DravelOn.msi" -q "INSERT INTO Upgrade (UpgradeCode, VersionMin, VersionMax, Attributes, ActionProperty) \
VALUES ('$upgrade_code', '$version_min', '$version_max', 768, 'OLDERVERSIONFOUND')"
"$msibuild" "$stage/DravelOn.msi" -q \
    "UPDATE Property SET Value = 'OLDERVERSIONFOUND;INSTALLFOLDER;SERVERHOST;AUTOSTART;ENCRYPTED;UPDATESERVER;AUTOUPDATE' WHERE Property = 'SecureCustomProperties'"
# Whatever folder the administrator chooses, only administrators and the system may change the program:
# the folder and its files get their own protected permissions (Administrators and SYSTEM full control,
# Users read and execute), nothing inherited from the parent. wixl cannot describe permissions, so the
# table (by well-known SIDs, which no localisation renames) is added here.
"$msibuild" "$stage/DravelOn.msi" -q "CREATE TABLE \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\` CHAR(72) NOT NULL, \
\`LockObject\` CHAR(72) NOT NULL, \`Table\` CHAR(32) NOT NULL, \`SDDLText\` CHAR(255) NOT NULL, \`Condition\` CHAR(255) \
PRIMARY KEY \`MsiLockPermissionsEx\`)"
lock() { # <row> <object> <table> <inheritance>
    "$msibuild" "$stage/DravelOn.msi" -q "INSERT INTO \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\`, \`LockObject\`, \
\`Table\`, \`SDDLText\`) VALUES ('$1', '$2', '$3', 'D:PAI(A;$4;FA;;;BA)(A;$4;FA;;;SY)(A;$4;0x1200a9;;;BU)')"
}
lock InstallFolderPermissions INSTALLDIR CreateFolder OICI
lock ProgramPermissions DravelOnExe File ''
lock SoundPermissions RunWav File ''
sign "$stage/DravelOn.msi" "$out/DravelOn.msi"
verify "$out/DravelOn.msi"

rm -rf "$stage"
echo "package: $out/DravelOn.msi ($(stat -c %s "$out/DravelOn.msi") bytes); DravelOn.exe $(stat -c %s "$exe") -> $(stat -c %s "$out/DravelOn.exe") bytes stripped"
