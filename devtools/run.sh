#!/bin/sh
# Installs what is missing, builds, and starts the controller in a demo
# working directory (demo/) next to a simulated bus of monitors.
set -e
cd "$(dirname "$0")/.."
./devtools/setup.sh

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

# 100 ms leaves a healthy monitor (about 5 ms an exchange at 9600 baud) room
# on a busy machine, and still searches the 114 empty addresses in about 25 s.
if [ ! -f "$demo/mc422.ini" ]; then
    cat >"$demo/mc422.ini" <<INI
[serial]
port=$demo/bus
boaudrate=12
totaltimeout=100

[log]
logpath=$demo/logs
INI
fi
# Demo settings written by earlier versions had a time-out too short for a
# loaded machine.
sed -i 's/^totaltimeout=20$/totaltimeout=100/' "$demo/mc422.ini"
cp -f build/bin/alarm.wav "$demo/alarm.wav" 2>/dev/null || true

cd "$demo"
if [ -z "$DISPLAY" ] && [ -z "$WAYLAND_DISPLAY" ]; then
    echo "No display found: starting the controller under a virtual X server (xvfb-run)."
    xvfb-run -a "$top/build/bin/kelvaro-controller"
else
    "$top/build/bin/kelvaro-controller"
fi
