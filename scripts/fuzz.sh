#!/usr/bin/env bash
# Builds the description reader's fuzzer (preset "fuzz", clang + libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer) and fuzzes it for a
# bounded time, starting from the example mod's descript.ion and the seeds
# in fuzz/corpus. Exits non-zero when the fuzzer finds a crash, a sanitizer
# report or a broken record; the input that did it is kept and named.
#
#   scripts/fuzz.sh [SECONDS]          default 60
#   FUZZ_BUILD_DIR=dir scripts/fuzz.sh build somewhere else than build/fuzz
#
# The repository is never written to: the corpus grows in a scratch folder,
# which is removed afterwards unless a crash was found.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build_dir=${FUZZ_BUILD_DIR:-build/fuzz}

cmake --preset fuzz -B "$build_dir" >/dev/null
cmake --build "$build_dir" --target description_fuzzer
fuzzer=$(realpath "$build_dir")/bin/description_fuzzer

scratch=$(mktemp -d "${TMPDIR:-/tmp}/modpublish-fuzz.XXXXXX")
corpus=$scratch/corpus
mkdir -p "$corpus" "$scratch/crashes"
cp fuzz/corpus/* "$corpus/"
cp examples/example_mod/descript.ion "$corpus/example_mod.ion"

# One process, so the run takes the given time and one core; -max_len keeps
# every input small enough to be parsed thousands of times a second.
status=0
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
            -dict=fuzz/description.dict -artifact_prefix="$scratch/crashes/" \
            -print_final_stats=1 "$corpus" || status=$?

if [[ $status -ne 0 ]] || compgen -G "$scratch/crashes/*" >/dev/null; then
  echo "fuzz: the description reader failed (status $status); inputs kept in $scratch/crashes:" >&2
  ls -l "$scratch/crashes" >&2
  echo "reproduce with: $fuzzer <input>" >&2
  exit 1
fi
rm -rf "$scratch"
echo "fuzz: no findings in ${seconds} s"
