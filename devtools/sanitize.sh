#!/bin/sh
# Builds the project a second time with clang under a sanitizer and runs the
# suites on that build.
#   devtools/sanitize.sh address  AddressSanitizer and UndefinedBehaviorSanitizer,
#                                 leak detection on, the whole suite (build-asan)
#   devtools/sanitize.sh thread   ThreadSanitizer, the threaded suites (build-tsan)
# Extra arguments go to CTest. Needs the packages of devtools/setup.sh.
set -e
cd "$(dirname "$0")/.."
root=$(pwd)
kind=${1:-address}
[ $# -gt 0 ] && shift

case "$kind" in
address)
    dir=build-asan
    flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined"
    # Leaks inside the sound and font libraries, which outlive every test
    # by design, are named in the suppression file; ours are not.
    export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1"
    export LSAN_OPTIONS="suppressions=$root/devtools/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    ;;
thread)
    dir=build-tsan
    flags="-fsanitize=thread"
    ;;
*)
    echo "usage: $0 address|thread [ctest arguments...]" >&2
    exit 2
    ;;
esac

# The suites that run the worker thread against the main thread; only they
# are built and run under ThreadSanitizer.
threaded="tst_transport tst_supervision tst_linksupervision tst_faultmatrix tst_mainwindow"

CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE= \
    -DCMAKE_C_FLAGS="$flags -O1 -g -fno-omit-frame-pointer" \
    -DCMAKE_CXX_FLAGS="$flags -O1 -g -fno-omit-frame-pointer" >/dev/null
if [ "$kind" = address ]; then
    cmake --build "$dir" -j"$(nproc)"
else
    # shellcheck disable=SC2086
    cmake --build "$dir" -j"$(nproc)" --target $threaded
fi

if [ "$kind" = address ]; then
    ./devtools/suite.sh "$dir" "$@"
    exit
fi

# Qt itself is not built with ThreadSanitizer, so its own synchronisation
# (wait conditions, queued events, the test library's watchdog) shows up as
# races. Reports go to files; a report is a failure when a racing access
# lies in this project's code, and is counted otherwise.
logs=$(mktemp -d /tmp/kelvaro-tsan.XXXXXX)
export TSAN_OPTIONS="halt_on_error=0:exitcode=0:second_deadlock_stack=1:log_path=$logs/tsan"
status=0
./devtools/suite.sh "$dir" -R "^($(echo $threaded | tr ' ' '|'))\$" "$@" || status=$?
python3 devtools/tsanreport.py "$root" "$logs"/tsan* || status=1
rm -rf "$logs"
exit $status
