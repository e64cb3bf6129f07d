#!/bin/bash
# Installs exactly the Debian 12 packages the build, the tests and the demo need; does nothing when
# they are all there. Needs root (or sudo) only when something is missing.
set -euo pipefail

# fonts-wine holds Marlett, the font window captions draw their buttons with (scripts/wine-harness.sh).
# wixl, msitools, osslsigncode and openssl build and sign the installer package (packaging/).
# tinyproxy is the HTTP proxy the update download is tested through.
packages=(
    cmake ninja-build g++ gcc
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
    wine wine64 fonts-wine xvfb xauth x11-utils imagemagick fonts-nanum locales
    googletest libbenchmark-dev clang libclang-rt-14-dev
    libasio-dev libcpp-httplib-dev libsqlite3-dev libssl-dev pkg-config
    python3 util-linux procps
    socat netcat-openbsd tinyproxy
    wixl msitools osslsigncode openssl
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

if [ ${#missing[@]} -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine takes its ANSI code page from the locale: without ko_KR.UTF-8 it would be 1252, not 949.
if ! locale -a 2>/dev/null | grep -qi '^ko_KR\.utf-\?8$'; then
    as_root sed -i 's/^# *ko_KR.UTF-8 UTF-8/ko_KR.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^ko_KR.UTF-8 UTF-8' /etc/locale.gen || echo 'ko_KR.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
fi
