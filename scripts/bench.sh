#!/usr/bin/env bash
# Builds the benchmark program beside the tool and the simulated client
# library (the default preset's settings, in a folder of its own) and runs
# it: the description reader against a plain baseline, a whole upload run
# and the start-up. Prints the figures; bench/README.md explains them.
# Takes about two minutes and 300 MB of scratch space. Not part of
# scripts/test.sh: figures are reported, never asserted.
#
#   scripts/bench.sh [--scratch DIR]
#   BENCH_BUILD_DIR=dir scripts/bench.sh     default build/bench
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BENCH_BUILD_DIR:-build/bench}
cmake --preset default -B "$build_dir" -D MODPUBLISH_BENCH=ON -D MODPUBLISH_TESTS=OFF >/dev/null
cmake --build "$build_dir" --target modpublish_bench
exec "$build_dir/bin/modpublish_bench" "$@"
