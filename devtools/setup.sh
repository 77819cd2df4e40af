#!/bin/sh
# Installs the Debian packages the project needs (only those missing), then
# configures and builds into ./build. Safe to run again at any time.
set -e
cd "$(dirname "$0")/.."

PACKAGES="build-essential cmake pkg-config
 qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-multimedia-dev
 qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
 qt6-httpserver-dev qt6-websockets-dev
 libgl-dev xvfb xauth pulseaudio pulseaudio-utils xdg-utils
 dpkg-dev file curl
 clang libclang-rt-14-dev llvm
 chromium fonts-dejavu-core"

missing=""
for pkg in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || missing="$missing $pkg"
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
fi

# The browser tests drive Debian's chromium through puppeteer-core, the one
# tool that comes from npm. Node.js comes from Debian where none is installed
# yet (a machine may carry a newer one of its own, which is kept). No browser
# is downloaded.
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
    if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends nodejs npm || true
fi
if command -v node >/dev/null 2>&1 && command -v npm >/dev/null 2>&1; then
    (cd tests/web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund)
else
    echo "Node.js not found: the browser tests in tests/web will not run"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
