#!/bin/sh
# Installs what is missing, builds, and runs every check there is:
#   1. the whole suite on the regular build, without a display, with a sound
#      server of its own so that the alarm sound really plays (into a null
#      sink); extra arguments go to this CTest run;
#   2. the whole suite again on a clang build under AddressSanitizer and
#      UndefinedBehaviorSanitizer, leaks included (devtools/sanitize.sh address);
#   3. the threaded suites on a ThreadSanitizer build (devtools/sanitize.sh thread);
#   4. each fuzz target for FUZZ_SECONDS, 60 s by default (devtools/fuzz.sh).
# Each stage can be run by hand with the script named.
set -e
cd "$(dirname "$0")/.."
./devtools/setup.sh
./devtools/suite.sh build "$@"
./devtools/sanitize.sh address
./devtools/sanitize.sh thread
./devtools/fuzz.sh
