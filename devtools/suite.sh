#!/bin/sh
# Runs CTest on a build directory without a display, with a sound server of
# its own so that the alarm sound really plays (into a null sink).
#   devtools/suite.sh <build dir> [ctest arguments...]
set -e
build=$1
shift
export QT_QPA_PLATFORM=offscreen
runtime=$(mktemp -d /tmp/kelvaro-test.XXXXXX)
export XDG_RUNTIME_DIR="$runtime"
cleanup() {
    pulseaudio --kill >/dev/null 2>&1 || true
    rm -rf "$runtime"
}
trap cleanup EXIT
if ! pulseaudio -n --daemonize=yes --exit-idle-time=-1 \
        --load="module-null-sink sink_name=kelvaro_null" \
        --load=module-native-protocol-unix >/dev/null 2>&1; then
    echo "No sound server could be started: the alarm sound tests will be skipped."
fi

ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "$@"
