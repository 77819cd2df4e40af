#!/bin/sh
# Builds the libFuzzer targets with clang into build-fuzz and runs each one
# for FUZZ_SECONDS (default 60) on a scratch copy of its seed corpus, so that
# the checked-in corpus only changes on purpose. Fails on the first crash;
# the crashing input is left in build-fuzz/findings/<target>/.
# Usage: devtools/fuzz.sh [target...]   (default: all targets)
set -e
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
bin=$PWD/build-fuzz/bin
targets=${*:-"fuzz_apply fuzz_simframer fuzz_positions fuzz_script fuzz_analyzer fuzz_tsl fuzz_inventory"}

cmake -S . -B build-fuzz -DKC_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# shellcheck disable=SC2086
cmake --build build-fuzz -j"$(nproc)" --target $targets

export QT_QPA_PLATFORM=offscreen
for target in $targets; do
    # Absolute: a target may change its working directory before the
    # fuzzer opens the corpus or writes a crashing input.
    work=$PWD/build-fuzz/findings/$target
    rm -rf "$work"
    mkdir -p "$work/corpus"
    cp fuzz/corpus/"$target"/* "$work/corpus/"
    echo "== $target: $seconds s"
    if ! (cd "$work" && "$bin/$target" -max_total_time="$seconds" \
            -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus"); then
        echo "$target crashed; the input is in $work" >&2
        exit 1
    fi
done
echo "All fuzz targets ran $seconds s without a crash."
