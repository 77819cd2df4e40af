#!/bin/sh
# Installs what is missing, builds, and runs every check there is:
#   1. the whole suite on the regular build, without a display, with a sound
#      server of its own so that the alarm sound really plays (into a null
#      sink); extra arguments go to this CTest run;
#   2. the Debian package, built from that build, checked, installed, run
#      headless against the simulated bus and removed (devtools/package.sh;
#      installing needs root, without it only the package is checked);
#   3. the whole suite again on a clang build under AddressSanitizer and
#      UndefinedBehaviorSanitizer, leaks included (devtools/sanitize.sh address);
#   4. the threaded suites on a ThreadSanitizer build (devtools/sanitize.sh thread);
#   5. each fuzz target for FUZZ_SECONDS, 60 s by default (devtools/fuzz.sh).
# Each stage can be run by hand with the script named.
set -e
cd "$(dirname "$0")/.."
./devtools/setup.sh
./devtools/suite.sh build "$@"
./devtools/package.sh build
./devtools/sanitize.sh address
./devtools/sanitize.sh thread
./devtools/fuzz.sh
