#!/usr/bin/env bash
# Builds the benchmark programs beside the tool and the simulated client
# library (the default preset's settings, in a folder of its own) and runs
# them: modpublish-check's page (a real-sized page, and whole runs up to a
# 100 MB description), its walk through a folder of 200,000 files against
# du -s, then the description reader against a plain baseline, a whole
# upload run and the start-up. Prints the figures;
# bench/README.md explains them. Takes a few minutes and about 1.5 GB of
# scratch space. Not part of scripts/test.sh: figures are reported, never
# asserted.
#
#   scripts/bench.sh [--before REV] [--scratch DIR]
#   scripts/bench.sh --page [--scratch DIR]  the page benchmark alone
#   scripts/bench.sh --content [--scratch DIR]  the walk's benchmark alone
#   BENCH_BUILD_DIR=dir scripts/bench.sh     default build/bench
#
# --before REV also builds the benchmark program of an earlier revision (in
# build/bench-before) and times that revision's reader on the same files in
# the same run, interleaved with today's, and runs its modpublish and
# modpublish-check beside today's.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BENCH_BUILD_DIR:-build/bench}
page_only=false
content_only=false
if [[ ${1:-} == --page ]]; then
  page_only=true
  shift
elif [[ ${1:-} == --content ]]; then
  content_only=true
  shift
fi
args=()
while [[ $# -gt 0 ]]; do
  if [[ $1 == --before && $# -ge 2 ]]; then
    before_src=build/bench-before-src
    before_dir=$(realpath -m build/bench-before)
    rm -rf "$before_src"
    mkdir -p "$before_src"
    git archive "$2" | tar -x -C "$before_src"
    (cd "$before_src" && cmake --preset default -B "$before_dir" -D MODPUBLISH_BENCH=ON \
                               -D MODPUBLISH_TESTS=OFF >/dev/null &&
       cmake --build "$before_dir" --target modpublish_bench -j2 &&
       # Older revisions' benchmark programs don't build the checker.
       cmake --build "$before_dir" --target modpublish-check -j2)
    args+=(--before "$before_dir/bin/modpublish_bench")
    shift 2
  else
    args+=("$1")
    shift
  fi
done
cmake --preset default -B "$build_dir" -D MODPUBLISH_BENCH=ON -D MODPUBLISH_TESTS=OFF >/dev/null
cmake --build "$build_dir" --target page_bench content_bench modpublish_bench -j2
page_args=()
content_args=()
for ((i = 0; i + 1 < ${#args[@]}; i++)); do
  if [[ ${args[i]} == --scratch ]]; then
    page_args=(--scratch "${args[i + 1]}/page")
    content_args=(--scratch "${args[i + 1]}/content")
  fi
done
if ! $content_only; then
  "$build_dir/bin/page_bench" "${page_args[@]}"
  if $page_only; then
    exit 0
  fi
  echo
fi
"$build_dir/bin/content_bench" "${content_args[@]}"
if $content_only; then
  exit 0
fi
echo
exec "$build_dir/bin/modpublish_bench" "${args[@]}"
