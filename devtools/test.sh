#!/bin/sh
# Installs what is missing, builds, and runs the whole test suite without a
# display, with a sound server of its own so that the alarm sound really plays
# (into a null sink).
set -e
cd "$(dirname "$0")/.."
./devtools/setup.sh
./devtools/suite.sh build "$@"
