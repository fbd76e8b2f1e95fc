#!/bin/sh
# Runs one fuzzer for a chosen time:
#   fuzz/run.sh TARGET SECONDS [libFuzzer options...]
# TARGET is scanner, template, address, numbers or charges. Builds the fuzzers
# with clang in build-fuzz (or $BUILD) first. The stored seeds in
# fuzz/corpus/TARGET are read, never changed; inputs that find new paths go to
# BUILD/corpus/TARGET, and a failing input to BUILD/findings/TARGET-*.
# Replay a finding with: BUILD/fuzz/TARGET_fuzzer FILE
set -eu
cd "$(dirname "$0")/.."
if [ $# -lt 2 ]; then
    echo "usage: fuzz/run.sh TARGET SECONDS [libFuzzer options...]" >&2
    exit 2
fi
target="$1"
seconds="$2"
shift 2
build="${BUILD:-build-fuzz}"
fuzz/setup
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKURVANE_FUZZ=ON -DKURVANE_GUI=OFF -DKURVANE_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target "${target}_fuzzer"
mkdir -p "$build/corpus/$target" "$build/findings"
# A single input taking 10 s counts as a hang; every check aborts, so the first finding ends the run.
exec "$build/fuzz/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/findings/$target-" "$@" "$build/corpus/$target" "fuzz/corpus/$target"
