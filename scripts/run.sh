#!/bin/sh
# Installs what is missing, builds, and starts the controller in a demo
# working directory (demo/) next to a simulated bus of monitors.
set -e
cd "$(dirname "$0")/.."
./scripts/setup.sh

top=$(pwd)
demo="$top/demo"
mkdir -p "$demo/logs"

sim_pid=""
if [ -x build/bin/kelvaro-sim ]; then
    # The simulator prints its device path first and links it where the
    # demo settings expect it.
    build/bin/kelvaro-sim --demo --baud 9600 --link "$demo/bus" >"$demo/sim.log" 2>&1 &
    sim_pid=$!
    trap 'kill $sim_pid 2>/dev/null' EXIT INT TERM
    i=0
    while [ ! -e "$demo/bus" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
fi

if [ ! -f "$demo/mc422.ini" ]; then
    cat >"$demo/mc422.ini" <<INI
[serial]
port=$demo/bus
boaudrate=12
totaltimeout=20

[log]
logpath=$demo/logs
INI
fi
cp -f build/bin/alarm.wav "$demo/alarm.wav" 2>/dev/null || true

cd "$demo"
if [ -z "$DISPLAY" ] && [ -z "$WAYLAND_DISPLAY" ]; then
    echo "No display found: starting the controller under a virtual X server (xvfb-run)."
    xvfb-run -a "$top/build/bin/kelvaro-controller"
else
    "$top/build/bin/kelvaro-controller"
fi
