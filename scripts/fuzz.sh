#!/usr/bin/env bash
# Builds the fuzzers (preset "fuzz", clang + libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and fuzzes each for a bounded time, half the
# given seconds each: the description reader, starting from the example
# mod's descript.ion and the seeds in fuzz/corpus, and the description
# markup with modpublish-check's page, from the seeds in fuzz/markup_corpus.
# Exits non-zero when a fuzzer finds a crash, a sanitizer report, a broken
# record or a broken page; the input that did it is kept and named.
#
#   scripts/fuzz.sh [SECONDS]          default 60, in all
#   FUZZ_BUILD_DIR=dir scripts/fuzz.sh build somewhere else than build/fuzz
#
# The repository is never written to: the corpora grow in a scratch folder,
# which is removed afterwards unless a crash was found.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build_dir=${FUZZ_BUILD_DIR:-build/fuzz}

cmake --preset fuzz -B "$build_dir" >/dev/null
cmake --build "$build_dir" --target description_fuzzer markup_fuzzer
scratch=$(mktemp -d "${TMPDIR:-/tmp}/modpublish-fuzz.XXXXXX")

# run NAME DICT SEED...: one fuzzer, one process, so the run takes its time
# and one core; -max_len keeps every input small enough to be parsed
# thousands of times a second.
run() {
  local name=$1 dict=$2 status=0
  shift 2
  local fuzzer corpus=$scratch/$name/corpus crashes=$scratch/$name/crashes
  fuzzer=$(realpath "$build_dir")/bin/$name
  mkdir -p "$corpus" "$crashes"
  cp "$@" "$corpus/"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$fuzzer" -max_total_time="$((seconds / 2))" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
              -dict="$dict" -artifact_prefix="$crashes/" -print_final_stats=1 "$corpus" ||
    status=$?
  if [[ $status -ne 0 ]] || compgen -G "$crashes/*" >/dev/null; then
    echo "fuzz: $name failed (status $status); inputs kept in $crashes:" >&2
    ls -l "$crashes" >&2
    echo "reproduce with: $fuzzer <input>" >&2
    exit 1
  fi
}

cp examples/example_mod/descript.ion "$scratch/example_mod.ion"
run description_fuzzer fuzz/description.dict fuzz/corpus/* "$scratch/example_mod.ion"
run markup_fuzzer fuzz/markup.dict fuzz/markup_corpus/*
rm -rf "$scratch"
echo "fuzz: no findings in ${seconds} s"
