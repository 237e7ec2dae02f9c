#!/usr/bin/env bash
# Builds and runs every test of the project, one stage per build:
#   - the Linux build (preset "default"): unit, simulator and process tests,
#     the slow ones (inputs of hundreds of megabytes) included, and the
#     checks that CTest runs beside them (label "checks"): the formatting,
#     layering and static-analysis check, a bounded fuzzing run of the
#     description reader and the checker, and process tests under Valgrind's
#     memory checker;
#   - the same suite but the slow tests and the checks under
#     AddressSanitizer + UndefinedBehaviorSanitizer (preset "asan");
#   - the Windows x64 cross build, its whole suite but the slow tests run
#     under Wine (preset "windows").
# Installs what it needs first when run as root (Debian packages). Prints
# how long each stage took, in wall-clock and in CPU seconds.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

# CPU seconds (user + system) of the finished child processes so far, in
# $cpu. `times` runs in this shell, not in a subshell: a subshell would
# report its own children only.
times_file=$(mktemp "${TMPDIR:-/tmp}/modpublish-times.XXXXXX")
trap 'rm -f "$times_file"' EXIT
cpu_seconds() {
  times >"$times_file"
  cpu=$(tail -n 1 "$times_file" | awk '{
    total = 0
    for (i = 1; i <= 2; i++) { split($i, part, "m"); total += part[1] * 60 + part[2] }
    printf "%d", total }')
}
stage_name=
stage() {
  local now
  now=$SECONDS
  cpu_seconds
  if [[ -n $stage_name ]]; then
    echo "== $stage_name: $((now - stage_wall)) s, $((cpu - stage_cpu)) s of CPU"
  fi
  stage_name=${1:-}
  stage_wall=$now
  stage_cpu=$cpu
  if [[ -n $stage_name ]]; then
    echo "== $stage_name"
  fi
}

# The process tests spend most of their time waiting on the tool's 100 ms
# pumps (under Wine, on Wine too), so twice as many tests run at once as
# there are cores, in every stage; CTest starts the longest tests first and
# counts two cores for the style check.
for preset in default asan; do
  stage "$preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$((jobs * 2))"
done

stage windows
bash scripts/windows-tests.sh -j "$((jobs * 2))"

stage
cpu_seconds
echo "== all: $SECONDS s, $cpu s of CPU"
