#!/bin/sh
# Builds the Debian package from a build directory (./build by default),
# checks its contents and dependencies, then, as root, installs it with apt,
# runs the installed controller headless against the simulated bus from the
# build tree, stops it with SIGTERM, and removes the package again. Any
# mismatch fails the script. Without root only the package itself is checked.
set -eu
cd "$(dirname "$0")/.."
top=$(pwd)
build=${1:-build}
case $build in /*) ;; *) build="$top/$build" ;; esac
started=$(date +%s)

fail() { echo "package.sh: FAILED: $*" >&2; exit 1; }

[ -x "$build/bin/kelvaro-controller" ] || fail "$build/bin/kelvaro-controller missing: build first"
rm -f "$build"/kelvaro-controller_*.deb
(cd "$build" && cpack -G DEB >/dev/null) || fail "cpack -G DEB"
version=$(sed -n 's/^project(KelvaroController VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
deb="$build/kelvaro-controller_${version}_${arch}.deb"
[ -f "$deb" ] || fail "$deb not made"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# Contents: exactly these files.
expected="/usr/bin/kelvaro-controller
/usr/bin/kelvaro-sim
/usr/lib/systemd/system/kelvaro-controller.service
/usr/share/applications/kelvaro-controller.desktop
/usr/share/icons/hicolor/64x64/apps/kelvaro-controller.png
/usr/share/icons/hicolor/scalable/apps/kelvaro-controller.svg
/usr/share/kelvaro-controller/alarm.wav
/usr/share/kelvaro-controller/examples/switch-inputs.txt
/usr/share/kelvaro-controller/examples/walk-menu.txt
/usr/share/kelvaro-controller/translations/kelvaro-controller_de.qm
/usr/share/kelvaro-controller/translations/qt_de.qm
/usr/share/kelvaro-controller/translations/qtbase_de.qm
/usr/share/kelvaro-controller/translations/qtmultimedia_de.qm
/usr/share/kelvaro-controller/translations/qtserialport_de.qm"
files=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | sort)
if [ "$files" != "$(echo "$expected" | sort)" ]; then
    printf 'expected:\n%s\ngot:\n%s\n' "$expected" "$files" >&2
    fail "package contents"
fi

# Dependencies: the Qt runtime by package name, found by dpkg-shlibdeps.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6serialport6 libqt6multimedia6 libqt6websockets6 libc6; do
    echo "$depends" | grep -q "\b$lib\b" || fail "Depends lacks $lib"
done
[ "$(dpkg-deb -f "$deb" Package)" = kelvaro-controller ] || fail "package name"

if [ "$(id -u)" -ne 0 ]; then
    echo "package.sh: not root: installing and running the package skipped (contents and Depends checked)."
    exit 0
fi

work=$(mktemp -d)
sim_pid=""
kc_pid=""
installed=""
cleanup() {
    [ -n "$kc_pid" ] && kill "$kc_pid" 2>/dev/null || true
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    if [ -n "$installed" ]; then
        DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq kelvaro-controller >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 \
    || { cat "$work/apt.log" >&2; fail "apt-get install"; }
installed=yes
for f in $expected; do [ -e "$f" ] || fail "$f not installed"; done
if command -v systemd-analyze >/dev/null 2>&1; then
    systemd-analyze verify /usr/lib/systemd/system/kelvaro-controller.service \
        || fail "systemd-analyze verify"
fi
[ "$(/usr/bin/kelvaro-controller --version)" = "kelvaro-controller $version" ] || fail "--version"

# The demo bus: twelve monitors, each poll traced.
"$build/bin/kelvaro-sim" --demo --trace --link "$work/bus" </dev/null >"$work/sim.log" 2>&1 &
sim_pid=$!
i=0
while [ ! -e "$work/bus" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
[ -e "$work/bus" ] || fail "the simulator made no device"
port=$((20000 + $$ % 20000))
printf '[serial]\nport=%s\ntotaltimeout=20\n\n[remote]\nenabled=true\nport=%s\n' "$work/bus" "$port" >"$work/mc422.ini"

# As the unit runs it: nothing to show a window on, no sound server.
(cd "$work" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u PULSE_SERVER \
    /usr/bin/kelvaro-controller --headless >"$work/kc.out" 2>&1) &
kc_pid=$!

logtext() { cat "$work"/mc_*.log 2>/dev/null | tr -d '\r'; }
i=0
until logtext | grep -q '\[SEARCH\]: END - 12 FOUND'; do
    kill -0 "$kc_pid" 2>/dev/null || { cat "$work/kc.out" >&2; fail "the controller ended"; }
    [ $i -lt 600 ] || { logtext >&2; fail "no search result within 60 s"; }
    sleep 0.1
    i=$((i + 1))
done
[ "$(logtext | grep -c '\[MONITOR\]: FOUND - SN(')" -eq 12 ] || { logtext >&2; fail "not 12 monitors found"; }
polls() { grep -c '> 81 80' "$work/sim.log" || true; }
before=$(polls)
sleep 3
after=$(polls)
[ $((after - before)) -ge 50 ] || fail "monitor 1 polled $((after - before)) times in 3 s"
echo "headless: 12 monitors found, monitor 1 polled $((after - before)) times in 3 s"

# The remote wall, built into the installed executable.
curl -fsS "http://127.0.0.1:$port/api/status" | grep -q "\"version\":\"$version\"" || fail "GET /api/status"
curl -fsS "http://127.0.0.1:$port/" | grep -q '<title>Kelvaro Controller</title>' || fail "GET / (the page)"
curl -fsS "http://127.0.0.1:$port/metrics" | grep -q '^kc_monitors 12$' || fail "GET /metrics"
echo "headless: the page, /api/status and /metrics served on port $port"

kill -TERM "$kc_pid"
code=0
wait "$kc_pid" || code=$?
kc_pid=""
[ $code -eq 0 ] || { cat "$work/kc.out" >&2; fail "exit code $code after SIGTERM"; }
last=$(logtext | tail -n 1)
case $last in *"Log file closed.") ;; *) fail "last log line: $last" ;; esac

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq kelvaro-controller >"$work/apt.log" 2>&1 \
    || { cat "$work/apt.log" >&2; fail "apt-get remove"; }
installed=""
for f in $expected; do [ ! -e "$f" ] || fail "$f left after removal"; done
[ ! -e /usr/share/kelvaro-controller ] || fail "/usr/share/kelvaro-controller left after removal"

echo "package.sh: OK in $(($(date +%s) - started)) s"
